#include "Scanner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "Markup.h"
#include "PageWriter.h"
#include "Tessaline.h"

namespace {

// The members of each class, by name; every byte not named is tsOther.
constexpr std::string_view Letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
constexpr std::string_view Digits = "0123456789";
constexpr std::string_view HexLetters = "ABCDEFabcdef";
constexpr std::string_view SymbolChars = "!%()*+,-./:;=?@[\\]^`{|}~";
constexpr std::string_view EntityChars = "&<>\"";

constexpr uint16_t ClassOf(char C) {
  auto In = [C](std::string_view Set) { return Set.find(C) != std::string_view::npos; };
  uint16_t Class = tsOther;
  if (In(Letters))
    Class = tsLetter | csIdent;
  if (In(HexLetters))
    Class |= csHex;
  if (In(Digits))
    Class = tsDigit | csIdent | csDecimal | csHex;
  if (In(EntityChars))
    Class = tsEntity;
  if (In(SymbolChars)) // the symbols that open comments start their own rule
    Class = (C == '/' ? tsSlash : C == '{' ? tsBrace : C == '(' ? tsParen : tsSymbol) | csSymbol;
  if (C == '.')
    Class |= csDecimal;
  if (C == '#')
    Class = tsHash;
  if (C == '\'')
    Class = tsQuote;
  if (C == '$')
    Class = tsDollar | csHex;
  return Class;
}

struct TClassTable {
  uint16_t Entries[256];
  constexpr TClassTable() : Entries() {
    for (int C = 0; C < 256; ++C)
      Entries[C] = ClassOf(static_cast<char>(C));
  }
};
constexpr TClassTable ClassTable;

// Entity text for each byte that needs one, indexed by the byte.
const char *EntityFor(unsigned char C) {
  switch (C) {
  case '&':
    return HTMLEntities[0];
  case '<':
    return HTMLEntities[1];
  case '>':
    return HTMLEntities[2];
  default:
    return HTMLEntities[3];
  }
}

#if defined(__SSE2__)
// The bytes of V that are written as entities: & < > and the double quote.
inline __m128i EntityBytes(__m128i V) {
  return _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('&')), _mm_cmpeq_epi8(V, _mm_set1_epi8('<'))),
      _mm_or_si128(_mm_cmpeq_epi8(V, _mm_set1_epi8('>')), _mm_cmpeq_epi8(V, _mm_set1_epi8('"'))));
}
#endif

// The first byte from P on, before End, that is written as an entity, or
// End; bytes up to ReadEnd may be read. Comments and strings, a quarter of
// a typical source, are searched with it, and they seldom hold such a
// byte, so it looks at 16 at a time, and at the last few bytes too when
// 16 can be read there: most comments and strings are short, and a loop
// over their last bytes would end at a different count each time.
inline const char *FindEntityByte(const char *P, const char *End, const char *ReadEnd) {
#if defined(__SSE2__)
  auto EntityMask = [](const char *At) {
    const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(At));
    return static_cast<unsigned>(_mm_movemask_epi8(EntityBytes(V)));
  };
  for (; End - P >= 16; P += 16)
    if (const unsigned Mask = EntityMask(P); Mask != 0)
      return P + __builtin_ctz(Mask);
  if (ReadEnd - P >= 16) {
    const unsigned Mask = EntityMask(P) & ((1u << (End - P)) - 1);
    return Mask != 0 ? P + __builtin_ctz(Mask) : End;
  }
#endif
  for (; P < End; ++P)
    if (TokenStartOf(static_cast<unsigned char>(*P)) == tsEntity)
      return P;
  return End;
}

// Escapes Data into Out (a TPageWriter or a string appender), copying the
// runs between entity characters whole; bytes up to ReadEnd may be read.
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

struct TStringAppender {
  std::string &Text;
  void Put(const char *Data, size_t Size) { Text.append(Data, Size); }
  void Put(std::string_view S) { Text.append(S); }
};

// Reserved words are found by hashing the case-folded word into a table
// built at compile time in which every word has a slot of its own (a
// perfect hash): a word is reserved exactly when it equals the one in its
// slot, which takes one multiply, one load and one compare.
constexpr size_t ShortestReservedWord = 2;
constexpr size_t LongestReservedWord = 14;
constexpr int ReservedSlotBits = 9;
constexpr size_t ReservedSlots = size_t(1) << ReservedSlotBits;

// A word of at most 14 bytes, little-endian, zero past its end.
struct TFoldedWord {
  uint64_t Low = 0, High = 0;
  constexpr bool operator==(const TFoldedWord &) const = default;
};

// ORing in 0x20 folds A-Z to a-z; the other identifier bytes (digits, "_")
// occur in no reserved word, so whatever they turn into cannot match.
constexpr TFoldedWord FoldWord(const char *Word, size_t Length) {
  TFoldedWord Folded;
  for (size_t K = 0; K < Length; ++K) {
    const uint64_t Byte = static_cast<unsigned char>(Word[K]) | 0x20u;
    (K < 8 ? Folded.Low : Folded.High) |= Byte << (8 * (K % 8));
  }
  return Folded;
}

// The masks that keep the first N of 16 bytes, as two halves; from a
// table, since a test of the length would be a branch that identifiers of
// mixed lengths keep mispredicting.
struct TWordMasks {
  uint64_t Low[17] = {}, High[17] = {};
  constexpr TWordMasks() {
    for (size_t N = 0; N <= 16; ++N)
      for (size_t K = 0; K < N; ++K)
        (K < 8 ? Low[N] : High[N]) |= uint64_t(0xFF) << (8 * (K % 8));
  }
};
constexpr TWordMasks WordMasks;

// The same from two unaligned loads, for words of at most 16 bytes with
// 16 readable bytes.
inline TFoldedWord FoldWordFast(const char *Word, size_t Length) {
  constexpr uint64_t Fold = 0x2020202020202020ull;
  uint64_t Low, High;
  std::memcpy(&Low, Word, 8);
  std::memcpy(&High, Word + 8, 8);
  return {(Low | Fold) & WordMasks.Low[Length], (High | Fold) & WordMasks.High[Length]};
}

// The multiplier was found by trying odd numbers until the 99 words below
// took 99 different slots; TReservedTable checks that they still do.
constexpr size_t SlotOf(const TFoldedWord &W) {
  return static_cast<size_t>(((W.Low ^ W.High) * 0xAE5BDC83967041E1ull) >> (64 - ReservedSlotBits));
}

