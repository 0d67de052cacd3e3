// The looks of an HTML5 page's elements as CSS: the rules of its stylesheet
// (in the page's <style>, a fragment's, or a file of their own that pages
// link) and the style attributes of inline-styled spans.
//
// Every rule is scoped to the block, class "tessaline", and the element
// classes carry a prefix ("tl-comment"), so that neither the site's CSS nor
// these rules reach the other's elements.
#pragma once

#include <string>

#include "Markup.h"
#include "Types.h"

/// The class of the highlighted block.
inline constexpr const char *BlockClassName = "tessaline";

/// The CSS class of element E without a prefix: its caption in lower case,
/// words joined by "-", anything in parentheses left out ("reserved-word",
/// "whitespace").
std::string ElementClassName(THighlightElement E);

/// The CSS form of a colour: "#RRGGBB" of ColorToRGB, clNone as
/// "transparent".
std::string ColorToCSS(TColor Color);

/// Whether E looks like the page's plain text in Scheme: no colour of its
/// own, no styles (whitespace never has styles).
bool LooksPlain(const TScheme &Scheme, THighlightElement E);

/// Whether A and B look the same in Scheme (the same colour value, or
/// both none of their own, and the same styles).
bool LookAlike(const TScheme &Scheme, THighlightElement A, THighlightElement B);

/// The declarations of E's look in Scheme for a style attribute: only what
/// differs from plain text, e.g. "color:#000080;font-style:italic".
std::string InlineStyleOf(const TScheme &Scheme, THighlightElement E);

/// The block's colours as declarations: "color:...;background-color:...".
std::string BlockColorsOf(const TScheme &Scheme);

/// The stylesheet of blocks highlighted with Light (and Dark, when not null,
/// for readers who prefer a dark scheme): the block's colours, one rule per
/// element that Spans gives a span, the line numbers' rules when
/// NumberDigits > 0 (room for that many digits), each rule on a line.
/// WithBody adds the page body's colours (a whole page only).
std::string Html5Stylesheet(const TScheme &Light, const TScheme *Dark, const TSpanMarkup &Spans,
                            const std::string &Prefix, int NumberDigits, bool WithBody);
