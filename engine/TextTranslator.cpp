#include "TextTranslator.h"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "CodePoints.h"
#include "PageWriter.h"
#include "TokenStream.h"

namespace {

using namespace CodePoints;
using TEscapes = std::array<TTextEscape, 128>;

constexpr TTextEscape EscapeOf(std::string_view Text) {
  TTextEscape Escape{};
  for (size_t K = 0; K < Text.size(); ++K)
    Escape.Text[K] = Text[K];
  Escape.Length = static_cast<uint8_t>(Text.size());
  return Escape;
}

constexpr TTextEscape UTF8Of(uint32_t Code) {
  TTextEscape Escape{};
  Escape.Length = static_cast<uint8_t>(EncodeUTF8(Code, Escape.Text));
  return Escape;
}

// "\uN?": RTF's \u takes a signed 16-bit number, and "?" is what a reader
// that does not know \u shows instead (\uc1).
constexpr TTextEscape RtfUnitOf(uint32_t Unit) {
  int32_t Signed = Unit >= 0x8000 ? static_cast<int32_t>(Unit) - 0x10000 : static_cast<int32_t>(Unit);
  TTextEscape Escape{};
  uint8_t N = 0;
  Escape.Text[N++] = '\\';
  Escape.Text[N++] = 'u';
  if (Signed < 0) {
    Escape.Text[N++] = '-';
    Signed = -Signed;
  }
  char Digits[5] = {};
  int D = 0;
  do {
    Digits[D++] = static_cast<char>('0' + Signed % 10);
    Signed /= 10;
  } while (Signed != 0);
  while (D > 0)
    Escape.Text[N++] = Digits[--D];
  Escape.Text[N++] = '?';
  Escape.Length = N;
  return Escape;
}

constexpr TEscapes MakeAscii(TTextTarget Target) {
  TEscapes Escapes{};
  for (int C = 0; C < 128; ++C) {
    const auto Byte = static_cast<unsigned char>(C);
    const bool Control = IsControl(Byte);
    if (Target != TTextTarget::RTF)
      Escapes[C] = Control                                      ? UTF8Of(ControlPicture(Byte))
                   : Target == TTextTarget::BBCode && C == '[' ? EscapeOf("[[b][/b]")
                                                               : UTF8Of(Byte);
    else if (Control)
      Escapes[C] = RtfUnitOf(ControlPicture(Byte));
    else if (C == '\\' || C == '{' || C == '}')
      Escapes[C] = EscapeOf(std::string_view("\\\\\\{\\}").substr(C == '\\' ? 0 : C == '{' ? 2 : 4, 2));
    else if (C == '\r' || C == '\n')
      Escapes[C] = EscapeOf("\\par\n");
    else if (C == '\t')
      Escapes[C] = EscapeOf("\\tab ");
    else if (C == '\f')
      Escapes[C] = EscapeOf("\\page ");
    else
      Escapes[C] = UTF8Of(Byte);
  }
  return Escapes;
}

constexpr TEscapes MakeHigh(TTextTarget Target, bool Windows1252) {
  TEscapes Escapes{};
  for (int C = 0x80; C < 0x100; ++C) {
    const uint32_t Code = SingleByteCode(static_cast<unsigned char>(C), Windows1252);
    // A C1 control in an HTML5 page is left to PutHtmlForbidden (length 0).
    // Terminals obey C1 controls (U+009B starts a sequence as ESC [ does).
    if (Target == TTextTarget::RTF)
      Escapes[C - 0x80] = RtfUnitOf(Code);
    else if (Target != TTextTarget::HTML5)
      Escapes[C - 0x80] = UTF8Of(Code <= 0x9F ? Replacement : Code);
    else if (!HtmlForbids(Code))
      Escapes[C - 0x80] = UTF8Of(Code);
  }
  return Escapes;
}

constexpr TEscapes Html5Ascii = MakeAscii(TTextTarget::HTML5);
constexpr TEscapes RtfAscii = MakeAscii(TTextTarget::RTF);
constexpr TEscapes Html5Windows1252 = MakeHigh(TTextTarget::HTML5, true);
constexpr TEscapes Html5Latin1 = MakeHigh(TTextTarget::HTML5, false);
constexpr TEscapes RtfWindows1252 = MakeHigh(TTextTarget::RTF, true);
constexpr TEscapes RtfLatin1 = MakeHigh(TTextTarget::RTF, false);
constexpr TEscapes AnsiAscii = MakeAscii(TTextTarget::ANSI);
constexpr TEscapes BBCodeAscii = MakeAscii(TTextTarget::BBCode);
// ANSI and BBCode take the same high bytes.
constexpr TEscapes PlainWindows1252 = MakeHigh(TTextTarget::ANSI, true);
constexpr TEscapes PlainLatin1 = MakeHigh(TTextTarget::ANSI, false);

// "00" to "99", for line numbers.
constexpr std::array<char, 200> DigitPairs = [] {
  std::array<char, 200> Pairs{};
  for (int N = 0; N < 100; ++N) {
    Pairs[2 * N] = static_cast<char>('0' + N / 10);
    Pairs[2 * N + 1] = static_cast<char>('0' + N % 10);
  }
  return Pairs;
}();
static_assert(DigitPairs[0] == '0' && DigitPairs[2 * 57] == '5' && DigitPairs[2 * 57 + 1] == '7');

constexpr bool Is(const TTextEscape &Escape, std::string_view Text) {
  return std::string_view(Escape.Text, Escape.Length) == Text;
}
static_assert(Is(RtfAscii['{'], "\\{") && Is(RtfAscii['\\'], "\\\\") && Is(RtfAscii['}'], "\\}") &&
              Is(RtfAscii['\r'], "\\par\n") && Is(RtfAscii['\t'], "\\tab ") &&
              Is(RtfAscii[0], "\\u9216?") && Is(RtfAscii[0x7F], "\\u9249?"));
static_assert(Is(Html5Ascii[0x1B], "\xE2\x90\x9B") && Is(Html5Ascii['\t'], "\t"));
static_assert(Is(RtfWindows1252[0], "\\u8364?") && Is(RtfLatin1[0x69], "\\u233?") &&
              Is(Html5Windows1252[0x1F], "\xC5\xB8") && Html5Windows1252[0x01].Length == 0 &&
              Html5Latin1[0].Length == 0 && Is(Html5Latin1[0x20], "\xC2\xA0"));
static_assert(Is(AnsiAscii[0x1B], "\xE2\x90\x9B") && Is(BBCodeAscii['['], "[[b][/b]") &&
              Is(AnsiAscii['['], "[") && Is(PlainLatin1[0x1B], "\xEF\xBF\xBD") &&
              Is(PlainWindows1252[0x1B], "\xE2\x80\xBA") && Is(PlainLatin1[0x20], "\xC2\xA0"));
static_assert(Is(RtfUnitOf(0xD83D), "\\u-10179?") && Is(RtfUnitOf(0xFFFD), "\\u-3?"));

// The bytes that end a run copied as it is. Every byte from 0x80 up does:
// even valid UTF-8 may hold a character HTML forbids.
// With numbered lines, line ends do too.
// ANSI: line ends, which reset and reopen. BBCode: "[" and blanks.
enum TSpecialSet { ssRtf, ssHtml5, ssHtml5Lines, ssAnsi, ssBBCode, SpecialSets };
constexpr std::array<std::array<bool, 256>, SpecialSets> MakeSpecial() {
  std::array<std::array<bool, 256>, SpecialSets> Special{};
  for (int C = 0; C < 256; ++C) {
    const auto Byte = static_cast<unsigned char>(C);
    Special[ssRtf][C] = C < 0x20 || C >= 0x7F || C == '\\' || C == '{' || C == '}';
    Special[ssHtml5][C] = IsControl(Byte) || C >= 0x80;
    Special[ssHtml5Lines][C] = Special[ssHtml5][C] || C == '\r' || C == '\n';
    Special[ssAnsi][C] = Special[ssHtml5Lines][C];
    Special[ssBBCode][C] = Special[ssHtml5][C] || C == '[' || C == ' ' || C == '\t';
  }
  return Special;
}
constexpr auto Special = MakeSpecial();
static_assert(Special[ssRtf]['\n'] && !Special[ssRtf]['<'] && Special[ssRtf][0xC3] &&
              !Special[ssHtml5]['\n'] && Special[ssHtml5][0x00] && Special[ssHtml5][0xC3] &&
              Special[ssHtml5Lines]['\r'] && !Special[ssHtml5Lines]['\t'] && Special[ssAnsi]['\n'] &&
              !Special[ssAnsi]['['] && Special[ssBBCode][' '] && !Special[ssBBCode]['\n']);

// What an HTML5 page shows for a character HTML forbids: the replacement
// character, in a span whose title keeps the code point.
void PutHtmlForbidden(TPageWriter &Writer, uint32_t Code) {
  char Text[48];
  size_t Length = 0;
  for (const char C : std::string_view("<span title=\"U+"))
    Text[Length++] = C;
  static const char Digits[] = "0123456789ABCDEF";
  int Shift = Code > 0xFFFF ? (Code > 0xFFFFF ? 20 : 16) : 12;
  for (; Shift >= 0; Shift -= 4)
    Text[Length++] = Digits[Code >> Shift & 15];
  for (const char C : std::string_view("\">\xEF\xBF\xBD</span>"))
    Text[Length++] = C;
  Writer.Put(Text, Length);
}

} // namespace

