// A deliberately plain model of the highlighting rules: 1-based positions,
// a delimiter search that skips the text's last byte, a linear search
// through the reserved words, markup switched exactly step by step. The
// engine takes shortcuts (a class table, a hash table, memchr, runs of
// other bytes, memoised markup steps, a precomputed progress threshold);
// tests and the fuzzer check that no input tells the two apart. With
// Modern set it reads by the modern dialect's rules (ModernToken), and
// with Conditions too it follows conditional compilation (SkippedToken).
#pragma once

#include <algorithm>
#include <cstdint>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ReferenceConditions.h"
#include "Types.h"

// The model's tables and helpers are its own, written out from the rules,
// so that a slip in the engine's (a misspelt reserved word, a wrong
// entity, a colour name) shows as a difference instead of being copied.

/// The 99 reserved words, in the rules' table order.
// clang-format off
inline constexpr const char *ModelReservedWords[99] = {
    "and", "exports", "mod", "shr", "array", "file", "nil", "string", "as", "finalization",
    "not", "stringresource", "asm", "finally", "object", "then", "begin", "for", "of",
    "threadvar", "case", "function", "or", "to", "class", "goto", "out", "try", "const", "if",
    "packed", "type", "constructor", "implementation", "procedure", "unit", "destructor", "in",
    "program", "until", "dispinterface", "inherited", "property", "uses", "div",
    "initialization", "raise", "var", "do", "inline", "record", "while", "downto", "interface",
    "repeat", "with", "else", "is", "resourcestring", "xor", "end", "label", "set", "except",
    "library", "shl", "absolute", "external", "pascal", "safecall", "abstract", "far", "private",
    "stdcall", "assembler", "forward", "protected", "stored", "automated", "index", "public",
    "virtual", "cdecl", "message", "published", "write", "default", "name", "read", "writeonly",
    "dispid", "near", "readonly", "dynamic", "nodefault", "register", "export", "override",
    "resident"};
// clang-format on

// The modern dialect's words, by what reserves them. Free Pascal's
// keywords come with its mode switches (its compiler's token table);
// Delphi reserves its own list; directives are reserved only where they
// act as directives.
inline const char *const ModelFpcAllModes =
    " and array begin case const div do downto else end file for function goto if in label mod"
    " nil not of or packed procedure program record repeat set then to type until var while"
    " with xor asm shl shr unit uses object string exports library inherited interface"
    " threadvar destructor constructor implementation resourcestring bitpacked otherwise ";
inline const char *const ModelDelphiReserved =
    " and array begin case const div do downto else end file for function goto if in label mod"
    " nil not of or packed procedure program record repeat set then to type until var while"
    " with xor asm shl shr unit uses object string exports library inherited interface"
    " threadvar destructor constructor implementation resourcestring as is class"
    " dispinterface try raise except finally property initialization finalization inline out ";
// Words a Free Pascal mode switch brings, each list headed by the switch.
inline const char *const ModelFpcSwitchWords[] = {
    "class: as is class dispinterface ", "exceptions: try raise except finally ",
    "properties: property ",             "initfinal: initialization finalization ",
    "fpc: operator cppclass ",           "objectivec1: objcclass objcprotocol objccategory ",
    "mac: univ return "};
inline const char *const ModelRoutineDirectives =
    " abstract assembler cdecl dispid dynamic export external far forward index message name"
    " near override pascal public register resident safecall stdcall virtual inline ";
inline const char *const ModelPropertyDirectives =
    " default dispid implements index nodefault read readonly stored write writeonly ";
inline const char *const ModelVisibilityWords = " automated private protected public published ";
// Directives that are shown as identifiers but end nothing a directive would.
inline const char *const ModelQuietDirectives =
    " overload reintroduce static deprecated platform experimental unimplemented final sealed"
    " varargs cvar alias nostackframe noreturn compilerproc iocheck interrupt local winapi"
    " vectorcall cppdecl mwpascal hardfloat softfloat syscall oldfpccall rtlproc internproc"
    " internconst weakexternal section helper strict delayed ";

