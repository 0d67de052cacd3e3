// The terminal page: the source's text in UTF-8 with SGR escapes for the
// scheme's colours (24-bit, or the nearest of xterm's 256) and bold,
// italic, underline and strike-out. Text in the page's text colour, and
// the background, are left to the terminal. The colours are reset before
// every line end and set again after it (the text translator does that,
// see TTextTarget::ANSI), so that any run of lines shows right on its own.
#pragma once

#include <cstdint>

#include "Markup.h"
#include "PageOptions.h"
#include "PageWriter.h"
#include "Types.h"

/// Spans for the page of Scheme: tokens alike share one up to the next
/// whitespace; each closes with a reset.
void BuildAnsiSpans(const TScheme &Scheme, const TPageOptions &Options, TSpanMarkup &Spans);

/// The palette index (16 to 255) of xterm's 256 colours nearest to RGB
/// (0xRRGGBB): one of its 6x6x6 cube or of its 24 greys.
int NearestXtermColor(uint32_t RGB);

/// The page's end: the open span's reset.
void WriteAnsiFooter(TPageWriter &Writer, std::string_view OpenSpanClose);
