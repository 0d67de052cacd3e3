#include "PlainSearch.h"

#if defined(TESSALINE_AVX2_SEARCH)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

#if defined(TESSALINE_AVX2_SEARCH)
// AVX2 needs the processor's support (CPUID leaf 7, EBX bit 5) and the
// system's: it must save the 256-bit registers on a thread switch, which
// it says by setting OSXSAVE (leaf 1, ECX bit 27) and the SSE and AVX
// state bits (1 and 2) of XCR0. This file is compiled with XSAVE enabled
// for _xgetbv alone, and calls it only once OSXSAVE is known to be set.
bool ProcessorHasAVX2() {
  unsigned A, B, C, D;
  if (!__get_cpuid(1, &A, &B, &C, &D) || !(C & (1u << 27)) || !(C & (1u << 28)))
    return false;
  if ((_xgetbv(0) & 6) != 6)
    return false;
  return __get_cpuid_count(7, 0, &A, &B, &C, &D) && (B & (1u << 5));
}
#endif

} // namespace

TFindPlainStarts ChoosePlainSearch(TPlainSearch Widest) {
#if defined(TESSALINE_AVX2_SEARCH)
  // Asked once: in a virtual machine each question to the processor may
  // trap to the host.
  static const bool HasAVX2 = ProcessorHasAVX2();
  if (Widest >= TPlainSearch::AVX2 && HasAVX2)
    return FindPlainStartsAVX2;
#endif
#if defined(__SSE2__)
  if (Widest >= TPlainSearch::SSE2)
    return FindPlainStartsSSE2;
#endif
  return FindPlainStartsScalar;
}