inline std::string ModelEscape(const std::string &Text) {
  std::string Result;
  for (char C : Text)
    Result += C == '&'   ? "&amp;"
              : C == '<' ? "&lt;"
              : C == '>' ? "&gt;"
              : C == '"' ? "&quot;"
                         : std::string(1, C);
  return Result;
}

inline std::string ModelColorName(TColor Color) {
  static const std::pair<uint32_t, const char *> Named[] = {
      {0x000000, "Black"},  {0x000080, "Maroon"},  {0x008000, "Green"}, {0x008080, "Olive"},
      {0x800000, "Navy"},   {0x800080, "Purple"},  {0x808000, "Teal"},  {0x808080, "Gray"},
      {0xC0C0C0, "Silver"}, {0x0000FF, "Red"},     {0x00FF00, "Lime"},  {0x00FFFF, "Yellow"},
      {0xFF0000, "Blue"},   {0xFF00FF, "Fuchsia"}, {0xFFFF00, "Aqua"},  {0xFFFFFF, "White"},
      {0x1FFFFFFF, "None"}};
  static const char *const System[25] = {
      "ScrollBar",    "Background",     "ActiveCaption", "InactiveCaption", "Menu",
      "Window",       "WindowFrame",    "MenuText",      "WindowText",      "CaptionText",
      "ActiveBorder", "InactiveBorder", "AppWorkSpace",  "Highlight",       "HighlightText",
      "BtnFace",      "BtnShadow",      "GrayText",      "BtnText",         "InactiveCaptionText",
      "BtnHighlight", "3DDkShadow",     "3DLight",       "InfoText",        "InfoBk"};
  const uint32_t Value = static_cast<uint32_t>(Color);
  for (const auto &[Known, Name] : Named)
    if (Value == Known)
      return Name;
  if (Value >= 0x80000000u && Value < 0x80000000u + 25)
    return System[Value - 0x80000000u];
  static const char Hex[] = "0123456789ABCDEF";
  std::string Result = "#";
  for (int Shift : {0, 8, 16})
    Result += {Hex[(Value >> (Shift + 4)) & 15], Hex[(Value >> Shift) & 15]};
  return Result;
}

class TModel {
public:
  TColor Colors[ElementCount];
  bool Defaults[ElementCount];
  TFontStyles Styles[ElementCount];
  bool HasProgress = true;
  bool Modern = false;
  TModelConditions *Conditions = nullptr; // modern: the conditionals followed
  // The modern dialect's mode: "delphi" (Delphi's own reading) or a Free
  // Pascal mode; FollowModes: whether "{$mode ...}" changes it.
  std::string Mode = "delphi";
  bool FollowModes = true;
  int StopAtCall = -1; // the progress call (0-based) that asks to stop

  std::string Body;
  /// When set: the element of each byte of the text, in order.
  std::string *ByteElements = nullptr;
  std::vector<int> Progress;
  bool Completed = false;

