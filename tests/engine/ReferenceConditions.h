// A plain model of conditional compilation for the reference model: a map
// of symbols, a stack of branches, an expression parser over a token list,
// and the skipping scan written after Free Pascal's skipuntildirective,
// state for state. It shares nothing with the engine's TConditions.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class TModelConditions {
public:
  // A symbol: 1 defined, 0 undefined; a defined one may have a value.
  struct TSymbol {
    int Defined = 0;
    bool HasValue = false;
    int64_t Value = 0;
  };
  std::map<std::string, TSymbol> Symbols; // upper-case names
  bool FpcModes = false;                  // {$mode} switches FPC's mode symbols

  /// "NAME", "NAME=N" or "NAME:=N" defined (or undefined).
  void Set(const std::string &Item, bool Define) {
    std::string Name;
    size_t K = 0;
    while (K < Item.size() && Item[K] != '=' && Item[K] != ':')
      Name += Up(Item[K++]);
    TSymbol S;
    S.Defined = Define ? 1 : 0;
    if (K < Item.size()) {
      K += Item[K] == ':' ? 2 : 1;
      S.HasValue = Integer(Item.substr(K), S.Value);
    }
    Symbols[Name] = S;
  }

  bool Skipping() const { return !Levels.empty() && !Levels.back().Active; }

  /// Follows the directive whose text after "$" is Body; returns whether
  /// it is a conditional (one that opens, turns or closes a branch).
  bool Follow(const std::string &Body) {
    size_t K = 0;
    std::string Name;
    while (K < Body.size() && IsIdent(Body[K]))
      Name += Low(Body[K++]);
    const std::string Rest = Body.substr(K);
    const bool Opener = Name == "ifdef" || Name == "ifndef" || Name == "if" || Name == "ifopt";
    const bool Other = Name == "else" || Name == "elseif" || Name == "endif" || Name == "ifend";
    if (!Opener && !Other) {
      if (!Skipping())
        Act(Name, Rest);
      return false;
    }
    if (Other && Levels.empty())
      return true; // closes nothing: no error, nothing changes
    if (Opener) {
      TLevel L;
      if (Skipping()) {
        L.Skipped = true;
      } else {
        int Truth = 2;
        if (Name == "if") {
          Truth = Expression(Rest);
        } else if (Name != "ifopt") {
          const std::string Sym = FirstWord(Rest);
          const int State = Sym.empty() ? 2 : Lookup(Sym).Defined;
          Truth = State == 2 ? 2 : (State == 1) == (Name == "ifdef") ? 1 : 0;
        }
        L.Active = Truth != 0;
        L.Taken = Truth == 1 ? 2 : Truth == 2 ? 1 : 0;
        L.Perhaps = Truth == 2;
      }
      Levels.push_back(L);
    } else if (Name == "endif" || Name == "ifend") {
      Levels.pop_back();
    } else {
      TLevel &L = Levels.back();
      if (L.Skipped || L.Taken == 2) {
        L.Active = false;
      } else {
        const int Truth = Name == "else" ? 1 : Expression(Rest);
        L.Active = Truth != 0;
        L.Perhaps = Truth == 2 || (Truth == 1 && L.Taken == 1);
        if (Truth == 1)
          L.Taken = 2;
        else if (Truth == 2)
          L.Taken = 1;
      }
    }
    return true;
  }

