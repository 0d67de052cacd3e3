// The modern dialect's rules for conditional compilation: a directive is
// followed (TConditions) as it is taken, and the text of a branch the
// compiler skips is one token of inactive code up to the next directive.
//
// Skipped text is read as Free Pascal's scanner reads it to find the end
// of the branch (skipuntildirective): comments are passed over, nested
// in the modes that nest them, and a "{$" inside one is no directive;
// "//" comments and strings, which end at their closing apostrophe or at
// the line's end, are passed over too. Only "{$" and "(*$" outside these
// start a directive.
#include "Scan.h"

template <TScanMode Mode> size_t TScan::TakeDirective(size_t i, size_t e) {
  // The directive's text, after "{$" or "(*$" and before its closer, if
  // it has one (an unclosed one runs to the end of the text).
  const bool Brace = Byte(i) == '{';
  const size_t From = i + (Brace ? 2 : 3);
  const bool Closed = Brace ? Byte(e) == '}' : e >= i + 4 && Byte(e) == ')' && Byte(e - 1) == '*';
  const size_t To = Closed ? e - (Brace ? 1 : 2) : e;
  const std::string_view Body(S + From, To >= From ? To - From + 1 : 0);
  if constexpr (Mode == TScanMode::Helper) {
    if (Conditions->KindOf(Body) == TConditions::dkUnderflow) {
      HelperEnds = true;
      return i - 1;
    }
  }
  // A directive in skipped code is dead code too, unless it opens, turns
  // or closes a branch.
  const bool Skipped = Conditions->Skipping();
  const TConditions::TDirectiveKind Kind = Conditions->Follow(Body, i);
  // "{$mode ...}" in active code changes the words' mode too.
  if (!Skipped)
    ReadModeDirective(From, e);
  SwitchTo(Skipped && Kind == TConditions::dkOther ? heInactive : heDirective, i);
  WriteEscaped(i, e);
  return e;
}

template <TScanMode Mode> size_t TScan::TakeSkippedText(size_t i) {
  // Bytes that may start something the skipping scanner reads.
  static constexpr struct TSpecial {
    bool Of[256] = {};
    constexpr TSpecial() { Of['{'] = Of['('] = Of['/'] = Of['\''] = Of['\r'] = Of['\n'] = true; }
  } Special;
  size_t P = i;
  while (P <= Len) {
    const unsigned char C = Byte(P);
    if (!Special.Of[C]) {
      ++P;
      continue;
    }
    if (C == '{') {
      if (Byte(P + 1) == '$')
        break;
      // "{ {$ENDIF} }" holds no directive in any mode; "{ { } {$ENDIF}"
      // ends the branch where comments do not nest, as in Delphi's mode.
      P = BraceCommentEnd(P) + 1;
    } else if (C == '(' && Byte(P + 1) == '*') {
      if (Byte(P + 2) == '$')
        break;
      P = (NestsComments(Ctx.Keys) ? NestedCommentEnd(P) : ParenCommentEnd(P)) + 1;
    } else if (C == '/' && Byte(P + 1) == '/') {
      P = LineCommentEnd(P) + 1;
    } else if (C == '\'') {
      // To the closing apostrophe ("''" is one inside), or the line end.
      for (++P; P <= Len && Byte(P) != '\r' && Byte(P) != '\n'; ++P)
        if (Byte(P) == '\'') {
          if (Byte(P + 1) != '\'') {
            ++P;
            break;
          }
          ++P;
        }
    } else {
      ++P;
    }
  }
  if (P == i) {
    // A directive: the branch may end here.
    if (Byte(i) == '{')
      return TakeDirective<Mode>(i, BraceCommentEnd(i));
    return TakeDirective<Mode>(i, ParenCommentEnd(i));
  }
  const size_t e = std::min(P, Len + 1) - 1;
  SwitchTo(heInactive, i);
  WriteEscaped(i, e);
  return e;
}

template size_t TScan::TakeDirective<TScanMode::Caller>(size_t, size_t);
template size_t TScan::TakeDirective<TScanMode::Helper>(size_t, size_t);
template size_t TScan::TakeDirective<TScanMode::Meet>(size_t, size_t);
template size_t TScan::TakeSkippedText<TScanMode::Caller>(size_t);
template size_t TScan::TakeSkippedText<TScanMode::Helper>(size_t);
template size_t TScan::TakeSkippedText<TScanMode::Meet>(size_t);
