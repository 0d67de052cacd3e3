// The RTF document: a colour table from the scheme, \b \i \ul \strike for
// the styles, a monospaced font, and the text with non-ASCII characters as
// \u escapes, so that word processors open it with its colours.
//
// The scanner writes an HTML body; TRtfBodySink turns it into RTF on its
// way out. The span markup of an RTF document is RTF groups wrapped in
// "<" and ">", which the body can hold only as markup, since the scanner
// writes the source's "<" as an entity.
#pragma once

#include <cstdint>
#include <string>

#include "Markup.h"
#include "PageWriter.h"
#include "Types.h"

/// Spans for the document of Scheme: a group with the element's colour
/// (colour table entry E + 1) and styles; elements alike share one.
void BuildRtfSpans(const TScheme &Scheme, TSpanMarkup &Spans);

/// The document's start: font and colour tables, the page colours.
void WriteRtfHeader(TPageWriter &Writer, const TScheme &Scheme);
/// Closes an open group and the document.
void WriteRtfFooter(TPageWriter &Writer, bool SpanOpen);

/// Passes a body on to Out as RTF: markup as it is between its "<" and
/// ">", the four entities as their characters, "\", "{" and "}" escaped,
/// each line end (CR LF, CR, LF) as \par, tabs as \tab, form feeds as
/// \page, UTF-8 sequences as \u escapes.
class TRtfBodySink : public TOutputSink {
public:
  explicit TRtfBodySink(TPageWriter &Out) : FOut(Out) {}
  void Write(const char *Data, size_t Size) override;

private:
  void PutSpecial(unsigned char C);
  void PutUnicode(uint32_t Code);
  enum class TState : uint8_t { Text, Markup, Entity, Sequence };
  TPageWriter &FOut;
  TState FState = TState::Text;
  bool FAfterCR = false; // a LF next belongs to the line end already written
  char FEntity[8] = {};
  uint8_t FEntityLength = 0;
  uint8_t FMissing = 0; // continuation bytes still to come
  uint32_t FCode = 0;
};
