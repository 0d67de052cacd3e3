// The system clipboard's text as the byte strings the converter works on.
// Text crosses in the locale's 8-bit encoding (UTF-8 on Linux), so any
// source survives a trip through the clipboard unchanged; for the pages that
// decode their source (HTML5, RTF) it crosses in UTF-8 (see TextBytes).
#pragma once

#include <QString>
#include <string>
#include <string_view>

/// Text as the converter takes it: in the locale's 8-bit encoding, or, for
/// the pages that decode their source (HTML5, RTF), in UTF-8, which loses no
/// character where the locale's encoding is not UTF-8 (Windows).
std::string TextBytes(const QString &Text, bool UTF8 = false);
/// The clipboard's text (see TextBytes); empty when it holds none. Line ends
/// are the text's own (CR LF on Windows, where Qt hands them over as LF).
std::string ClipboardText(bool UTF8 = false);
/// Replaces the clipboard's content with Text.
void SetClipboardText(const std::string &Text);
/// A page as text: UTF-8 where its head declares that charset (the HTML5
/// page; the classic page of a source with a byte-order mark), else in the
/// locale's 8-bit encoding, as its source was.
QString PageText(std::string_view Page);
/// Replaces the clipboard's content with a page: Page as plain text and as
/// text/html, and Rtf as text/rtf and application/rtf (on Windows also as
/// the native "HTML Format" and "Rich Text Format"), so that rich editors
/// paste it with its colours and plain ones get the page's source.
void SetClipboardPage(const std::string &Page, const std::string &Rtf);