TTextTranslator::TTextTranslator(TTextTarget Target, TTextForm Form, std::string_view Text,
                                 uint64_t LineCount, std::string_view ClassPrefix)
    : FTarget(Target), FForm(Form), FBegin(reinterpret_cast<const unsigned char *>(Text.data())),
      FEnd(FBegin + Text.size()), FLineCount(Target == TTextTarget::HTML5 ? LineCount : 0) {
  FAnchorStartLength = 0;
  auto AddToAnchor = [this](std::string_view Part) {
    // A translator of the token stream has no prefix: an empty view, whose
    // data may be null, which memcpy must not be given even for no bytes.
    if (Part.empty())
      return;
    std::memcpy(FAnchorStart + FAnchorStartLength, Part.data(), Part.size());
    FAnchorStartLength += Part.size();
  };
  AddToAnchor("<a class=\"");
  AddToAnchor(ClassPrefix.substr(0, MaxClassPrefix));
  AddToAnchor("line-number\" id=\"L");
  const bool Windows1252 = Form == TTextForm::Windows1252, Latin1 = Form == TTextForm::Latin1;
  FHigh = nullptr;
  switch (Target) {
  case TTextTarget::HTML5:
    FAscii = Html5Ascii.data();
    FHigh = Windows1252 ? Html5Windows1252.data() : Latin1 ? Html5Latin1.data() : nullptr;
    FSpecial = (FLineCount ? Special[ssHtml5Lines] : Special[ssHtml5]).data();
    break;
  case TTextTarget::RTF:
    FAscii = RtfAscii.data();
    FHigh = Windows1252 ? RtfWindows1252.data() : Latin1 ? RtfLatin1.data() : nullptr;
    FSpecial = Special[ssRtf].data();
    break;
  case TTextTarget::ANSI:
  case TTextTarget::BBCode: {
    const bool Ansi = Target == TTextTarget::ANSI;
    FAscii = Ansi ? AnsiAscii.data() : BBCodeAscii.data();
    FHigh = Windows1252 ? PlainWindows1252.data() : Latin1 ? PlainLatin1.data() : nullptr;
    FSpecial = Special[Ansi ? ssAnsi : ssBBCode].data();
    break;
  }
  case TTextTarget::Tokens:
  case TTextTarget::TokensOfUTF16:
    // Put counts the token stream's pieces and writes none of their bytes.
    break;
  }
  FSplitsSequences = !FHigh;
}

