// The token stream: one JSON object per line for each run of source bytes
// of one element, {"start":BYTE,"length":N,"element":"NAME"}, with byte
// offsets into the source as it was given (a byte-order mark counts), the
// lines covering the source without gap or overlap, in source order.
// NAME is the element's stored value name ("Whitespace_(BG)", "Comment",
// "Reserved_word", ...). Consecutive tokens of one element form one line,
// so no two consecutive lines have the same element; an empty source gives
// no line. A byte-order mark is whitespace, in the first line.
//
// The stream is written in two steps, so that it streams, and comes out the
// same whoever scans which part of the source. The scanner writes a run
// form through the span markup (BuildTokenSpans: a code byte at every
// element switch) and the text translator (PutTokenPiece: the length of
// each piece of text, never the text), which it may cut anywhere a page may
// be cut; TTokenLines reads that form in order and writes the lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Markup.h"
#include "PageWriter.h"
#include "Types.h"

/// The name of element E in the stream: its stored value name.
std::string TokenElementName(THighlightElement E);

/// Spans that write a switch code before every token whose element differs
/// from the last one's, and after every token before whitespace.
void BuildTokenSpans(TSpanMarkup &Spans);

/// Writes the run form of a piece of Size source bytes (nothing for 0).
void PutTokenPiece(TPageWriter &Writer, uint64_t Size);
/// Writes the run form's switch to element E: the pieces that follow are
/// E's. (The spans write it; a caller that has the runs writes it itself.)
void PutTokenSwitch(TPageWriter &Writer, THighlightElement E);

/// The UTF-16 bytes that the piece of UTF-8 at Data stands for: two for
/// each character, four for one outside the Basic Multilingual Plane. A
/// cut inside a sequence counts it with its first byte.
uint64_t UTF16Size(const char *Data, size_t Size);

/// Reads the run form as a sink and writes the lines to Out. Base is the
/// offset of the scanned text's first byte in the source (the length of a
/// byte-order mark); offsets never reach past End, the source's size.
class TTokenLines : public TOutputSink {
public:
  TTokenLines(TPageWriter &Out, uint64_t Base, uint64_t End);
  void Write(const char *Data, size_t Size) override;
  /// Writes the last line. The run form must be complete.
  void Finish();

private:
  void Piece(uint64_t Size);
  void PutLine();
  void AddToStart(uint64_t Length);

  TPageWriter &Out;
  const uint64_t End;
  uint64_t Pos;            // the offset of the next piece
  uint64_t RunStart; // the run not written yet
  uint64_t RunLength;
  uint8_t RunElement = heWhitespace;
  uint8_t Element = heWhitespace; // the element of the pieces that follow
  char Carry[9];                  // a long piece's code cut by a block's end
  uint8_t Carried = 0;
  struct TSuffix {
    char Text[48]; // ,"element":"NAME"}\n, copied whole
    uint8_t Length;
  } Suffix[ElementCount] = {};
  // The start of the next line in decimal, its digits ending at StartEnd,
  // with room to be copied StartEnd bytes at a time from its first digit.
  static constexpr int StartEnd = 24;
  char StartText[2 * StartEnd] = {};
  uint8_t StartDigits = 1;
};
