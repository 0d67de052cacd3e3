#include "TokenStream.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "ColorScheme.h"

namespace {

// The run form: a byte below LongPiece is a piece of that many bytes;
// LongPiece is followed by the piece's size in eight bytes, low byte
// first; SwitchCode + E switches to element E. Pieces of up to 127 bytes,
// most of them, take one byte, so the form stays far smaller than the
// source and a helper thread's part of it fits the buffer sized for a
// page.
constexpr unsigned char LongPiece = 0x80;
constexpr unsigned char SwitchCode = 0x90;
static_assert(SwitchCode > LongPiece && SwitchCode + ElementCount <= 0x100);

} // namespace

std::string TokenElementName(THighlightElement E) { return ElementValueName(E); }

void BuildTokenSpans(TSpanMarkup &Spans) {
  // Every element looks unlike every other and is "decorated", so that
  // whitespace closes its span: a switch is written wherever the element
  // changes, and also between two tokens of one element (which the lines
  // join again).
  for (int K = 0; K < ElementCount; ++K) {
    Spans.Close[K].assign(1, static_cast<char>(SwitchCode + heWhitespace));
    Spans.Open[K].assign(1, static_cast<char>(SwitchCode + K));
    Spans.Look[K] = static_cast<uint8_t>(K);
    Spans.Decorated[K] = true;
  }
}

void PutTokenPiece(TPageWriter &Writer, uint64_t Size) {
  if (Size == 0)
    return;
  if (Size < LongPiece) {
    const char Code = static_cast<char>(Size);
    Writer.Put(&Code, 1);
    return;
  }
  char Code[9] = {static_cast<char>(LongPiece)};
  for (int K = 0; K < 8; ++K)
    Code[1 + K] = static_cast<char>(Size >> (8 * K) & 0xFF);
  Writer.Put(Code, sizeof Code);
}

void PutTokenSwitch(TPageWriter &Writer, THighlightElement E) {
  const char Code = static_cast<char>(SwitchCode + E);
  Writer.Put(&Code, 1);
}

uint64_t UTF16Size(const char *Data, size_t Size) {
  uint64_t Units = 0;
  for (size_t K = 0; K < Size; ++K) {
    const auto B = static_cast<unsigned char>(Data[K]);
    Units += (B & 0xC0) != 0x80;
    Units += B >= 0xF0; // a surrogate pair
  }
  return 2 * Units;
}

TTokenLines::TTokenLines(TPageWriter &Out, uint64_t Base, uint64_t End)
    : Out(Out), End(End), Pos(Base), RunStart(0), RunLength(Base) {
  // A byte-order mark is no text, but the lines cover it: as whitespace.
  for (int K = 0; K < ElementCount; ++K) {
    const std::string Text =
        ",\"element\":\"" + TokenElementName(static_cast<THighlightElement>(K)) + "\"}\n";
    // A name too long for its slot would be cut: none is near it.
    Suffix[K].Length = static_cast<uint8_t>(std::min(Text.size(), sizeof Suffix[K].Text));
    std::memcpy(Suffix[K].Text, Text.data(), Suffix[K].Length);
  }
  StartText[StartEnd - 1] = '0';
}

void TTokenLines::Write(const char *Data, size_t Size) {
  const auto *P = reinterpret_cast<const unsigned char *>(Data);
  const auto *const Stop = P + Size;
  // A long piece's code may be cut by the end of a block.
  if (Carried > 0) {
    while (Carried < sizeof Carry && P < Stop)
      Carry[Carried++] = static_cast<char>(*P++);
    if (Carried < sizeof Carry)
      return;
    uint64_t Long = 0;
    for (int K = 0; K < 8; ++K)
      Long |= uint64_t(static_cast<unsigned char>(Carry[1 + K])) << (8 * K);
    Carried = 0;
    Piece(Long);
  }
  while (P < Stop) {
    const unsigned char Code = *P;
    if (Code < LongPiece) {
      Piece(Code);
      ++P;
    } else if (Code >= SwitchCode) {
      Element = static_cast<uint8_t>(Code - SwitchCode);
      ++P;
    } else if (Stop - P >= 9) {
      uint64_t Long = 0;
      for (int K = 0; K < 8; ++K)
        Long |= uint64_t(P[1 + K]) << (8 * K);
      Piece(Long);
      P += 9;
    } else {
      while (P < Stop)
        Carry[Carried++] = static_cast<char>(*P++);
    }
  }
}

void TTokenLines::Piece(uint64_t Size) {
  // Pieces of one element join, whatever came between them: a switch to
  // whitespace and back with no whitespace between, or a cut where a
  // helper thread's part of the page starts.
  if (Element != RunElement) {
    if (RunLength > 0)
      PutLine();
    RunElement = Element;
    RunStart = Pos;
    RunLength = 0;
  }
  RunLength += Size;
  Pos += Size;
}

void TTokenLines::Finish() {
  if (RunLength > 0)
    PutLine();
  RunLength = 0;
}

namespace {

// Most lengths, and the offsets of small sources, have one or two digits.
char *PutDecimal(char *P, uint64_t Value) {
  if (Value < 10) {
    *P = static_cast<char>('0' + Value);
    return P + 1;
  }
  if (Value < 100) {
    P[0] = static_cast<char>('0' + Value / 10);
    P[1] = static_cast<char>('0' + Value % 10);
    return P + 2;
  }
  return std::to_chars(P, P + 20, Value).ptr;
}

} // namespace

void TTokenLines::PutLine() {
  // A UTF-16 source whose last byte is odd is decoded with a whole
  // replacement character for it, which counts two bytes.
  const uint64_t Length = std::min(RunLength, End - std::min(End, RunStart));
  // Built in place, from pieces of fixed size: there are several lines for
  // every ten bytes of source.
  static constexpr char Start[] = "{\"start\":";
  static constexpr char Key[] = ",\"length\":";
  char *const Line = Out.Room(sizeof Start + StartEnd + sizeof Key + 20 + sizeof Suffix[0].Text);
  char *P = Line;
  std::memcpy(P, Start, sizeof Start - 1);
  P += sizeof Start - 1;
  std::memcpy(P, StartText + StartEnd - StartDigits, StartEnd);
  P += StartDigits;
  std::memcpy(P, Key, sizeof Key - 1);
  P = PutDecimal(P + sizeof Key - 1, Length);
  const TSuffix &Tail = Suffix[RunElement];
  std::memcpy(P, Tail.Text, sizeof Tail.Text);
  Out.Advance(static_cast<size_t>(P - Line) + Tail.Length);
  AddToStart(Length);
}

void TTokenLines::AddToStart(uint64_t Length) {
  // The lines are contiguous, so the next start is this one plus its
  // length, added in decimal: most lengths touch one or two digits, where
  // writing the offset anew takes a division per digit.
  char *P = StartText + StartEnd - 1;
  for (uint64_t Carry = Length; Carry > 0; --P) {
    if (P < StartText + StartEnd - StartDigits) {
      *P = '0';
      ++StartDigits;
    }
    const uint64_t Sum = static_cast<uint64_t>(*P - '0') + Carry % 10;
    Carry = Carry / 10 + (Sum >= 10 ? 1 : 0);
    *P = static_cast<char>('0' + Sum % 10);
  }
}
