#include "Conditionals.h"

#include <algorithm>

namespace {

char Upper(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C; }
bool IsIdentStart(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
bool IsIdentChar(char C) { return IsIdentStart(C) || (C >= '0' && C <= '9'); }
bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n' || C == '\f'; }

// Whether A is Lower in any letter case.
bool SameWord(std::string_view A, std::string_view Lower) {
  if (A.size() != Lower.size())
    return false;
  for (size_t K = 0; K < A.size(); ++K)
    if ((A[K] >= 'A' && A[K] <= 'Z' ? A[K] + 32 : A[K]) != Lower[K])
      return false;
  return true;
}

std::string_view TrimBlanks(std::string_view S) {
  while (!S.empty() && IsBlank(S.front()))
    S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back()))
    S.remove_suffix(1);
  return S;
}

// The identifier at the start of S, after blanks; S moves past it.
std::string_view TakeIdent(std::string_view &S) {
  S = TrimBlanks(S);
  size_t N = 0;
  if (!S.empty() && IsIdentStart(S[0]))
    while (N < S.size() && IsIdentChar(S[N]))
      ++N;
  const std::string_view Ident = S.substr(0, N);
  S.remove_prefix(N);
  return Ident;
}

// The symbol name of {$IFDEF}, {$DEFINE} and their kin, read as the
// compiler reads it: letters, digits and underscores from the first byte
// on, so that "{$IFDEF 0}" asks for a symbol named 0, which nothing defines.
std::string_view TakeSymbolName(std::string_view &S) {
  S = TrimBlanks(S);
  size_t N = 0;
  while (N < S.size() && IsIdentChar(S[N]))
    ++N;
  const std::string_view Name = S.substr(0, N);
  S.remove_prefix(N);
  return Name;
}

bool ParseInteger(std::string_view S, int64_t &Value) {
  S = TrimBlanks(S);
  bool Negative = false;
  if (!S.empty() && (S[0] == '-' || S[0] == '+')) {
    Negative = S[0] == '-';
    S.remove_prefix(1);
  }
  if (S.empty() || S.size() > 18)
    return false;
  int64_t V = 0;
  for (const char C : S) {
    if (C < '0' || C > '9')
      return false;
    V = V * 10 + (C - '0');
  }
  Value = Negative ? -V : V;
  return true;
}

// The directive's name and what follows it, from the text after "$".
struct TDirective {
  std::string_view Name, Rest;
};
TDirective SplitDirective(std::string_view Body) {
  size_t N = 0;
  while (N < Body.size() && IsIdentChar(Body[N]))
    ++N;
  return {Body.substr(0, N), Body.substr(N)};
}

} // namespace

bool ParseCompilerTarget(std::string_view Name, TCompilerTarget &Target) {
  if (SameWord(Name, "fpc"))
    Target = TCompilerTarget::FPC;
  else if (SameWord(Name, "delphi"))
    Target = TCompilerTarget::Delphi;
  else
    return false;
  return true;
}

bool ParseTargetOS(std::string_view Name, TTargetOS &OS) {
  if (SameWord(Name, "linux"))
    OS = TTargetOS::Linux;
  else if (SameWord(Name, "windows"))
    OS = TTargetOS::Windows;
  else if (SameWord(Name, "darwin"))
    OS = TTargetOS::Darwin;
  else
    return false;
  return true;
}

bool ParseTargetCPU(std::string_view Name, TTargetCPU &CPU) {
  if (SameWord(Name, "x86_64"))
    CPU = TTargetCPU::X86_64;
  else if (SameWord(Name, "i386"))
    CPU = TTargetCPU::I386;
  else if (SameWord(Name, "aarch64"))
    CPU = TTargetCPU::AArch64;
  else
    return false;
  return true;
}

