#include "SourceText.h"

#include <algorithm>
#include <cstring>

#include "CodePoints.h"

namespace {

using namespace CodePoints;

void AppendUTF8(std::string &Out, uint32_t Code) {
  char Bytes[4];
  Out.append(Bytes, EncodeUTF8(Code, Bytes));
}

void DecodeUTF16(std::string_view Bytes, bool BigEndian, std::string &Out) {
  Out.clear();
  Out.reserve(Bytes.size() + Bytes.size() / 2);
  const auto *P = reinterpret_cast<const unsigned char *>(Bytes.data());
  const size_t Units = Bytes.size() / 2;
  auto Unit = [&](size_t K) -> uint32_t {
    return BigEndian ? (P[2 * K] << 8 | P[2 * K + 1]) : (P[2 * K + 1] << 8 | P[2 * K]);
  };
  for (size_t K = 0; K < Units; ++K) {
    const uint32_t U = Unit(K);
    if (U >= 0xD800 && U <= 0xDBFF && K + 1 < Units && Unit(K + 1) >= 0xDC00 &&
        Unit(K + 1) <= 0xDFFF) {
      AppendUTF8(Out, 0x10000 + ((U - 0xD800) << 10) + (Unit(K + 1) - 0xDC00));
      ++K;
    } else if (U >= 0xD800 && U <= 0xDFFF) {
      AppendUTF8(Out, Replacement); // a surrogate without its partner
    } else {
      AppendUTF8(Out, U);
    }
  }
  if (Bytes.size() % 2)
    AppendUTF8(Out, Replacement); // half a unit at the end
}

void DecodeUTF8(std::string_view Bytes, std::string &Out) {
  Out.clear();
  Out.reserve(Bytes.size());
  const auto *P = reinterpret_cast<const unsigned char *>(Bytes.data());
  for (size_t K = 0; K < Bytes.size();) {
    const size_t Length = ValidSequenceAt(P + K, Bytes.size() - K);
    if (Length == 0) {
      AppendUTF8(Out, Replacement);
      ++K;
    } else {
      Out.append(Bytes.data() + K, Length);
      K += Length;
    }
  }
}

// Whether any byte of Word is below N (N <= 128), or strictly between M
// and N (M <= 127, N <= 128): exact tests, no byte borrows from another.
constexpr uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
constexpr bool AnyBelow(uint64_t Word, uint64_t N) { return (Word - Ones * N) & ~Word & Highs; }
constexpr bool AnyBetween(uint64_t Word, uint64_t M, uint64_t N) {
  const uint64_t Low = Word & (Ones * 127);
  return (Ones * (127 + N) - Low) & ~Word & (Low + Ones * (127 - M)) & Highs;
}

// Whether Word holds a control character: below tab, vertical tab, from
// shift out (0x0E) to 0x1F, or DEL.
constexpr bool AnyControl(uint64_t Word) {
  return AnyBelow(Word, 0x09) || AnyBetween(Word, 0x0A, 0x0C) || AnyBetween(Word, 0x0D, 0x20) ||
         AnyBelow(Word ^ (Ones * 0x7F), 1);
}
static_assert(AnyControl(0x1A) && AnyControl(0x7F00) && AnyControl(0x0B) &&
              !AnyControl(0x0D0A090C20414243ull));

// The length of the run of ASCII bytes at the start of [P, End).
size_t AsciiRun(const unsigned char *P, const unsigned char *End) {
  const unsigned char *Q = P;
  while (End - Q >= 8) {
    uint64_t Word;
    std::memcpy(&Word, Q, 8);
    if (Word & Highs)
      break;
    Q += 8;
  }
  while (Q < End && *Q < 0x80)
    ++Q;
  return static_cast<size_t>(Q - P);
}

void DecodeSingleBytes(std::string_view Bytes, bool Windows1252, std::string &Out) {
  Out.clear();
  Out.reserve(Bytes.size() + Bytes.size() / 4);
  const auto *P = reinterpret_cast<const unsigned char *>(Bytes.data());
  const auto *const End = P + Bytes.size();
  while (P < End) {
    // Sources are mostly ASCII, which is copied a run at a time.
    const size_t Run = AsciiRun(P, End);
    Out.append(reinterpret_cast<const char *>(P), Run);
    P += Run;
    if (P < End)
      AppendUTF8(Out, SingleByteCode(*P++, Windows1252));
  }
}

enum class TMark { None, UTF8, UTF16LE, UTF16BE };

TMark MarkOf(std::string_view Bytes) {
  if (Bytes.size() >= 3 && std::memcmp(Bytes.data(), "\xEF\xBB\xBF", 3) == 0)
    return TMark::UTF8;
  if (Bytes.size() >= 2 && std::memcmp(Bytes.data(), "\xFF\xFE", 2) == 0)
    return TMark::UTF16LE;
  if (Bytes.size() >= 2 && std::memcmp(Bytes.data(), "\xFE\xFF", 2) == 0)
    return TMark::UTF16BE;
  return TMark::None;
}

// Takes a marked source; false when Bytes has no mark.
bool TakeMark(std::string_view Bytes, TSourceText &Source) {
  switch (MarkOf(Bytes)) {
  case TMark::None:
    return false;
  case TMark::UTF8:
    Source.Text = Bytes.substr(3);
    break;
  case TMark::UTF16LE:
  case TMark::UTF16BE:
    DecodeUTF16(Bytes.substr(2), MarkOf(Bytes) == TMark::UTF16BE, Source.Storage);
    Source.Text = Source.Storage;
    break;
  }
  Source.MarkedUnicode = true;
  return true;
}

} // namespace