constexpr const char *ReservedWordList[99] = {
    "and",
    "exports",
    "mod",
    "shr",
    "array",
    "file",
    "nil",
    "string",
    "as",
    "finalization",
    "not",
    "stringresource",
    "asm",
    "finally",
    "object",
    "then",
    "begin",
    "for",
    "of",
    "threadvar",
    "case",
    "function",
    "or",
    "to",
    "class",
    "goto",
    "out",
    "try",
    "const",
    "if",
    "packed",
    "type",
    "constructor",
    "implementation",
    "procedure",
    "unit",
    "destructor",
    "in",
    "program",
    "until",
    "dispinterface",
    "inherited",
    "property",
    "uses",
    "div",
    "initialization",
    "raise",
    "var",
    "do",
    "inline",
    "record",
    "while",
    "downto",
    "interface",
    "repeat",
    "with",
    "else",
    "is",
    "resourcestring",
    "xor",
    "end",
    "label",
    "set",
    "except",
    "library",
    "shl",
    "absolute",
    "external",
    "pascal",
    "safecall",
    "abstract",
    "far",
    "private",
    "stdcall",
    "assembler",
    "forward",
    "protected",
    "stored",
    "automated",
    "index",
    "public",
    "virtual",
    "cdecl",
    "message",
    "published",
    "write",
    "default",
    "name",
    "read",
    "writeonly",
    "dispid",
    "near",
    "readonly",
    "dynamic",
    "nodefault",
    "register",
    "export",
    "override",
    "resident",
};

struct TReservedTable {
  // Empty slots hold zero, which no word of at least one byte folds to.
  TFoldedWord Slots[ReservedSlots];
  bool Collides = false;
  constexpr TReservedTable() : Slots(), LastLetters() {
    for (const char *Word : ReservedWordList) {
      const size_t Length = std::char_traits<char>::length(Word);
      const TFoldedWord Folded = FoldWord(Word, Length);
      TFoldedWord &Slot = Slots[SlotOf(Folded)];
      Collides = Collides || Slot != TFoldedWord();
      Slot = Folded;
      AddToSieve(Word, Length);
    }
  }
  // A first sieve: for each length and first letter, the last letters of
  // reserved words, both taken modulo 32 (so case does not matter, and
  // the few false hits that digits bring only cost the full check). It
  // turns away most identifiers for one load. Rows 0 and 15 hold no word.
  uint32_t LastLetters[16][32] = {};
  constexpr void AddToSieve(const char *Word, size_t Length) {
    LastLetters[Length][Word[0] & 31] |= uint32_t(1) << (Word[Length - 1] & 31);
  }
  bool MayContain(const char *Word, size_t Length) const {
    return (LastLetters[Length][Word[0] & 31] >> (Word[Length - 1] & 31)) & 1;
  }
  // The same for any length, from the word's first and last byte; RowMask
  // is 15 for an identifier and 0 for any other token, which then takes
  // row 0. Longer words take row 15: a minimum, not a test, which would be
  // a branch that words of mixed lengths keep mispredicting.
  unsigned MayContain(unsigned char First, unsigned char Last, size_t Length,
                      unsigned RowMask) const {
    const size_t Row = std::min<size_t>(Length, 15) & RowMask;
    return (LastLetters[Row][First & 31] >> (Last & 31)) & 1;
  }
  // For words of at most LongestReservedWord bytes.
  bool Contains(const TFoldedWord &Word) const {
    const TFoldedWord &Slot = Slots[SlotOf(Word)];
    return ((Slot.Low ^ Word.Low) | (Slot.High ^ Word.High)) == 0;
  }
};
constexpr TReservedTable ReservedTable;
static_assert(!ReservedTable.Collides, "two reserved words share a slot");

// Length is the identifier's; Readable how many bytes may be read from
// Word, terminator included.
inline bool IsReservedIdent(const char *Word, size_t Length, size_t Readable) {
  if (Length < ShortestReservedWord || Length > LongestReservedWord ||
      !ReservedTable.MayContain(Word, Length))
    return false;
  return ReservedTable.Contains(Readable >= 16 ? FoldWordFast(Word, Length)
                                               : FoldWord(Word, Length));
}

// Runs of identifier bytes and of other bytes (blanks, line ends,
// indentation) make up most of a source; SkipIdent and SkipOther find
// their ends 16 bytes at a time, which spares a mispredicted loop exit per
// token. Both take the 1-based text S of length Len and the position E of
// the run's last known byte, and return the position of its last byte.
#if defined(__SSE2__)
inline __m128i InRange(__m128i V, char Low, char High) { // signed: bytes >= 128 are never in
  return _mm_and_si128(_mm_cmpgt_epi8(V, _mm_set1_epi8(static_cast<char>(Low - 1))),
                       _mm_cmplt_epi8(V, _mm_set1_epi8(static_cast<char>(High + 1))));
}
inline unsigned IdentMask(const char *P) {
  const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
  const __m128i Letter = InRange(_mm_or_si128(V, _mm_set1_epi8(0x20)), 'a', 'z');
  const __m128i Ident = _mm_or_si128(_mm_or_si128(Letter, InRange(V, '0', '9')),
                                     _mm_cmpeq_epi8(V, _mm_set1_epi8('_')));
  return static_cast<unsigned>(_mm_movemask_epi8(Ident));
}
// Other bytes are exactly the controls, the blank, and 127 to 255.
inline unsigned OtherMask(const char *P) {
  const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
  const __m128i Other =
      _mm_or_si128(_mm_cmplt_epi8(V, _mm_set1_epi8(33)), _mm_cmpeq_epi8(V, _mm_set1_epi8(127)));
  return static_cast<unsigned>(_mm_movemask_epi8(Other));
}
#endif

// The tokens most of a source is made of: identifiers, numbers, runs of
// symbols and runs of other bytes. The scanner takes those without a
// dispatch on their first byte (see TScan::RunPlainTokens); every other
// start byte sends it back to the full token rules.
enum TPlainRun : uint8_t { prIdent, prOther, prSymbol, prNumber, prNone };
constexpr TPlainRun PlainRunOf[16] = {
    prOther, prNone,   prNone,   prNone,   // tsOther, tsHash, tsQuote, tsSlash
    prNone,  prSymbol, prIdent,  prNumber, // tsBrace, tsParen (without "*"), tsLetter, tsDigit
    prNone,  prNone,   prSymbol,           // tsDollar, tsEntity, tsSymbol
};
constexpr THighlightElement PlainRunElement[4] = {heIdentifier, heWhitespace, heSymbol, heNumber};

// What the fast loop needs of a plain token's first byte, in one byte:
// the element (bits 0-2), TMarkup::AfterToken unless it is whitespace
// (bit 3), and for an identifier 0xF0, which keeps its length as the row
// of the reserved-word sieve (any other token takes row 0, which is
// empty). Bytes that start no plain token have 0; the loop never looks
// at them.
struct TPlainKinds {
  uint8_t Of[256] = {};
  constexpr TPlainKinds() {
    for (int C = 0; C < 256; ++C) {
      const TPlainRun Run = PlainRunOf[ClassOf(static_cast<char>(C)) & 15];
      if (Run == prNone)
        continue;
      const THighlightElement E = PlainRunElement[Run];
      Of[C] = static_cast<uint8_t>(E | (E != heWhitespace ? 8 : 0) | (Run == prIdent ? 0xF0 : 0));
    }
  }
};
constexpr TPlainKinds PlainKinds;
static_assert(TMarkup::AfterToken == 8 && ElementCount <= 8 && LongestReservedWord < 16);