private:
  struct TLevel {
    bool Active = false, Skipped = false;
    bool Perhaps = false; // active, but perhaps skipped by the compiler
    int Taken = 0; // 0 no branch taken yet, 1 perhaps, 2 certainly
  };
  std::vector<TLevel> Levels;
  bool Included = false;

  static char Up(char C) { return C >= 'a' && C <= 'z' ? char(C - 32) : C; }
  static char Low(char C) { return C >= 'A' && C <= 'Z' ? char(C + 32) : C; }
  static bool IsIdent(char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_' || (C >= '0' && C <= '9');
  }
  static bool IsSpace(char C) {
    return C == ' ' || C == '\t' || C == '\r' || C == '\n' || C == '\f';
  }
  static std::string FirstWord(const std::string &S) {
    size_t K = 0;
    while (K < S.size() && IsSpace(S[K]))
      ++K;
    std::string W;
    // As the compiler reads a symbol's name: digits may come first.
    while (K < S.size() && IsIdent(S[K]))
      W += S[K++];
    return W;
  }
  static bool Integer(std::string S, int64_t &V) {
    while (!S.empty() && IsSpace(S.front()))
      S.erase(0, 1);
    while (!S.empty() && IsSpace(S.back()))
      S.pop_back();
    bool Minus = false;
    if (!S.empty() && (S[0] == '+' || S[0] == '-')) {
      Minus = S[0] == '-';
      S.erase(0, 1);
    }
    if (S.empty() || S.size() > 18 || S.find_first_not_of("0123456789") != std::string::npos)
      return false;
    V = std::stoll(S) * (Minus ? -1 : 1);
    return true;
  }
  std::string Upper(const std::string &S) const {
    std::string U;
    for (char C : S)
      U += Up(C);
    return U;
  }
  // Defined 2: unknown, as any symbol not defined after an include.
  TSymbol Lookup(const std::string &Name) const {
    const auto It = Symbols.find(Upper(Name));
    TSymbol S = It == Symbols.end() ? TSymbol{} : It->second;
    if (Included && S.Defined == 0)
      S = {2, false, 0};
    return S;
  }
  // A change in a branch the compiler perhaps skips: the symbol becomes
  // unknown, unless the change changes nothing.
  void SetHere(const std::string &Name, TSymbol S) {
    bool Perhaps = false;
    for (const TLevel &L : Levels)
      Perhaps = Perhaps || L.Perhaps;
    const TSymbol Was = Lookup(Name);
    if (Perhaps && !(Was.Defined == S.Defined && Was.HasValue == S.HasValue &&
                     (!S.HasValue || Was.Value == S.Value)))
      S = {2, false, 0};
    Symbols[Upper(Name)] = S;
  }
  void Act(const std::string &Name, const std::string &Rest) {
    if (Name == "define" || Name == "undef") {
      const std::string Sym = FirstWord(Rest);
      if (Sym.empty())
        return;
      TSymbol S;
      S.Defined = Name == "define";
      size_t K = Rest.find(Sym) + Sym.size();
      while (K < Rest.size() && IsSpace(Rest[K]))
        ++K;
      if (S.Defined && Rest.compare(K, 2, ":=") == 0)
        S.HasValue = Integer(Rest.substr(K + 2), S.Value);
      SetHere(Sym, S);
    } else if (Name == "i" || Name == "include") {
      size_t K = 0;
      while (K < Rest.size() && IsSpace(Rest[K]))
        ++K;
      if (K > 0 && K < Rest.size() && Rest[K] != '%') {
        Included = true;
        for (auto It = Symbols.begin(); It != Symbols.end();)
          It = It->second.Defined == 0 ? Symbols.erase(It) : std::next(It);
      }
    } else if (Name == "mode" && FpcModes) {
      std::string Mode;
      for (char C : FirstWord(Rest))
        Mode += Low(C);
      const std::map<std::string, std::string> Of = {
          {"delphi", "FPC_DELPHI"}, {"delphiunicode", "FPC_DELPHI"}, {"tp", "FPC_TP"},
          {"objfpc", "FPC_OBJFPC"}, {"macpas", "FPC_MACPAS"},        {"iso", "FPC_ISO"},
          {"extendedpascal", "FPC_EXTENDEDPASCAL"}, {"fpc", ""}};
      if (!Of.count(Mode))
        return;
      for (const char *Old : {"FPC_DELPHI", "FPC_TP", "FPC_OBJFPC", "FPC_MACPAS", "FPC_ISO",
                              "FPC_EXTENDEDPASCAL"})
        if (Symbols.count(Old) && Symbols[Old].Defined == 1)
          SetHere(Old, TSymbol{});
      if (!Of.at(Mode).empty())
        SetHere(Of.at(Mode), TSymbol{1, false, 0});
    }
  }

  // Expressions: the text cut into tokens first, then parsed by precedence
  // levels. A value is {kind, number}: kind 0 unknown, 1 boolean, 2 integer.
  struct TVal {
    int Kind = 0;
    int64_t N = 0;
  };
  std::vector<std::string> Tokens;
  size_t Next = 0;
  bool Bad = false;
  int Nesting = 0;
  static constexpr int64_t Big = int64_t(1) << 31;

  int Expression(const std::string &Text) {
    Tokens.clear();
    Next = 0;
    Bad = false;
    Nesting = 0;
    for (size_t K = 0; K < Text.size();) {
      const char C = Text[K];
      if (C == ' ' || C == '\t' || C == '\r' || C == '\n') {
        ++K;
      } else if (IsIdent(C)) {
        const bool Digits = C >= '0' && C <= '9';
        std::string T;
        while (K < Text.size() && (Digits ? Text[K] >= '0' && Text[K] <= '9' : IsIdent(Text[K])))
          T += Text[K++];
        Tokens.push_back(T);
      } else {
        const std::string Two = Text.substr(K, 2);
        const bool Pair = Two == "<>" || Two == "<=" || Two == ">=";
        Tokens.push_back(Pair ? Two : std::string(1, C));
        K += Pair ? 2 : 1;
      }
    }
    const TVal V = Relation();
    // An integer 0 or 1 is the compiler's false or true; another, its error.
    if (Bad || Next < Tokens.size() || !(V.Kind == 1 || (V.Kind == 2 && (V.N == 0 || V.N == 1))))
      return 2;
    return V.N ? 1 : 0;
  }
  std::string Peek() const { return Next < Tokens.size() ? Tokens[Next] : ""; }
  bool Word(const char *W) {
    if (Next < Tokens.size() && IsIdent(Tokens[Next][0]) && LowerOf(Tokens[Next]) == W) {
      ++Next;
      return true;
    }
    return false;
  }
  bool Sym(const char *S) {
    if (Peek() == S) {
      ++Next;
      return true;
    }
    return false;
  }
  static std::string LowerOf(const std::string &S) {
    std::string L;
    for (char C : S)
      L += Low(C);
    return L;
  }
  TVal Relation() {
    TVal L = Simple();
    for (const char *Op : {"<>", "<=", ">=", "=", "<", ">"})
      if (Sym(Op)) {
        const TVal R = Simple();
        if (L.Kind == 0 || R.Kind == 0 || L.Kind != R.Kind)
          return {};
        const std::string O = Op;
        const bool B = O == "<>" ? L.N != R.N : O == "<=" ? L.N <= R.N : O == ">=" ? L.N >= R.N
                     : O == "="  ? L.N == R.N : O == "<"  ? L.N < R.N  : L.N > R.N;
        return {1, B};
      }
    return L;
  }
  static TVal Both(const TVal &L, const TVal &R, int64_t Decides) {
    if ((L.Kind == 1 && L.N == Decides) || (R.Kind == 1 && R.N == Decides))
      return {1, Decides};
    if (L.Kind == 1 && R.Kind == 1)
      return {1, 1 - Decides};
    return {};
  }
  static TVal Arith(const TVal &L, const TVal &R, char Op) {
    if (L.Kind != 2 || R.Kind != 2 || L.N > Big || L.N < -Big || R.N > Big || R.N < -Big)
      return {};
    if ((Op == '/' || Op == '%') && R.N == 0)
      return {};
    return {2, Op == '+' ? L.N + R.N : Op == '-' ? L.N - R.N : Op == '*' ? L.N * R.N
                          : Op == '/' ? L.N / R.N : L.N % R.N};
  }
  TVal Simple() {
    TVal L = Term();
    for (;;) {
      if (Word("or"))
        L = Both(L, Term(), 1);
      else if (Word("xor")) {
        const TVal R = Term();
        L = L.Kind == 1 && R.Kind == 1 ? TVal{1, L.N != R.N} : TVal{};
      } else if (Sym("+"))
        L = Arith(L, Term(), '+');
      else if (Sym("-"))
        L = Arith(L, Term(), '-');
      else
        return L;
    }
  }
  TVal Term() {
    TVal L = Factor();
    for (;;) {
      if (Word("and"))
        L = Both(L, Factor(), 0);
      else if (Sym("*"))
        L = Arith(L, Factor(), '*');
      else if (Word("div"))
        L = Arith(L, Factor(), '/');
      else if (Word("mod"))
        L = Arith(L, Factor(), '%');
      else
        return L;
    }
  }
  TVal Factor() {
    if (++Nesting > 64) {
      Bad = true;
      return {};
    }
    const TVal V = Primary();
    --Nesting;
    return V;
  }
  TVal Primary() {
    if (Word("not")) {
      const TVal V = Factor();
      return V.Kind == 1 ? TVal{1, !V.N} : TVal{};
    }
    if (Sym("-")) {
      const TVal V = Factor();
      return V.Kind == 2 ? TVal{2, -V.N} : TVal{};
    }
    if (Sym("(")) {
      const TVal V = Relation();
      if (!Sym(")"))
        Bad = true;
      return V;
    }
    const std::string T = Peek();
    if (!T.empty() && T[0] >= '0' && T[0] <= '9') {
      ++Next;
      int64_t V = 0;
      for (char C : T)
        if (V <= Big)
          V = V * 10 + (C - '0');
      return V > Big ? TVal{} : TVal{2, V};
    }
    if (T.empty() || !IsIdent(T[0])) {
      Bad = true;
      return {};
    }
    ++Next;
    const std::string W = LowerOf(T);
    if (W == "defined" || W == "undefined" || W == "declared") {
      std::string Name;
      if (!Sym("(") || Peek().empty() || !IsIdent(Peek()[0]) || (Peek()[0] >= '0' && Peek()[0] <= '9')) {
        Bad = true;
        return {};
      }
      Name = Tokens[Next++];
      if (!Sym(")")) {
        Bad = true;
        return {};
      }
      if (W == "declared")
        return {};
      const int D = Lookup(Name).Defined;
      return D == 2 ? TVal{} : TVal{1, (D == 1) == (W == "defined")};
    }
    if (W == "true" || W == "false")
      return {1, W == "true"};
    if (Peek() == "(") { // some function: its argument is passed over
      int Open = 0;
      do {
        Open += Peek() == "(" ? 1 : Peek() == ")" ? -1 : 0;
        ++Next;
      } while (Open > 0 && Next < Tokens.size());
      return {};
    }
    const TSymbol S = Lookup(T);
    return S.Defined == 1 && S.HasValue ? TVal{2, S.Value} : TVal{};
  }
};
