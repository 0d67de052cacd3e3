// Large texts are shared with a helper thread (TScanSplit). Shrinking the
// segments to a few bytes puts the helper's starting points everywhere:
// inside comments, strings, runs of blanks and identifiers, next to
// entities. Whatever happens there, the page, the progress reports and a
// Stop must be those of a conversion by one thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "ColorScheme.h"
#include "FileIO.h"
#include "Scanner.h"
#include "Tessaline.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  bool Done;
  std::string Page;
  std::vector<int> Reports;
  std::string Streamed; // the page from ConvertTo, whose rounds differ
};

class TCollector : public TOutputSink {
public:
  std::string Bytes;
  void Write(const char *Data, size_t Size) override { Bytes.append(Data, Size); }
};

// Converts Text with Scheme, segments of Segment bytes (0: one thread), and
// Stop at the StopAt-th progress report (0: never); a helper ends each of
// its segments after HelperPart bytes (0: at its end).
TRun Convert(const std::string &Text, const std::function<void(TTessaline &)> &Scheme,
             size_t Segment, size_t StopAt = 0, size_t HelperPart = 0,
             TPascalDialect Dialect = TPascalDialect::Classic, const TPageOptions &Page = {},
             const TConditionOptions &Conditions = {}) {
  TTessaline C;
  C.SetDialect(Dialect);
  C.SetConditions(Conditions);
  C.SetPageOptions(Page);
  TScanOptions Options;
  Options.Split = {Segment, 0, HelperPart};
  C.SetScanOptions(Options);
  Scheme(C);
  C.SetPlain(Text);
  TRun Run;
  C.SetOnProgress([&Run, StopAt](TTessaline &Sender, int32_t P) {
    Run.Reports.push_back(P);
    if (Run.Reports.size() == StopAt)
      Sender.Stop();
  });
  Run.Done = C.Convert();
  Run.Page = C.HTML();
  if (StopAt == 0) {
    C.SetOnProgress(nullptr);
    TCollector Sink;
    if (C.ConvertTo(Sink))
      Run.Streamed = std::move(Sink.Bytes);
  }
  return Run;
}

std::vector<std::function<void(TTessaline &)>> Schemes() {
  std::vector<std::function<void(TTessaline &)>> All = {[](TTessaline &) {}};
  for (int P = 0; P < ColorPresetCount; ++P)
    All.push_back([P](TTessaline &C) { ApplyColorPreset(C, P); });
  // Every element alike: the open style keeps the element that opened it,
  // which for a helper starting from nothing open is seldom the caller's,
  // so the two rarely meet and the caller converts most segments itself.
  All.push_back([](TTessaline &C) {
    for (int E = 0; E < ElementCount; ++E) {
      C.SetElementColor(static_cast<THighlightElement>(E), clMaroon);
      C.SetElementStyle(static_cast<THighlightElement>(E), fsBold);
    }
  });
  // Underlined and struck-out whitespace neighbours: tags close at blanks.
  All.push_back([](TTessaline &C) {
    for (int E = 0; E < ElementCount; ++E) {
      const auto El = static_cast<THighlightElement>(E);
      C.SetElementColor(El, 0x010101 * (E * 30));
      C.SetElementStyle(El, static_cast<TFontStyles>(15 - E % 4 * 4));
    }
  });
  return All;
}

// Segments of a byte or two on a long text would start a thread per byte.
void ExpectSameAsOneThread(const std::string &Text, const std::string &What,
                           std::initializer_list<size_t> Segments, size_t HelperPart = 0,
                           TPascalDialect Dialect = TPascalDialect::Classic,
                           const TConditionOptions &Conditions = {}) {
  const auto All = Schemes();
  for (size_t S = 0; S < All.size(); ++S) {
    const TRun One = Convert(Text, All[S], 0, 0, 0, Dialect, {}, Conditions);
    for (size_t Segment : Segments) {
      const TRun Two = Convert(Text, All[S], Segment, 0, HelperPart, Dialect, {}, Conditions);
      ASSERT_TRUE(Two.Done);
      ASSERT_TRUE(Two.Page == One.Page) << What << ", scheme " << S << ", segment " << Segment;
      ASSERT_TRUE(Two.Streamed == One.Page)
          << What << " streamed, scheme " << S << ", segment " << Segment;
      ASSERT_EQ(Two.Reports, One.Reports) << What << ", scheme " << S << ", segment " << Segment;
    }
  }
}

