#include "SourceText.h"

#include <algorithm>
#include <cstring>

namespace {

void AppendUTF8(std::string &Out, uint32_t Code) {
  if (Code < 0x80) {
    Out += static_cast<char>(Code);
  } else if (Code < 0x800) {
    Out += static_cast<char>(0xC0 | Code >> 6);
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Out += static_cast<char>(0xE0 | Code >> 12);
    Out += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | Code >> 18);
    Out += static_cast<char>(0x80 | (Code >> 12 & 0x3F));
    Out += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  }
}

constexpr uint32_t Replacement = 0xFFFD;

// The length of the valid UTF-8 sequence at the start of Bytes (1 to 4),
// or 0 when it starts with none.
size_t ValidSequenceAt(const unsigned char *P, size_t Left) {
  const unsigned char C = P[0];
  if (C < 0x80)
    return 1;
  size_t Length;
  uint32_t Low = 0x80, High = 0xBF; // the range of the second byte
  if (C >= 0xC2 && C <= 0xDF) {
    Length = 2;
  } else if (C >= 0xE0 && C <= 0xEF) {
    Length = 3;
    if (C == 0xE0)
      Low = 0xA0; // overlong below
    if (C == 0xED)
      High = 0x9F; // surrogates above
  } else if (C >= 0xF0 && C <= 0xF4) {
    Length = 4;
    if (C == 0xF0)
      Low = 0x90;
    if (C == 0xF4)
      High = 0x8F; // beyond U+10FFFF above
  } else {
    return 0;
  }
  if (Left < Length || P[1] < Low || P[1] > High)
    return 0;
  for (size_t K = 2; K < Length; ++K)
    if ((P[K] & 0xC0) != 0x80)
      return 0;
  return Length;
}

// Code points of bytes 0x80 to 0x9F in Windows-1252; the five bytes it
// leaves undefined keep their own value, as browsers decode them.
constexpr uint16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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

// The length of the run of ASCII bytes at the start of [P, End).
size_t AsciiRun(const unsigned char *P, const unsigned char *End) {
  const unsigned char *Q = P;
  while (End - Q >= 8) {
    uint64_t Word;
    std::memcpy(&Word, Q, 8);
    if (Word & 0x8080808080808080ull)
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
    if (P == End)
      break;
    const unsigned char C = *P++;
    AppendUTF8(Out, C < 0xA0 && Windows1252 ? Windows1252High[C - 0x80] : C);
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

namespace {

bool IsControl(unsigned char C) {
  return (C < 0x20 && C != '\t' && C != '\n' && C != '\f' && C != '\r') || C == 0x7F;
}

// The first control character at or after From in Text, or its size.
size_t FindControl(std::string_view Text, size_t From) {
  constexpr uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
  size_t K = From;
  for (;;) {
    // Eight bytes at a time past words with no byte below 0x20 and no DEL.
    while (K + 8 <= Text.size()) {
      uint64_t Word;
      std::memcpy(&Word, Text.data() + K, 8);
      const uint64_t Del = Word ^ (0x7F * Ones);
      if (((Word - 0x20 * Ones) & ~Word & Highs) | ((Del - Ones) & ~Del & Highs))
        break;
      K += 8;
    }
    // Tabs and line ends stop the words too: look at this one bytewise.
    const size_t WordEnd = std::min(K + 8, Text.size());
    for (; K < WordEnd; ++K)
      if (IsControl(static_cast<unsigned char>(Text[K])))
        return K;
    if (K >= Text.size())
      return Text.size();
  }
}

} // namespace

void ShowControlCharacters(TSourceText &Source) {
  const std::string_view Text = Source.Text;
  const size_t First = FindControl(Text, 0);
  if (First == Text.size())
    return; // the common case: nothing to copy
  std::string Shown;
  Shown.reserve(Text.size() + 64);
  size_t From = 0;
  for (size_t K = First; K < Text.size(); K = FindControl(Text, K + 1)) {
    const auto C = static_cast<unsigned char>(Text[K]);
    Shown.append(Text.data() + From, K - From);
    AppendUTF8(Shown, C == 0x7F ? 0x2421 : 0x2400 + C);
    From = K + 1;
  }
  Shown.append(Text.data() + From, Text.size() - From);
  Source.Storage = std::move(Shown);
  Source.Text = Source.Storage;
}

void TakeMarkedSource(std::string_view Bytes, TSourceText &Source) {
  Source.MarkedUnicode = false;
  if (!TakeMark(Bytes, Source))
    Source.Text = Bytes;
}

void DecodeSource(std::string_view Bytes, TSourceEncoding Encoding, TSourceText &Source) {
  Source.MarkedUnicode = false;
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
    if (IsValidUTF8(Bytes)) {
      Source.Text = Bytes;
      return;
    }
    DecodeSingleBytes(Bytes, true, Source.Storage);
    break;
  case TSourceEncoding::UTF8:
    if (IsValidUTF8(Bytes)) {
      Source.Text = Bytes;
      return;
    }
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