bool AddSymbolChanges(std::string_view List, bool Define, std::vector<TSymbolChange> &Changes) {
  std::vector<TSymbolChange> Added;
  while (!List.empty()) {
    const size_t End = List.find_first_of(", \t");
    std::string_view Item = List.substr(0, End);
    List = End == std::string_view::npos ? std::string_view() : List.substr(End + 1);
    if (Item.empty())
      continue;
    std::string_view Rest = Item;
    const std::string_view Name = TakeIdent(Rest);
    int64_t Value = 0;
    if (Name.empty() || Name.size() != Item.size() - Rest.size())
      return false;
    if (!Rest.empty()) {
      // NAME=VALUE, or FPC's own NAME:=VALUE.
      if (Rest.substr(0, 2) == ":=")
        Rest.remove_prefix(2);
      else if (Rest[0] == '=')
        Rest.remove_prefix(1);
      else
        return false;
      if (!Define || !ParseInteger(Rest, Value))
        return false;
    }
    Added.push_back({std::string(Item), Define});
  }
  Changes.insert(Changes.end(), Added.begin(), Added.end());
  return true;
}

bool ParseDefinesField(std::string_view Text, TConditionOptions &Options) {
  TConditionOptions Result;
  Result.Enabled = !TrimBlanks(Text).empty();
  while (!Text.empty()) {
    const size_t End = Text.find_first_of(", \t");
    const std::string_view Item = Text.substr(0, End);
    Text = End == std::string_view::npos ? std::string_view() : Text.substr(End + 1);
    if (Item.empty())
      continue;
    const size_t Equals = Item.find('=');
    const std::string_view Key = Item.substr(0, Equals);
    const std::string_view Value =
        Equals == std::string_view::npos ? std::string_view() : Item.substr(Equals + 1);
    bool Read;
    if (SameWord(Key, "target"))
      Read = ParseCompilerTarget(Value, Result.Target);
    else if (SameWord(Key, "os"))
      Read = ParseTargetOS(Value, Result.OS);
    else if (SameWord(Key, "cpu"))
      Read = ParseTargetCPU(Value, Result.CPU);
    else if (Item[0] == '-')
      Read = AddSymbolChanges(Item.substr(1), false, Result.Changes);
    else
      Read = AddSymbolChanges(Item, true, Result.Changes);
    if (!Read)
      return false;
  }
  Options = std::move(Result);
  return true;
}

// ---------------------------------------------------------------------------

TConditions::TConditions(const TConditionOptions &Options) : Options(Options) {
  for (const TPredefinedSymbol &Symbol : PredefinedSymbols(Options.Target, Options.OS, Options.CPU))
    Start[Symbol.Name] = Symbol.State;
  for (const TSymbolChange &Change : Options.Changes) {
    std::string_view Rest = Change.Name;
    std::string Name;
    for (const char C : TakeIdent(Rest))
      Name += Upper(C);
    TSymbolState State;
    State.State = Change.Define ? TSymbolState::Defined : TSymbolState::Undefined;
    if (!Rest.empty()) {
      Rest.remove_prefix(Rest[0] == ':' ? 2 : 1);
      State.HasValue = ParseInteger(Rest, State.Value);
    }
    Start[Name] = State;
  }
  Stack.reserve(64);
  Reset();
}

void TConditions::Reset() {
  Symbols.clear();
  for (const auto &[Name, State] : Start)
    Symbols[Name] = {State};
  AfterInclude = false;
  Stack.clear();
}

const std::string &TConditions::Key(std::string_view Name) const {
  KeyBuffer.assign(Name);
  for (char &C : KeyBuffer)
    C = Upper(C);
  return KeyBuffer;
}

size_t TConditions::TNameHash::operator()(std::string_view Name) const {
  uint64_t Hash = 14695981039346656037u;
  for (const char C : Name)
    Hash = (Hash ^ static_cast<unsigned char>(Upper(C))) * 1099511628211u;
  return static_cast<size_t>(Hash);
}

bool TConditions::TNameEqual::operator()(std::string_view A, std::string_view B) const {
  if (A.size() != B.size())
    return false;
  for (size_t K = 0; K < A.size(); ++K)
    if (Upper(A[K]) != Upper(B[K]))
      return false;
  return true;
}

