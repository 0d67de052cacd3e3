// The modern dialect's reading of words by where they stand. The compilers
// reserve their keywords everywhere (per mode, ModernWords.h) but their
// directives only where a directive can stand: after a routine heading's
// ";" ("virtual", "external 'c' name 'f'"), in a property ("read",
// "write", "default"), at the head of a class's section ("private"), and
// where an expression would need an operator (after an identifier,
// a number, a string, ")" or "]": "X: Integer absolute Y",
// "exports F name 'g'"). Elsewhere ("r1.index", "Name: string",
// "Message(s)") they are identifiers. The context that decides it is a
// few bytes (TModernContext) carried from token to token, never a look
// back, so that a helper's scan can be taken over where contexts agree.
#include <cstring>

#include "ModernWords.h"
#include "Scan.h"

using namespace ModernWords;

namespace {

// A name, not a directive, whatever stands before it: the word is
// declared, assigned, called or passed ("Name: string", "Index := 0",
// "Message(s)", "f(Read, Write)"). Blanks and line ends are passed over;
// a comment ends the look.
bool FollowedLikeName(const char *S, size_t After) {
  unsigned char C = static_cast<unsigned char>(S[After]);
  while (C == ' ' || C == '\t' || C == '\r' || C == '\n')
    C = static_cast<unsigned char>(S[++After]);
  switch (C) {
  case ':':
  case '=':
  case ',':
  case ')':
  case ']':
  case '[':
  case '(':
  case '^':
    return true;
  case '.':
    return S[After + 1] != '.';
  default:
    return false;
  }
}

} // namespace

THighlightElement TScan::ModernWordElement(size_t P, size_t Length) {
  const TWord *W = Table.Find(S + P, Length, Len + 2 - P);
  if (!W) {
    NameSeen();
    return heIdentifier;
  }
  return ModernWordElement(W, P + Length);
}

THighlightElement TScan::ModernWordElement(const ModernWords::TWord *W, size_t After) {
  if (IsReservedIn(*W, Ctx.Keys)) {
    if (W->Role == wrHeading) {
      // A routine type among a heading's parameters is part of that heading.
      if (!(Ctx.Section == scHeading && Ctx.Depth > 0)) {
        Ctx.Section = scHeading;
        Ctx.Depth = 0;
      }
    } else if (W->Role == wrProperty) {
      Ctx.Section = scProperty;
      Ctx.Depth = 0;
    } else if (W->Directive == 0 && (Ctx.Section == scDirectives || Ctx.Section == scPropertyEnd)) {
      Ctx.Section = scCode; // "var", "begin", "end": the directives are over
    }
    Ctx.Prev = W->Role == wrTypeOpener ? pvClass : W->Role == wrValue ? pvValue : pvReserved;
    return heReservedWord;
  }
  if (W->Directive != 0 && IsDirectiveHere(W->Directive, After)) {
    if (W->Role == wrHeading) { // Delphi's "class operator"
      Ctx.Section = scHeading;
      Ctx.Depth = 0;
    }
    Ctx.Prev = pvDirective;
    return W->Directive & dfShown ? heReservedWord : heIdentifier;
  }
  NameSeen();
  return heIdentifier;
}

bool TScan::IsDirectiveHere(uint8_t Flags, size_t After) const {
  const uint8_t Prev = Ctx.Prev;
  if (Prev == pvDot || FollowedLikeName(S, After))
    return false;
  // Where an operator would have to come, no name can.
  if (Prev == pvValue && (Flags & (dfRoutine | dfProperty | dfVisibility | dfAfterValue)))
    return true;
  const bool AfterDirective = Prev == pvSemicolon || Prev == pvDirective;
  switch (Ctx.Section) {
  case scDirectives:
    if ((Flags & dfRoutine) && AfterDirective)
      return true;
    break;
  case scProperty:
    if ((Flags & dfProperty) && Ctx.Depth == 0 && Prev == pvDirective)
      return true;
    break;
  case scPropertyEnd:
    if ((Flags & dfProperty) && AfterDirective)
      return true;
    break;
  case scHeading:
    if ((Flags & dfParam) && Ctx.Depth > 0 && (Prev == pvOpen || Prev == pvSemicolon))
      return true;
    break;
  }
  if ((Flags & dfVisibility) && (AfterDirective || Prev == pvClass))
    return true;
  return (Flags & dfAfterClass) && Prev == pvClass;
}

