// The system clipboard's text as the byte strings the converter works on.
// Text crosses in the locale's 8-bit encoding (UTF-8 on Linux), so any
// source survives a trip through the clipboard unchanged.
#pragma once

#include <string>

/// The clipboard's text; empty when it holds none.
std::string ClipboardText();
/// Replaces the clipboard's content with Text.
void SetClipboardText(const std::string &Text);