TSymbolState TConditions::Lookup(std::string_view Name, size_t Pos) {
  const auto Found = Symbols.find(Name);
  TSymbolState Result;
  uint32_t LastWrite = TConditionLog::NoWrite;
  if (Found != Symbols.end()) {
    Result = Found->second.State;
    LastWrite = Found->second.LastWrite;
  }
  // An include might have defined any symbol that is not defined.
  if (AfterInclude && Result.State == TSymbolState::Undefined)
    Result = {TSymbolState::Unknown, false, 0};
  if (Log) {
    Log->Reads.push_back({Pos, LastWrite, LastInclude, static_cast<uint32_t>(Log->Names.size()),
                          static_cast<uint32_t>(Name.size()), Result});
    Log->Names += Key(Name);
  }
  return Result;
}

void TConditions::Write(std::string_view Name, const TSymbolState &Value, size_t Pos) {
  const std::string &Upper = Key(Name);
  Symbols[Upper] = {Value,
                    Log ? static_cast<uint32_t>(Log->Writes.size()) : TConditionLog::NoWrite};
  if (Log) {
    Log->Writes.push_back(
        {Pos, static_cast<uint32_t>(Log->Names.size()), static_cast<uint32_t>(Upper.size()), Value});
    Log->Names += Upper;
  }
}

bool TConditions::Uncertain() const {
  for (const uint8_t Level : Stack)
    if (Level & lsUncertain)
      return true;
  return false;
}

void TConditions::WriteHere(std::string_view Name, TSymbolState Value, size_t Pos) {
  // Code is never shown as dead on a guess: a change made in a branch the
  // compiler may skip leaves the symbol unknown, unless it changes nothing.
  if (Uncertain() && !(Lookup(Name, Pos) == Value))
    Value = {TSymbolState::Unknown, false, 0};
  Write(Name, Value, Pos);
}

void TConditions::Include(size_t Pos) {
  // The include's own defines stay unknown; what was undefined before may
  // now be defined, what was defined stays so (Lookup).
  if (Options.IncludesDefineNothing)
    return;
  AfterInclude = true;
  if (Log) {
    LastInclude = static_cast<uint32_t>(Log->Writes.size());
    Log->Writes.push_back({Pos, 0, 0, {}});
  }
}

void TConditions::SetLog(TConditionLog *Value) {
  Log = Value;
  LastInclude = TConditionLog::NoWrite;
  for (auto &Entry : Symbols)
    Entry.second.LastWrite = TConditionLog::NoWrite;
}

void TConditions::SetMode(std::string_view Mode, size_t Pos) {
  // Free Pascal defines one symbol for the modes that have one (none for
  // its own default mode) and undefines the last mode's.
  static constexpr const char *ModeSymbols[][2] = {
      {"delphi", "FPC_DELPHI"},         {"delphiunicode", "FPC_DELPHI"}, {"tp", "FPC_TP"},
      {"objfpc", "FPC_OBJFPC"},         {"macpas", "FPC_MACPAS"},        {"iso", "FPC_ISO"},
      {"extendedpascal", "FPC_EXTENDEDPASCAL"},
  };
  const char *Known[] = {"FPC_DELPHI", "FPC_TP", "FPC_OBJFPC", "FPC_MACPAS", "FPC_ISO",
                         "FPC_EXTENDEDPASCAL"};
  const char *NewSymbol = nullptr;
  for (const auto &Entry : ModeSymbols)
    if (SameWord(Mode, Entry[0]))
      NewSymbol = Entry[1];
  if (!NewSymbol && !SameWord(Mode, "fpc"))
    return; // a mode the compiler refuses changes nothing
  for (const char *Symbol : Known)
    // Read through Lookup, so that a helper's log holds what this decided.
    if (Lookup(Symbol, Pos).State == TSymbolState::Defined)
      WriteHere(Symbol, {TSymbolState::Undefined, false, 0}, Pos);
  if (NewSymbol)
    WriteHere(NewSymbol, {TSymbolState::Defined, false, 0}, Pos);
}