void TTextTranslator::Put(TPageWriter &Writer, const char *Data, size_t Size) const {
  if (FTarget == TTextTarget::Tokens || FTarget == TTextTarget::TokensOfUTF16) [[unlikely]] {
    PutTokenPiece(Writer, FTarget == TTextTarget::Tokens ? Size : UTF16Size(Data, Size));
    return;
  }
  const auto *P = reinterpret_cast<const unsigned char *>(Data);
  const auto *const End = P + Size;
  if (FSplitsSequences && P < End && (*P & 0xC0) == 0x80)
    P = SkipSplitSequence(P);
  while (P < End) {
    const unsigned char *Run = P;
    P = FindSpecial(P, End);
    if (P != Run)
      Writer.Put(reinterpret_cast<const char *>(Run), static_cast<size_t>(P - Run));
    if (P == End)
      return;
    P = PutSpecial(Writer, P, End);
  }
}

[[gnu::always_inline]] inline const unsigned char *
TTextTranslator::FindSpecial(const unsigned char *P, const unsigned char *End) const {
#if defined(__SSE2__)
  // Sixteen bytes at a time find the candidates: every byte below the
  // blank (compared signed, so with those from 0x80 up), DEL and, for RTF,
  // its three escaped characters; the table decides. Most pieces are
  // short: the bytes after one are read too while they are the text's.
  const bool Rtf = FTarget == TTextTarget::RTF, BBCode = FTarget == TTextTarget::BBCode;
  for (; P < End && FEnd - P >= 16; P += 16) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
    __m128i Candidates = _mm_or_si128(_mm_cmplt_epi8(V, _mm_set1_epi8(0x20)),
                                      _mm_cmpeq_epi8(V, _mm_set1_epi8(0x7F)));
    if (Rtf)
      Candidates = _mm_or_si128(
          Candidates, _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('\\')),
                                   _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('{')),
                                                _mm_cmpeq_epi8(V, _mm_set1_epi8('}')))));
    else if (BBCode) {
      // A blank is written as it is unless a blank or a line's start comes
      // before it: only those are candidates (the first byte of the text
      // counts as following a line end).
      const __m128i Before =
          P > FBegin ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(P - 1))
                     : _mm_or_si128(_mm_slli_si128(V, 1), _mm_cvtsi32_si128('\n'));
      const __m128i AfterBlank = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi8(Before, _mm_set1_epi8(' ')),
                       _mm_cmpeq_epi8(Before, _mm_set1_epi8('\t'))),
          _mm_or_si128(_mm_cmpeq_epi8(Before, _mm_set1_epi8('\n')),
                       _mm_cmpeq_epi8(Before, _mm_set1_epi8('\r'))));
      Candidates = _mm_or_si128(
          Candidates, _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('[')),
                                   _mm_and_si128(AfterBlank, _mm_cmpeq_epi8(V, _mm_set1_epi8(' ')))));
    }
    unsigned Mask = static_cast<unsigned>(_mm_movemask_epi8(Candidates));
    if (End - P < 16)
      Mask &= (1u << (End - P)) - 1;
    for (; Mask != 0; Mask &= Mask - 1) {
      const unsigned char *Q = P + std::countr_zero(Mask);
      if (FSpecial[*Q])
        return Q;
    }
  }
  if (P >= End)
    return End;
