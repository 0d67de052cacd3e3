#include "Scanner.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
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

// Escapes Data into Out (a TPageWriter or a string appender), copying the
// runs between entity characters whole.
template <class TOut> void PutEscaped(TOut &Out, const char *Data, size_t Size) {
  const char *Run = Data;
  const char *End = Data + Size;
  for (const char *P = Data; P < End; ++P) {
    const unsigned char C = static_cast<unsigned char>(*P);
    if (TokenStartOf(C) == tsEntity) {
      Out.Put(Run, P - Run);
      Out.Put(std::string_view(EntityFor(C)));
      Run = P + 1;
    }
  }
  Out.Put(Run, End - Run);
}

struct TStringAppender {
  std::string &Text;
  void Put(const char *Data, size_t Size) { Text.append(Data, Size); }
  void Put(std::string_view S) { Text.append(S); }
};

// Reserved words are found by hashing the case-folded word into an
// open-addressed table built at compile time; this gives the same answers
// as comparing with every word in turn, at one hash and usually one
// compare per identifier.
constexpr size_t ShortestReservedWord = 2;
constexpr size_t LongestReservedWord = 14;
constexpr int ReservedSlotBits = 9;
constexpr size_t ReservedSlots = size_t(1) << ReservedSlotBits;

struct TFoldedWord {
  uint64_t Low = 0, High = 0; // the bytes, little-endian, zero past the end
  size_t Length = 0;
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
  Folded.Length = Length;
  return Folded;
}

// The same from two unaligned loads, for words with 16 readable bytes.
inline TFoldedWord FoldWordFast(const char *Word, size_t Length) {
  auto Mask = [](size_t Bytes) {
    return Bytes >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * Bytes)) - 1;
  };
  constexpr uint64_t Fold = 0x2020202020202020ull;
  uint64_t Low, High;
  std::memcpy(&Low, Word, 8);
  std::memcpy(&High, Word + 8, 8);
  const uint64_t LowMask = Mask(Length);
  const uint64_t HighMask = Length > 8 ? Mask(Length - 8) : 0;
  return {(Low | Fold) & LowMask, (High | Fold) & HighMask, Length};
}

constexpr size_t SlotOf(const TFoldedWord &W) {
  const uint64_t H = (W.Low * 0x9E3779B97F4A7C15ull) ^ (W.High * 0xC2B2AE3D27D4EB4Full) ^ W.Length;
  return static_cast<size_t>((H * 0xD6E8FEB86659FD93ull) >> (64 - ReservedSlotBits));
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
  TFoldedWord Slots[ReservedSlots];
  constexpr TReservedTable() : Slots(), LastLetters() {
    for (const char *Word : ReservedWordList) {
      const TFoldedWord Folded = FoldWord(Word, std::char_traits<char>::length(Word));
      size_t Slot = SlotOf(Folded);
      while (Slots[Slot].Length != 0)
        Slot = (Slot + 1) % ReservedSlots;
      Slots[Slot] = Folded;
      AddToSieve(Word, Folded.Length);
    }
  }
  // A first sieve: for each length and first letter, the last letters of
  // reserved words, both taken modulo 32 (so case does not matter, and
  // the few false hits that digits bring only cost the full check). It
  // turns away most identifiers for one load.
  uint32_t LastLetters[LongestReservedWord + 1][32] = {};
  constexpr void AddToSieve(const char *Word, size_t Length) {
    LastLetters[Length][Word[0] & 31] |= uint32_t(1) << (Word[Length - 1] & 31);
  }
  bool MayContain(const char *Word, size_t Length) const {
    return (LastLetters[Length][Word[0] & 31] >> (Word[Length - 1] & 31)) & 1;
  }
  bool Contains(const TFoldedWord &Word) const {
    for (size_t Slot = SlotOf(Word);; Slot = (Slot + 1) % ReservedSlots) {
      if (Slots[Slot] == Word)
        return true;
      if (Slots[Slot].Length == 0)
        return false;
    }
  }
};
constexpr TReservedTable ReservedTable;

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

size_t FindDelimiter(std::string_view Delimiter, std::string_view Text, size_t From) {
  if (Delimiter.empty() || From == 0 || Text.size() < 2)
    return 0;
  const size_t Last = Text.size() - 1; // the last position is never examined
  for (size_t P = From; P <= Last;) {
    const void *Hit = std::memchr(Text.data() + P - 1, Delimiter[0], Last - P + 1);
    if (!Hit)
      return 0;
    P = static_cast<const char *>(Hit) - Text.data() + 1;
    if (Text.compare(P - 1, Delimiter.size(), Delimiter) == 0)
      return P;
    ++P;
  }
  return 0;
}