void TConditions::Open(TTruth Condition) {
  if (Skipping()) {
    Stack.push_back(lsSkipped);
    return;
  }
  Stack.push_back(Condition == False  ? 0
                  : Condition == True ? lsActive | lsTakenYes
                                      : lsActive | lsTakenMaybe | lsUncertain);
}

void TConditions::Turn(TTruth Condition) {
  uint8_t &Level = Stack.back();
  if (Level & (lsSkipped | lsTakenYes)) {
    Level &= static_cast<uint8_t>(~lsActive);
    return;
  }
  // Before this branch none was taken, or one may have been: this one is
  // active unless it is false, and once it is true, some branch certainly
  // was taken and every later one is dead.
  const bool Maybe = Level & lsTakenMaybe;
  Level = Condition == False  ? (Maybe ? lsTakenMaybe : 0)
          : Condition == True ? lsActive | lsTakenYes | (Maybe ? lsUncertain : 0)
                              : lsActive | lsTakenMaybe | lsUncertain;
}

TConditions::TDirectiveKind TConditions::KindOf(std::string_view Body) const {
  const std::string_view Name = SplitDirective(Body).Name;
  for (const char *Opener : {"ifdef", "ifndef", "if", "ifopt"})
    if (SameWord(Name, Opener))
      return dkConditional;
  for (const char *Closer : {"else", "elseif", "endif", "ifend"})
    if (SameWord(Name, Closer))
      return Stack.empty() ? dkUnderflow : dkConditional;
  return dkOther;
}

TConditions::TDirectiveKind TConditions::Follow(std::string_view Body, size_t Pos) {
  const TDirective D = SplitDirective(Body);
  const TDirectiveKind Kind = KindOf(Body);
  if (Kind == dkUnderflow)
    return Kind; // an unbalanced closer is no error: what follows stays as it is
  std::string_view Rest = D.Rest;
  const bool Skip = Skipping();
  if (SameWord(D.Name, "ifdef") || SameWord(D.Name, "ifndef")) {
    TTruth Truth = Unknown;
    if (!Skip) {
      const std::string_view Symbol = TakeSymbolName(Rest);
      const TSymbolState State =
          Symbol.empty() ? TSymbolState{TSymbolState::Unknown} : Lookup(Symbol, Pos);
      const bool Negate = D.Name.size() == 6;
      Truth = State.State == TSymbolState::Unknown           ? Unknown
              : (State.State == TSymbolState::Defined) != Negate ? True
                                                             : False;
    }
    Open(Truth);
  } else if (SameWord(D.Name, "if")) {
    Open(Skip ? Unknown : Evaluate(Rest, Pos));
  } else if (SameWord(D.Name, "ifopt")) {
    Open(Unknown);
  } else if (SameWord(D.Name, "else")) {
    Turn(True);
  } else if (SameWord(D.Name, "elseif")) {
    const uint8_t Level = Stack.back();
    // A branch that cannot be taken is not evaluated, as the compiler
    // does not: it reads nothing.
    const bool Evaluated = !(Level & (lsSkipped | lsTakenYes));
    Turn(Evaluated ? Evaluate(Rest, Pos) : False);
  } else if (SameWord(D.Name, "endif") || SameWord(D.Name, "ifend")) {
    Stack.pop_back();
  } else if (!Skip) {
    if (SameWord(D.Name, "define")) {
      const std::string_view Symbol = TakeSymbolName(Rest);
      TSymbolState State{TSymbolState::Defined};
      Rest = TrimBlanks(Rest);
      if (Rest.substr(0, 2) == ":=")
        State.HasValue = ParseInteger(Rest.substr(2), State.Value);
      if (!Symbol.empty())
        WriteHere(Symbol, State, Pos);
    } else if (SameWord(D.Name, "undef")) {
      const std::string_view Symbol = TakeSymbolName(Rest);
      if (!Symbol.empty())
        WriteHere(Symbol, {TSymbolState::Undefined}, Pos);
    } else if (SameWord(D.Name, "i") || SameWord(D.Name, "include")) {
      // "{$I+}" and "{$I-}" are the I/O check switch, "{$I %DATE%}" a
      // text the compiler inserts: neither reads a file.
      const std::string_view File = TrimBlanks(Rest);
      if (!Rest.empty() && IsBlank(Rest[0]) && !File.empty() && File[0] != '%')
        Include(Pos);
    } else if (SameWord(D.Name, "mode") && Options.Target == TCompilerTarget::FPC) {
      SetMode(TakeIdent(Rest), Pos);
    }
  }
  return Kind;
}