bool FindSourceEncoding(std::string_view Name, TSourceEncoding &Encoding) {
  std::string Lower(Name);
  for (char &C : Lower)
    if (C >= 'A' && C <= 'Z')
      C = static_cast<char>(C + 32);
  static constexpr struct {
    const char *Name;
    TSourceEncoding Encoding;
  } Names[] = {
      {"auto", TSourceEncoding::Auto},           {"utf-8", TSourceEncoding::UTF8},
      {"utf8", TSourceEncoding::UTF8},           {"windows-1252", TSourceEncoding::Windows1252},
      {"cp1252", TSourceEncoding::Windows1252},  {"iso-8859-1", TSourceEncoding::Latin1},
      {"latin1", TSourceEncoding::Latin1},       {"utf-16le", TSourceEncoding::UTF16LE},
      {"utf-16be", TSourceEncoding::UTF16BE},
  };
  for (const auto &Entry : Names)
    if (Lower == Entry.Name) {
      Encoding = Entry.Encoding;
      return true;
    }
  return false;
}

bool IsValidUTF8(std::string_view Bytes) {
  const auto *P = reinterpret_cast<const unsigned char *>(Bytes.data());
  const size_t Size = Bytes.size();
  size_t K = 0;
  while (K < Size) {
    // Sources are mostly ASCII: eight bytes at a time while no high bit is set.
    while (K + 8 <= Size) {
      uint64_t Word;
      std::memcpy(&Word, P + K, 8);
      if (Word & 0x8080808080808080ull)
        break;
      K += 8;
    }
    if (K >= Size)
      break;
    const size_t Length = ValidSequenceAt(P + K, Size - K);
    if (Length == 0)
      return false;
    K += Length;
  }
  return true;
}

void TakeMarkedSource(std::string_view Bytes, TSourceText &Source) {
  Source.MarkedUnicode = false;
  if (!TakeMark(Bytes, Source))
    Source.Text = Bytes;
}