std::string EscapeHTML(std::string_view Text) {
  std::string Result;
  Result.reserve(Text.size());
  TStringAppender Out{Result};
  PutEscaped(Out, Text.data(), Text.size());
  return Result;
}

// Positions are 1-based as in the token rules: S[1] is the first byte and
// S[Len + 1] the terminating NUL that std::string guarantees. NUL belongs
// to no continuation set, so runs of identifier, number and symbol bytes
// stop at the end of the text without a bounds test of their own.
//
// Tokens that are written unchanged are not copied one by one: they stay
// pending and go out in one block whenever markup, an entity or an escaped
// token has to be written, and at the end.
void TTessaline::ScanPlain(TMarkup &Markup, TPageWriter &Writer) {
  const char *const S = FPlain.c_str() - 1;
  const size_t Len = FPlain.size();
  auto Byte = [S](size_t P) { return static_cast<unsigned char>(S[P]); };
  const char *Pending = S + 1;
  // Writes the pending source bytes before position P.
  auto WritePendingBefore = [&](size_t P) {
    Writer.Put(Pending, static_cast<size_t>(S + P - Pending));
    Pending = S + P;
  };
  // Switches to whitespace and then to E, as before every token, for the
  // token that starts at P.
  auto SwitchTo = [&](THighlightElement E, size_t P) {
    const std::string_view Text = Markup.SwitchThroughWhitespaceTo(E);
    if (!Text.empty()) {
      WritePendingBefore(P);
      Writer.Put(Text);
    }
  };
  auto WriteEscaped = [&](size_t From, size_t To) {
    WritePendingBefore(From);
    PutEscaped(Writer, S + From, To - From + 1);
    Pending = S + To + 1;
  };
  // The position of the first C in [From, To], or 0.
  auto Find = [S, Len](char C, size_t From, size_t To = SIZE_MAX) -> size_t {
    To = std::min(To, Len);
    if (From > To)
      return 0;
    const void *Hit = std::memchr(S + From, C, To - From + 1);
    return Hit ? static_cast<const char *>(Hit) - S : 0;
  };
  // Searching up to Len itself and taking a miss as Len gives the same
  // token end as FindDelimiter, which skips the last byte, with 0 as Len.
  auto RunTo = [&Find, Len](char C, size_t From) -> size_t {
    const size_t P = Find(C, From);
    return P ? P : Len;
  };

  // Most tokens are followed by a blank or a line end: taking that run
  // right away, in the token's own code, spares a dispatch on its first
  // byte. It is the same switch and the same bytes as a token of its own,
  // so it is done only where such a token would come now (no Stop pending).
  auto TakeOtherRunAfter = [&](size_t E) -> size_t {
    if (E < Len && TokenStartOf(Byte(E + 1)) == tsOther && !FCancel) {
      SwitchTo(heWhitespace, E + 1);
      return SkipOther(S, E + 1, Len);
    }
    return E;
  };

  // Progress is due when (i * 100) div Len first exceeds the last value
  // reported; NextReport is the first i where that happens, so identifiers
  // cost one compare instead of a division. 64-bit, so huge texts do not
  // overflow.
  int32_t LastPercent = 0;
  auto FirstPositionAbove = [Len](int64_t Percent) -> size_t {
    return static_cast<size_t>(((Percent + 1) * static_cast<int64_t>(Len) + 99) / 100);
  };
  size_t NextReport = FOnProgress ? FirstPositionAbove(0) : SIZE_MAX;

  size_t i = 0;
  while (i < Len && !FCancel) {
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
      e = TakeOtherRunAfter(e);
      break;
    case tsLetter:
      e = SkipIdent(S, e, Len);
      // Len + 2 - i bytes from S + i can be read: the rest of the text and
      // its terminating NUL.
      SwitchTo(IsReservedIdent(S + i, e - i + 1, Len + 2 - i) ? heReservedWord : heIdentifier, i);
      if (e >= NextReport) {
        LastPercent =
            static_cast<int32_t>(static_cast<int64_t>(e) * 100 / static_cast<int64_t>(Len));
        NextReport = FirstPositionAbove(LastPercent);
        ReportProgress(LastPercent);
      }
      e = TakeOtherRunAfter(e);
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
  SwitchTo(heWhitespace, std::min(i, Len) + 1);
  WritePendingBefore(Len + 1);
}