uint64_t TConditions::MarkLevels() const {
  uint64_t Levels = 0;
  for (const uint8_t Level : Stack)
    Levels = Levels << 8 | Level;
  return Stack.size() > 8 ? 0 : Levels;
}

bool TConditions::AgreesWith(uint8_t Depth, uint64_t Levels, const TConditionLog &Log,
                             size_t P) const {
  if (Depth == 255 || Stack.size() < Depth)
    return false;
  // The levels the helper never saw must all be active, so that what it
  // took for active is; its own must be ours.
  const size_t Below = Stack.size() - Depth;
  if (Below > 0 && !(Stack[Below - 1] & lsActive))
    return false;
  uint64_t Ours = 0;
  for (size_t K = Below; K < Stack.size(); ++K)
    Ours = Ours << 8 | Stack[K];
  if (Ours != Levels)
    return false;
  // The helper took the levels it never saw for certain: where one of them
  // is active only perhaps, its symbol changes after P would not be ours.
  for (size_t K = 0; K < Below; ++K)
    if (Stack[K] & lsUncertain) {
      for (const TConditionLog::TWrite &Write : Log.Writes)
        if (Write.Pos >= P)
          return false;
      break;
    }
  // Every symbol the helper read after P must read the same for us once
  // its changes after P are ours: its own last change before the read, or
  // else our value now; an include after P makes what is undefined unknown.
  auto *Self = const_cast<TConditions *>(this);
  TConditionLog *Saved = Self->Log;
  Self->Log = nullptr;
  bool Agrees = true;
  const std::string_view Names(Log.Names);
  for (const TConditionLog::TRead &Read : Log.Reads) {
    if (Read.Pos < P)
      continue;
    const std::string_view Name = Names.substr(Read.Name, Read.Length);
    const bool Changed =
        Read.LastWrite != TConditionLog::NoWrite && Log.Writes[Read.LastWrite].Pos >= P;
    const bool Included =
        Read.LastInclude != TConditionLog::NoWrite && Log.Writes[Read.LastInclude].Pos >= P;
    TSymbolState Ours = Changed ? Log.Writes[Read.LastWrite].Value : Self->Lookup(Name, 0);
    if (Ours.State == TSymbolState::Undefined && (AfterInclude || Included))
      Ours = {TSymbolState::Unknown, false, 0};
    if (Ours != Read.Result) {
      Agrees = false;
      break;
    }
  }
  Self->Log = Saved;
  return Agrees;
}

void TConditions::TakeOver(uint8_t Depth, const std::vector<uint8_t> &HelperStack,
                           const TConditionLog &Log, size_t P) {
  Stack.erase(Stack.end() - Depth, Stack.end());
  Stack.insert(Stack.end(), HelperStack.begin(), HelperStack.end());
  TConditionLog *Saved = this->Log;
  this->Log = nullptr;
  for (const TConditionLog::TWrite &Write : Log.Writes) {
    if (Write.Pos < P)
      continue;
    if (Write.Length == 0)
      Include(Write.Pos);
    else
      this->Write(std::string_view(Log.Names).substr(Write.Name, Write.Length), Write.Value,
                  Write.Pos);
  }
  this->Log = Saved;
}
