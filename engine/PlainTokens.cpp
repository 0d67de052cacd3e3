// The fast path of the token rules for plain tokens (identifiers, numbers,
// runs of symbols and of other bytes) and short strings and comments: it
// finds their boundaries 64 bytes at a time (PlainSearch.h) and passes
// over the tokens whose markup switches write nothing, leaving the page,
// the markup state and the progress as the token table would.
#include <bit>

#include "ModernWords.h"
#include "ReservedWords.h"
#include "Scan.h"

namespace {

using ReservedWordHash::FoldWordFast;
using ReservedWordHash::ReservedTable;

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
// (bit 4), and for an identifier 0xF0, which keeps its length as the row
// of the reserved-word sieve; any other token takes row 0 or, with the
// AfterToken bit, row 1, both empty (no reserved word has fewer than two
// letters). Bytes that start no plain token have 0; the loop never looks
// at them.
struct TPlainKinds {
  uint8_t Of[256] = {};
  constexpr TPlainKinds() {
    for (int C = 0; C < 256; ++C) {
      const TPlainRun Run = PlainRunOf[ClassOf(static_cast<char>(C)) & 15];
      if (Run == prNone)
        continue;
      const THighlightElement E = PlainRunElement[Run];
      Of[C] = static_cast<uint8_t>(E | (E != heWhitespace ? TMarkup::AfterToken : 0) |
                                   (Run == prIdent ? 0xF0 : 0));
    }
  }
};
constexpr TPlainKinds PlainKinds;
static_assert(TMarkup::AfterToken == 16 && heReservedWord < 8 && heNumber < 8 &&
              ReservedWordHash::ShortestWord >= 2 && ReservedWordHash::LongestWord < 16);


inline uint64_t PassedStarts(const TPlainStarts &Starts, unsigned Passable) {
  auto All = [](unsigned Bit) { return uint64_t(0) - Bit; };
  return (Starts.Other & All(Passable & 1)) | (Starts.Symbol & All((Passable >> 1) & 1)) |
         (Starts.Number & All((Passable >> 2) & 1));
}

} // namespace

