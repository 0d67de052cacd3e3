// The expressions of {$IF} and {$ELSEIF}: defined(), undefined(),
// declared(), not, and, or, xor, parentheses, integers, the symbols that
// have a value, + - * div mod, and comparisons, with Pascal's precedence.
// Every value may be unknown; an unknown operand makes the result unknown
// unless the other decides it ("False and X", "True or X"). Anything the
// grammar does not know, or a parse error, makes the whole unknown, which
// leaves the branch active. A whole that is the integer 0 or 1 is false or
// true, as the compiler reads it.
#include "Conditionals.h"

struct TConditions::TValue {
  enum : uint8_t { Unknown, Boolean, Integer } Kind = Unknown;
  int64_t Number = 0; // Boolean: 0 or 1
};

class TConditions::TExpression {
public:
  TExpression(TConditions &Owner, std::string_view Text, size_t Pos)
      : Owner(Owner), Text(Text), Pos(Pos) {}

  TTruth Evaluate() {
    const TValue V = Relation();
    Blanks();
    // The compiler takes an integer 0 or 1 as a boolean ("{$IF 0}" is
    // false); any other integer is its error, which decides nothing.
    const bool Decided = V.Kind == TValue::Boolean ||
                         (V.Kind == TValue::Integer && (V.Number == 0 || V.Number == 1));
    if (Failed || At < Text.size() || !Decided)
      return Unknown;
    return V.Number ? True : False;
  }

private:
  using V = TValue;
  // Operands beyond it are unknown, so that no result overflows; it is far
  // beyond any version number.
  static constexpr int64_t Limit = int64_t(1) << 31;
  static V Bool(bool B) { return {V::Boolean, B ? 1 : 0}; }
  static V Int(int64_t N) { return {V::Integer, N}; }

  void Blanks() {
    while (At < Text.size() && (Text[At] == ' ' || Text[At] == '\t' || Text[At] == '\r' ||
                                Text[At] == '\n'))
      ++At;
  }
  static bool IsIdent(char C, bool First) {
    return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_' ||
           (!First && C >= '0' && C <= '9');
  }
  std::string_view PeekWord() {
    Blanks();
    size_t E = At;
    while (E < Text.size() && IsIdent(Text[E], E == At))
      ++E;
    return Text.substr(At, E - At);
  }
  bool TakeWord(const char *Lower) {
    const std::string_view W = PeekWord();
    if (W.empty() || W.size() != std::char_traits<char>::length(Lower))
      return false;
    for (size_t K = 0; K < W.size(); ++K)
      if ((W[K] | 32) != Lower[K])
        return false;
    At += W.size();
    return true;
  }
  bool TakeSymbol(std::string_view Symbol) {
    Blanks();
    if (Text.substr(At, Symbol.size()) != Symbol)
      return false;
    At += Symbol.size();
    return true;
  }

  V Relation() {
    const V L = Simple();
    int Op = -1;
    static constexpr std::string_view Ops[] = {"<>", "<=", ">=", "=", "<", ">"};
    for (int K = 0; K < 6 && Op < 0; ++K)
      if (TakeSymbol(Ops[K]))
        Op = K;
    if (Op < 0)
      return L;
    const V R = Simple();
    if (L.Kind == V::Unknown || R.Kind == V::Unknown || L.Kind != R.Kind)
      return {};
    const int64_t A = L.Number, B = R.Number;
    const bool Results[] = {A != B, A <= B, A >= B, A == B, A < B, A > B};
    return Bool(Results[Op]);
  }

  V Simple() {
    V L = Term();
    for (;;) {
      if (TakeWord("or")) {
        const V R = Term();
        L = Logic(L, R, 1);
      } else if (TakeWord("xor")) {
        const V R = Term();
        L = L.Kind == V::Boolean && R.Kind == V::Boolean ? Bool(L.Number != R.Number) : V{};
      } else if (TakeSymbol("+")) {
        const V R = Term();
        L = Arithmetic(L, R, '+');
      } else if (TakeSymbol("-")) {
        const V R = Term();
        L = Arithmetic(L, R, '-');
      } else {
        return L;
      }
    }
  }

