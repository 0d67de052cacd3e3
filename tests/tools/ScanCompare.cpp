// Compares the modern dialect's elements with the tokens of Free Pascal's
// own scanner (fcl-passrc's PScanner, through pscan-tokens), byte by byte
// outside whitespace, over a list of Pascal files read in mode FPC, both
// following conditional compilation with the symbols Free Pascal 3.2.2
// predefines on x86_64 Linux (Tessaline's --target fpc), so that both skip
// the same code.
//
//   scan_compare PSCAN_TOKENS [--every N] [--min PERCENT] [--min-kinds PERCENT] FILE_LIST
//
// Takes every Nth file of FILE_LIST (one name a line), prints the share of
// bytes whose element agrees, with the compiler's keywords deciding
// reserved words, and with reserved word and identifier taken as one, then
// that again with PScanner's control characters where the compiler reads a
// pointer type ("= ^T") taken as agreeing; then each kind of difference
// with its count and a first example. A comment left open at the end of a
// file, which PScanner reports no token for, is its comment where the page
// shows all that follows PScanner's last token as comment. Bytes that
// both skip (branches not taken: PScanner gives no token, the page shows
// inactive code), the conditional directives that open a branch PScanner
// skips (it reports none of them), bytes PScanner never reaches (a file it
// gives up on), assembler bodies, and files with a byte-order mark are
// counted apart; code that only one of them skips is a difference. Exits 1
// when the share of agreeing elements, the differences kept on purpose
// (README) taken as agreeing, is below --min, or the share of agreeing
// kinds below --min-kinds.
//
// Tessaline's element per byte is read off its classic page under a
// scheme that gives each element a colour of its own and no font style:
// every source byte is there as it is (the four entity characters as
// their entities), inside the FONT tag of its element.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CharClasses.h"
#include "Conditionals.h"
#include "ModernWords.h"
#include "Tessaline.h"