void DecodeSource(std::string_view Bytes, TSourceEncoding Encoding, TSourceText &Source) {
  Source.MarkedUnicode = false;
  Source.Form = TTextForm::UTF8;
  if (TakeMark(Bytes, Source)) {
    // A UTF-8 mark vouches for nothing after it.
    if (!IsValidUTF8(Source.Text)) {
      std::string Decoded;
      DecodeUTF8(Source.Text, Decoded);
      Source.Storage = std::move(Decoded);
      Source.Text = Source.Storage;
    }
    return;
  }
  switch (Encoding) {
  case TSourceEncoding::Auto:
  case TSourceEncoding::UTF8:
    if (IsValidUTF8(Bytes)) {
      Source.Text = Bytes;
      return;
    }
    if (Encoding == TSourceEncoding::Auto)
      DecodeSingleBytes(Bytes, true, Source.Storage);
    else
      DecodeUTF8(Bytes, Source.Storage);
    break;
  case TSourceEncoding::Windows1252:
  case TSourceEncoding::Latin1:
    DecodeSingleBytes(Bytes, Encoding == TSourceEncoding::Windows1252, Source.Storage);
    break;
  case TSourceEncoding::UTF16LE:
  case TSourceEncoding::UTF16BE:
    DecodeUTF16(Bytes, Encoding == TSourceEncoding::UTF16BE, Source.Storage);
    break;
  }
  Source.Text = Source.Storage;
}

void TakeSource(std::string_view Bytes, TSourceEncoding Encoding, TSourceText &Source) {
  Source.MarkedUnicode = false;
  Source.Form = TTextForm::UTF8;
  auto TakeUTF8 = [&Source](std::string_view Text) {
    Source.Text = Text;
    Source.Form = IsValidUTF8(Text) ? TTextForm::UTF8 : TTextForm::UTF8Mended;
  };
  switch (MarkOf(Bytes)) {
  case TMark::UTF8:
    Source.MarkedUnicode = true;
    TakeUTF8(Bytes.substr(3)); // a UTF-8 mark vouches for nothing after it
    return;
  case TMark::UTF16LE:
  case TMark::UTF16BE:
    TakeMark(Bytes, Source);
    return;
  case TMark::None:
    break;
  }
  switch (Encoding) {
  case TSourceEncoding::Auto:
    Source.Text = Bytes;
    Source.Form = IsValidUTF8(Bytes) ? TTextForm::UTF8 : TTextForm::Windows1252;
    break;
  case TSourceEncoding::UTF8:
    TakeUTF8(Bytes);
    break;
  case TSourceEncoding::Windows1252:
  case TSourceEncoding::Latin1:
    Source.Text = Bytes;
    Source.Form = Encoding == TSourceEncoding::Windows1252 ? TTextForm::Windows1252
                                                           : TTextForm::Latin1;
    break;
  case TSourceEncoding::UTF16LE:
  case TSourceEncoding::UTF16BE:
    DecodeUTF16(Bytes, Encoding == TSourceEncoding::UTF16BE, Source.Storage);
    Source.Text = Source.Storage;
    break;
  }
}

size_t ByteOrderMarkLength(std::string_view Bytes) {
  switch (MarkOf(Bytes)) {
  case TMark::UTF8:
    return 3;
  case TMark::UTF16LE:
  case TMark::UTF16BE:
    return 2;
  case TMark::None:
    break;
  }
  return 0;
}

bool HasCharactersShownAsSymbols(std::string_view Text) {
  const auto *P = reinterpret_cast<const unsigned char *>(Text.data());
  const size_t Size = Text.size();
  size_t K = 0;
  while (K < Size) {
    // Sources are mostly ASCII without controls: eight bytes at a time.
    while (K + 8 <= Size) {
      uint64_t Word;
      std::memcpy(&Word, P + K, 8);
      if ((Word & Highs) || AnyControl(Word))
        break;
      K += 8;
    }
    if (K >= Size)
      break;
    const size_t Length = ValidSequenceAt(P + K, Size - K);
    if (Length == 0) {
      ++K; // not UTF-8: not asked
      continue;
    }
    const uint32_t Code = DecodeSequence(P + K, Length);
    if (Length == 1 ? IsControl(P[K]) : HtmlForbids(Code))
      return true;
    K += Length;
  }
  return false;
}
