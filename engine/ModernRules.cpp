// The token rules of the modern dialect: the classic table (TokenRules.cpp)
// with today's Pascal added. Directives are their own element; three or
// more apostrophes (an odd number) before a line end open a multi-line
// string; "&" escapes an identifier or opens an octal number; numbers take
// "%" binary, "&" octal, "_" separators, fractions and exponents, but no
// ".." range; "#" takes "$", "%" and "&" digits; and an asm block's body,
// up to its "end", is assembler. A comment opener ends a symbol run, and a
// "/" that opens none is a symbol. Words are read by their mode and where
// they stand (ModernContext.cpp); in Free Pascal's own modes comments
// nest. The fast path (PlainTokens.cpp) takes the
// tokens both dialects read alike and leaves the others here. A scan's
// tokens depend on its position, on whether it is in an asm body and on
// its context, so the split (ScanSplit.h) meets a helper where both agree
// on those too.
#include "ReservedWords.h"
#include "Scan.h"

namespace {

bool IsBlank(unsigned char C) { return C == ' ' || C == '\t'; }
bool IsLineEnd(unsigned char C) { return C == '\r' || C == '\n'; }

} // namespace

// As TScan::Run (TokenRules.cpp), with the same hooks for the split.
template <TScanMode Mode> size_t TScan::RunModern(size_t i, size_t To) {
  while (i < To && !Stopped<Mode>()) {
    if (!BeforeToken<Mode>(i + 1))
      return i;
    if (Conditions && Conditions->Skipping()) [[unlikely]] {
      i = TakeSkippedText<Mode>(i + 1);
      continue;
    }
    // The fast path takes the tokens both dialects read alike; in an asm
    // body every token is assembler, which it does not know.
    if constexpr (Mode != TScanMode::Meet) {
      if (!InAsm && (Mode == TScanMode::Caller || Marks->size() >= Tuning::MarkedTokens)) {
        i = RunAnyPlainTokens<Mode, true>(i, To);
        if (i >= To)
          break;
      }
    }
    i = TakeModernToken<Mode>(i + 1);
  }
  return i;
}

template <TScanMode Mode> size_t TScan::TakeModernToken(size_t i) {
  // Inside an asm body every token but comments, directives and blanks is
  // assembler, and only the reserved word "end" closes it: no nesting,
  // since assembler has no blocks of its own.
  auto Code = [this](THighlightElement E) { return InAsm ? heAssembler : E; };
  const unsigned char C = Byte(i);
  size_t e;
  switch (TokenStartOf(C)) {
  case tsHash: { // "#" and decimal digits, or "#$", "#%", "#&" and theirs
    TCharSet Digits = csDecimalDigit;
    e = i;
    switch (Byte(i + 1)) {
    case '$':
      Digits = csHexDigit;
      ++e;
      break;
    case '%':
      Digits = csBinaryDigit;
      ++e;
      break;
    case '&':
      Digits = csOctalDigit;
      ++e;
      break;
    }
    e = RunOf(Digits, e);
    ModernValue();
    SwitchTo(Code(heString), i);
    if (Byte(i + 1) == '&')
      WriteEscaped(i, e);
    return e;
  }

  case tsQuote:
    e = ModernStringEnd(i);
    ModernValue();
    SwitchTo(Code(heString), i);
    WriteEscaped(i, e);
    return e;

  case tsSlash:
    if (Byte(i + 1) != '/') {
      // Division: a symbol, and the run of symbols it starts.
      e = ModernSymbolRunEnd(i);
      ModernSymbols(i, e - i + 1);
      SwitchTo(Code(heSymbol), i);
      return TakeOtherRunAfter<Mode>(e);
    }
    e = LineCommentEnd(i);
    SwitchTo(heComment, i);
    WriteEscaped(i, e);
    return e;

  case tsBrace:
    // A directive ends where a comment would: in Free Pascal's nesting
    // modes the compiler reads what follows the directive's own words as
    // a nested comment, so "{$ifdef X { note } }" is one directive there.
    e = BraceCommentEnd(i);
    if (Byte(i + 1) == '$') {
      if (Conditions) [[unlikely]]
        return TakeDirective<Mode>(i, e);
      ReadModeDirective(i + 2, e);
    }
    SwitchTo(Byte(i + 1) == '$' ? heDirective : heComment, i);
    WriteEscaped(i, e);
    return e;

  case tsParen:
    if (Byte(i + 1) == '*') {
      // "(*)" at the end of the text: the byte after the "*" is its NUL.
      const bool Directive = Byte(i + 2) == '$';
      e = !Directive && NestsComments(Ctx.Keys) ? NestedCommentEnd(i) : ParenCommentEnd(i);
      if (Directive) {
        if (Conditions) [[unlikely]]
          return TakeDirective<Mode>(i, e);
        ReadModeDirective(i + 3, e);
      }
      SwitchTo(Directive ? heDirective : heComment, i);
      WriteEscaped(i, e);
      return e;
    }
    [[fallthrough]];

  case tsSymbol:
    if (C == '%' && IsIn(Byte(i + 1), csBinaryDigit)) {
      e = RunOf(csBinaryDigit | csSeparator, i + 1);
      ModernValue();
      SwitchTo(Code(heNumber), i);
      return e;
    }
    e = ModernSymbolRunEnd(i);
    ModernSymbols(i, e - i + 1);
    SwitchTo(Code(heSymbol), i);
    return TakeOtherRunAfter<Mode>(e);

  case tsLetter: {
    e = ByteSearch::SkipIdent(S, i, Len);
    const size_t Length = e - i + 1;
    THighlightElement E;
    if (InAsm) {
      E = heAssembler;
      if (IsThreeLetterWord(S + i, Length, "end")) {
        InAsm = false;
        E = ModernWordElement(i, Length);
      }
    } else {
      E = ModernWordElement(i, Length);
      InAsm = E == heReservedWord && IsThreeLetterWord(S + i, Length, "asm");
    }
    SwitchTo(E, i);
    AfterIdentifier<Mode>(e);
    return TakeOtherRunAfter<Mode>(e);
  }

  case tsDigit:
    e = ModernDecimalEnd(i);
    ModernValue();
    SwitchTo(Code(heNumber), i);
    return e;

  case tsDollar: // "$" and hexadecimal digits and separators, even none
    e = RunOf(csHexDigit | csSeparator, i);
    ModernValue();
    SwitchTo(Code(heNumber), i);
    return e;

  case tsEntity:
    if (C == '&' && TokenStartOf(Byte(i + 1)) == tsLetter) {
      // An escaped identifier is never a reserved word: "&end" neither
      // closes an asm body nor "&asm" opens one.
      e = ByteSearch::SkipIdent(S, i + 1, Len);
      ModernValue();
      SwitchTo(Code(heIdentifier), i);
      WriteEscaped(i, e);
      AfterIdentifier<Mode>(e);
      return TakeOtherRunAfter<Mode>(e);
    }
    if (C == '&' && IsIn(Byte(i + 1), csOctalDigit)) {
      e = RunOf(csOctalDigit | csSeparator, i + 1);
      ModernValue();
      SwitchTo(Code(heNumber), i);
      WriteEscaped(i, e);
      return e;
    }
    if (!InAsm)
      Ctx.Prev = pvOther;
    SwitchTo(Code(heSymbol), i);
    WriteEntity(i);
    return i;

  case tsOther:
    SwitchTo(heWhitespace, i);
    return ByteSearch::SkipOther(S, i, Len);
  }
  return i;
}

