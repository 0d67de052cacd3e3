// The token rules: the reference loop that takes a text token by token,
// each by the rule its first byte selects, as the token table of the rules
// reads. The fast path for plain tokens (PlainTokens.cpp) and the hooks of
// the two-thread split (BeforeToken, AfterIdentifier) stay outside the
// table; they leave the page and the progress as the table alone would.
#include "ReservedWords.h"
#include "Scan.h"

template <TScanMode Mode> size_t TScan::Run(size_t i, size_t To) {
  if (Modern)
    return RunModern<Mode>(i, To);
  while (i < To && !Stopped<Mode>()) {
    if (!BeforeToken<Mode>(i + 1))
      return i;
    // The meeting needs every token start, and so do the helper's marks.
    if constexpr (Mode != TScanMode::Meet) {
      if (Mode == TScanMode::Caller || Marks->size() >= Tuning::MarkedTokens) {
        i = RunAnyPlainTokens<Mode, false>(i, To);
        if (i >= To)
          break;
      }
    }
    i = TakeToken<Mode>(i + 1);
  }
  return i;
}

template <TScanMode Mode> [[gnu::always_inline]] inline size_t TScan::TakeToken(size_t i) {
  size_t e;
  switch (TokenStartOf(Byte(i))) {
  case tsHash: // "#" and the digits after it: a character code, a string
    for (e = i; Byte(e + 1) >= '0' && Byte(e + 1) <= '9';)
      ++e;
    SwitchTo(heString, i);
    return e;

  case tsQuote: // up to the next "'": "''" ends a string and opens the next
    e = RunTo('\'', i + 1);
    SwitchTo(heString, i);
    WriteEscaped(i, e);
    return e;

  case tsSlash:
    if (Byte(i + 1) != '/') {
      SwitchTo(heWhitespace, i); // a lone slash is no symbol: it passes like a blank
      return i;
    }
    e = LineCommentEnd(i);
    SwitchTo(heComment, i);
    WriteEscaped(i, e);
    return e;

  case tsBrace: // up to the next "}"; an unclosed "{" runs to the end
    e = RunTo('}', i + 1);
    SwitchTo(heComment, i);
    WriteEscaped(i, e);
    return e;

  case tsParen:
    if (Byte(i + 1) == '*') {
      e = ParenCommentEnd(i);
      SwitchTo(heComment, i);
      WriteEscaped(i, e);
      return e;
    }
    [[fallthrough]]; // a "(" without "*" starts a symbol run

  case tsSymbol:
    e = RunOf(csSymbol, i);
    SwitchTo(heSymbol, i);
    return TakeOtherRunAfter<Mode>(e);

  case tsLetter: // an identifier, or a reserved word in any letter case
    e = ByteSearch::SkipIdent(S, i, Len);
    // Len + 2 - i bytes from S + i can be read: the rest of the text and
    // its terminating NUL.
    SwitchTo(IsReservedIdent(S + i, e - i + 1, Len + 2 - i) ? heReservedWord : heIdentifier, i);
    AfterIdentifier<Mode>(e);
    return TakeOtherRunAfter<Mode>(e);

  case tsDigit: // digits and dots
    e = RunOf(csDecimal, i);
    SwitchTo(heNumber, i);
    return e;

  case tsDollar: // "$" and hexadecimal digits, even none
    e = RunOf(csHex, i);
    SwitchTo(heNumber, i);
    return e;

  case tsEntity: // & < > " one at a time, as their entities
    SwitchTo(heSymbol, i);
    WriteEntity(i);
    return i;

  case tsOther:
    // Consecutive other bytes each follow a switch to whitespace that
    // writes nothing, and no progress (hence no Stop) can come between
    // them, so they pass as one run.
    SwitchTo(heWhitespace, i);
    return ByteSearch::SkipOther(S, i, Len);
  }
  return i;
}

template size_t TScan::Run<TScanMode::Caller>(size_t, size_t);
template size_t TScan::Run<TScanMode::Helper>(size_t, size_t);
template size_t TScan::Run<TScanMode::Meet>(size_t, size_t);
