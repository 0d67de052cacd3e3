// The forum post: the source's text in UTF-8 inside "[font=Courier New]",
// each look in [color=#RRGGBB] (colours other than the page's text colour)
// with [b], [i], [u] and [s] inside it. The text translator escapes what
// BBCode would take as markup or drop (see TTextTarget::BBCode).
#pragma once

#include <string_view>

#include "Markup.h"
#include "PageWriter.h"
#include "Types.h"

/// Spans for the post of Scheme: elements alike share one.
void BuildBBCodeSpans(const TScheme &Scheme, TSpanMarkup &Spans);

/// The post's start: the monospaced block.
void WriteBBCodeHeader(TPageWriter &Writer);
/// Closes the open span and the block, and ends the line.
void WriteBBCodeFooter(TPageWriter &Writer, std::string_view OpenSpanClose);