size_t TScan::ModernStringEnd(size_t i) const {
  size_t Quotes = 1;
  while (Byte(i + Quotes) == '\'')
    ++Quotes;
  if (Quotes < 3 || Quotes % 2 == 0 || !IsLineEnd(Byte(i + Quotes)))
    return RunTo('\'', i + 1); // the classic string, "''" ending it
  // A multi-line string: it ends with the first line that starts, after
  // blanks (spaces and tabs), with exactly as many apostrophes; a line
  // with more starts no end, so that five can hold lines of three.
  for (size_t P = i + Quotes; P <= Len;) {
    while (P <= Len && !IsLineEnd(Byte(P)))
      ++P;
    if (P > Len)
      break;
    P += Byte(P) == '\r' && Byte(P + 1) == '\n' ? 2 : 1; // CR LF is one line end
    while (IsBlank(Byte(P)))
      ++P;
    size_t Run = 0;
    while (Byte(P + Run) == '\'')
      ++Run;
    if (Run == Quotes)
      return P + Run - 1;
    P += Run;
  }
  return Len;
}

size_t TScan::ModernDecimalEnd(size_t i) const {
  constexpr TCharSet Digits = csDecimalDigit | csSeparator;
  size_t E = RunOf(Digits, i);
  // A "." belongs to the number unless a second one follows ("0..9").
  if (Byte(E + 1) == '.' && Byte(E + 2) != '.')
    E = RunOf(Digits, E + 1);
  // An exponent only with a digit: "2E" is a number and an identifier.
  if ((Byte(E + 1) | 32) == 'e') {
    size_t P = E + 2;
    if (Byte(P) == '+' || Byte(P) == '-')
      ++P;
    if (IsIn(Byte(P), csDecimalDigit))
      E = RunOf(Digits, P);
  }
  return E;
}

size_t TScan::ModernSymbolRunEnd(size_t i) const {
  // A "%" with a binary digit after it starts a number, not more symbols;
  // "{", "(*" and "//" start a comment or directive wherever they stand
  // (";{$I+}", "f(a);// note").
  size_t E = i;
  for (;;) {
    const unsigned char C = Byte(E + 1);
    if (!IsIn(C, csSymbol) || C == '{')
      return E;
    const unsigned char Next = Byte(E + 2);
    if ((C == '%' && IsIn(Next, csBinaryDigit)) || (C == '/' && Next == '/') ||
        (C == '(' && Next == '*'))
      return E;
    ++E;
  }
}

template size_t TScan::RunModern<TScanMode::Caller>(size_t, size_t);
template size_t TScan::RunModern<TScanMode::Helper>(size_t, size_t);
template size_t TScan::RunModern<TScanMode::Meet>(size_t, size_t);
