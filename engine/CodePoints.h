// What single bytes and UTF-8 sequences of a source stand for, shared by
// the decoding of a whole source (SourceText.cpp) and the translation of
// its text as a page writes it (TextTranslator.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace CodePoints {

inline constexpr uint32_t Replacement = 0xFFFD;

/// The length of the valid UTF-8 sequence at P, of which Left bytes may be
/// read (1 to 4; 1 for ASCII), or 0 when none starts there: no overlong
/// forms, surrogates or code points above U+10FFFF.
inline size_t ValidSequenceAt(const unsigned char *P, size_t Left) {
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

/// The code point of the valid sequence of Length bytes at P.
inline uint32_t DecodeSequence(const unsigned char *P, size_t Length) {
  if (Length == 1)
    return P[0];
  uint32_t Code = P[0] & (0x7F >> Length);
  for (size_t K = 1; K < Length; ++K)
    Code = Code << 6 | (P[K] & 0x3F);
  return Code;
}

/// Code points of bytes 0x80 to 0x9F in Windows-1252; the five bytes it
/// leaves undefined keep their own value, as browsers decode them.
inline constexpr uint16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

/// The code point of byte C (0x80 or above) in Windows-1252 or Latin-1.
constexpr uint32_t SingleByteCode(unsigned char C, bool Windows1252) {
  return C < 0xA0 && Windows1252 ? Windows1252High[C - 0x80] : C;
}

/// The control characters a UTF-8 page shows as symbols: C0 other than
/// tab, LF, FF and CR, and DEL.
constexpr bool IsControl(unsigned char C) {
  return (C < 0x20 && C != '\t' && C != '\n' && C != '\f' && C != '\r') || C == 0x7F;
}

/// The symbol that shows control character C, in Unicode's Control
/// Pictures (NUL as U+2400, DEL as U+2421).
constexpr uint32_t ControlPicture(unsigned char C) { return C == 0x7F ? 0x2421 : 0x2400 + C; }

/// The characters HTML allows in no form, neither as text nor as a
/// character reference, and for which no symbol stands: the C1 controls
/// and the noncharacters (U+FDD0 to U+FDEF, and the last two code points
/// of every plane).
constexpr bool HtmlForbids(uint32_t Code) {
  return (Code >= 0x80 && Code <= 0x9F) || (Code >= 0xFDD0 && Code <= 0xFDEF) ||
         (Code & 0xFFFE) == 0xFFFE;
}
static_assert(HtmlForbids(0x85) && HtmlForbids(0xFFFF) && HtmlForbids(0x10FFFE) &&
              !HtmlForbids(0xA0) && !HtmlForbids(0xFFFD) && !HtmlForbids(0x7F));

/// Code's UTF-8 form at Out (room for 4 bytes); returns its length.
constexpr size_t EncodeUTF8(uint32_t Code, char *Out) {
  if (Code < 0x80) {
    Out[0] = static_cast<char>(Code);
    return 1;
  }
  if (Code < 0x800) {
    Out[0] = static_cast<char>(0xC0 | Code >> 6);
    Out[1] = static_cast<char>(0x80 | (Code & 0x3F));
    return 2;
  }
  if (Code < 0x10000) {
    Out[0] = static_cast<char>(0xE0 | Code >> 12);
    Out[1] = static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Out[2] = static_cast<char>(0x80 | (Code & 0x3F));
    return 3;
  }
  Out[0] = static_cast<char>(0xF0 | Code >> 18);
  Out[1] = static_cast<char>(0x80 | (Code >> 12 & 0x3F));
  Out[2] = static_cast<char>(0x80 | (Code >> 6 & 0x3F));
  Out[3] = static_cast<char>(0x80 | (Code & 0x3F));
  return 4;
}

} // namespace CodePoints