// The bytes of a plain run, by kind, as masks over 16 or 64 bytes (bit K
// for byte K): IdentChars, other bytes, digits, ".", the seven bytes that
// belong to no plain run (" # $ & ' < >), the symbols that open a comment
// or may ("{" and "/"), and "(" and "*".
struct TByteMasks {
  uint64_t Ident = 0, Other = 0, Digit = 0, Dot = 0, None = 0, Opener = 0, Paren = 0, Star = 0;
};

#if defined(__SSE2__)
inline void AddByteMasks(TByteMasks &M, const char *P, int Shift) {
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
#else
inline void AddByteMasks(TByteMasks &M, const char *P, int Shift) {
  for (int K = 0; K < 16; ++K) {
    const unsigned char C = static_cast<unsigned char>(P[K]);
    const uint64_t Bit = uint64_t(1) << (Shift + K);
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
}
#endif

// Where tokens start among the 64 bytes from P, given that one starts at
// P and that all before the first byte of no plain run are plain tokens:
// all of them; those of runs of other bytes; those of runs of symbols that
// start with no byte that may open a comment ("{", "/", "(*"); and those
// of numbers. The middle three are the tokens that a loop may pass over
// when their switches write nothing. Stop has the starts of tokens that
// are not plain: bytes of no plain run, and symbols that may open a
// comment.
struct TPlainStarts {
  uint64_t All, Other, Symbol, Number, Stop;
};

// Runs of a kind end where a byte of another kind comes; the one awkward
// byte is the digit, which continues an identifier but otherwise starts a
// number, and the dot, which a number takes in but which otherwise is a
// symbol: a number starts at each digit that follows no identifier byte
// and runs to the end of its run of digits and dots.
inline TPlainStarts PlainStartsOf(const TByteMasks &M) {
  const uint64_t Decimal = M.Digit | M.Dot;
  const uint64_t NumberStarts = M.Digit & ~(M.Ident << 1);
  // Adding the starts clears each decimal run from its first start to its
  // end; the later starts in that run are set back by the OR.
  const uint64_t Number = (Decimal & ~(Decimal + NumberStarts)) | NumberStarts;
  const uint64_t Ident = M.Ident & ~Number;
  const uint64_t Symbol = ~(M.Ident | M.Other | M.None | Number);
  auto RunStarts = [](uint64_t Run) { return Run & ~(Run << 1); };
  const uint64_t Other = RunStarts(M.Other);
  const uint64_t Symbols = RunStarts(Symbol);
  const uint64_t Numbers = RunStarts(Number);
  // A "(" opens a comment only with a "*" after it. The last byte's
  // successor is not in the block, but a token starting there is the
  // block's last, which the loop leaves to the next block.
  const uint64_t Openers = M.Opener | (M.Paren & (M.Star >> 1));
  return {RunStarts(Ident) | Symbols | Other | Numbers | M.None, Other, Symbols & ~Openers, Numbers,
          M.None | (Symbols & Openers)};
}

TPlainStarts FindPlainStartsSSE2(const char *P) {
  TByteMasks M;
  for (int K = 0; K < 4; ++K)
    AddByteMasks(M, P + 16 * K, 16 * K);
  return PlainStartsOf(M);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TESSALINE_HAVE_AVX2_PATH 1
// The same from two 32-byte loads, where the processor has AVX2 (checked
// at run time, so the program still runs on any x86-64): each byte's kinds
// come from two table lookups by its nibbles, as bits: 0 digit, 1 dot, 2
// and 3 the bytes of no run, 4 to 6 letters and "_". Other bytes, which
// are no product of nibble sets, are compared as before.
__attribute__((target("avx2"))) TPlainStarts FindPlainStartsAVX2(const char *P) {
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
  TByteMasks M;
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

using TFindPlainStarts = TPlainStarts (*)(const char *);
TFindPlainStarts ChooseFindPlainStarts() {
#if defined(TESSALINE_HAVE_AVX2_PATH)
  // Asked once: in a virtual machine each question to the processor may
  // trap to the host.
  static const bool HasAVX2 = [] {
    __builtin_cpu_init(); // this may run before the constructors that would do it
    return __builtin_cpu_supports("avx2") != 0;
  }();
  if (ScanWithAVX2 && HasAVX2)
    return FindPlainStartsAVX2;
#endif
  return FindPlainStartsSSE2;
}

// Strings and comments mostly end within a few dozen bytes, and most of
// them hold no byte that is written as an entity. For one that starts
// before From and ends at the first C1 or C2 among the 64 bytes from From
// on (all of which must be readable): that byte's offset from From, or -1
// when there is none or a byte before it is written as an entity.
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
  const int End = __builtin_ctzll(Ends);
  return (Entities & ((uint64_t(1) << End) - 1)) == 0 ? End : -1;
}

inline size_t SkipIdent(const char *S, size_t E, size_t Len) {
#if defined(__SSE2__)
  for (; E + 16 <= Len; E += 16)
    if (const unsigned Mask = IdentMask(S + E + 1); Mask != 0xFFFF)
      return E + static_cast<size_t>(__builtin_ctz(~Mask));
#endif
  // The NUL after the text is no identifier byte: no bounds test needed.
  while (IsIn(static_cast<unsigned char>(S[E + 1]), csIdent))
    ++E;
  return E;
}

inline size_t SkipOther(const char *S, size_t E, size_t Len) {
#if defined(__SSE2__)
  for (; E + 16 <= Len; E += 16)
    if (const unsigned Mask = OtherMask(S + E + 1); Mask != 0xFFFF)
      return E + static_cast<size_t>(__builtin_ctz(~Mask));
#endif
  // NUL is an other byte too: here the end of the text must be tested.
  while (E < Len && TokenStartOf(static_cast<unsigned char>(S[E + 1])) == tsOther)
    ++E;
  return E;
}

} // namespace

const uint16_t CharClasses[256] = {
#define ROW(N)                                                                                     \
  ClassTable.Entries[N], ClassTable.Entries[N + 1], ClassTable.Entries[N + 2],                     \
      ClassTable.Entries[N + 3], ClassTable.Entries[N + 4], ClassTable.Entries[N + 5],             \
      ClassTable.Entries[N + 6], ClassTable.Entries[N + 7]
    ROW(0),   ROW(8),   ROW(16),  ROW(24),  ROW(32),  ROW(40),  ROW(48),  ROW(56),
    ROW(64),  ROW(72),  ROW(80),  ROW(88),  ROW(96),  ROW(104), ROW(112), ROW(120),
    ROW(128), ROW(136), ROW(144), ROW(152), ROW(160), ROW(168), ROW(176), ROW(184),
    ROW(192), ROW(200), ROW(208), ROW(216), ROW(224), ROW(232), ROW(240), ROW(248),
#undef ROW
};

const char *const ReservedWords[99] = {
#define WORD(N) ReservedWordList[N]
#define TEN(N)                                                                                     \
  WORD(N), WORD(N + 1), WORD(N + 2), WORD(N + 3), WORD(N + 4), WORD(N + 5), WORD(N + 6),           \
      WORD(N + 7), WORD(N + 8), WORD(N + 9)
    TEN(0),   TEN(10),  TEN(20),  TEN(30),  TEN(40),  TEN(50),  TEN(60),  TEN(70),  TEN(80),
    WORD(90), WORD(91), WORD(92), WORD(93), WORD(94), WORD(95), WORD(96), WORD(97), WORD(98),
#undef TEN
#undef WORD
};

const char *const HTMLEntities[4] = {"&amp;", "&lt;", "&gt;", "&quot;"};

bool IsReservedWord(std::string_view Word) {
  return IsReservedIdent(Word.data(), Word.size(), Word.size());
}

std::string_view ExtractIdent(std::string_view Text, size_t P) {
  size_t End = P - 1;
  while (End < Text.size() && IsIn(static_cast<unsigned char>(Text[End]), csIdent))
    ++End;
  return Text.substr(P - 1, End - (P - 1));
}

std::string EscapeHTML(std::string_view Text) {
  std::string Result;
  Result.reserve(Text.size());
  TStringAppender Out{Result};
  PutEscaped(Out, Text.data(), Text.size(), Text.data() + Text.size());
  return Result;
}

TScanSplit ScanSplit;
bool ScanWithAVX2 = true;

namespace {

enum class TScanMode {
  Caller, // the calling thread: reports progress, obeys Stop
  Helper, // a helper thread's segment: records where its tokens start
  Meet,   // the caller past its segment: looks for the helper's tokens
};

// A token start of a helper's segment, with what the helper had written
// before it, so that the caller can take over from there.
struct TTokenMark {
  size_t Pos;        // the token's first byte
  size_t Written;    // page bytes the helper had put before it
  size_t PendingPos; // the first source byte it had not put yet
  uint16_t Markup;   // the markup state before the token's switch
};

// An identifier at whose end the helper would have reported progress.
struct TIdentMark {
  size_t End;
  int32_t Percent;
};

// Only the first tokens of a helper's segment are marked: the caller meets
// them within a token or two of the segment start when it meets them at
// all, and the markup states agree a few tokens later (on big.pas within
// 173 tokens at every segment). Marked tokens keep the helper off the fast
// path, which needs no look at each token, so there are not many more.
constexpr size_t MarkedTokens = 1024;

} // namespace

// Positions are 1-based as in the token rules: S[1] is the first byte and
// S[Len + 1] the terminating NUL that std::string guarantees. NUL belongs
// to no continuation set, so runs of identifier, number and symbol bytes
// stop at the end of the text without a bounds test of their own.
//
// Tokens that are written unchanged are not copied one by one: they stay
// pending and go out in one block whenever markup, an entity or an escaped
// token has to be written, and at the end.
class TScan {
public:
  TScan(TTessaline &Owner, TMarkup &Markup, TPageWriter &Writer)
      : Owner(Owner), S(Owner.FSource.data() - 1), Len(Owner.FSource.size()), Markup(Markup),
        Writer(Writer), Pending(S + 1), FindPlainStarts(ChooseFindPlainStarts()) {}

  // Converts the tokens that start after position i and before To + 1 (the
  // last may run past To) and returns the position of the last byte taken.
  template <TScanMode Mode> size_t Run(size_t i, size_t To);

  // Writes what is still pending after a run that ended at i.
  void Finish(size_t i) {
    SwitchTo(heWhitespace, std::min(i, Len) + 1);
    WritePendingBefore(Len + 1);
  }

  // The helper's side. Yield asks it to end its segment where it is.
  std::atomic<bool> *Yield = nullptr;
  std::vector<TTokenMark> *Marks = nullptr;
  std::vector<TIdentMark> *Idents = nullptr;
  size_t PendingPos() const { return static_cast<size_t>(Pending - S); }
  // A helper's segment starts after position From: nothing before it is its.
  void StartAt(size_t From) { Pending = S + From + 1; }

  // The caller's side: continues from i through a helper's segment that
  // ends at To, taking the helper's page over where the two meet.
  size_t MeetHelper(size_t i, const struct TSegment &Segment);

  // Progress: the caller reports as it goes, a helper records (see Record).
  bool Reporting() const { return static_cast<bool>(Owner.FOnProgress); }
  void StartReports() { NextReport = Reporting() ? FirstPositionAbove(0) : SIZE_MAX; }
  void StartRecords(bool Reporting) { NextReport = Reporting ? 0 : SIZE_MAX; }

private:
  unsigned char Byte(size_t P) const { return static_cast<unsigned char>(S[P]); }
  template <TScanMode Mode> bool Stopped() const {
    if constexpr (Mode == TScanMode::Helper)
      return Yield->load(std::memory_order_relaxed);
    else
      return Owner.FCancel;
  }
  // Writes the pending source bytes before position P.
  void WritePendingBefore(size_t P) {
    Writer.Put(Pending, static_cast<size_t>(S + P - Pending));
    Pending = S + P;
  }
  // Switches to whitespace and then to E, as before every token, for the
  // token that starts at P.
  void SwitchTo(THighlightElement E, size_t P) {
    const std::string_view Text = Markup.SwitchThroughWhitespaceTo(E);
    if (!Text.empty()) {
      WritePendingBefore(P);
      Writer.Put(Text);
    }
  }
  void WriteEscaped(size_t From, size_t To) {
    WritePendingBefore(From);
    // The text and its terminating NUL can be read.
    PutEscaped(Writer, S + From, To - From + 1, S + Len + 2);
    Pending = S + To + 1;
  }
  // The position of the first C in [From, To], or 0.
  size_t Find(char C, size_t From, size_t To = SIZE_MAX) const {
    To = std::min(To, Len);
    if (From > To)
      return 0;
    const void *Hit = std::memchr(S + From, C, To - From + 1);
    return Hit ? static_cast<const char *>(Hit) - S : 0;
  }
  // The rules search a delimiter up to the text's last byte but one and
  // take a miss as the end; searching up to Len itself and taking a miss as
  // Len gives the same token end.
  size_t RunTo(char C, size_t From) const {
    const size_t P = Find(C, From);
    return P ? P : Len;
  }
  // Most tokens are followed by a blank or a line end: taking that run
  // right away, in the token's own code, spares a dispatch on its first
  // byte. It is the same switch and the same bytes as a token of its own,
  // so it is done only where such a token would come now (no Stop pending).
  template <TScanMode Mode> size_t TakeOtherRunAfter(size_t E) {
    if (E < Len && TokenStartOf(Byte(E + 1)) == tsOther && !Stopped<Mode>()) {
      SwitchTo(heWhitespace, E + 1);
      return SkipOther(S, E + 1, Len);
    }
    return E;
  }
  // Takes plain tokens (see TPlainRun) from position i + 1 on, and short
  // strings and comments (see EndOfShortToken), exactly as the full rules
  // would, and returns the position of the last byte taken. It stops before
  // any other token, before a block of 64 bytes in which progress may fall
  // due (only the full rules report, and so only they can meet a Stop),
  // within 64 bytes of To or of the end of the text (see Limit), and in a
  // helper asked to yield. Token ends come from FindPlainStarts, 64 bytes
  // at a time, so no token's end waits for the one before it to be found.
  template <TScanMode Mode> size_t RunPlainTokens(size_t i, size_t To) {
    if (Len < 64)
      return i;
    // The markup state is the one thing each token waits for from the one
    // before; held in a local it stays in a register.
    TMarkup &M = Markup;
    uint16_t Key = M.StateKey();
    i = TakePlainTokens<Mode>(i, To, M, Key);
    M.SetStateKey(Key);
    return i;
  }
  template <TScanMode Mode>
  [[gnu::always_inline]] size_t TakePlainTokens(size_t i, size_t To, TMarkup &M, uint16_t &Key) {
    const size_t First = i;
    size_t ShortEnd = 0; // the end of the last string or comment taken
    // Blocks lie wholly inside the text and before To; the few tokens
    // after the last one are left to the full rules. Stopping short of the
    // end by TPageWriter::PaddedRead lets pending source bytes be copied
    // with PutPadded.
    const size_t Limit = std::min(To, Len - TPageWriter::PaddedRead);
    unsigned Passable = PassableKinds(M, Key);
    // Locals, since every store of page bytes could change a member as far
    // as the compiler knows; no report is made inside this loop.
    const char *const Source = S;
    const size_t Due = NextReport;
    while (i + 64 <= Limit) {
      if constexpr (Mode == TScanMode::Helper) {
        if (Stopped<Mode>())
          break;
      }
      const size_t Block = i + 1;
      const TPlainStarts Starts = FindPlainStarts(S + Block);
      // Every token but the last in the block ends inside it.
      const unsigned LastBit = 63 - static_cast<unsigned>(__builtin_clzll(Starts.All));
      if (LastBit == 0) { // a run of 64 bytes or more
        const unsigned char C = Byte(Block);
        const TPlainRun Run = PlainRunOf[TokenStartOf(C)];
        if (Run == prNone || (C == '(' && Byte(Block + 1) == '*'))
          break;
        const size_t E = ContinuePlainRun(Run, Block + 63);
        if (Run == prIdent && E >= NextReport)
          break;
        if (!M.SwitchQuietly(Key, PlainRunElement[Run]))
          Passable = SwitchLoudly(M, Key, PlainRunElement[Run], Block);
        i = E;
        continue;
      }
      // Progress falls due at an identifier in this block, perhaps: the
      // full rules take its tokens, as they report.
      if (Due <= Block + 63) [[unlikely]]
        break;
      // The tokens that end in the block: all but the last, which is left
      // to the next block. They are taken up to the first one that is not
      // plain, and on after it when it is a short string or comment.
      uint64_t Rest = Starts.All & ~(uint64_t(1) << LastBit);
      size_t Taken = Block + LastBit - 1; // where the next block starts after
      const char *const B = Source + Block;
      for (;;) {
        const uint64_t Stops = Starts.Stop & Rest;
        const uint64_t Ending = Rest & (Stops - 1) & ~Stops; // all of Rest when Stops is 0
        uint64_t Left = Ending & ~PassedStarts(Starts, Passable);
        while (Left != 0) {
          const unsigned Bit = static_cast<unsigned>(__builtin_ctzll(Left));
          const uint64_t Through = Left ^ (Left - 1); // bits up to Bit
          Left &= Left - 1;
          const unsigned char C = static_cast<unsigned char>(B[Bit]);
          const unsigned Kind = PlainKinds.Of[C];
          const unsigned Length =
              static_cast<unsigned>(__builtin_ctzll(Starts.All & ~Through)) - Bit;
          const unsigned char Last = static_cast<unsigned char>(B[Bit + Length - 1]);
          unsigned Element = Kind & 7;
          // Identifiers are about half the tokens, in no order a branch
          // could learn: the first test of a reserved word is made on every
          // token, and only its outcome is a branch. Neither branch here
          // has a hint: a third of the identifiers pass that test, and
          // about half the tokens looked at have a switch that writes.
          if (ReservedTable.MayContain(C, Last, Length, Kind >> 4)) {
            // Away from the end of the text (see Limit), 16 bytes can be read.
            if (ReservedTable.Contains(FoldWordFast(B + Bit, Length)))
              Element = heReservedWord;
          }
          if (!M.IsQuiet(Key, static_cast<THighlightElement>(Element))) {
            Passable = SwitchLoudly(M, Key, static_cast<THighlightElement>(Element), Block + Bit);
            Left = Ending & ~PassedStarts(Starts, Passable) & ~Through;
          } else {
            Key =
                static_cast<uint16_t>((Key & ~TMarkup::AfterToken) | (Kind & TMarkup::AfterToken));
          }
        }
        if (Stops == 0)
          break;
        // A short string or comment is taken here too: leaving the loop
        // for it and coming back costs several times as much.
        const size_t P = Block + static_cast<size_t>(__builtin_ctzll(Stops));
        THighlightElement Element;
        const size_t E = EndOfShortToken(P, Element);
        if (E == 0)
          return EndPlainTokens(First, P - 1, Key, ShortEnd);
        if (!M.SwitchQuietly(Key, Element))
          Passable = SwitchLoudly(M, Key, Element, P);
        ShortEnd = E;
        // Where the block's starts have one right after it, they hold from
        // there on what a block starting there would: no run goes on
        // across that byte. Otherwise (a "}" followed by more symbols, a
        // line comment that ends in blanks) the next block starts there.
        const size_t Next = E + 1 - Block;
        if (Next >= 64 || !((Rest >> Next) & 1)) {
          Taken = E;
          break;
        }
        Rest &= ~((uint64_t(1) << Next) - 1);
      }
      i = Taken;
    }
    return EndPlainTokens(First, i, Key, ShortEnd);
  }
  // The last position of the string or comment that starts at P and ends
  // within 64 bytes with no byte written as an entity, or of the hex number
  // or character code there, as the full rules find it, with its element;
  // 0 for any other token. The 64 bytes after P + 1 must be readable.
  size_t EndOfShortToken(size_t P, THighlightElement &Element) const {
    int End;
    switch (Byte(P)) {
    case '\'': // '' inside a string ends it: the next string starts there
      Element = heString;
      End = ShortTokenEnd(S + P + 1, '\'', '\'');
      return End < 0 ? 0 : P + 1 + static_cast<size_t>(End);
    case '{':
      Element = heComment;
      End = ShortTokenEnd(S + P + 1, '}', '}');
      return End < 0 ? 0 : P + 1 + static_cast<size_t>(End);
    case '/': // a line comment ends before its line end, CR or LF
      if (Byte(P + 1) != '/')
        return 0;
      Element = heComment;
      End = ShortTokenEnd(S + P + 2, '\r', '\n');
      return End < 0 ? 0 : P + 1 + static_cast<size_t>(End);
    case '$': // a hex number, even with no digit
      Element = heNumber;
      while (IsIn(Byte(P + 1), csHex))
        ++P;
      return P;
    case '#': // a character code: its digits, or none
      Element = heString;
      while (Byte(P + 1) >= '0' && Byte(P + 1) <= '9')
        ++P;
      return P;
    default:
      return 0;
    }
  }

  // Tokens passed over leave the state as their switches would have: only
  // whether the last token was whitespace has to be set. A line comment
  // that was taken last (it ends at ShortEnd) may end in a blank, which
  // says nothing about that; its switch has set the state already.
  size_t EndPlainTokens(size_t First, size_t i, uint16_t &Key, size_t ShortEnd) const {
    if (i != First && i != ShortEnd)
      Key = static_cast<uint16_t>((Key & ~TMarkup::AfterToken) |
                                  (TokenStartOf(Byte(i)) == tsOther ? 0 : TMarkup::AfterToken));
    return i;
  }
  // Which plain tokens can be passed over, without a look at them, in the
  // state Key: a bit each for runs of other bytes, symbols and numbers.
  // A run of other bytes whose switch writes nothing and keeps the open
  // markup can be passed over: the switch through whitespace before the
  // next token makes the same one first. Then so can a symbol or number
  // whose switch writes nothing either after a token: it leaves the same
  // state, or one that differs only by that quiet whitespace switch.
  // Identifiers are always looked at, for reserved words.
  unsigned PassableKinds(TMarkup &M, uint16_t Key) {
    // It depends on the open markup alone, and is asked at every switch
    // that writes: worked out once per open markup, with the switches it
    // asks about, so that the answer cannot change later.
    uint8_t &Known = PassableByMarkup[TMarkup::OpenMarkupOf(Key)];
    if (Known == 0) {
      const uint16_t After = Key | TMarkup::AfterToken;
      Known = 8;
      if (M.WillBeQuiet(After, heWhitespace))
        Known |=
            1 | (M.WillBeQuiet(After, heSymbol) ? 2 : 0) | (M.WillBeQuiet(After, heNumber) ? 4 : 0);
    }
    return Known & 7;
  }
  static uint64_t PassedStarts(const TPlainStarts &Starts, unsigned Passable) {
    auto All = [](unsigned Bit) { return uint64_t(0) - Bit; };
    return (Starts.Other & All(Passable & 1)) | (Starts.Symbol & All((Passable >> 1) & 1)) |
           (Starts.Number & All((Passable >> 2) & 1));
  }
  // A switch that writes markup or changes the open markup, for the token
  // at P; returns what can now be passed over (see PassableKinds).
  unsigned SwitchLoudly(TMarkup &M, uint16_t &Key, THighlightElement E, size_t P) {
    if (const std::string_view Text = M.Switch(Key, E); !Text.empty()) {
      Writer.PutPadded(Pending, static_cast<size_t>(S + P - Pending));
      Pending = S + P;
      Writer.PutPadded(Text.data(), Text.size());
    }
    return PassableKinds(M, Key);
  }
  // The end of a plain run known to reach at least to position E.
  size_t ContinuePlainRun(TPlainRun Run, size_t E) const {
    switch (Run) {
    case prIdent:
      return SkipIdent(S, E, Len);
    case prOther:
      return SkipOther(S, E, Len);
    default: {
      const TCharSet Set = Run == prSymbol ? csSymbol : csDecimal;
      while (IsIn(Byte(E + 1), Set))
        ++E;
      return E;
    }
    }
  }
  // Progress is due when (i * 100) div Len first exceeds the last value
  // reported; NextReport is the first i where that happens, so identifiers
  // cost one compare instead of a division. 64-bit, so huge texts do not
  // overflow.
  size_t FirstPositionAbove(int64_t Percent) const {
    return static_cast<size_t>(((Percent + 1) * static_cast<int64_t>(Len) + 99) / 100);
  }
  int32_t PercentAt(size_t E) const {
    return static_cast<int32_t>(static_cast<int64_t>(E) * 100 / static_cast<int64_t>(Len));
  }
  void Report(int32_t Percent) {
    LastPercent = Percent;
    NextReport = FirstPositionAbove(Percent);
    Owner.ReportProgress(Percent);
  }
  // A helper cannot report; it records the identifiers at whose end the
  // caller has to. A report is due at an identifier exactly when its
  // percentage exceeds that of the identifier before it, so recording
  // those suffices, provided the one before is also one the caller
  // scanned: hence every identifier among the marked tokens (the caller
  // may meet the helper at any of them), and the first one after them.
  void Record(size_t E) {
    const int32_t Percent = PercentAt(E);
    Idents->push_back({E, Percent});
    NextReport = Marks->size() < MarkedTokens ? 0 : FirstPositionAbove(Percent);
  }

  TTessaline &Owner;
  const char *const S;
  const size_t Len;
  TMarkup &Markup;
  TPageWriter &Writer;
  const char *Pending;
  const TFindPlainStarts FindPlainStarts;
  uint8_t PassableByMarkup[TMarkup::OpenMarkups] = {}; // bit 3 set once known
  int32_t LastPercent = 0;
  size_t NextReport = SIZE_MAX;
  size_t MarkIndex = 0; // Meet: the first mark not yet passed
  bool Met = false;
  const struct TSegment *Meeting = nullptr;
};

// A second thread converts segments of a large text, each into a page of
// its own, with a markup of its own that starts from the start state. The
// markup works from a copy of the scheme: the window's progress handler
// runs the event loop, and nothing there may race with this thread.
struct TSchemeCopy {
  TSchemeCopy(const TColor *C, const bool *D, const TFontStyles *S) {
    std::copy(C, C + ElementCount, Colors);
    std::copy(D, D + ElementCount, Defaults);
    std::copy(S, S + ElementCount, Styles);
  }
  TColor Colors[ElementCount];
  bool Defaults[ElementCount];
  TFontStyles Styles[ElementCount];
};

// What the helper made of one segment, the tokens after From up to To.
struct TSegment {
  size_t From = 0, To = 0;
  TByteBuffer *Page = nullptr;
  std::vector<TTokenMark> Marks;
  std::vector<TIdentMark> Idents;
  bool Failed = false; // no page: the caller converts the segment itself
  // The last position taken, which is before To when the helper yielded,
  // and the first source byte not yet put.
  size_t End = 0, EndPendingPos = 0;
  uint16_t EndMarkup = 0;
};

// The helper works through its segments in order without waiting for the
// caller, up to two ahead of the one the caller has taken over last: while
// the caller copies one segment's page, the helper fills the other slot.
// A caller that comes to a segment the helper is still on does not wait
// for its end: the helper ends it where it is, and the caller goes on from
// there. Neither thread then waits for the other while there is text left
// for both, however their speeds differ.
class THelper : private TSchemeCopy {
public:
  THelper(TTessaline &Owner, TByteBuffer (&Pages)[2], const TColor *Colors, const bool *Defaults,
          const TFontStyles *Styles, bool Reporting, std::vector<TSegment> Segments)
      : TSchemeCopy(Colors, Defaults, Styles), Owner(Owner),
        Markup(TSchemeCopy::Colors, TSchemeCopy::Defaults, TSchemeCopy::Styles),
        Reporting(Reporting), Segments(std::move(Segments)) {
    for (size_t K = 0; K < this->Segments.size(); ++K)
      this->Segments[K].Page = &Pages[K % 2];
    try {
      Thread = std::thread([this] { Work(); });
    } catch (const std::system_error &) {
      // No thread to be had: the caller converts every segment itself.
      for (TSegment &Segment : this->Segments)
        Segment.Failed = true;
      Done = this->Segments.size();
    }
  }
  THelper(const THelper &) = delete;
  THelper &operator=(const THelper &) = delete;
  ~THelper() {
    {
      std::lock_guard<std::mutex> Lock(Mutex);
      Abort = true;
      Yield = true;
    }
    Changed.notify_all();
    if (Thread.joinable())
      Thread.join();
  }

  // Segment K once the helper is through with it, perhaps before its end
  // (see TSegment::End). The caller takes the segments in order and
  // releases each before taking the next.
  const TSegment &Take(size_t K) {
    std::unique_lock<std::mutex> Lock(Mutex);
    if (Done <= K)
      Yield = true;
    Changed.wait(Lock, [this, K] { return Done > K; });
    return Segments[K];
  }
  void Release(size_t K) {
    {
      std::lock_guard<std::mutex> Lock(Mutex);
      Released = K + 1;
    }
    Changed.notify_all();
  }

private:
  void Work() {
    for (size_t K = 0; K < Segments.size(); ++K) {
      {
        std::unique_lock<std::mutex> Lock(Mutex);
        // Segment K goes where segment K - 2 was.
        Changed.wait(Lock, [this, K] { return Abort || K < Released + 2; });
        if (Abort)
          return;
      }
      // Segment K's marks go where segment K - 2's were too: reserving
      // them anew for every segment would cost a mapping of its own.
      if (K >= 2) {
        Segments[K].Marks.swap(Segments[K - 2].Marks);
        Segments[K].Idents.swap(Segments[K - 2].Idents);
      }
      Convert(Segments[K]);
      {
        std::lock_guard<std::mutex> Lock(Mutex);
        Done = K + 1;
        Yield = Abort; // a yield was for segment K only
      }
      Changed.notify_all();
    }
  }
  void Convert(TSegment &Segment) {
    Segment.Marks.clear();
    Segment.Idents.clear();
    Segment.Page->Clear();
    Markup.SetStateKey(TMarkup::StartState);
    try {
      Segment.Marks.reserve(MarkedTokens);
      const size_t Size = Segment.To - Segment.From;
      TPageWriter Writer(*Segment.Page, Size + Size / 3 + 4096);
      TScan Scan(Owner, Markup, Writer);
      Scan.Yield = &Yield;
      Scan.Marks = &Segment.Marks;
      Scan.Idents = &Segment.Idents;
      Scan.StartRecords(Reporting);
      Scan.StartAt(Segment.From);
      const size_t To = Part != 0 ? std::min(Segment.To, Segment.From + Part) : Segment.To;
      Segment.End = Scan.Run<TScanMode::Helper>(Segment.From, To);
      Segment.EndPendingPos = Scan.PendingPos();
      Segment.EndMarkup = Markup.StateKey();
      Writer.Finish();
    } catch (...) {
      Segment.Failed = true; // out of memory: the caller converts the segment itself
    }
  }

  TTessaline &Owner;
  TMarkup Markup;
  const bool Reporting;
  const size_t Part = ScanSplit.HelperPart;
  std::vector<TSegment> Segments;
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Abort = false;
  std::atomic<bool> Yield{false}; // read by the scan without the lock
  size_t Done = 0;                // segments converted
  size_t Released = 0;            // segments the caller is through with
  std::thread Thread;
};

template <TScanMode Mode> size_t TScan::Run(size_t i, size_t To) {
  while (i < To && !Stopped<Mode>()) {
    if constexpr (Mode == TScanMode::Helper) {
      if (Marks->size() < MarkedTokens)
        Marks->push_back({i + 1, Writer.Written(), PendingPos(), Markup.StateKey()});
    } else if constexpr (Mode == TScanMode::Meet) {
      // Where a token of ours starts at a marked token of the helper's, in
      // the same markup state, everything after it is the same as the
      // helper's. Past the last mark they can no longer meet.
      const std::vector<TTokenMark> &Marked = Meeting->Marks;
      while (MarkIndex < Marked.size() && Marked[MarkIndex].Pos < i + 1)
        ++MarkIndex;
      if (MarkIndex == Marked.size())
        return i;
      if (Marked[MarkIndex].Pos == i + 1 && Marked[MarkIndex].Markup == Markup.StateKey()) {
        Met = true;
        return i;
      }
    }
    // The meeting needs every token start, and so do the helper's marks.
    if (Mode == TScanMode::Caller || (Mode == TScanMode::Helper && Marks->size() >= MarkedTokens)) {
      i = RunPlainTokens<Mode>(i, To);
      if (i >= To)
        break;
    }
    ++i;
    const unsigned char C = Byte(i);
    size_t e = i;
    switch (TokenStartOf(C)) {
    case tsHash:
      while (Byte(e + 1) >= '0' && Byte(e + 1) <= '9')
        ++e;
      SwitchTo(heString, i);
      break;
    case tsQuote: // '' inside a string ends it and opens the next one
      e = RunTo('\'', i + 1);
      SwitchTo(heString, i);
      WriteEscaped(i, e);
      break;
    case tsSlash:
      if (Byte(i + 1) == '/') {
        // The line ends at a CR or a LF: stopping at CR alone would let a
        // comment in a file with bare LF line ends take in the rest of the
        // text. The CR is looked for only before the LF, so a text without
        // any CR is not searched to its end once per comment.
        const size_t LineFeed = Find('\n', i + 2);
        const size_t Limit = LineFeed ? LineFeed - 1 : Len;
        const size_t Return = Limit >= i + 2 ? Find('\r', i + 2, Limit) : 0;
        e = (Return ? Return : LineFeed ? LineFeed : Len + 1) - 1;
        SwitchTo(heComment, i);
        WriteEscaped(i, e);
      } else {
        SwitchTo(heWhitespace, i); // a lone slash is no symbol: it passes like a blank
      }
      break;
    case tsBrace: // an unclosed { runs to the end of the text
      e = RunTo('}', i + 1);
      SwitchTo(heComment, i);
      WriteEscaped(i, e);
      break;
    case tsParen:
      if (Byte(i + 1) == '*') {
        // The closing "*)" is looked for from i + 2, so "(*)" does not
        // close itself: it opens a comment that runs to the end.
        e = Len;
        for (size_t P = Find(')', i + 3); P != 0; P = Find(')', P + 1)) {
          if (Byte(P - 1) == '*') {
            e = P;
            break;
          }
        }
        SwitchTo(heComment, i);
        WriteEscaped(i, e);
        break;
      }
      [[fallthrough]];
    case tsSymbol:
      while (IsIn(Byte(e + 1), csSymbol))
        ++e;
      SwitchTo(heSymbol, i);
      e = TakeOtherRunAfter<Mode>(e);
      break;
    case tsLetter:
      e = SkipIdent(S, e, Len);
      // Len + 2 - i bytes from S + i can be read: the rest of the text and
      // its terminating NUL.
      SwitchTo(IsReservedIdent(S + i, e - i + 1, Len + 2 - i) ? heReservedWord : heIdentifier, i);
      if (e >= NextReport) {
        if constexpr (Mode == TScanMode::Helper)
          Record(e);
        else
          Report(PercentAt(e));
      }
      e = TakeOtherRunAfter<Mode>(e);
      break;
    case tsDigit:
      while (IsIn(Byte(e + 1), csDecimal))
        ++e;
      SwitchTo(heNumber, i);
      break;
    case tsDollar:
      while (IsIn(Byte(e + 1), csHex))
        ++e;
      SwitchTo(heNumber, i);
      break;
    case tsEntity:
      SwitchTo(heSymbol, i);
      WritePendingBefore(i);
      Writer.Put(std::string_view(EntityFor(C)));
      Pending = S + i + 1;
      break;
    case tsOther:
      // Consecutive other bytes each follow a switch to whitespace that
      // writes nothing, and no progress (hence no Stop) can come between
      // them, so they pass as one run.
      SwitchTo(heWhitespace, i);
      e = SkipOther(S, e, Len);
      break;
    }
    i = e;
  }
  return i;
}

size_t TScan::MeetHelper(size_t i, const TSegment &Helper) {
  const size_t To = Helper.To;
  if (i >= To || Helper.Failed)
    return i; // our last token took in the whole segment, or the helper gave up
  Meeting = &Helper;
  MarkIndex = 0;
  Met = false;
  i = Run<TScanMode::Meet>(i, To);
  if (!Met)
    return i; // the caller goes on by itself
  // From the token at P on, the helper's page is ours: its page bytes from
  // that token on follow what we have put, and its pending source bytes
  // and markup state are ours at its end.
  const size_t P = i + 1;
  const TTokenMark &Mark = Helper.Marks[MarkIndex];
  WritePendingBefore(P);
  const size_t From = Mark.Written + (P - Mark.PendingPos);
  if (From < Helper.Page->Size())
    Writer.Put(Helper.Page->Data() + From, Helper.Page->Size() - From);
  Pending = S + std::max(P, Helper.EndPendingPos);
  Markup.SetStateKey(Helper.EndMarkup);
  // Its progress reports, in order, as they would have come; a Stop from
  // one of them ends the run as it would have.
  if (Reporting()) {
    for (const TIdentMark &Ident : Helper.Idents) {
      if (Ident.End < P || Ident.Percent <= LastPercent)
        continue;
      Report(Ident.Percent);
      if (Owner.FCancel)
        return Helper.End;
    }
  }
  return Helper.End;
}

void TTessaline::ScanPlain(TMarkup &Markup, TPageWriter &Writer) {
  TScan Scan(*this, Markup, Writer);
  Scan.StartReports();
  const size_t Len = FSource.size();
  size_t i = 0;
  if (ScanSplit.Segment > 0 && Len >= ScanSplit.MinText &&
      std::thread::hardware_concurrency() > 1) {
    // Rounds of two segments: the caller's first, the helper's from the
    // first line start after the caller's share of the round on, which is
    // where a token almost always starts, and rarely inside a comment or
    // string. The caller's share is the smaller, as it also copies the
    // helper's pages. A caller that streams the page also hands all of it
    // to the sink, which takes much of its time: its share is smaller
    // still, and so are the rounds, so that its part of the last one,
    // which it converts while the helper has nothing left to do, is short.
    const bool Streaming = Writer.Streaming();
    const size_t Round =
        2 * std::max<size_t>(Streaming ? ScanSplit.Segment / 4 : ScanSplit.Segment, 1);
    const size_t CallerShare = Streaming ? 25 : 45; // per cent
    struct TRound {
      size_t Middle, To; // Middle 0: the round has no helper segment
    };
    std::vector<TRound> Rounds;
    std::vector<TSegment> Segments;
    for (size_t Start = 0; Start < Len; Start += Round) {
      const size_t To = std::min(Len, Start + Round);
      const size_t Half = Start + (To - Start) * CallerShare / 100;
      const void *LineEnd = std::memchr(FSource.data() + Half, '\n', To - Half);
      size_t Middle = LineEnd ? static_cast<const char *>(LineEnd) - FSource.data() + 1 : 0;
      if (Middle <= Start || Middle >= To)
        Middle = 0;
      Rounds.push_back({Middle, To});
      if (Middle != 0) {
        Segments.emplace_back();
        Segments.back().From = Middle;
        Segments.back().To = To;
      }
    }
    THelper Helper(*this, FHelperPages, FColors, FDefaults, FStyles, Scan.Reporting(),
                   std::move(Segments));
    size_t K = 0;
    for (const TRound &Round : Rounds) {
      if (FCancel)
        break;
      if (Round.Middle == 0) {
        i = Scan.Run<TScanMode::Caller>(i, Round.To);
        continue;
      }
      i = Scan.Run<TScanMode::Caller>(i, Round.Middle);
      if (FCancel)
        break;
      i = Scan.MeetHelper(i, Helper.Take(K));
      Helper.Release(K++);
      i = Scan.Run<TScanMode::Caller>(i, Round.To);
    }
  }
  i = Scan.Run<TScanMode::Caller>(i, Len);
  Scan.Finish(i);
}
