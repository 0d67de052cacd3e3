// Searches over a few bytes at a time that the scanner makes inside its
// tokens: the end of a run of identifier bytes or of other bytes, the
// first byte written as an entity, the end of a short string or comment.
// Each has an SSE2 form where the compiler targets SSE2 (every x86-64) and
// a plain loop elsewhere, with the same results.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "CharClasses.h"

namespace ByteSearch {

#if defined(__SSE2__)
/// The bytes of V that are written as entities: & < > and the double quote.
inline __m128i EntityBytes(__m128i V) {
  return _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('&')), _mm_cmpeq_epi8(V, _mm_set1_epi8('<'))),
      _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('>')), _mm_cmpeq_epi8(V, _mm_set1_epi8('"'))));
}
/// Bytes of V in [Low, High]; signed: bytes from 128 up are never in.
inline __m128i InRange(__m128i V, char Low, char High) {
  return _mm_and_si128(_mm_cmpgt_epi8(V, _mm_set1_epi8(static_cast<char>(Low - 1))),
                       _mm_cmplt_epi8(V, _mm_set1_epi8(static_cast<char>(High + 1))));
}
/// IdentChars among the 16 bytes at P, as bits.
inline unsigned IdentMask(const char *P) {
  const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
  const __m128i Letter = InRange(_mm_or_si128(V, _mm_set1_epi8(0x20)), 'a', 'z');
  const __m128i Ident = _mm_or_si128(_mm_or_si128(Letter, InRange(V, '0', '9')),
                                     _mm_cmpeq_epi8(V, _mm_set1_epi8('_')));
  return static_cast<unsigned>(_mm_movemask_epi8(Ident));
}
/// Other bytes among the 16 at P: exactly the controls, the blank, and
/// 127 to 255.
inline unsigned OtherMask(const char *P) {
  const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
  const __m128i Other =
      _mm_or_si128(_mm_cmplt_epi8(V, _mm_set1_epi8(33)), _mm_cmpeq_epi8(V, _mm_set1_epi8(127)));
  return static_cast<unsigned>(_mm_movemask_epi8(Other));
}
#endif

/// The first byte from P on, before End, that is written as an entity, or
/// End; bytes up to ReadEnd may be read.
// Comments and strings, a good part of a typical source, are searched with
// it, and they seldom hold such a byte, so it looks at 16 at a time, and
// at the last few bytes too when 16 can be read there: most comments and
// strings are short, and a loop over their last bytes would end at a
// different count each time.
inline const char *FindEntityByte(const char *P, const char *End, const char *ReadEnd) {
#if defined(__SSE2__)
  auto EntityMask = [](const char *At) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(At));
    return static_cast<unsigned>(_mm_movemask_epi8(EntityBytes(V)));
  };
  for (; End - P >= 16; P += 16)
    if (const unsigned Mask = EntityMask(P); Mask != 0)
      return P + std::countr_zero(Mask);
  if (ReadEnd - P >= 16) {
    const unsigned Mask = EntityMask(P) & ((1u << (End - P)) - 1);
    return Mask != 0 ? P + std::countr_zero(Mask) : End;
  }
#else
  (void)ReadEnd;
#endif
  for (; P < End; ++P)
    if (TokenStartOf(static_cast<unsigned char>(*P)) == tsEntity)
      return P;
  return End;
}

/// Escapes Size bytes at Data into Out (anything with Put(Data, Size) and
/// Put(string_view)), copying the runs between entity characters whole;
/// bytes up to ReadEnd may be read.
template <class TOut>
void PutEscaped(TOut &Out, const char *Data, size_t Size, const char *ReadEnd) {
  const char *End = Data + Size;
  for (const char *Run = Data;;) {
    const char *Hit = FindEntityByte(Run, End, ReadEnd);
    Out.Put(Run, Hit - Run);
    if (Hit == End)
      return;
    Out.Put(std::string_view(EntityFor(static_cast<unsigned char>(*Hit))));
    Run = Hit + 1;
  }
}

/// For a string or comment that starts before From and ends at the first
/// C1 or C2 among the 64 bytes from From on (all of which must be
/// readable): that byte's offset from From, or -1 when there is none or a
/// byte before it is written as an entity.
inline int ShortTokenEnd(const char *From, char C1, char C2) {
  uint64_t Ends = 0, Entities = 0;
#if defined(__SSE2__)
  for (int K = 0; K < 4; ++K) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(From + 16 * K));
    const __m128i End =
        _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8(C1)), _mm_cmpeq_epi8(V, _mm_set1_epi8(C2)));
    Ends |= uint64_t(static_cast<unsigned>(_mm_movemask_epi8(End))) << (16 * K);
    Entities |= uint64_t(static_cast<unsigned>(_mm_movemask_epi8(EntityBytes(V)))) << (16 * K);
  }
#else
  for (int K = 0; K < 64; ++K) {
    const unsigned char C = static_cast<unsigned char>(From[K]);
    Ends |= uint64_t(C == static_cast<unsigned char>(C1) || C == static_cast<unsigned char>(C2))
            << K;
    Entities |= uint64_t(TokenStartOf(C) == tsEntity) << K;
  }
#endif
  if (Ends == 0)
    return -1;
  const int End = std::countr_zero(Ends);
  return (Entities & ((uint64_t(1) << End) - 1)) == 0 ? End : -1;
}

// Runs of identifier bytes and of other bytes (blanks, line ends,
// indentation) make up most of a source; SkipIdent and SkipOther find
// their ends 16 bytes at a time, which spares a mispredicted loop exit per
// token.

/// For the 1-based text S of length Len, followed by a NUL, and the
/// position E of the last known byte of a run of IdentChars: the position
/// of the run's last byte.
inline size_t SkipIdent(const char *S, size_t E, size_t Len) {
#if defined(__SSE2__)
  for (; E + 16 <= Len; E += 16)
    if (const unsigned Mask = IdentMask(S + E + 1); Mask != 0xFFFF)
      return E + static_cast<size_t>(std::countr_one(Mask));
#else
  (void)Len;
#endif
  // The NUL after the text is no identifier byte: no bounds test needed.
  while (IsIn(static_cast<unsigned char>(S[E + 1]), csIdent))
    ++E;
  return E;
}

/// The same for a run of other bytes.
inline size_t SkipOther(const char *S, size_t E, size_t Len) {
#if defined(__SSE2__)
  for (; E + 16 <= Len; E += 16)
    if (const unsigned Mask = OtherMask(S + E + 1); Mask != 0xFFFF)
      return E + static_cast<size_t>(std::countr_one(Mask));
#endif
  // NUL is an other byte too: here the end of the text must be tested.
  while (E < Len && TokenStartOf(static_cast<unsigned char>(S[E + 1])) == tsOther)
    ++E;
  return E;
}

} // namespace ByteSearch
