// The plain-token search in plain C++, for every processor; the SSE2 and
// AVX2 forms give the same results.
#include "CharClasses.h"
#include "PlainSearch.h"

TPlainStarts FindPlainStartsScalar(const char *P) {
  TByteMasks M{};
  for (int K = 0; K < 64; ++K) {
    const unsigned char C = static_cast<unsigned char>(P[K]);
    const uint64_t Bit = uint64_t(1) << K;
    const TTokenStart Start = TokenStartOf(C);
    M.Ident |= IsIn(C, csIdent) ? Bit : 0;
    M.Other |= Start == tsOther ? Bit : 0;
    M.Digit |= Start == tsDigit ? Bit : 0;
    M.Dot |= C == '.' ? Bit : 0;
    M.None |= !IsIn(C, csIdent | csSymbol) && Start != tsOther ? Bit : 0;
    M.Opener |= C == '{' || C == '/' ? Bit : 0;
    M.Paren |= C == '(' ? Bit : 0;
    M.Star |= C == '*' ? Bit : 0;
  }
  return PlainStartsOf(M);
}