TEST(Split, PagesAndReportsOfRealSourcesAreThoseOfOneThread) {
  const fs::path Root = "/usr/share/fpcsrc/3.2.2/rtl/inc";
  if (!fs::exists(Root))
    GTEST_SKIP() << Root << " is missing (Debian package fpc-source-3.2.2)";
  // A few files of different kinds, joined: assembler blocks, long
  // comments, strings with quotes, include directives.
  std::string Text;
  for (const char *Name : {"system.inc", "sstrings.inc", "objpas.inc", "heap.inc", "text.inc"})
    if (fs::exists(Root / Name))
      Text += ReadFileBytes((Root / Name).string());
  ASSERT_GT(Text.size(), 100000u);
  ExpectSameAsOneThread(Text, "rtl/inc", {61, 1000, 40000});
}

// A helper that the caller finds still at work ends its segment where it
// is, and the caller goes on from there: anywhere in a segment, inside a
// comment or string too, and before the fast path's first block.
TEST(Split, HelperEndingItsSegmentEarlyGivesThePageOfOneThread) {
  const fs::path File = "/usr/share/fpcsrc/3.2.2/rtl/inc/system.inc";
  std::string Text = fs::exists(File) ? ReadFileBytes(File.string()) : "";
  for (int Line = 0; Line < 2000; ++Line)
    Text += "  S := 'it''s {" + std::to_string(Line) + "}'; // note\n  { x } Value := $FF;\n";
  for (size_t Part : {size_t(1), size_t(100), size_t(5000), size_t(30000)})
    ExpectSameAsOneThread(Text, "part " + std::to_string(Part), {20000, 70000}, Part);
}

// The modern dialect: its multi-line strings, asm bodies, headings and
// modes run across segments, while a helper starts outside them; a meeting
// needs the same asm state and context as well as the same markup.
TEST(Split, ModernDialectPagesAndReportsAreThoseOfOneThread) {
  const fs::path File = "/usr/share/fpcsrc/3.2.2/rtl/inc/system.inc";
  std::string Text = fs::exists(File) ? ReadFileBytes(File.string()) : "";
  for (int Line = 0; Line < 1500; ++Line)
    Text += "s := '''\n  it's {" + std::to_string(Line) +
            "} end\n  ''';\nasm\n  mov eax, &17 { end }\n  db '''\nend; {$I+} x := %1010 + 1.5e3;\n" +
            // directive words by their context, and modes that nest comments or not
            (Line % 500 == 0 ? "{$mode objfpc}\n" : Line % 500 == 250 ? "{$mode delphi}\n" : "") +
            "procedure X(out A: Integer;\n Index: Byte); virtual;\n property Name: string read F\n"
            " write F; default; { a { b } c } r.index := x/y;{c}\n";
  ExpectSameAsOneThread(Text, "modern", {61, 1000, 20000}, 0, TPascalDialect::Modern);
  ExpectSameAsOneThread(Text, "modern, part 100", {20000}, 100, TPascalDialect::Modern);
}