#endif
  while (P < End && !FSpecial[*P])
    ++P;
  return P;
}

const unsigned char *TTextTranslator::PutSpecial(TPageWriter &Writer, const unsigned char *P,
                                                 const unsigned char *End) const {
  const unsigned char C = *P;
  if (C < 0x80) {
    if (FLineCount && (C == '\r' || C == '\n')) {
      Writer.Put(reinterpret_cast<const char *>(P), 1);
      // The LF of a CR LF ends the line.
      if (C == '\r' && P + 1 < FEnd && P[1] == '\n')
        return P + 1;
      Writer.SetTextLine(Writer.TextLine() + 1);
      if (Writer.TextLine() <= FLineCount)
        PutLineAnchor(Writer, Writer.TextLine());
      return P + 1;
    }
    if (FTarget == TTextTarget::ANSI && (C == '\r' || C == '\n'))
      return PutAnsiLineEnd(Writer, P);
    if (FTarget == TTextTarget::BBCode && (C == ' ' || C == '\t'))
      return PutBBCodeBlanks(Writer, P, End);
    // CR LF is one line end, one \par, even when markup came between them.
    if (C == '\n' && FTarget == TTextTarget::RTF && P > FBegin && P[-1] == '\r')
      return P + 1;
    Writer.Put(FAscii[C].Text, FAscii[C].Length);
    return P + 1;
  }
  if (FHigh) {
    const TTextEscape &Escape = FHigh[C - 0x80];
    if (Escape.Length == 0) // HTML5 only
      PutHtmlForbidden(Writer, SingleByteCode(C, FForm == TTextForm::Windows1252));
    else
      Writer.Put(Escape.Text, Escape.Length);
    return P + 1;
  }
  const size_t Length = ValidSequenceAt(P, static_cast<size_t>(FEnd - P));
  if (Length == 0) {
    // Each byte of an invalid sequence (only in UTF8Mended) is one U+FFFD.
    if (FTarget == TTextTarget::RTF)
      PutRtfUnicode(Writer, Replacement);
    else
      Writer.Put("\xEF\xBF\xBD", 3);
    return P + 1;
  }
  const uint32_t Code = DecodeSequence(P, Length);
  if (FTarget == TTextTarget::RTF)
    PutRtfUnicode(Writer, Code);
  else if (FTarget == TTextTarget::HTML5 && HtmlForbids(Code))
    PutHtmlForbidden(Writer, Code);
  else if (FTarget != TTextTarget::HTML5 && Code <= 0x9F)
    Writer.Put("\xEF\xBF\xBD", 3);
  else
    Writer.Put(reinterpret_cast<const char *>(P), Length);
  return P + Length;
}

