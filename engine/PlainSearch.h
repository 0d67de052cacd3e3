// The search for plain tokens, the scanner's fast path: where tokens start
// among 64 bytes of text, found for all of them at once from masks of the
// bytes by kind. It comes in three forms with the same results, one file
// each: plain C++ (PlainSearchScalar.cpp, on every platform), SSE2
// (PlainSearchSSE2.cpp) and AVX2 (PlainSearchAVX2.cpp, compiled for AVX2
// alone and chosen only on processors that have it).
#pragma once

#include <cstdint>

#include "ScanOptions.h"

/// The bytes of a plain run, by kind, as masks over 64 bytes (bit K for
/// byte K): IdentChars, other bytes, digits, ".", the seven bytes that
/// belong to no plain run (" # $ & ' < >), the symbols that open a comment
/// or may ("{" and "/"), and "(" and "*".
/// An aggregate with no constructor, and PlainStartsOf static: the AVX2
/// file is compiled for AVX2, and no function of its may stand in for one
/// of the others' at link time.
struct TByteMasks {
  uint64_t Ident, Other, Digit, Dot, None, Opener, Paren, Star;
};

/// Where tokens start among the 64 bytes from P, given that one starts at
/// P and that all before the first byte of no plain run are plain tokens:
/// all of them; those of runs of other bytes; those of runs of symbols that
/// start with no byte that may open a comment ("{", "/", "(*"); and those
/// of numbers. The middle three are the tokens that a loop may pass over
/// when their switches write nothing. Stop has the starts of tokens that
/// are not plain: bytes of no plain run, and symbols that may open a
/// comment. Openers has every byte that may open a comment, wherever it
/// stands: the modern dialect ends a symbol run there.
struct TPlainStarts {
  uint64_t All, Other, Symbol, Number, Stop, Openers;
};

// Runs of a kind end where a byte of another kind comes; the one awkward
// byte is the digit, which continues an identifier but otherwise starts a
// number, and the dot, which a number takes in but which otherwise is a
// symbol: a number starts at each digit that follows no identifier byte
// and runs to the end of its run of digits and dots.
static inline TPlainStarts PlainStartsOf(const TByteMasks &M) {
  const uint64_t Decimal = M.Digit | M.Dot;
  const uint64_t NumberStarts = M.Digit & ~(M.Ident << 1);
  // Adding the starts clears each decimal run from its first start to its
  // end; the later starts in that run are set back by the OR.
  const uint64_t Number = (Decimal & ~(Decimal + NumberStarts)) | NumberStarts;
  const uint64_t Symbol = ~(M.Ident | M.Other | M.None | Number);
  const uint64_t Ident = M.Ident & ~Number;
  auto RunStarts = [](uint64_t Run) { return Run & ~(Run << 1); };
  const uint64_t Other = RunStarts(M.Other);
  const uint64_t Symbols = RunStarts(Symbol);
  const uint64_t Numbers = RunStarts(Number);
  // A "(" opens a comment only with a "*" after it. The last byte's
  // successor is not in the block, but a token starting there is the
  // block's last, which the loop leaves to the next block.
  const uint64_t Openers = M.Opener | (M.Paren & (M.Star >> 1));
  return {RunStarts(Ident) | Symbols | Other | Numbers | M.None, Other, Symbols & ~Openers, Numbers,
          M.None | (Symbols & Openers), Openers};
}

/// The starts among the 64 bytes at P, which must all be readable.
using TFindPlainStarts = TPlainStarts (*)(const char *P);

TPlainStarts FindPlainStartsScalar(const char *P);
#if defined(__SSE2__)
TPlainStarts FindPlainStartsSSE2(const char *P);
#endif
#if defined(TESSALINE_AVX2_SEARCH)
TPlainStarts FindPlainStartsAVX2(const char *P);
#endif

/// The widest form up to Widest that this build and processor have.
TFindPlainStarts ChoosePlainSearch(TPlainSearch Widest);