// Conditionals: a helper starts with none open and the symbols as at the
// text's start, ends its segment at a conditional it has not seen open,
// and is met only where its stack and every symbol it reads after the
// meeting agree with the caller's (defines, undefines, includes and modes
// on both sides of a segment's start).
TEST(Split, ConditionalPagesAndReportsAreThoseOfOneThread) {
  const fs::path File = "/usr/share/fpcsrc/3.2.2/rtl/inc/system.inc";
  std::string Text = fs::exists(File) ? ReadFileBytes(File.string()) : "";
  for (int Line = 0; Line < 1200; ++Line) {
    const std::string N = std::to_string(Line % 7);
    Text += "{$IFDEF S" + N + "} a := 1; {$ELSE} s := '{$ENDIF}'; { {$ENDIF} }\n" +
            (Line % 3 ? "{$DEFINE S" : "{$UNDEF S") + std::to_string(Line % 5) + "}\n" +
            "{$ENDIF} b := 2; {$IF defined(FPC) and (V >= " + N + ")} c {$ELSEIF defined(S" + N +
            ")} d {$ENDIF}\n" + (Line % 11 == 0 ? "{$I inc" + N + ".inc}\n" : "") +
            (Line % 13 == 0 ? "{$mode objfpc}{$IFDEF FPC_OBJFPC} e {$ENDIF}{$mode delphi}\n" : "") +
            (Line % 17 == 0 ? "{$ENDIF}{$ELSE} unbalanced\n" : "") + "{$IFNDEF S1} (* x *) f\n" +
            // the word context and nesting comments inside and across branches
            "procedure X(out A: Integer;\n Index: Byte); {$IFDEF S2} virtual; {$ENDIF}\n"
            " property Name: string read F\n write F; default; { a { b } c } r.index := x/y;{c}\n";
    if (Line % 9 == 0)
      Text += "{$ENDIF}{$ENDIF}\n";
  }
  TConditionOptions Conditions;
  Conditions.Enabled = true;
  Conditions.Target = TCompilerTarget::FPC;
  AddSymbolChanges("S1,V=3", true, Conditions.Changes);
  ExpectSameAsOneThread(Text, "conditionals", {61, 1000, 20000}, 0, TPascalDialect::Modern,
                        Conditions);
  ExpectSameAsOneThread(Text, "conditionals, part 100", {20000}, 100, TPascalDialect::Modern,
                        Conditions);
}

// A helper guesses the mode and the symbols at its segment's start from
// the directives before it, read on their own, so what it reads may rest
// on changes the caller never made: {$DEFINE}s inside an unclosed
// "{$I ..." the caller reads whole, or in a string or a comment, an
// include before the meeting, a mode symbol still defined for the caller.
TEST(Split, SymbolsOnlyTheHelperHadChangedThePage) {
  std::string Text;
  for (int Block = 0; Block < 150; ++Block)
    Text += "{$mode objfpc}\n a := b;\n a := b;\n{$mode delphi}\n a := b;\n a := b;\n a := b;\n"
            "{$IFDEF FPC_OBJFPC}w{$ENDIF}\n"
            "{$UNDEF A}{$I inc\n{$DEFINE A}{$IFDEF A}x{$ENDIF}\n{$UNDEF A}{$IFDEF A}y{$ENDIF}\n"
            "{$I inc\n{$DEFINE B}\n{$I other.inc}{$IFNDEF B}z{$ENDIF}\n"
            "s := '{$DEFINE C}{$mode objfpc}'; { {$UNDEF D} }\n"
            "{$IFDEF C}v{$ENDIF}{$IFNDEF D}u{$ENDIF}\n";
  TConditionOptions Conditions;
  Conditions.Enabled = true;
  Conditions.Target = TCompilerTarget::FPC;
  ExpectSameAsOneThread(Text, "symbols", {13, 40, 61, 150}, 0, TPascalDialect::Modern, Conditions);
}

// The UTF-8 pages' text is translated where each thread writes its page,
// so the helper's page is RTF, decoded HTML5, or the token stream's run
// form, already: a meeting has to find its place there, and a line end,
// character or run may be cut by it. Fragments ride along: their end
// depends on the markup left open; so do ANSI pages, whose line ends
// reopen the span open where they fall.
TEST(Split, TranslatedPagesAreThoseOfOneThread) {
  const fs::path File = "/usr/share/fpcsrc/3.2.2/rtl/inc/text.inc";
  std::string Text = fs::exists(File) ? ReadFileBytes(File.string()) : "";
  for (int Line = 0; Line < 800; ++Line)
    Text += "  S := 'caf\xE9 \\ {" + std::to_string(Line) +
            "}'; { \xC3\xA9 \x01 <&> }\r\n\tIf A<B Then {\x80\r\n  [y]} X:=\"\";\r\r\n";
  const auto All = Schemes();
  for (const TPageFormat Format : {TPageFormat::HTML5, TPageFormat::RTF, TPageFormat::Classic,
                                   TPageFormat::Tokens, TPageFormat::ANSI, TPageFormat::BBCode})
    for (const TSourceEncoding Encoding : {TSourceEncoding::Auto, TSourceEncoding::UTF8})
      for (size_t S : {size_t(0), size_t(2), All.size() - 1}) {
        TPageOptions Page;
        Page.Format = Format;
        Page.Encoding = Encoding;
        Page.LineNumbers = Format == TPageFormat::HTML5 && S == 2;
        Page.ClassPrefix = S == 2 ? "hl_" : "tl-";
        // Fragments, and inline styles, which give each look a span of its own.
        // The classic fragment closes the markup the last thread left open.
        Page.Fragment = Format == TPageFormat::Classic || (Format == TPageFormat::HTML5 && S == 0);
        Page.Ansi256 = S == 2;
        Page.InlineStyles = Format == TPageFormat::HTML5 && S == 0;
        const TRun One = Convert(Text, All[S], 0, 0, 0, TPascalDialect::Classic, Page);
        for (const size_t Part : {size_t(0), size_t(300)})
          for (const size_t Segment : {size_t(997), size_t(20000)}) {
            const TRun Two = Convert(Text, All[S], Segment, 0, Part, TPascalDialect::Classic, Page);
            ASSERT_TRUE(Two.Page == One.Page && Two.Streamed == One.Page)
                << "format " << int(Format) << ", encoding " << int(Encoding) << ", scheme " << S
                << ", segment " << Segment << ", part " << Part;
            ASSERT_EQ(Two.Reports, One.Reports);
          }
      }
}