  void Run(const std::string &Plain) {
    T = " " + Plain; // T[1] is the first byte
    Len = static_cast<int64_t>(Plain.size());
    Styles[heWhitespace] = 0;
    for (int E = 0; E < ElementCount; ++E) {
      const int S = Styles[E];
      SO[E] = std::string(S & 1 ? "<B>" : "") + (S & 2 ? "<I>" : "") + (S & 4 ? "<U>" : "") +
              (S & 8 ? "<STRIKE>" : "");
      SC[E] = std::string(S & 8 ? "</STRIKE>" : "") + (S & 4 ? "</U>" : "") +
              (S & 2 ? "</I>" : "") + (S & 1 ? "</B>" : "");
      const bool Plain = Defaults[E] || Colors[E] == Colors[heIdentifier];
      FO[E] = Plain ? "" : "<FONT COLOR=\"" + ModelColorName(Colors[E]) + "\">";
      FC[E] = Plain ? "" : "</FONT>";
    }
    Report(1);
    SetMode(Mode, false);
    // Free Pascal's conditionals: its default mode, FPC, for Delphi's reading.
    if (Conditions && Conditions->FpcModes && Mode == "delphi")
      SetMode("fpc", false);
    int64_t i = 0, LastPercent = 0;
    while (i < Len && !Cancel) {
      SwitchTo(heWhitespace);
      i = i + 1;
      const unsigned char c = T[i];
      int64_t e = i;
      if (Modern) {
        e = Conditions && Conditions->Skipping() ? SkippedToken(i) : ModernToken(i);
        if (IdentifierEnd == e && e * 100 / Len > LastPercent && HasProgress) {
          LastPercent = e * 100 / Len;
          Report(static_cast<int>(LastPercent));
        }
      } else if (c == '#') {
        while (e + 1 <= Len && T[e + 1] >= '0' && T[e + 1] <= '9')
          ++e;
        SwitchTo(heString);
        Body += T.substr(i, e - i + 1);
      } else if (c == '\'') {
        int64_t p = FindDelimiter("'", i + 1);
        e = p ? p : Len;
        SwitchTo(heString);
        Body += ModelEscape(T.substr(i, e - i + 1));
      } else if (c == '/' && i < Len && T[i + 1] == '/') {
        e = Len;
        for (int64_t p = i + 2; p <= Len; ++p)
          if (T[p] == '\r' || T[p] == '\n') {
            e = p - 1;
            break;
          }
        SwitchTo(heComment);
        Body += ModelEscape(T.substr(i, e - i + 1));
      } else if (c == '/') {
        Body += T[i];
      } else if (c == '{') {
        int64_t p = FindDelimiter("}", i);
        e = p ? p : Len;
        SwitchTo(heComment);
        Body += ModelEscape(T.substr(i, e - i + 1));
      } else if (c == '(' && i < Len && T[i + 1] == '*') {
        int64_t p = FindDelimiter("*)", i + 2);
        if (p == 0)
          p = Len;
        e = p + 1;
        SwitchTo(heComment);
        Body += ModelEscape(T.substr(i, e - i + 1));
      } else if (IsLetter(c)) {
        while (e + 1 <= Len && (IsLetter(T[e + 1]) || IsDigit(T[e + 1])))
          ++e;
        const std::string Id = T.substr(i, e - i + 1);
        bool Reserved = false;
        for (const char *Word : ModelReservedWords)
          if (SameText(Id, Word)) {
            Reserved = true;
            break;
          }
        SwitchTo(Reserved ? heReservedWord : heIdentifier);
        Body += Id;
        if (e * 100 / Len > LastPercent && HasProgress) {
          LastPercent = e * 100 / Len;
          Report(static_cast<int>(LastPercent));
        }
      } else if (c == '$' || IsDigit(c)) {
        const std::string Run = c == '$' ? "$0123456789ABCDEFabcdef" : "0123456789.";
        while (e + 1 <= Len && Run.find(static_cast<char>(T[e + 1])) != std::string::npos)
          ++e;
        SwitchTo(heNumber);
        Body += T.substr(i, e - i + 1);
      } else if (c == '&' || c == '<' || c == '>' || c == '"') {
        SwitchTo(heSymbol);
        Body += ModelEscape(std::string(1, static_cast<char>(c)));
      } else if (IsSymbol(c)) {
        while (e + 1 <= Len && IsSymbol(T[e + 1]))
          ++e;
        SwitchTo(heSymbol);
        Body += T.substr(i, e - i + 1);
      } else {
        Body += T[i];
      }
      if (ByteElements)
        ByteElements->append(static_cast<size_t>(std::min(e, Len) - i + 1), static_cast<char>(Current));
      i = e;
    }
    SwitchTo(heWhitespace);
    Completed = !Cancel;
    if (Cancel)
      Body.clear();
    Report(Cancel ? 0 : 100);
  }

private:
  static bool IsLetter(unsigned char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_';
  }
  static bool IsDigit(unsigned char C) { return C >= '0' && C <= '9'; }
  static bool IsSymbol(unsigned char C) {
    return C != 0 &&
           std::string("!%()*+,-./:;=?@[\\]^`{|}~").find(static_cast<char>(C)) != std::string::npos;
  }
  static bool SameText(const std::string &A, const std::string &B) {
    if (A.size() != B.size())
      return false;
    for (size_t K = 0; K < A.size(); ++K) {
      char X = A[K], Y = B[K];
      if (X >= 'A' && X <= 'Z')
        X = char(X + 32);
      if (Y >= 'A' && Y <= 'Z')
        Y = char(Y + 32);
      if (X != Y)
        return false;
    }
    return true;
  }
  // The modern rules, one token at i; returns its last position.
  unsigned char At(int64_t p) const { return p >= 1 && p <= Len ? T[p] : 0; }
  static bool In(unsigned char C, const char *Set) {
    return C != 0 && std::strchr(Set, C) != nullptr;
  }
  int64_t RunIn(int64_t e, const char *Set) const {
    while (In(At(e + 1), Set))
      ++e;
    return e;
  }
  // Inside an asm body all but comments, directives and blanks is assembler.
  int Code(int E) const { return InAsm ? heAssembler : E; }
  void Emit(int E, int64_t i, int64_t e) {
    SwitchTo(E);
    Body += ModelEscape(T.substr(i, e - i + 1));
  }
  bool LineStartsAt(int64_t k) const {
    return T[k - 1] == '\n' || (T[k - 1] == '\r' && At(k) != '\n');
  }
  int64_t ModernToken(int64_t i) {
    static const char *const Hex = "0123456789ABCDEFabcdef", *const Dec = "0123456789",
                             *const Oct = "01234567", *const Bin = "01";
    const unsigned char c = T[i];
    int64_t e = i;
    if (c == '#') {
      const char *Digits = At(i + 1) == '$' ? Hex : At(i + 1) == '%' ? Bin : At(i + 1) == '&' ? Oct : Dec;
      if (Digits != Dec)
        ++e;
      e = RunIn(e, Digits);
      Emit(Code(heString), i, e);
      Seen(Value);
    } else if (c == '\'') {
      int64_t n = 0;
      while (At(i + n) == '\'')
        ++n;
      if (n >= 3 && n % 2 == 1 && (At(i + n) == '\r' || At(i + n) == '\n')) {
        e = Len;
        for (int64_t k = i + n + 1; k <= Len; ++k) {
          if (!LineStartsAt(k))
            continue;
          int64_t q = k;
          while (At(q) == ' ' || At(q) == '\t')
            ++q;
          int64_t m = 0;
          while (At(q + m) == '\'')
            ++m;
          if (m == n) {
            e = q + n - 1;
            break;
          }
        }
      } else {
        const int64_t p = FindDelimiter("'", i + 1);
        e = p ? p : Len;
      }
      Emit(Code(heString), i, e);
      Seen(Value);
    } else if (c == '/' && At(i + 1) == '/') {
      e = Len;
      for (int64_t p = i + 2; p <= Len; ++p)
        if (T[p] == '\r' || T[p] == '\n') {
          e = p - 1;
          break;
        }
      Emit(heComment, i, e);
    } else if (c == '{') {
      if (At(i + 1) == '$') {
        const int64_t p = FindDelimiter("}", i);
        e = Nesting ? NestedEnd(i, "{", "}") : p ? p : Len;
        if (Conditions)
          return FollowDirective(i);
        ReadDirective(i + 2, e);
      } else {
        e = Nesting ? NestedEnd(i, "{", "}") : [&] {
          const int64_t p = FindDelimiter("}", i);
          return p ? p : Len;
        }();
      }
      Emit(At(i + 1) == '$' ? heDirective : heComment, i, e);
    } else if (c == '(' && At(i + 1) == '*') {
      if (Conditions && At(i + 2) == '$')
        return FollowDirective(i);
      if (At(i + 2) != '$' && Nesting) {
        e = NestedEnd(i, "(*", "*)");
      } else {
        const int64_t p = FindDelimiter("*)", i + 2);
        e = (p ? p : Len) + 1;
      }
      if (At(i + 2) == '$')
        ReadDirective(i + 3, e);
      Emit(At(i + 2) == '$' ? heDirective : heComment, i, e);
    } else if (c == '&' && IsLetter(At(i + 1))) {
      e = RunIn(i, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_");
      Emit(Code(heIdentifier), i, e);
      Seen(Value);
      IdentifierEnd = e;
    } else if (IsLetter(c)) {
      e = RunIn(i, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_");
      const std::string Id = T.substr(i, e - i + 1);
      int E;
      if (InAsm && SameText(Id, "end")) {
        InAsm = false;
        E = WordElement(Id, e);
      } else if (InAsm) {
        E = heAssembler;
      } else {
        E = WordElement(Id, e);
        InAsm = E == heReservedWord && SameText(Id, "asm");
      }
      Emit(E, i, e);
      IdentifierEnd = e;
    } else if (IsDigit(c)) {
      e = RunIn(i, "0123456789_");
      if (At(e + 1) == '.' && At(e + 2) != '.')
        e = RunIn(e + 1, "0123456789_");
      if (At(e + 1) == 'e' || At(e + 1) == 'E') {
        int64_t p = e + 2;
        if (At(p) == '+' || At(p) == '-')
          ++p;
        if (IsDigit(At(p)))
          e = RunIn(p, "0123456789_");
      }
      Emit(Code(heNumber), i, e);
      Seen(Value);
    } else if (c == '$') {
      e = RunIn(i, "0123456789ABCDEFabcdef_");
      Emit(Code(heNumber), i, e);
      Seen(Value);
    } else if ((c == '%' && In(At(i + 1), Bin)) || (c == '&' && In(At(i + 1), Oct))) {
      e = RunIn(i + 1, c == '%' ? "01_" : "01234567_");
      Emit(Code(heNumber), i, e);
      Seen(Value);
    } else if (c == '&' || c == '<' || c == '>' || c == '"') {
      Emit(Code(heSymbol), i, i);
      Seen(Other);
    } else if (IsSymbol(c)) {
      // A run of symbols, up to a comment's opener or a binary number.
      while (IsSymbol(At(e + 1)) && !(At(e + 1) == '%' && In(At(e + 2), Bin)) &&
             At(e + 1) != '{' && !(At(e + 1) == '/' && At(e + 2) == '/') &&
             !(At(e + 1) == '(' && At(e + 2) == '*'))
        ++e;
      Emit(Code(heSymbol), i, e);
      SymbolsSeen(i, e);
    } else {
      Body += T[i];
    }
    return e;
  }
  // A directive at i, followed; in skipped code it is dead code unless it
  // is a conditional.
  int64_t FollowDirective(int64_t i) {
    int64_t e, From, To;
    if (T[i] == '{') {
      const int64_t p = FindDelimiter("}", i);
      e = Nesting ? NestedEnd(i, "{", "}") : p ? p : Len;
      From = i + 2;
      To = T[e] == '}' ? e - 1 : e;
    } else {
      const int64_t p = FindDelimiter("*)", i + 2);
      e = p ? p + 1 : Len;
      From = i + 3;
      To = p ? p - 1 : Len;
    }
    const bool Skipped = Conditions->Skipping();
    const bool Conditional =
        Conditions->Follow(To >= From ? T.substr(From, To - From + 1) : std::string());
    // "{$mode ...}" in active code changes the words' mode too.
    if (!Skipped)
      ReadDirective(From, e);
    Emit(Skipped && !Conditional ? heInactive : heDirective, i, e);
    return e;
  }
  // Skipped text as Free Pascal's skipuntildirective reads it: Style 0
  // outside comments, 1 in brace comments (which nest in the nesting modes:
  // Level), and "(*" comments passed over whole (nested in those modes);
  // strings only outside comments, to the apostrophe that closes them or
  // the line's end. "{$" (at level 0) and "(*$" end it.
  int64_t SkippedToken(int64_t i) {
    int64_t p = i, Level = 0;
    int Style = 0;
    while (p <= Len) {
      const unsigned char c = T[p];
      if (Style == 0 && c == '{' && At(p + 1) == '$')
        break;
      if (Style == 0 && c == '(' && At(p + 1) == '*' && At(p + 2) == '$')
        break;
      if (c == '{') {
        Style = 1;
        Level = Nesting ? Level + 1 : 1;
        ++p;
      } else if (c == '}' && Style == 1) {
        if (--Level == 0)
          Style = 0;
        ++p;
      } else if (Style == 0 && c == '(' && At(p + 1) == '*') {
        const int64_t q = FindDelimiter("*)", p + 2);
        p = Nesting ? NestedEnd(p, "(*", "*)") + 1 : q ? q + 2 : Len + 1;
      } else if (Style == 0 && c == '/' && At(p + 1) == '/') {
        p += 2;
        while (p <= Len && T[p] != '\r' && T[p] != '\n')
          ++p;
      } else if (Style == 0 && c == '\'') {
        ++p;
        while (p <= Len && T[p] != '\r' && T[p] != '\n') {
          if (T[p] == '\'' && At(p + 1) == '\'') {
            p += 2;
            continue;
          }
          if (T[p++] == '\'')
            break;
        }
      } else {
        ++p;
      }
    }
    if (p == i)
      return FollowDirective(i);
    Emit(heInactive, i, p - 1);
    return p - 1;
  }
  // The modern dialect's words. Prev is what the last token (not a blank
  // or a comment) was; Part is the declaration a directive may end.
  enum { Other, Value, Semicolon, Dot, Open, Reserved, TypeOpener, Directive };
  enum { InCode, Heading, AfterHeading, Property, AfterProperty };
  static bool Listed(const char *List, const std::string &Id) {
    std::string Lower = " ";
    for (char C : Id)
      Lower += static_cast<char>(C >= 'A' && C <= 'Z' ? C + 32 : C);
    return std::string(List).find(Lower + " ") != std::string::npos;
  }
  void SetMode(const std::string &Name, bool FromText) {
    static const std::pair<const char *, const char *> Modes[] = {
        {"fpc", "properties initfinal fpc"},
        {"objfpc", "class exceptions properties initfinal fpc"},
        {"delphi", "class exceptions properties initfinal"},
        {"delphiunicode", "class exceptions properties initfinal"},
        {"tp", ""}, {"macpas", "mac"}, {"iso", ""}, {"extendedpascal", ""}};
    if (!FromText) { // the options' mode: Delphi's own reading, or a Free Pascal mode
      // ("delphi-fpc": Free Pascal's Delphi mode)
      DelphiReading = Name == "delphi";
      Switches = "";
      for (const auto &[Known, Its] : Modes)
        if (!DelphiReading && (Name == Known || Name == std::string(Known) + "-fpc"))
          Switches = Its;
      Nesting = Switches.find("fpc") != std::string::npos;
      return;
    }
    for (const auto &[Known, Its] : Modes)
      if (Name == Known) {
        DelphiReading = false;
        Switches = Its;
        Nesting = Switches.find("fpc") != std::string::npos;
      }
  }
  bool IsKeyword(const std::string &Id) const {
    if (DelphiReading)
      return Listed(ModelDelphiReserved, Id);
    if (Listed(ModelFpcAllModes, Id))
      return true;
    for (const char *Words : ModelFpcSwitchWords) {
      const std::string Entry = Words, Switch = Entry.substr(0, Entry.find(':'));
      if ((" " + Switches + " ").find(" " + Switch + " ") != std::string::npos &&
          Listed(Entry.c_str() + Entry.find(':') + 1, Id))
        return true;
    }
    return false;
  }
  void ReadDirective(int64_t From, int64_t To) {
    auto Word = [&](int64_t &p) {
      std::string W;
      while (p <= To && (IsLetter(At(p)) || IsDigit(At(p))))
        W += static_cast<char>(std::tolower(At(p++)));
      return W;
    };
    if (!FollowModes)
      return;
    int64_t p = From;
    const std::string Name = Word(p);
    while (p <= To && (At(p) == ' ' || At(p) == '\t'))
      ++p;
    const std::string Value = Word(p);
    if (Name == "mode") {
      SetMode(Value, true);
    } else if (Name == "modeswitch" && !DelphiReading) {
      const std::string Switch = Value == "objectivec2" ? "objectivec1" : Value;
      if (Switch != "class" && Switch != "exceptions" && Switch != "properties" &&
          Switch != "initfinal" && Switch != "objectivec1")
        return;
      const bool Off = p <= To && At(p) == '-';
      std::string Kept;
      for (size_t k = 0, n; k < Switches.size(); k = n + 1) {
        n = Switches.find(' ', k);
        if (n == std::string::npos)
          n = Switches.size();
        const std::string One = Switches.substr(k, n - k);
        if (!One.empty() && One != Switch)
          Kept += One + " ";
      }
      Switches = Off ? Kept : Kept + Switch;
    }
  }
  // Free Pascal's modes nest comments of one kind: "{ { } }".
  int64_t NestedEnd(int64_t i, const std::string &Open, const std::string &Close) const {
    int Depth = 1;
    for (int64_t p = i + int64_t(Open.size()); p <= Len;) {
      if (T.compare(p, Open.size(), Open) == 0) {
        ++Depth;
        p += Open.size();
      } else if (T.compare(p, Close.size(), Close) == 0) {
        if (--Depth == 0)
          return p + Close.size() - 1;
        p += Close.size();
      } else {
        ++p;
      }
    }
    return Len;
  }
  void Seen(int Kind) {
    if (!InAsm)
      Prev = Kind;
  }
  void SymbolsSeen(int64_t i, int64_t e) {
    if (InAsm)
      return;
    for (int64_t p = i; p <= e; ++p) {
      if (Part != Heading && Part != Property)
        break;
      if (T[p] == '(' || T[p] == '[')
        Depth = std::min(Depth + 1, 15);
      else if (T[p] == ')' || T[p] == ']')
        Depth = std::max(Depth - 1, 0);
      else if (T[p] == ';' && Depth == 0)
        Part = Part == Heading ? AfterHeading : AfterProperty;
    }
    const char Last = T[e];
    Prev = Last == ';'                                   ? Semicolon
           : Last == ')' || Last == ']'                  ? Value
           : Last == '('                                 ? Open
           : Last == '.' && !(e > i && T[e - 1] == '.') ? Dot
                                                         : Other;
  }
  int WordElement(const std::string &Id, int64_t e) {
    if (IsKeyword(Id)) {
      const bool Starts = Listed(" procedure function constructor destructor operator ", Id);
      if (Starts && !(Part == Heading && Depth > 0)) {
        Part = Heading;
        Depth = 0;
      } else if (SameText(Id, "property")) {
        Part = Property;
        Depth = 0;
      } else if (!Starts && !Listed(ModelRoutineDirectives, Id) && !Listed(" out ", Id) &&
                 (Part == AfterHeading || Part == AfterProperty)) {
        Part = InCode;
      }
      Prev = Listed(" class object record ", Id) ? TypeOpener
             : Listed(" string nil ", Id)       ? Value
                                                : Reserved;
      return heReservedWord;
    }
    const bool Routine = Listed(ModelRoutineDirectives, Id),
               Prop = Listed(ModelPropertyDirectives, Id),
               Visibility = Listed(ModelVisibilityWords, Id) || SameText(Id, "strict"),
               Param = SameText(Id, "out"),
               AfterClass = Listed(" abstract operator sealed ", Id),
               Quiet = Listed(ModelQuietDirectives, Id),
               AfterValue = SameText(Id, "absolute");
    if (Routine || Prop || Visibility || Param || AfterClass || Quiet || AfterValue) {
      bool Here = false;
      int64_t p = e + 1;
      while (At(p) == ' ' || At(p) == '\t' || At(p) == '\r' || At(p) == '\n')
        ++p;
      const bool NameLike = In(At(p), ":=,)][(^") || (At(p) == '.' && At(p + 1) != '.');
      const bool AfterDirective = Prev == Semicolon || Prev == Directive;
      if (Prev == Dot || NameLike)
        Here = false;
      else if (Prev == Value && (Routine || Prop || Visibility || AfterValue || Quiet))
        Here = true;
      else if (Part == AfterHeading && (Routine || (Quiet && !SameText(Id, "strict"))) &&
               AfterDirective)
        Here = true;
      else if (Part == Property && Prop && Depth == 0 && Prev == Directive)
        Here = true;
      else if (Part == AfterProperty && Prop && AfterDirective)
        Here = true;
      else if (Part == Heading && Param && Depth > 0 && (Prev == Open || Prev == Semicolon))
        Here = true;
      else if (Visibility && (AfterDirective || Prev == TypeOpener))
        Here = true;
      else if (AfterClass && Prev == TypeOpener)
        Here = true;
      if (Here) {
        if (SameText(Id, "operator")) {
          Part = Heading;
          Depth = 0;
        }
        Prev = Directive;
        return Quiet || SameText(Id, "strict") ? heIdentifier : heReservedWord;
      }
    }
    if (Prev == Semicolon && (Part == AfterHeading || Part == AfterProperty))
      Part = InCode;
    Prev = Value;
    return heIdentifier;
  }

  int64_t FindDelimiter(const std::string &D, int64_t From) const {
    for (int64_t p = From; p <= Len - 1; ++p)
      if (T[p] == D[0] && T.compare(p, D.size(), D) == 0)
        return p;
    return 0;
  }
  void Report(int Percent) {
    if (!HasProgress)
      return;
    if (static_cast<int>(Progress.size()) == StopAtCall)
      Cancel = true;
    Progress.push_back(Percent);
  }
  void SwitchTo(int E) {
    if (E == Current)
      return;
    if (E == StyleElement)
      ChangeColor(E, false);
    else if (E == heWhitespace && OpenStyle >= 0 && !(OpenStyle & (4 | 8)))
      ;
    else if (Styles[E] == OpenStyle)
      ChangeColor(E, true);
    else {
      Body += SC[StyleElement];
      ChangeColor(E, false);
      Body += SO[E];
      OpenStyle = Styles[E];
      StyleElement = E;
    }
    Current = E;
  }
  void ChangeColor(int E, bool WithStyle) {
    if (Colors[ColorElement] == Colors[E])
      return;
    if (WithStyle)
      Body += SC[StyleElement];
    if (ColorOpened)
      Body += FC[ColorElement];
    Body += FO[E];
    ColorOpened = true;
    if (WithStyle)
      Body += SO[E];
    ColorElement = E;
  }

  std::string T;
  int64_t Len = 0;
  bool Cancel = false;
  std::string SO[ElementCount], SC[ElementCount], FO[ElementCount], FC[ElementCount];
  bool InAsm = false;
  bool DelphiReading = true, Nesting = false;
  std::string Switches; // the Free Pascal mode switches in force, by name
  int Prev = Other, Part = InCode, Depth = 0;
  int64_t IdentifierEnd = -1; // the end of the last identifier ModernToken took
  int Current = 0, StyleElement = 0, ColorElement = 0, OpenStyle = -1;
  // The body starts in the background colour without a FONT tag of its
  // own, so the first colour change has nothing to close.
  bool ColorOpened = false;
};
