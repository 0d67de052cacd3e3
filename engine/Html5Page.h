// The HTML5 page: "<!DOCTYPE html>", UTF-8, a <style> block (or a link to
// a stylesheet, or none with inline styles), one <pre class="tessaline">
// whose tokens sit in <span>s, and optionally numbered lines with anchors
// (which the text translator writes, see TTextTranslator). A fragment is
// the block alone, preceded by its <style> or <link>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Html5Styles.h"
#include "Markup.h"
#include "PageOptions.h"
#include "PageWriter.h"
#include "Types.h"

/// The four page texts, inserted verbatim as HTML.
struct TPageTexts {
  const std::string &Title;
  const std::string &AddHeader;
  const std::string &AddBodyStart;
  const std::string &AddBodyEnd;
};

/// Spans for the page of Light (and Dark, when not null): elements share a
/// span where they look alike in both schemes. A span names its element's
/// class, Options.ClassPrefix first, or with Options.InlineStyles carries
/// its look in Light as a style attribute. Inactive code gets a span (and
/// the page a rule for it) only WithInactive, where conditionals are
/// followed.
void BuildHtml5Spans(const TScheme &Light, const TScheme *Dark, const TPageOptions &Options,
                     TSpanMarkup &Spans, bool WithInactive = false);

/// The page (or, with Options.Fragment, the fragment) up to and including
/// the block's "<pre ...>" and the line end the parser drops after it.
/// LineCount > 0 styles numbered lines, with room for its digits.
void WriteHtml5Header(TPageWriter &Writer, const TPageTexts &Texts, const TScheme &Light,
                      const TScheme *Dark, const TSpanMarkup &Spans, const TPageOptions &Options,
                      uint64_t LineCount);
/// Closes an open span, then "</pre>"; a page goes on with AddBodyEnd and
/// the closing tags, a fragment with a line end.
void WriteHtml5Footer(TPageWriter &Writer, const TPageTexts &Texts, const TPageOptions &Options,
                      bool SpanOpen);

/// The stylesheet that pages and fragments with a CssFile link: as their
/// own <style> would hold it (without the page body's colours), with room
/// for four digits of line numbers; a rule for inactive code only
/// WithInactive, as pages that follow conditionals have.
std::string Html5LinkedStylesheet(const TScheme &Light, const TScheme *Dark,
                                  const TPageOptions &Options, bool WithInactive = false);

/// The number of lines of Text: its line ends (CR LF, a lone CR, LF), plus
/// one for a last line without one. The byte after Text is read.
uint64_t CountLines(std::string_view Text);