TEST(Split, SegmentsStartingInsideUnclosedCommentsAndStrings) {
  // Short texts dense in what a helper can start inside of, at every
  // segment size: the caller must notice that it never meets the helper.
  std::mt19937 Random(20261208);
  const std::string Pieces[] = {"{",  "}", "(*", "*)",    "(*)", "'",  "''", "//",   "\n",  "\r\n",
                                "\r", " ", "  ", "begin", "End", "x1", "_",  "#13",  "$ff", "12.5",
                                "&",  "<", ">",  "\"",    ":=",  ";",  "/",  "\xE9", "asm", "\t"};
  for (int K = 0; K < 300; ++K) {
    std::string Text;
    const int Count = 1 + static_cast<int>(Random() % 120);
    for (int P = 0; P < Count; ++P)
      Text += Pieces[Random() % std::size(Pieces)];
    ExpectSameAsOneThread(Text, "random text " + std::to_string(K), {1, 2, 7, 64});
  }
}

TEST(Split, StopDuringAHelpersSegmentStopsWhereOneThreadWould) {
  std::string Text;
  for (int Line = 0; Line < 3000; ++Line)
    Text += "  Value" + std::to_string(Line) + " := Other + 1; { note }\n";
  const auto Scheme = [](TTessaline &) {};
  const TRun All = Convert(Text, Scheme, 0);
  ASSERT_GT(All.Reports.size(), 50u);
  for (size_t StopAt : {size_t(2), size_t(30), size_t(70), All.Reports.size() - 2}) {
    const TRun One = Convert(Text, Scheme, 0, StopAt);
    const TRun Two = Convert(Text, Scheme, 5000, StopAt);
    EXPECT_FALSE(Two.Done);
    EXPECT_EQ(Two.Page, "");
    EXPECT_EQ(Two.Reports, One.Reports) << "stopped at report " << StopAt;
    EXPECT_EQ(Two.Reports.back(), 0);
  }
}

TEST(Split, IdentifiersAHelperSeesInsideACommentHideNoReport) {
  // The only line ends are inside comments, so every helper starts inside
  // one and takes "abc" for an identifier. When it started in the first
  // comment of a unit, the two meet after the second, and the first
  // identifier after that, "x", is due for a report (the "x" before is a
  // percent lower) though the helper's "abc" had the same percentage.
  std::string Text;
  for (int Unit = 0; Unit < 100; ++Unit)
    Text += "{\n abc } ; 4 5 {\n abc } ; x 1 2 3 4 5 6 7 8 9 10 11 12 13 ";
  const auto Scheme = [](TTessaline &) {};
  const TRun One = Convert(Text, Scheme, 0);
  for (size_t Segment = 50; Segment < 3000; Segment += 37) {
    const TRun Two = Convert(Text, Scheme, Segment);
    ASSERT_EQ(Two.Reports, One.Reports) << "segment " << Segment;
    ASSERT_TRUE(Two.Page == One.Page) << "segment " << Segment;
  }
}

} // namespace