const unsigned char *TTextTranslator::PutAnsiLineEnd(TPageWriter &Writer,
                                                     const unsigned char *P) const {
  // Colours are reset before each line end and set again after it, so
  // that a pager, or head, showing some of the lines shows them right.
  const std::string_view Open = Writer.OpenSpan();
  const char *Byte = reinterpret_cast<const char *>(P);
  if (Open.empty()) {
    Writer.Put(Byte, 1);
    return P + 1;
  }
  // The CR of a CR LF has reset the colours, which the LF sets again.
  const bool AfterReturn = *P == '\n' && P > FBegin && P[-1] == '\r';
  if (!AfterReturn)
    Writer.Put("\x1B[0m", 4);
  Writer.Put(Byte, 1);
  if (*P == '\r' && P + 1 < FEnd && P[1] == '\n')
    return P + 1;
  Writer.Put(Open);
  return P + 1;
}

const unsigned char *TTextTranslator::PutBBCodeBlanks(TPageWriter &Writer, const unsigned char *P,
                                                      const unsigned char *End) const {
  // Forums show posts as HTML outside a <pre>, where a run of blanks shows
  // as one and blanks at a line's start as none: a blank that another
  // blank or a line's start comes before is a no-break space, which shows
  // as itself, and a tab (BBCode has no tab stops) eight of them. Only the
  // first blank of a run depends on what comes before it, so a run is
  // written at once, the same wherever the text is cut.
  static constexpr std::string_view Spaces =
      "\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0";
  const unsigned char Before = P > FBegin ? P[-1] : '\n';
  if (*P == ' ' && Before != ' ' && Before != '\t' && Before != '\n' && Before != '\r') {
    Writer.Put(" ", 1);
    ++P;
  }
  while (P < End) {
    if (*P == '\t') {
      Writer.Put(Spaces.data(), Spaces.size());
      ++P;
      continue;
    }
    const unsigned char *Run = P;
    while (P < End && *P == ' ' && P - Run < 8)
      ++P;
    if (P == Run)
      break;
    Writer.Put(Spaces.data(), 2 * static_cast<size_t>(P - Run));
  }
  return P;
}

const unsigned char *TTextTranslator::SkipSplitSequence(const unsigned char *P) const {
  // A piece that starts on a continuation byte may start inside a sequence
  // that the piece before it has written whole: its lead is at most three
  // bytes back. A lead byte is never a continuation byte, so the nearest
  // one starts the sequence, valid or not.
  if (P == FBegin)
    return P;
  const unsigned char *Lead = P - 1;
  while (Lead > FBegin && P - Lead < 3 && (*Lead & 0xC0) == 0x80)
    --Lead;
  const size_t Length = ValidSequenceAt(Lead, static_cast<size_t>(FEnd - Lead));
  return Lead + Length > P ? Lead + Length : P;
}