  V Term() {
    V L = Factor();
    for (;;) {
      if (TakeWord("and")) {
        const V R = Factor();
        L = Logic(L, R, 0);
      } else if (TakeSymbol("*")) {
        L = Arithmetic(L, Factor(), '*');
      } else if (TakeWord("div")) {
        L = Arithmetic(L, Factor(), '/');
      } else if (TakeWord("mod")) {
        L = Arithmetic(L, Factor(), '%');
      } else {
        return L;
      }
    }
  }

  // And (Decider 0) and or (Decider 1): a known operand equal to the
  // decider decides, whatever the other is.
  static V Logic(const V &L, const V &R, int64_t Decider) {
    if ((L.Kind == V::Boolean && L.Number == Decider) ||
        (R.Kind == V::Boolean && R.Number == Decider))
      return Bool(Decider != 0);
    if (L.Kind == V::Boolean && R.Kind == V::Boolean)
      return Bool(Decider == 0);
    return {};
  }

  static V Arithmetic(const V &L, const V &R, char Op) {
    if (L.Kind != V::Integer || R.Kind != V::Integer)
      return {};
    const int64_t A = L.Number, B = R.Number;
    if (A > Limit || A < -Limit || B > Limit || B < -Limit)
      return {};
    switch (Op) {
    case '+':
      return Int(A + B);
    case '-':
      return Int(A - B);
    case '*':
      return Int(A * B);
    default:
      if (B == 0)
        return {};
      return Int(Op == '/' ? A / B : A % B);
    }
  }

  V Factor() {
    if (++Depth > 64) { // nesting beyond any real condition: not worth a deep stack
      Failed = true;
      return {};
    }
    V Result = FactorBody();
    --Depth;
    return Result;
  }

  V FactorBody() {
    if (TakeWord("not")) {
      const V Operand = Factor();
      return Operand.Kind == V::Boolean ? Bool(!Operand.Number) : V{};
    }
    if (TakeSymbol("-")) {
      const V Operand = Factor();
      return Operand.Kind == V::Integer ? Int(-Operand.Number) : V{};
    }
    if (TakeSymbol("(")) {
      const V Inner = Relation();
      if (!TakeSymbol(")"))
        Failed = true;
      return Inner;
    }
    Blanks();
    if (At < Text.size() && Text[At] >= '0' && Text[At] <= '9') {
      int64_t N = 0;
      for (; At < Text.size() && Text[At] >= '0' && Text[At] <= '9'; ++At)
        N = N > Limit ? N : N * 10 + (Text[At] - '0');
      return N > Limit ? V{} : Int(N);
    }
    const int Test = TakeWord("defined")     ? 0
                     : TakeWord("undefined") ? 1
                     : TakeWord("declared")  ? 2
                                             : -1;
    if (Test >= 0) {
      const bool Defined = Test == 0, Declared = Test == 2;
      if (!TakeSymbol("(")) {
        Failed = true;
        return {};
      }
      const std::string_view Name = PeekWord();
      At += Name.size();
      if (Name.empty() || !TakeSymbol(")")) {
        Failed = true;
        return {};
      }
      if (Declared)
        return {}; // only the compiler's symbol table knows
      const TSymbolState State = Owner.Lookup(Name, Pos);
      if (State.State == TSymbolState::Unknown)
        return {};
      return Bool((State.State == TSymbolState::Defined) == Defined);
    }
    if (TakeWord("true"))
      return Bool(true);
    if (TakeWord("false"))
      return Bool(false);
    const std::string_view Name = PeekWord();
    if (Name.empty()) {
      Failed = true;
      return {};
    }
    At += Name.size();
    Blanks();
    if (At < Text.size() && Text[At] == '(') {
      // A function the grammar does not know (sizeof, option, high...):
      // its argument is passed over, and its value is unknown.
      int Open = 0;
      for (; At < Text.size(); ++At) {
        Open += Text[At] == '(' ? 1 : Text[At] == ')' ? -1 : 0;
        if (Open == 0) {
          ++At;
          break;
        }
      }
      return {};
    }
    const TSymbolState State = Owner.Lookup(Name, Pos);
    if (State.State == TSymbolState::Defined && State.HasValue)
      return Int(State.Value);
    return {}; // a constant or a symbol no option gives a value
  }

  TConditions &Owner;
  const std::string_view Text;
  const size_t Pos;
  size_t At = 0;
  int Depth = 0;
  bool Failed = false;
};

TConditions::TTruth TConditions::Evaluate(std::string_view Expression, size_t Pos) {
  return TExpression(*this, Expression, Pos).Evaluate();
}
