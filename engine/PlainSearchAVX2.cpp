// The plain-token search 32 bytes at a time with AVX2. This file alone is
// compiled for AVX2 (engine/CMakeLists.txt), and only for x86-64 targets
// other than Windows, where GCC does not align the stack for spilled
// 32-byte values; ChoosePlainSearch calls it only on processors that have
// AVX2 enabled. Nothing else may be defined here: any code in this file
// may use AVX2 instructions.
#include "PlainSearch.h"

#if defined(TESSALINE_AVX2_SEARCH)
#include <immintrin.h>

// Each byte's kinds come from two table lookups by its nibbles, as bits:
// 0 digit, 1 dot, 2 and 3 the bytes of no run, 4 to 6 letters and "_".
// Other bytes, which are no product of nibble sets, are compared as in
// the SSE2 form.
TPlainStarts FindPlainStartsAVX2(const char *P) {
  // clang-format off
  const __m256i LowNibbleKinds = _mm256_setr_epi8(
      0x21, 0x31, 0x35, 0x35, 0x35, 0x31, 0x35, 0x35, 0x31, 0x31, 0x30, 0x10, 0x18, 0x10, 0x1A, 0x50,
      0x21, 0x31, 0x35, 0x35, 0x35, 0x31, 0x35, 0x35, 0x31, 0x31, 0x30, 0x10, 0x18, 0x10, 0x1A, 0x50);
  const __m256i HighNibbleKinds =
      _mm256_setr_epi8(0, 0, 0x06, 0x09, 0x10, 0x60, 0x10, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, //
                       0, 0, 0x06, 0x09, 0x10, 0x60, 0x10, 0x20, 0, 0, 0, 0, 0, 0, 0, 0);
  // clang-format on
  const __m256i Nibble = _mm256_set1_epi8(0x0F);
  const __m256i Zero = _mm256_setzero_si256();
  TByteMasks M{};
  for (int K = 0; K < 2; ++K) {
    const __m256i V = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(P + 32 * K));
    const __m256i Kinds = _mm256_and_si256(
        _mm256_shuffle_epi8(LowNibbleKinds, _mm256_and_si256(V, Nibble)),
        _mm256_shuffle_epi8(HighNibbleKinds, _mm256_and_si256(_mm256_srli_epi16(V, 4), Nibble)));
    const int Shift = 32 * K;
    // A kind's bit shifted to the top of each byte is what movemask takes.
    M.Digit |= uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_slli_epi16(Kinds, 7)))) << Shift;
    M.Dot |= uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_slli_epi16(Kinds, 6)))) << Shift;
    M.None |= uint64_t(~uint32_t(_mm256_movemask_epi8(
                  _mm256_cmpeq_epi8(_mm256_and_si256(Kinds, _mm256_set1_epi8(0x0C)), Zero))))
              << Shift;
    M.Ident |= uint64_t(~uint32_t(_mm256_movemask_epi8(
                   _mm256_cmpeq_epi8(_mm256_and_si256(Kinds, _mm256_set1_epi8(0x71)), Zero))))
               << Shift;
    M.Other |= uint64_t(uint32_t(_mm256_movemask_epi8(
                   _mm256_or_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(33), V),
                                   _mm256_cmpeq_epi8(V, _mm256_set1_epi8(127))))))
               << Shift;
    M.Opener |= uint64_t(uint32_t(_mm256_movemask_epi8(
                    _mm256_or_si256(_mm256_cmpeq_epi8(V, _mm256_set1_epi8('{')),
                                    _mm256_cmpeq_epi8(V, _mm256_set1_epi8('/'))))))
                << Shift;
    M.Paren |= uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(V, _mm256_set1_epi8('(')))))
               << Shift;
    M.Star |= uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(V, _mm256_set1_epi8('*')))))
              << Shift;
  }
  return PlainStartsOf(M);
}
#endif