void TTextTranslator::PutRtfUnicode(TPageWriter &Writer, uint32_t Code) const {
  // Characters beyond U+FFFF take two \u escapes, as UTF-16.
  char Text[2 * sizeof(TTextEscape::Text)];
  size_t Length = 0;
  auto Add = [&Text, &Length](const TTextEscape &Unit) {
    for (size_t K = 0; K < Unit.Length; ++K)
      Text[Length++] = Unit.Text[K];
  };
  if (Code >= 0x10000) {
    Add(RtfUnitOf(0xD800 + ((Code - 0x10000) >> 10)));
    Add(RtfUnitOf(0xDC00 + ((Code - 0x10000) & 0x3FF)));
  } else {
    Add(RtfUnitOf(Code));
  }
  Writer.Put(Text, Length);
}

void TTextTranslator::PutLineAnchor(TPageWriter &Writer, uint64_t Line) const {
  // One anchor a line: built whole with copies of fixed sizes and put at
  // once (with the short prefixes in use, an anchor of up to ten digits
  // fits PutPadded's 64 bytes).
  const std::string_view Start(FAnchorStart, FAnchorStartLength);
  constexpr std::string_view Middle = "\" href=\"#L", End = "\"></a>";
  constexpr size_t MaxDigits = 20;
  // The digits end at Number + MaxDigits, with room before them to copy
  // MaxDigits bytes from their start; two at a time.
  char Number[2 * MaxDigits] = {};
  char *First = Number + MaxDigits;
  for (; Line >= 100; Line /= 100)
    std::memcpy(First -= 2, DigitPairs.data() + 2 * (Line % 100), 2);
  if (Line >= 10)
    std::memcpy(First -= 2, DigitPairs.data() + 2 * Line, 2);
  else
    *--First = static_cast<char>('0' + Line);
  const size_t Digits = static_cast<size_t>(Number + MaxDigits - First);
  char Text[sizeof FAnchorStart + Middle.size() + End.size() + 2 * MaxDigits +
            TPageWriter::PaddedRead];
  size_t Length = Start.size();
  std::memcpy(Text, Start.data(), Start.size());
  std::memcpy(Text + Length, First, MaxDigits);
  Length += Digits;
  std::memcpy(Text + Length, Middle.data(), Middle.size());
  Length += Middle.size();
  std::memcpy(Text + Length, First, MaxDigits);
  Length += Digits;
  std::memcpy(Text + Length, End.data(), End.size());
  Length += End.size();
  Writer.PutPadded(Text, Length);
}

uint64_t CountLineEnds(const char *From, const char *To) {
  uint64_t Ends = 0;
  const char *P = From;
#if defined(__SSE2__)
  // A LF each, and a CR each that no LF follows: 16 bytes and the 16 after
  // each of them at a time, counted in 16 byte-sized counters that are
  // summed before they can overflow.
  const __m128i Zero = _mm_setzero_si128();
  __m128i Counts = Zero;
  int Blocks = 0;
  for (; To - P > 16; P += 16) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
    const __m128i Next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + 1));
    const __m128i LineFeeds = _mm_cmpeq_epi8(V, _mm_set1_epi8('\n'));
    const __m128i LoneReturns = _mm_andnot_si128(_mm_cmpeq_epi8(Next, _mm_set1_epi8('\n')),
                                                 _mm_cmpeq_epi8(V, _mm_set1_epi8('\r')));
    Counts = _mm_sub_epi8(Counts, _mm_or_si128(LineFeeds, LoneReturns)); // a match is -1
    if (++Blocks == 255 || To - P <= 32) {
      const __m128i Sums = _mm_sad_epu8(Counts, Zero);
      Ends += static_cast<uint64_t>(_mm_cvtsi128_si32(Sums)) +
              static_cast<uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(Sums, 8)));
      Counts = Zero;
      Blocks = 0;
    }
  }
#endif
  for (; P < To; ++P)
    Ends += *P == '\n' || (*P == '\r' && P[1] != '\n');
  return Ends;
}