namespace {

bool SameWord(const char *Text, size_t Length, const char *Word) {
  for (size_t K = 0; K < Length; ++K)
    if ((Text[K] | 32) != Word[K] || Word[K] == 0)
      return false;
  return Word[Length] == 0;
}

struct TNamedMode {
  const char *Name;
  TPascalMode Mode;
};
constexpr TNamedMode NamedModes[] = {
    {"fpc", TPascalMode::Fpc},
    {"objfpc", TPascalMode::ObjFpc},
    {"delphi", TPascalMode::FpcDelphi},
    {"delphiunicode", TPascalMode::FpcDelphiUnicode},
    {"tp", TPascalMode::TurboPascal},
    {"macpas", TPascalMode::MacPas},
    {"iso", TPascalMode::Iso},
    {"extendedpascal", TPascalMode::ExtendedPascal},
};

struct TNamedSwitch {
  const char *Name;
  uint8_t Keys;
};
constexpr TNamedSwitch NamedSwitches[] = {
    {"class", ModeKeys::Class},          {"exceptions", ModeKeys::Except},
    {"properties", ModeKeys::Property},  {"initfinal", ModeKeys::InitFinal},
    {"objectivec1", ModeKeys::ObjC},     {"objectivec2", ModeKeys::ObjC},
};

} // namespace

void TScan::ReadModeDirective(size_t From, size_t To) {
  // From is the first byte after "$". "{$mode objfpc}" sets the mode and
  // its keys; "{$modeswitch objectivec1}" (or "+", "-" after it) adds or
  // takes one switch's keys. Anything else, an unknown mode included, is
  // left alone, as the compiler would reject it.
  if (!FollowModes)
    return;
  auto Word = [this, To](size_t &P) {
    const size_t Start = P;
    while (P <= To && IsIn(Byte(P), csIdent))
      ++P;
    return std::string_view(S + Start, P - Start);
  };
  size_t P = From;
  const std::string_view Name = Word(P);
  const bool IsMode = SameWord(Name.data(), Name.size(), "mode");
  if (!IsMode && !SameWord(Name.data(), Name.size(), "modeswitch"))
    return;
  while (P <= To && (Byte(P) == ' ' || Byte(P) == '\t'))
    ++P;
  const std::string_view Value = Word(P);
  if (IsMode) {
    for (const TNamedMode &Named : NamedModes)
      if (SameWord(Value.data(), Value.size(), Named.Name)) {
        Ctx.Mode = Named.Mode;
        Ctx.Keys = KeysOf(Named.Mode);
      }
    return;
  }
  if (Ctx.Keys & ModeKeys::Delphi)
    return; // Delphi has no mode switches
  for (const TNamedSwitch &Named : NamedSwitches)
    if (SameWord(Value.data(), Value.size(), Named.Name))
      Ctx.Keys = static_cast<uint8_t>(P <= To && Byte(P) == '-' ? Ctx.Keys & ~Named.Keys
                                                                : Ctx.Keys | Named.Keys);
}

void TScan::GuessStartBetween(size_t From, size_t To, const TModernContext &Last) {
  Ctx.Mode = Last.Mode;
  Ctx.Keys = Last.Keys;
  // The closer is looked for a little way on only: an unclosed "{$" in
  // text full of them would otherwise cost a run to the end for each.
  constexpr size_t LongestDirective = 256;
  for (size_t P = From; P <= To;) {
    const void *Found = std::memchr(S + P, '$', To - P + 1);
    if (!Found)
      break;
    const size_t Dollar = static_cast<size_t>(static_cast<const char *>(Found) - S);
    P = Dollar + 1;
    const bool Brace = Dollar > From && Byte(Dollar - 1) == '{';
    if (!Brace && !(Dollar > From + 1 && Byte(Dollar - 1) == '*' && Byte(Dollar - 2) == '('))
      continue;
    const size_t Limit = std::min(To, Dollar + LongestDirective);
    size_t End = Dollar + 1;
    while (End <= Limit && !(Brace ? Byte(End) == '}' : Byte(End) == '*' && Byte(End + 1) == ')'))
      ++End;
    if (End > Limit)
      continue;
    ReadModeDirective(Dollar + 1, End - 1);
    const std::string_view Body(S + Dollar + 1, End - Dollar - 1);
    if (Conditions)
      Conditions->Follow(Body, Dollar - (Brace ? 1 : 2));
    P = End;
  }
}

size_t TScan::NestedCommentEnd(size_t i) const {
  // Free Pascal's own modes nest a comment inside one of its kind:
  // "{ { } }" and "(* (* *) *)". "(*)" opens one and closes nothing, as
  // without nesting; an unclosed comment runs to the end.
  size_t Depth = 1;
  if (Byte(i) == '{') {
    for (size_t P = i + 1; P <= Len; ++P) {
      if (Byte(P) == '{')
        ++Depth;
      else if (Byte(P) == '}' && --Depth == 0)
        return P;
    }
    return Len;
  }
  for (size_t P = i + 2; P < Len;) {
    if (Byte(P) == '(' && Byte(P + 1) == '*') {
      ++Depth;
      P += 2;
    } else if (Byte(P) == '*' && Byte(P + 1) == ')') {
      if (--Depth == 0)
        return P + 1;
      P += 2;
    } else {
      ++P;
    }
  }
  return Len;
}
