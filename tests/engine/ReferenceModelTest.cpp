// The engine against the plain model of the highlighting rules, on random
// texts under random schemes.
#include <gtest/gtest.h>

#include <random>

#include "ReferenceModel.h"
#include "Scanner.h"
#include "TestSupport.h"

namespace {

// Texts dense in the bytes that start, end or split tokens, of up to
// MaxPieces pieces.
std::string RandomText(std::mt19937 &Random, size_t MaxPieces = 40) {
  static const std::vector<std::string> Pieces = {
      "begin", "End", "NAME", "x", "_a1", "beginning", "'", "''", "#", "#13", "$", "$FF", "0..9",
      "1.5E3", "{", "}", "(*", "*)", "(", ")", "*", "//", "/", "\r\n", "\n", "\r", " ", "  ", "\t",
      "&", "<", ">", "\"", ":=", ";", ".", ",", "@", "^", std::string(1, '\0'), "\x80", "\xff",
      "asm", "mov", "x2", "Z", "%", "!", "?", "`", "~", "|", "[", "]", "=", "-", "+", "\x7f",
      "\x01", "\x1f", "9x", "1e5", "1..x", "a.5", "..2", "//x\n", "{x}", "(*x*)", "'s'", "     ",
      // Runs longer than the fast path's 64-byte blocks.
      std::string(70, 'q'), std::string(66, ' '), std::string(65, '7'), std::string(64, '='),
      // Strings and comments that the fast path takes when they end within
      // 64 bytes and need no entity, at and past that limit, and ending
      // where a run of the same kind goes on after them.
      "'" + std::string(63, 's') + "'", "{" + std::string(64, 'c') + "}",
      "//" + std::string(63, 'c') + "\n", "// x \r\n", "{x};", "'a&b'", "{<}", "//\"\n"};
  std::uniform_int_distribution<size_t> Count(0, MaxPieces), Pick(0, Pieces.size() - 1);
  std::string Text;
  for (size_t N = Count(Random); N > 0; --N)
    Text += Pieces[Pick(Random)];
  return Text;
}

void RandomScheme(std::mt19937 &Random, TTessaline &Converter, TModel &Model) {
  static const TColor Palette[] = {clBlack, clWhite, clNavy, clRed, 0x123456, clBtnFace, clNone};
  std::uniform_int_distribution<int> Color(0, 6), Flag(0, 1), Style(0, 15);
  for (int K = 0; K < 8; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    Converter.SetElementColor(E, Palette[Color(Random)]);
    Converter.SetElementDefault(E, Flag(Random) != 0);
    // Most elements plain or bold, so the lazy markup has runs to share.
    Converter.SetElementStyle(E, Flag(Random) ? static_cast<TFontStyles>(Style(Random)) : 0);
    Model.Colors[K] = Converter.ElementColor(E);
    Model.Defaults[K] = Converter.ElementDefault(E);
    Model.Styles[K] = Converter.ElementStyle(E);
  }
  // The classic rules never choose the directive or inactive element:
  // they keep the converter's own setting (and these rounds their inputs
  // of old).
  for (const THighlightElement E : {heDirective, heInactive}) {
    Model.Colors[E] = Converter.ElementColor(E);
    Model.Defaults[E] = Converter.ElementDefault(E);
    Model.Styles[E] = Converter.ElementStyle(E);
  }
}

// The same, for the modern dialect: every element drawn, the directive too.
void RandomModernScheme(std::mt19937 &Random, TTessaline &Converter, TModel &Model) {
  RandomScheme(Random, Converter, Model);
  std::uniform_int_distribution<int> Color(0, 3), Flag(0, 1), Style(0, 15);
  const TColor Palette[] = {clBlack, clWhite, clRed, clGreen};
  for (const THighlightElement E : {heDirective, heInactive}) {
    Converter.SetElementColor(E, Palette[Color(Random)]);
    Converter.SetElementDefault(E, Flag(Random) != 0);
    Converter.SetElementStyle(E, static_cast<TFontStyles>(Style(Random)));
    Model.Colors[E] = Converter.ElementColor(E);
    Model.Defaults[E] = Converter.ElementDefault(E);
    Model.Styles[E] = Converter.ElementStyle(E);
  }
  Converter.SetDialect(TPascalDialect::Modern);
  Model.Modern = true;
}

// Texts dense in what the modern rules read differently, mixed with the
// classic pieces.
std::string RandomModernText(std::mt19937 &Random, size_t MaxPieces) {
  static const std::vector<std::string> Pieces = {
      "'''\n", "'''\r\n", "'''\r", "'''''\n", "  '''", "\t'''", "'''", "''''", "'''x",
      "''''''\n", "&", "&&", "&begin", "&End", "&_x", "&17", "&8", "&1_7", "%101", "%2", "%",
      "%_1", "#$", "#$0D", "#$ff_", "#%10", "#&17", "#&", "#%", "#13", "1_000", "1.", "1..2",
      "1.5e-3", "2E10", "1e", "1E+", "3.x", "$_", "$F_F", "$$", "{$IFDEF X}", "{$", "(*$R+*)",
      "(*$", "{ {$X} }", "asm", "end", "ASM", "eNd", "{ end }", "// end\n", "mov eax, 1",
      "'end'", "_", ";{$I+}", ":=%1;", "record", "case",
      // Directive words and the context that makes them directives.
      "procedure ", "function ", "property ", "class ", "object", "operator ", "read ",
      "write ", "Name", "index ", "default", "virtual", "private", "public", "out ", "absolute",
      "overload", "strict ", "inline", "string", "nil", "try", "objcclass", "bitpacked",
      "otherwise", "(", ")", "[", "]", ";", ".", "..", " ", "\n", "x", ":", "=", ",", "^",
      "{$mode objfpc}", "{$MODE Delphi}", "{$mode fpc}", "(*$mode tp*)", "{$modeswitch objectivec1}",
      "{$modeswitch class-}", "{ { } }", "(* (* *) *)", "{ {", "(*)", "/", "a/b", ";//c\n",
      "f(a);{c}", "|/"};
  std::uniform_int_distribution<size_t> Count(0, MaxPieces), Pick(0, Pieces.size() - 1),
      Classic(0, 2);
  std::string Text;
  for (size_t N = Count(Random); N > 0; --N)
    Text += Classic(Random) == 0 ? RandomText(Random, 2) : Pieces[Pick(Random)];
  return Text;
}

// Starts the scan and the model in mode Index (of four) of the modes a
// scan may start in, following "{$mode ...}" in the text when Follow.
void SetStartMode(TTessaline &Converter, TModel &Model, int Index, bool Follow) {
  static const std::pair<TPascalMode, const char *> Modes[] = {
      {TPascalMode::Delphi, "delphi"}, {TPascalMode::Fpc, "fpc"},
      {TPascalMode::ObjFpc, "objfpc"}, {TPascalMode::FpcDelphi, "delphi-fpc"}};
  const auto &[Mode, ModeName] = Modes[Index % 4];
  Converter.SetModeOptions({Mode, Follow});
  Model.Mode = ModeName;
  Model.FollowModes = Follow;
}

// Converts Text and runs the model on it, with a progress handler or
// without one (the fast path then runs on past identifiers), and compares
// the pages and the progress reports.
void ExpectTheModelsPage(TTessaline &Converter, TModel &Model, const std::string &Text,
                         bool WithProgress, int Round) {
  std::vector<int> Progress;
  if (WithProgress)
    Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
  else
    Model.HasProgress = false;
  Converter.SetPlain(Text);
  ASSERT_TRUE(Converter.Convert());
  Model.Run(Text);
  ASSERT_EQ(BodyOf(Converter.HTML()), Model.Body) << "round " << Round << ", text:\n" << Text;
  ASSERT_EQ(Progress, Model.Progress) << "round " << Round << ", text:\n" << Text;
}

TEST(ReferenceModel, RandomTextsUnderRandomSchemesGiveTheModelsPageAndProgress) {
  std::mt19937 Random(20261208);
  for (int Round = 0; Round < 4000; ++Round) {
    TTessaline Converter;
    TModel Model;
    RandomScheme(Random, Converter, Model);
    const std::string Text = RandomText(Random);
    std::vector<int> Progress;
    Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
    Converter.SetPlain(Text);
    ASSERT_TRUE(Converter.Convert());
    Model.Run(Text);
    ASSERT_EQ(BodyOf(Converter.HTML()), Model.Body) << "round " << Round << ", text:\n" << Text;
    ASSERT_EQ(Progress, Model.Progress) << "round " << Round << ", text:\n" << Text;
  }
}

// Long texts go through the scanner's fast path for plain tokens, which
// finds token boundaries 64 bytes at a time; it has a plain C++, an SSE2
// and an AVX2 form, and each must give the model's page (where the build
// or the processor lacks one, the next narrower stands in).
// Progress ends the fast path at every identifier where a report is due,
// so half the rounds run without a progress handler.
TEST(ReferenceModel, LongTextsGiveTheModelsPageWithEveryInstructionSet) {
  const struct {
    TPlainSearch Search;
    const char *Name;
    unsigned Seed;
  } Searches[] = {{TPlainSearch::AVX2, "AVX2", 64},
                  {TPlainSearch::SSE2, "SSE2", 65},
                  {TPlainSearch::Scalar, "scalar", 66}};
  for (const auto &[Search, Name, Seed] : Searches) {
    std::mt19937 Random(Seed);
    TScanOptions Options;
    Options.WidestSearch = Search;
    for (int Round = 0; Round < 1500; ++Round) {
      TTessaline Converter;
      Converter.SetScanOptions(Options);
      TModel Model;
      RandomScheme(Random, Converter, Model);
      const std::string Text = RandomText(Random, 400);
      std::vector<int> Progress;
      if (Round % 2 == 0)
        Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
      Converter.SetPlain(Text);
      ASSERT_TRUE(Converter.Convert());
      Model.Run(Text);
      ASSERT_EQ(BodyOf(Converter.HTML()), Model.Body)
          << Name << " round " << Round << ", text:\n"
          << Text;
      if (Round % 2 == 0) {
        ASSERT_EQ(Progress, Model.Progress) << "round " << Round << ", text:\n" << Text;
      }
    }
  }
}

// The modern dialect: short texts through its own rules, long ones through
// the fast path, which must leave every token it cannot read alike to
// them, with each instruction set; half the rounds with progress.
TEST(ReferenceModel, ModernDialectGivesTheModelsPageAndProgress) {
  const TPlainSearch Searches[] = {TPlainSearch::AVX2, TPlainSearch::SSE2, TPlainSearch::Scalar};
  std::mt19937 Random(2026);
  for (int Round = 0; Round < 6000; ++Round) {
    TTessaline Converter;
    TScanOptions Options;
    Options.WidestSearch = Searches[Round % 3];
    Converter.SetScanOptions(Options);
    TModel Model;
    RandomModernScheme(Random, Converter, Model);
    SetStartMode(Converter, Model, Round / 3, Round % 5 != 0);
    const std::string Text = RandomModernText(Random, Round % 2 ? 40 : 300);
    ASSERT_NO_FATAL_FAILURE(ExpectTheModelsPage(Converter, Model, Text, Round % 4 < 2, Round));
  }
}

// Texts dense in conditional directives and in what skipped code reads
// otherwise than active code, mixed with the modern pieces.
std::string RandomConditionalText(std::mt19937 &Random, size_t MaxPieces) {
  static const std::vector<std::string> Pieces = {
      "{$IFDEF A}", "{$ifdef b}", "{$IFNDEF A}", "{$ELSE}", "{$ENDIF}", "{$IFEND}", "{$endif x}",
      "{$ELSEIF defined(A)}", "{$IF V > 1}", "{$IF defined(A) or not defined(B)}",
      "{$IF (V + 1) * 2 >= 3 xor true}", "{$IF V div 0 = 1}", "{$IF -V mod 3 <> -1}",
      "{$IF undefined(C) and (V = 2)}", "{$IFOPT R+}", "{$DEFINE B}", "{$UNDEF A}",
      "{$DEFINE V:=3}", "{$define V := -4}", "{$I x.inc}", "{$I+}", "{$I %DATE%}",
      "{$INCLUDE y}", "(*$IFDEF B*)", "(*$ELSE*)", "(*$ENDIF*)", "(*$", "{$mode objfpc}",
      "{$MODE Delphi}", "{$mode fpc}", "{$IFDEF FPC_OBJFPC}", "{$IF defined(FPC_DELPHI)}",
      "'{$ENDIF}'", "'it''s {$ELSE}", "{ {$ENDIF} }", "{ a { b } {$ELSE} }", "(* {$ELSE} *)",
      "// {$ENDIF}\n", "{$if declared(x)}", "{$IF sizeof(x) = 4}", "{$elseif}", "{$IF}",
      "{$IFDEF}", "{$IF (A}", "{$IF 99999999999 > 1}", "{$IF TRUE = (1 < 2)}", "{$}", "{$",
      // An integer 0 or 1 as the condition, a name that starts with a digit.
      "{$IF 0}", "{$ELSEIF 1}", "{$IF V - 2}", "{$IFDEF 0}", "{$DEFINE 0}",
      "x", " ", "\n", "\r\n", "'", "{", "}", "(*", "*)", "//", "begin", "asm", "end", "<",
      // The word context and comment nesting across branches.
      "procedure P;", " virtual;", "property X: T read", " index ", "r.read", "(out ", ";{c}",
      "{$modeswitch objectivec1}", "objcclass", "operator", "{ { } }", "(* (* *) *)", "a/b"};
  std::uniform_int_distribution<size_t> Count(0, MaxPieces), Pick(0, Pieces.size() - 1),
      Other(0, 3);
  std::string Text;
  for (size_t N = Count(Random); N > 0; --N)
    Text += Other(Random) == 0 ? RandomModernText(Random, 2) : Pieces[Pick(Random)];
  return Text;
}

// The conditionals followed: random symbols given, with Free Pascal's or
// none predefined (its list is data the model takes as it is), under every
// instruction set; half the rounds with progress.
TEST(ReferenceModel, ConditionalsGiveTheModelsPageAndProgress) {
  const TPlainSearch Searches[] = {TPlainSearch::AVX2, TPlainSearch::SSE2, TPlainSearch::Scalar};
  const char *const Symbols[] = {"A", "B", "C", "V=2", "V=0", "FPC_OBJFPC"};
  std::mt19937 Random(20261209);
  for (int Round = 0; Round < 6000; ++Round) {
    TTessaline Converter;
    TScanOptions Options;
    Options.WidestSearch = Searches[Round % 3];
    Converter.SetScanOptions(Options);
    TModel Model;
    RandomModernScheme(Random, Converter, Model);
    TConditionOptions Conditions;
    Conditions.Enabled = true;
    TModelConditions ModelConditions;
    if (Round % 5 == 0) {
      Conditions.Target = TCompilerTarget::FPC;
      ModelConditions.FpcModes = true;
      for (const TPredefinedSymbol &S :
           PredefinedSymbols(TCompilerTarget::FPC, TTargetOS::Default, TTargetCPU::X86_64))
        ModelConditions.Symbols[S.Name] = {1, S.State.HasValue, S.State.Value};
    }
    for (int K = static_cast<int>(Random() % 4); K > 0; --K) {
      const std::string Symbol = Symbols[Random() % std::size(Symbols)];
      const bool Define = Symbol.find('=') != std::string::npos || Random() % 3 != 0;
      ASSERT_TRUE(AddSymbolChanges(Symbol, Define, Conditions.Changes));
      ModelConditions.Set(Symbol, Define);
    }
    Converter.SetConditions(Conditions);
    Model.Conditions = &ModelConditions;
    // The word rules under every mode the scan may start in, with the
    // conditionals deciding which "{$mode ...}" counts.
    SetStartMode(Converter, Model, Round / 7, Round % 11 != 0);
    const std::string Text = RandomConditionalText(Random, Round % 2 ? 40 : 300);
    ASSERT_NO_FATAL_FAILURE(ExpectTheModelsPage(Converter, Model, Text, Round % 4 < 2, Round));
  }
}

// Found by the fuzzer: an identifier of 64 bytes or more whose switch
// opened underline was taken without asking again whether the blanks
// after it could be passed over, so the markup that closes the underline
// came after the blank instead of before it.
TEST(ReferenceModel, LongRunThatOpensUnderlineKeepsTheSwitchBeforeTheBlank) {
  TTessaline Converter;
  TModel Model;
  Converter.SetElementStyle(heIdentifier, fsItalic | fsUnderline);
  Converter.SetElementColor(heSymbol, clRed);
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    Model.Colors[K] = Converter.ElementColor(E);
    Model.Defaults[K] = Converter.ElementDefault(E);
    Model.Styles[K] = Converter.ElementStyle(E);
  }
  // The first line has the scanner work out the switches it needs; on the
  // second, the long identifier comes between the same blanks, and enough
  // text follows for the fast path to go on after it.
  const std::string Text = "uses x SysUtils;\r\nuses " + std::string(90, 'q') +
                           " SysUtils;\r\ntype\r\n  TPoint = record X, Y: Integer; end;\r\n" +
                           "  TSize = record Width, Height: Integer; end;\r\n";
  Model.Run(Text);
  EXPECT_EQ(ConvertBody(Converter, Text), Model.Body);
}

TEST(ReferenceModel, StopFromAnyProgressCallEndsLikeTheModel) {
  std::mt19937 Random(7);
  for (int Round = 0; Round < 1000; ++Round) {
    TTessaline Converter;
    TModel Model;
    RandomScheme(Random, Converter, Model);
    const std::string Text = RandomText(Random) + " a b c d e";
    const int StopAt = std::uniform_int_distribution<int>(0, 6)(Random);
    std::vector<int> Progress;
    Converter.SetOnProgress([&](TTessaline &Sender, int32_t P) {
      if (static_cast<int>(Progress.size()) == StopAt)
        Sender.Stop();
      Progress.push_back(P);
    });
    Converter.SetPlain(Text);
    Model.StopAtCall = StopAt;
    const bool Completed = Converter.Convert();
    Model.Run(Text);
    ASSERT_EQ(Completed, Model.Completed) << Text;
    ASSERT_EQ(Progress, Model.Progress) << Text;
    if (!Completed) {
      ASSERT_EQ(Converter.HTML(), "");
    }
  }
}

} // namespace