namespace {

const std::pair<THighlightElement, TColor> ElementColors[] = {
    {heComment, clNavy},     {heReservedWord, clMaroon}, {heSymbol, clGreen},
    {heString, clBlue},      {heNumber, clRed},          {heAssembler, clPurple},
    {heDirective, clTeal},   {heInactive, clGray}};
const char *const ElementNames[] = {"whitespace", "comment", "reserved word", "identifier",
                                    "symbol",     "string",  "number",        "assembler",
                                    "directive",  "inactive code"};

std::string ReadAll(const std::string &Name) {
  std::ifstream In(Name, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

// The conditionals followed: Free Pascal's on x86_64 Linux.
TConditionOptions FpcConditions() {
  TConditionOptions Conditions;
  Conditions.Enabled = true;
  Conditions.Target = TCompilerTarget::FPC;
  Conditions.OS = TTargetOS::Linux;
  Conditions.CPU = TTargetCPU::X86_64;
  return Conditions;
}

// The element of each byte of Text in the modern dialect, mode FPC, with
// Free Pascal's conditionals.
// IncludesDefineNothing: as PScanner, which does not follow includes here,
// reads the symbols after an {$I}.
std::vector<int> ElementsOf(const std::string &Text, bool IncludesDefineNothing = false) {
  TTessaline Converter;
  Converter.SetDialect(TPascalDialect::Modern);
  Converter.SetModeOptions({TPascalMode::Fpc, true});
  TConditionOptions Conditions = FpcConditions();
  Conditions.IncludesDefineNothing = IncludesDefineNothing;
  Converter.SetConditions(Conditions);
  for (int E = 0; E < ElementCount; ++E) {
    Converter.SetElementStyle(static_cast<THighlightElement>(E), 0);
    Converter.SetElementDefault(static_cast<THighlightElement>(E), false);
  }
  Converter.SetElementColor(heIdentifier, clBlack);
  Converter.SetElementColor(heWhitespace, clWhite);
  for (const auto &[E, Color] : ElementColors)
    Converter.SetElementColor(E, Color);
  Converter.SetPlain(Text);
  Converter.Convert();
  const std::string Page = Converter.HTML();
  const size_t From = Page.find("<PRE>") + 5, To = Page.rfind("</PRE>");
  std::vector<int> Elements;
  Elements.reserve(Text.size());
  int Current = heIdentifier;
  for (size_t P = From; P < To;) {
    if (Page.compare(P, 13, "<FONT COLOR=\"") == 0) {
      const size_t End = Page.find("\">", P);
      const std::string Name = Page.substr(P + 13, End - P - 13);
      for (const auto &[E, Color] : ElementColors)
        if (ColorToHTML(Color) == Name)
          Current = E;
      P = End + 2;
    } else if (Page.compare(P, 7, "</FONT>") == 0) {
      Current = heIdentifier;
      P += 7;
    } else {
      if (Page[P] == '&')
        P = Page.find(';', P);
      Elements.push_back(Current);
      ++P;
    }
  }
  return Elements;
}

// The bytes where PScanner reads "^" and a letter as a control character
// and the compiler a pointer type: after ":", after "=" that is no ":=",
// "<=" or ">=", after "of"; they run on to the end of the type's name,
// whose rest PScanner may take for a keyword ("^TLabel").
std::vector<bool> PointerTypesMisread(const std::string &Text, const std::vector<char> &Kinds,
                                      const std::vector<int> &Elements) {
  std::vector<bool> Misread(Text.size(), false);
  auto Letter = [](unsigned char C) { return IsIn(C, csIdent) && !(C >= '0' && C <= '9'); };
  for (size_t P = 0; P + 1 < Text.size() && P + 1 < Elements.size(); ++P) {
    if (Text[P] != '^' || Kinds[P] != 'H' || Kinds[P + 1] != 'H' ||
        !Letter(static_cast<unsigned char>(Text[P + 1])) || Elements[P] != heSymbol)
      continue;
    size_t Q = P;
    while (Q > 0 && static_cast<unsigned char>(Text[Q - 1]) <= ' ')
      --Q;
    if (Q == 0)
      continue;
    const char Before = Text[Q - 1], Second = Q >= 2 ? Text[Q - 2] : ' ';
    const bool Of = Q >= 2 && (Text[Q - 2] | 32) == 'o' && (Text[Q - 1] | 32) == 'f' &&
                    (Q == 2 || !IsIn(static_cast<unsigned char>(Text[Q - 3]), csIdent));
    if (!(Before == ':' || (Before == '=' && Second != ':' && Second != '<' && Second != '>') ||
          Of))
      continue;
    Misread[P] = true;
    for (size_t R = P + 1; R < Text.size() && IsIn(static_cast<unsigned char>(Text[R]), csIdent);
         ++R)
      Misread[R] = true;
  }
  return Misread;
}

struct TDifference {
  long Count = 0;
  std::string Example;
};

} // namespace

int main(int argc, char **argv) {
  std::string Tool, ListName;
  size_t Every = 1;
  double Min = 0, MinKinds = 0;
  for (int K = 1; K < argc; ++K) {
    const std::string Arg = argv[K];
    if (Arg == "--every" && K + 1 < argc)
      Every = std::max<size_t>(1, std::strtoul(argv[++K], nullptr, 10));
    else if (Arg == "--min" && K + 1 < argc)
      Min = std::strtod(argv[++K], nullptr);
    else if (Arg == "--min-kinds" && K + 1 < argc)
      MinKinds = std::strtod(argv[++K], nullptr);
    else if (Tool.empty())
      Tool = Arg;
    else
      ListName = Arg;
  }
  if (Tool.empty() || ListName.empty()) {
    std::fprintf(stderr, "usage: scan_compare PSCAN_TOKENS [--every N] [--min PERCENT] "
                         "[--min-kinds PERCENT] LIST\n");
    return 2;
  }
  std::vector<std::string> Files;
  {
    std::ifstream In(ListName);
    std::string Line;
    for (size_t N = 0; std::getline(In, Line); ++N)
      if (!Line.empty() && N % Every == 0)
        Files.push_back(Line);
  }
  const std::string Taken = ListName + ".taken", Tokens = ListName + ".tokens",
                    Defines = ListName + ".defines";
  {
    // The same symbols for PScanner: "NAME", or "NAME=VALUE" for a macro.
    std::ofstream Out(Defines);
    const TConditionOptions Conditions = FpcConditions();
    for (const TPredefinedSymbol &S :
         PredefinedSymbols(Conditions.Target, Conditions.OS, Conditions.CPU)) {
      Out << S.Name;
      if (S.State.HasValue)
        Out << '=' << S.State.Value;
      Out << '\n';
    }
  }
  {
    std::ofstream Out(Taken);
    for (const std::string &F : Files)
      if (ReadAll(F).compare(0, 3, "\xEF\xBB\xBF") != 0)
        Out << F << '\n';
  }
  if (std::system(("'" + Tool + "' '" + Taken + "' '" + Defines + "' > '" + Tokens + "'").c_str()) !=
      0) {
    std::fprintf(stderr, "scan_compare: %s failed\n", Tool.c_str());
    return 2;
  }
  long Compared = 0, Agreed = 0, KindAgreed = 0, Skipped = 0, GaveUp = 0, Asm = 0, FilesGivenUp = 0;
  long FileCount = 0, Directives = 0, BothSkip = 0, SkipOpeners = 0, AfterInclude = 0;
  long PointerKinds = 0; // kinds that differ only by PScanner's ^X in a pointer type
  std::map<std::string, TDifference> Differences;
  std::ifstream In(Tokens);
  std::string Line, Name, Text;
  std::vector<char> Kinds; // per byte: PScanner's kind, 0 where it has no token
  std::vector<int> Elements, WithoutIncludes;
  size_t Reached = 0, LastEnd = 0;
  auto Finish = [&] {
    if (Name.empty())
      return;
    ++FileCount;
    // A comment left open at the end of the file: PScanner reads it to the
    // end and reports no token for it. Where the page too shows all that
    // follows PScanner's last token as comment, it is that comment.
    if (Reached == Text.size()) {
      size_t First = LastEnd;
      while (First < Text.size() && static_cast<unsigned char>(Text[First]) <= ' ')
        ++First;
      bool Open = First < Text.size() &&
                  (Text[First] == '{' || Text.compare(First, 2, "(*") == 0);
      for (size_t P = First; Open && P < Text.size() && P < Elements.size(); ++P)
        Open = static_cast<unsigned char>(Text[P]) <= ' ' || Elements[P] == heComment;
      if (Open)
        std::fill(Kinds.begin() + First, Kinds.end(), 'C');
    }
    const std::vector<bool> Misread = PointerTypesMisread(Text, Kinds, Elements);
    for (size_t P = 0; P < Text.size() && P < Elements.size(); ++P) {
      const unsigned char C = static_cast<unsigned char>(Text[P]);
      if (C <= ' ')
        continue;
      if (P >= Reached) {
        ++GaveUp;
        continue;
      }
      if (Kinds[P] == 0) {
        // PScanner skips: inactive code on the page too, or a directive
        // (PScanner reports no directive that leaves it skipping).
        if (Elements[P] == heInactive)
          ++BothSkip;
        else if (Elements[P] == heDirective)
          ++SkipOpeners;
        else
          ++Skipped;
        if (Elements[P] == heInactive || Elements[P] == heDirective)
          continue;
      }
      if (Elements[P] == heAssembler) {
        ++Asm;
        continue;
      }
      const char K = Kinds[P] == 0 ? 'K' : Kinds[P];
      int Want = K == 'C'   ? heComment
                 : K == 'D' ? heDirective
                 : K == 'R' ? heReservedWord
                 : K == 'I' ? heIdentifier
                 : K == 'S' ? heString
                 : K == 'N' ? heNumber
                 : K == 'Y' ? heSymbol
                            : -1;
      const int Got = Elements[P];
      ++Compared;
      // Active on the page only because an {$I} before might have defined
      // the symbol: never shown as dead on a guess.
      const bool Included = K == 'K' && WithoutIncludes[P] == heInactive;
      AfterInclude += Included;
      auto Word = [](int E) { return E == heReservedWord ? heIdentifier : E; };
      if (Got == Want && !Included) {
        ++Agreed;
        ++KindAgreed;
        continue;
      }
      if (Want >= 0 && Word(Got) == Word(Want))
        ++KindAgreed;
      else if (Misread[P])
        ++PointerKinds;
      // A directive where it acts as one is a reserved word on the page,
      // an identifier in the compiler's keyword table: counted apart.
      if (Want == heIdentifier && Got == heReservedWord) {
        size_t From = P, To = P;
        while (From > 0 && IsIn(static_cast<unsigned char>(Text[From - 1]), csIdent))
          --From;
        while (To < Text.size() && IsIn(static_cast<unsigned char>(Text[To]), csIdent))
          ++To;
        const ModernWords::TWord *W =
            ModernWords::Table.Find(Text.data() + From, To - From, Text.size() - From);
        if (W && (W->Directive & ModernWords::dfShown)) {
          ++Directives;
          Want = -2;
        }
      }
      const std::string Kind =
          Included     ? std::string("skipped by PScanner, active on the page after an {$I}")
          : Want == -2 ? std::string("directive where it acts as one shown as reserved word")
          : Want >= 0  ? std::string(ElementNames[Want]) + " shown as " + ElementNames[Got]
          : K == 'H' && Misread[P]
              ? std::string("PScanner's control character (^X) in a pointer type shown as ") +
                    ElementNames[Got]
          : K == 'H'   ? std::string("PScanner's control character (^X) shown as ") + ElementNames[Got]
          : K == 'K'   ? std::string("skipped by PScanner, shown as ") + ElementNames[Got]
                       : std::string("PScanner's ") + K + " shown as " + ElementNames[Got];
      TDifference &D = Differences[Kind];
      if (D.Count++ == 0) {
        const size_t Start = P >= 30 ? P - 30 : 0;
        std::string Around = Text.substr(Start, 70);
        for (char &Ch : Around)
          if (Ch == '\n' || Ch == '\r' || Ch == '\t')
            Ch = ' ';
        D.Example = Name + " @" + std::to_string(P) + ": " + Around;
      }
    }
    Name.clear();
  };
  while (std::getline(In, Line)) {
    if (Line.compare(0, 2, "F ") == 0) {
      Finish();
      Name = Line.substr(2);
      Text = ReadAll(Name);
      Elements = ElementsOf(Text);
      WithoutIncludes = ElementsOf(Text, true);
      Kinds.assign(Text.size(), 0);
      Reached = Text.size();
      LastEnd = 0;
    } else if (Line.compare(0, 2, "X ") == 0) {
      Reached = std::strtoul(Line.c_str() + 2, nullptr, 10);
      ++FilesGivenUp;
    } else if (Line.size() > 2 && Line[1] == ' ') {
      char K = Line[0];
      size_t Start = 0, Stop = 0;
      std::sscanf(Line.c_str() + 2, "%zu %zu", &Start, &Stop);
      Stop = std::min(Stop, Text.size());
      LastEnd = std::max(LastEnd, Stop);
      if (K == 'C' && (Text.compare(Start, 2, "{$") == 0 || Text.compare(Start, 3, "(*$") == 0))
        K = 'D';
      // A one-character string is PScanner's character token, as is "^M".
      if (K == 'H' && Start < Text.size() && (Text[Start] == '\'' || Text[Start] == '#'))
        K = 'S';
      for (size_t P = Start; P < Stop; ++P)
        Kinds[P] = K;
    }
  }
  Finish();
  const double Share = Compared ? 100.0 * Agreed / Compared : 100.0;
  const double Decided =
      Compared ? 100.0 * (Agreed + Directives + AfterInclude) / Compared : 100.0;
  const double KindShare = Compared ? 100.0 * (KindAgreed + AfterInclude) / Compared : 100.0;
  std::printf("files: %ld (%ld given up by PScanner part way)\n", FileCount, FilesGivenUp);
  std::printf("bytes compared: %ld (%ld of them skipped by PScanner alone); apart: %ld skipped by "
              "both, %ld in directives that start a skipped branch, %ld after PScanner gave up, "
              "%ld in asm bodies\n",
              Compared, Skipped, BothSkip, SkipOpeners, GaveUp, Asm);
  std::printf("elements agree: %.3f%% (reserved words by the compiler's keyword table)\n", Share);
  std::printf("elements agree: %.3f%% (directives where they act as one taken as reserved words, "
              "code left active after an {$I} as skipped)\n",
              Decided);
  std::printf("kinds agree:    %.3f%% (reserved word and identifier as one, code left active "
              "after an {$I} as skipped)\n",
              KindShare);
  std::printf("kinds agree:    %.3f%% (as above, and PScanner's control characters where the "
              "compiler reads a pointer type, ^T, taken as agreeing)\n",
              Compared ? 100.0 * (KindAgreed + AfterInclude + PointerKinds) / Compared : 100.0);
  std::vector<std::pair<std::string, TDifference>> Sorted(Differences.begin(), Differences.end());
  std::sort(Sorted.begin(), Sorted.end(),
            [](const auto &A, const auto &B) { return A.second.Count > B.second.Count; });
  for (const auto &[Kind, D] : Sorted)
    std::printf("%9ld  %s\n           e.g. %s\n", D.Count, Kind.c_str(), D.Example.c_str());
  return Decided < Min || KindShare < MinKinds ? 1 : 0;
}
