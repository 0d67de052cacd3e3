// The plain-token search 16 bytes at a time with SSE2, which every x86-64
// processor has; built wherever the compiler targets SSE2.
#include "PlainSearch.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include "ByteSearch.h"

namespace {

using ByteSearch::IdentMask;
using ByteSearch::InRange;
using ByteSearch::OtherMask;

void AddByteMasks(TByteMasks &M, const char *P, int Shift) {
  const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
  auto Bits = [Shift](__m128i Set) {
    return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(Set))) << Shift;
  };
  M.Ident |= uint64_t(IdentMask(P)) << Shift;
  M.Other |= uint64_t(OtherMask(P)) << Shift;
  M.Digit |= Bits(InRange(V, '0', '9'));
  M.Dot |= Bits(_mm_cmpeq_epi8(V, _mm_set1_epi8('.')));
  M.None |= Bits(_mm_or_si128(
      _mm_andnot_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('%')), InRange(V, '"', '\'')),
      _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('<')), _mm_cmpeq_epi8(V, _mm_set1_epi8('>')))));
  M.Opener |= Bits(
      _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('{')), _mm_cmpeq_epi8(V, _mm_set1_epi8('/'))));
  M.Paren |= Bits(_mm_cmpeq_epi8(V, _mm_set1_epi8('(')));
  M.Star |= Bits(_mm_cmpeq_epi8(V, _mm_set1_epi8('*')));
}

} // namespace

TPlainStarts FindPlainStartsSSE2(const char *P) {
  TByteMasks M{};
  for (int K = 0; K < 4; ++K)
    AddByteMasks(M, P + 16 * K, 16 * K);
  return PlainStartsOf(M);
}
#endif