template <TScanMode Mode, bool Modern, bool Translated>
size_t TScan::RunPlainTokens(size_t i, size_t To) {
  if (Len < 64)
    return i;
  // The markup state is the one thing each token waits for from the one
  // before; held in a local it stays in a register.
  TMarkup &M = Markup;
  uint16_t Key = M.StateKey();
  i = TakePlainTokens<Mode, Modern, Translated>(i, To, M, Key);
  M.SetStateKey(Key);
  return i;
}
template <TScanMode Mode, bool Modern, bool Translated>
[[gnu::always_inline]] inline size_t TScan::TakePlainTokens(size_t i, size_t To, TMarkup &M,
                                                          uint16_t &Key) {
  const size_t First = i;
  size_t ShortEnd = 0; // the end of the last string or comment taken
  // Blocks lie wholly inside the text and before To; the few tokens
  // after the last one are left to the full rules. Stopping short of the
  // end by TPageWriter::PaddedRead lets pending source bytes be copied
  // with PutPadded.
  const size_t Limit = std::min(To, Len - TPageWriter::PaddedRead);
  // The modern dialect looks at every number and symbol (see
  // ModernPlainElement).
  constexpr unsigned PassMask = Modern ? 1 : 7;
  unsigned Passable = PassableKinds(M, Key) & PassMask;
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
    TPlainStarts Starts = FindPlainStarts(S + Block);
    if constexpr (Modern) {
      // A comment's opener inside a symbol run ends the run there; a "/"
      // that opens none (";/") stays in it. Both are rare.
      for (uint64_t Inside = Starts.Openers & ~Starts.All; Inside != 0; Inside &= Inside - 1) {
        const unsigned Bit = static_cast<unsigned>(std::countr_zero(Inside));
        if (Byte(Block + Bit) == '/' && Byte(Block + Bit + 1) != '/')
          continue;
        Starts.All |= uint64_t(1) << Bit;
        Starts.Stop |= uint64_t(1) << Bit;
      }
    }
    // Every token but the last in the block ends inside it.
    const unsigned LastBit = 63 - static_cast<unsigned>(std::countl_zero(Starts.All));
    if (LastBit == 0) { // a run of 64 bytes or more
      const unsigned char C = Byte(Block);
      const TPlainRun Run = PlainRunOf[TokenStartOf(C)];
      if (Run == prNone || (C == '(' && Byte(Block + 1) == '*'))
        break;
      if constexpr (Modern) {
        if (Run != prOther)
          break;
      }
      const size_t E = ContinuePlainRun(Run, Block + 63);
      if (Run == prIdent && E >= NextReport)
        break;
      if (!M.SwitchQuietly(Key, PlainRunElement[Run]))
        Passable = SwitchLoudly<Translated>(M, Key, PlainRunElement[Run], Block) & PassMask;
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
    constexpr unsigned BlockPass = 7;
    for (;;) {
      const uint64_t Stops = Starts.Stop & Rest;
      const uint64_t Ending = Rest & (Stops - 1) & ~Stops; // all of Rest when Stops is 0
      uint64_t Left = Ending & ~PassedStarts(Starts, Passable & BlockPass);
      while (Left != 0) {
        const unsigned Bit = static_cast<unsigned>(std::countr_zero(Left));
        const uint64_t Through = Left ^ (Left - 1); // bits up to Bit
        Left &= Left - 1;
        const unsigned char C = static_cast<unsigned char>(B[Bit]);
        const unsigned Kind = PlainKinds.Of[C];
        const unsigned Length =
            static_cast<unsigned>(std::countr_zero(Starts.All & ~Through)) - Bit;
        const unsigned char Last = static_cast<unsigned char>(B[Bit + Length - 1]);
        unsigned Element = Kind & 7;
        if constexpr (Modern) {
          Element = ModernPlainElement(Element, Block + Bit, Length);
          if (Element == NotPlain)
            return EndPlainTokens(First, Block + Bit - 1, Key, ShortEnd);
        } else {
          // Identifiers are the commonest token, in no order a branch could
          // learn: the first test of a reserved word is made on every token,
          // and only its outcome is a branch. Neither branch here has a
          // hint: both outcomes, and switches that write and those that do
          // not, are common.
          if (ReservedTable.MayContain(C, Last, Length, Kind >> 4)) {
            // Away from the end of the text (see Limit), 16 bytes can be read.
            if (ReservedTable.Contains(FoldWordFast(B + Bit, Length)))
              Element = heReservedWord;
          }
        }
        if (!M.IsQuiet(Key, static_cast<THighlightElement>(Element))) {
          Passable =
              SwitchLoudly<Translated>(M, Key, static_cast<THighlightElement>(Element), Block + Bit) & PassMask;
          Left = Ending & ~PassedStarts(Starts, Passable & BlockPass) & ~Through;
        } else {
          Key =
              static_cast<uint16_t>((Key & ~TMarkup::AfterToken) | (Kind & TMarkup::AfterToken));
        }
      }
      if (Stops == 0)
        break;
      // A short string or comment is taken here too: leaving the loop
      // for it and coming back costs much more.
      const size_t P = Block + static_cast<size_t>(std::countr_zero(Stops));
      THighlightElement Element;
      const size_t E = EndOfShortToken<Modern>(P, Element);
      if (E == 0)
        return EndPlainTokens(First, P - 1, Key, ShortEnd);
      if constexpr (Modern) {
        if (Element == heString)
          Ctx.Prev = pvValue;
      }
      if (!M.SwitchQuietly(Key, Element))
        Passable = SwitchLoudly<Translated>(M, Key, Element, P) & PassMask;
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
template <bool Modern>
inline size_t TScan::EndOfShortToken(size_t P, THighlightElement &Element) const {
  int End;
  if constexpr (Modern) {
    switch (Byte(P)) {
    case '\'': // three apostrophes may open a multi-line string
      if (Byte(P + 1) == '\'' && Byte(P + 2) == '\'')
        return 0;
      break;
    case '{': {
      // "{$mode ...}" changes the mode, a directive may be a conditional
      // followed, and a nesting comment may hold a "{": the full rules
      // take them.
      const bool Directive = Byte(P + 1) == '$';
      if (Directive && (Conditions || (Byte(P + 2) | 32) == 'm'))
        return 0;
      Element = Directive ? heDirective : heComment;
      const bool Nests = NestsComments(Ctx.Keys);
      End = ByteSearch::ShortTokenEnd(S + P + 1, Nests ? '{' : '}', '}');
      return End < 0 || Byte(P + 1 + static_cast<size_t>(End)) == '{'
                 ? 0
                 : P + 1 + static_cast<size_t>(End);
    }
    case '$':
    case '#': // separators, "#$", "#%", "#&": the full rules
      return 0;
    }
  }
  switch (Byte(P)) {
  case '\'': // '' inside a string ends it: the next string starts there
    Element = heString;
    End = ByteSearch::ShortTokenEnd(S + P + 1, '\'', '\'');
    return End < 0 ? 0 : P + 1 + static_cast<size_t>(End);
  case '{':
    Element = heComment;
    End = ByteSearch::ShortTokenEnd(S + P + 1, '}', '}');
    return End < 0 ? 0 : P + 1 + static_cast<size_t>(End);
  case '/': // a line comment ends before its line end, CR or LF
    if (Byte(P + 1) != '/')
      return 0;
    Element = heComment;
    End = ByteSearch::ShortTokenEnd(S + P + 2, '\r', '\n');
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

// The modern dialect's element of the plain token of Length bytes at P,
// which the classic rules would give Element, with the context it leaves;
// NotPlain where the full rules must see which: a number that a
// separator, an exponent or a dot may belong to (a fraction or a range),
// a symbol run that ends in a "%" before a binary digit, and the word
// "asm", which opens an assembler body.
inline unsigned TScan::ModernPlainElement(unsigned Element, size_t P, size_t Length) {
  switch (Element) {
  case heIdentifier: {
    // Away from the end of the text (see Limit), 16 bytes can be read.
    const ModernWords::TWord *W = ModernWords::Table.Find(S + P, Length, 16);
    if (W == nullptr) {
      NameSeen();
      return heIdentifier;
    }
    if (IsThreeLetterWord(S + P, Length, "asm"))
      return NotPlain;
    return ModernWordElement(W, P + Length);
  }
  case heNumber: {
    const unsigned char Next = Byte(P + Length);
    if (Next == '_' || (Next | 32) == 'e')
      return NotPlain;
    for (size_t K = P + 1; K < P + Length; ++K)
      if (Byte(K) == '.')
        return NotPlain;
    Ctx.Prev = pvValue;
    return Element;
  }
  case heSymbol:
    if (Byte(P + Length - 1) == '%' && IsIn(Byte(P + Length), csBinaryDigit))
      return NotPlain;
    ModernSymbols(P, Length);
    return Element;
  default:
    return Element;
  }
}

// Tokens passed over leave the state as their switches would have: only
// whether the last token was whitespace has to be set. A line comment
// that was taken last (it ends at ShortEnd) may end in a blank, which
// says nothing about that; its switch has set the state already.
inline size_t TScan::EndPlainTokens(size_t First, size_t i, uint16_t &Key, size_t ShortEnd) const {
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
inline unsigned TScan::PassableKinds(TMarkup &M, uint16_t Key) {
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
// A switch that writes markup or changes the open markup, for the token
// at P; returns what can now be passed over (see PassableKinds).
template <bool Translated>
inline unsigned TScan::SwitchLoudly(TMarkup &M, uint16_t &Key, THighlightElement E, size_t P) {
  if (const std::string_view Text = M.Switch(Key, E); !Text.empty()) {
    if constexpr (Translated)
      Writer.PutText(Pending, static_cast<size_t>(S + P - Pending));
    else
      Writer.PutPadded(Pending, static_cast<size_t>(S + P - Pending));
    Pending = S + P;
    Writer.PutPadded(Text.data(), Text.size());
    if constexpr (Translated)
      NoteOpenSpan(Key);
  }
  return PassableKinds(M, Key);
}
// The end of a plain run known to reach at least to position E.
inline size_t TScan::ContinuePlainRun(unsigned Run, size_t E) const {
  switch (Run) {
  case prIdent:
    return ByteSearch::SkipIdent(S, E, Len);
  case prOther:
    return ByteSearch::SkipOther(S, E, Len);
  default: {
    const TCharSet Set = Run == prSymbol ? csSymbol : csDecimal;
    while (IsIn(Byte(E + 1), Set))
      ++E;
    return E;
  }
  }
}

template size_t TScan::RunPlainTokens<TScanMode::Caller>(size_t, size_t);
template size_t TScan::RunPlainTokens<TScanMode::Helper>(size_t, size_t);
template size_t TScan::RunPlainTokens<TScanMode::Caller, true>(size_t, size_t);
template size_t TScan::RunPlainTokens<TScanMode::Helper, true>(size_t, size_t);
template size_t TScan::RunPlainTokens<TScanMode::Caller, false, true>(size_t, size_t);
template size_t TScan::RunPlainTokens<TScanMode::Helper, false, true>(size_t, size_t);
template size_t TScan::RunPlainTokens<TScanMode::Caller, true, true>(size_t, size_t);
template size_t TScan::RunPlainTokens<TScanMode::Helper, true, true>(size_t, size_t);
