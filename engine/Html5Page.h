// The HTML5 page: "<!DOCTYPE html>", UTF-8, a <style> block that gives
// each element's class its colour and font styles, one <pre> whose tokens
// sit in <span>s, and optionally numbered lines with anchors (which the
// text translator writes, see TTextTranslator).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Markup.h"
#include "PageWriter.h"
#include "Types.h"

/// The four page texts, inserted verbatim as HTML.
struct TPageTexts {
  const std::string &Title;
  const std::string &AddHeader;
  const std::string &AddBodyStart;
  const std::string &AddBodyEnd;
};

/// The CSS class of element E: its caption in lower case, words joined by
/// "-", anything in parentheses left out ("reserved-word", "whitespace").
std::string ElementClassName(THighlightElement E);

/// The CSS form of a colour: "#RRGGBB" of ColorToRGB, clNone as
/// "transparent".
std::string ColorToCSS(TColor Color);

/// Spans for the page of Light (and Dark, when not null): elements share a
/// span where they look alike in both schemes. Inactive code gets a span
/// (and the page a rule for it) only WithInactive, where conditionals are
/// followed.
void BuildHtml5Spans(const TScheme &Light, const TScheme *Dark, TSpanMarkup &Spans,
                     bool WithInactive = false);

/// The page up to and including "<pre>" and the line end the parser drops
/// after it. LineCount > 0 styles numbered lines, with room for its digits.
void WriteHtml5Header(TPageWriter &Writer, const TPageTexts &Texts, const TScheme &Light,
                      const TScheme *Dark, const TSpanMarkup &Spans, uint64_t LineCount);
/// Closes an open span, then "</pre>", AddBodyEnd and the closing tags.
void WriteHtml5Footer(TPageWriter &Writer, const TPageTexts &Texts, bool SpanOpen);

/// The number of lines of Text: its line ends (CR LF, a lone CR, LF), plus
/// one for a last line without one. The byte after Text is read.
uint64_t CountLines(std::string_view Text);
