// The converter's contract: defaults, the element properties, progress,
// cancellation, and what a run leaves behind.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

const std::string EmptyPageWithEmptyTexts =
    "<HTML>\r\n<HEAD>\r\n<TITLE></TITLE>\r\n"
    "<META NAME=\"GENERATOR\" CONTENT=\"Tessaline by Quorvander\">\r\n"
    "</HEAD>\r\n<BODY TEXT=\"Black\" BGCOLOR=\"White\">\r\n<PRE></PRE></BODY>\r\n</HTML>";

TEST(Converter, NewConverterHasTheBuiltInScheme) {
  TTessaline C;
  const TColor Colors[ElementCount] = {clWhite, clNavy,  clBlack, clBlack, clBlack,
                                       clBlue,  clBlack, clBlack, clTeal,  clGray};
  const bool Defaults[ElementCount] = {true, false, false, true, true, false, true, true, false, false};
  const TFontStyles Styles[ElementCount] = {0, fsItalic, fsBold, 0, 0, 0, 0, 0, 0, 0};
  for (int E = 0; E < ElementCount; ++E) {
    const auto El = static_cast<THighlightElement>(E);
    EXPECT_EQ(C.ElementColor(El), Colors[E]) << E;
    EXPECT_EQ(C.ElementDefault(El), Defaults[E]) << E;
    EXPECT_EQ(C.ElementStyle(El), Styles[E]) << E;
  }
  EXPECT_EQ(C.Title(), "");
  EXPECT_EQ(C.Plain(), "");
  EXPECT_EQ(C.HTML(), "");
  EXPECT_FALSE(C.OnProgress());
}

TEST(Converter, OnlyARealColourChangeClearsTheDefaultFlag) {
  TTessaline C;
  C.SetElementColor(heIdentifier, clBlack);
  EXPECT_TRUE(C.ElementDefault(heIdentifier));
  C.SetElementColor(heIdentifier, clRed);
  EXPECT_FALSE(C.ElementDefault(heIdentifier));
  C.SetElementDefault(heIdentifier, true);
  EXPECT_EQ(C.ElementColor(heIdentifier), clRed);
  EXPECT_TRUE(C.ElementDefault(heIdentifier));
  C.SetElementColor(heIdentifier, clRed);
  EXPECT_TRUE(C.ElementDefault(heIdentifier));
}

TEST(Converter, EmptyTextGivesHeaderAndFooterAndProgressOneThenHundred) {
  TTessaline C;
  EXPECT_EQ(ProgressOf(C, ""), (std::vector<int>{1, 100}));
  EXPECT_EQ(C.HTML(), EmptyPageWithEmptyTexts);
  C.SetPlain("");
  EXPECT_TRUE(C.Convert());
}

TEST(Converter, TextWithoutIdentifiersReportsOnlyStartAndEnd) {
  TTessaline C;
  EXPECT_EQ(ProgressOf(C, "{ comment } 'string' 123 := ;\r\n"), (std::vector<int>{1, 100}));
}

// The window's progress handler runs the event loop, where the colour
// editor may change the scheme. The markup used to compare the stored
// colours as they were at each new switch while writing the texts built
// at the start: a comment made black mid-run left its navy FONT tag open
// over the identifiers after it.
TEST(Converter, SchemeChangedDuringARunLeavesThePageOfTheSchemeAtItsStart) {
  std::string Text;
  for (int K = 0; K < 200; ++K)
    Text += "{c} x" + std::to_string(K) + " ";
  TTessaline Before;
  const std::string Want = ConvertBody(Before, Text);
  TTessaline C;
  C.SetOnProgress([](TTessaline &Sender, int32_t) { Sender.SetElementColor(heComment, clBlack); });
  EXPECT_EQ(ConvertBody(C, Text), Want);
  EXPECT_EQ(C.ElementColor(heComment), clBlack);
}

TEST(Converter, EveryRunEmptiesTheWhitespaceStyle) {
  TTessaline C;
  C.SetElementStyle(heWhitespace, fsBold | fsUnderline);
  C.SetElementStyle(heComment, fsBold | fsUnderline);
  C.SetPlain("x");
  C.Convert();
  EXPECT_EQ(C.ElementStyle(heWhitespace), 0);
  EXPECT_EQ(C.ElementStyle(heComment), fsBold | fsUnderline);
  C.SetElementStyle(heWhitespace, fsItalic);
  C.SetOnProgress([](TTessaline &Sender, int32_t) { Sender.Stop(); });
  C.Convert();
  EXPECT_EQ(C.ElementStyle(heWhitespace), 0) << "a cancelled run empties it too";
}

TEST(Converter, StopInTheFirstCallbackScansNothing) {
  TTessaline C;
  std::vector<int> Progress;
  C.SetOnProgress([&Progress](TTessaline &Sender, int32_t P) {
    Progress.push_back(P);
    if (P == 1)
      Sender.Stop();
  });
  C.SetPlain("begin x end");
  EXPECT_FALSE(C.Convert());
  EXPECT_EQ(C.HTML(), "");
  EXPECT_EQ(Progress, (std::vector<int>{1, 0}));
}

TEST(Converter, StopTakesEffectAfterTheTokenInProgress) {
  // The stop request comes after the second identifier; its page would be
  // the first two tokens, but a stopped run keeps nothing.
  TTessaline C;
  std::vector<int> Progress;
  C.SetOnProgress([&Progress](TTessaline &Sender, int32_t P) {
    Progress.push_back(P);
    if (Progress.size() == 3)
      Sender.Stop();
  });
  C.SetPlain("aaaa bbbb cccc dddd");
  EXPECT_FALSE(C.Convert());
  EXPECT_EQ(Progress, (std::vector<int>{1, 21, 47, 0}));
  EXPECT_EQ(C.HTML(), "");
  TTempDir Dir;
  C.SaveToFile(Dir / "stopped.html");
  EXPECT_EQ(ReadTextFile(Dir / "stopped.html"), "");
}

TEST(Converter, StopBeforeConvertHasNoEffect) {
  TTessaline C;
  C.Stop();
  C.SetPlain("x");
  EXPECT_TRUE(C.Convert());
  EXPECT_EQ(BodyOf(C.HTML()), "x");
}

TEST(Converter, AStoppedRunDoesNotSpoilTheNext) {
  TTessaline C;
  C.SetOnProgress([](TTessaline &Sender, int32_t) { Sender.Stop(); });
  C.SetPlain("begin end");
  EXPECT_FALSE(C.Convert());
  C.SetOnProgress(nullptr);
  EXPECT_TRUE(C.Convert());
  EXPECT_EQ(BodyOf(C.HTML()), "<B>begin end");
}

TEST(Converter, ProgressIsStrictlyGrowingAndEndsAtHundred) {
  TTessaline C;
  std::string Text;
  for (int K = 0; K < 1000; ++K)
    Text += "ident" + std::to_string(K) + " := 'str'; { c }\r\n";
  const auto Progress = ProgressOf(C, Text);
  ASSERT_GE(Progress.size(), 3u);
  EXPECT_EQ(Progress.front(), 1);
  EXPECT_EQ(Progress.back(), 100);
  for (size_t K = 2; K + 1 < Progress.size(); ++K)
    EXPECT_LT(Progress[K - 1], Progress[K]);
  EXPECT_LE(Progress.size(), 102u);
}

TEST(Converter, ProgressDoesNotOverflowOnTextsOverTwentyOneMegabytes) {
  // 30 MB: position * 100 passes 2^31 at about 21.5 MB; every report must
  // still be (position * 100) div length of the identifier's last byte.
  const std::string Unit = "abc  { comment comment comment comment comment } ";
  std::string Text;
  Text.reserve(30'000'000 + Unit.size());
  while (Text.size() < 30'000'000)
    Text += Unit;
  TTessaline C;
  std::vector<int> Progress;
  std::vector<size_t> Expected = {1};
  int64_t Last = 0;
  for (size_t P = 0; P < Text.size(); P += Unit.size()) {
    const int64_t Percent = static_cast<int64_t>(P + 3) * 100 / static_cast<int64_t>(Text.size());
    if (Percent > Last)
      Expected.push_back(static_cast<size_t>(Last = Percent));
  }
  Expected.push_back(100);
  const auto Got = ProgressOf(C, Text);
  EXPECT_EQ(std::vector<size_t>(Got.begin(), Got.end()), Expected);
}

TEST(Converter, ConvertToStreamsTheSamePageAsConvert) {
  class TCollector : public TOutputSink {
  public:
    std::string Bytes;
    size_t Calls = 0;
    void Write(const char *Data, size_t Size) override {
      Bytes.append(Data, Size);
      ++Calls;
    }
  };
  std::string Text;
  for (int K = 0; K < 40000; ++K) {
    Text += 'x';
    Text += std::to_string(K);
    Text += " & <y> \"z\" (* c *)\n";
  }
  Text += "{" + std::string(600000, 'c'); // one token longer than any block
  TTessaline C;
  C.SetTitle("T");
  C.SetPlain(Text);
  ASSERT_TRUE(C.Convert());
  const std::string Expected = C.HTML();
  TCollector Sink;
  ASSERT_TRUE(C.ConvertTo(Sink));
  EXPECT_GT(Sink.Calls, 1u);
  EXPECT_TRUE(Sink.Bytes == Expected);
  EXPECT_EQ(C.HTML(), "") << "a streamed page is not kept";
}

// Entities make a page up to four times its source, past what Convert
// reserves: the buffers (the page's, and the helper thread's for its
// segments) then move from the heap to a mapping, or to a larger mapping,
// and must take along all that was written, not only what was counted
// when the move came.
TEST(Converter, PageOutgrowingItsReservationKeepsWhatWasWritten) {
  TTessaline C;
  C.SetPlain("<<");
  ASSERT_TRUE(C.Convert());
  const std::string Small = C.HTML();
  const size_t Run = Small.find("&lt;&lt;");
  ASSERT_NE(Run, std::string::npos);
  for (const size_t Count : {size_t(600) << 10, size_t(3) << 20}) {
    std::string Expected = Small.substr(0, Run);
    for (size_t K = 0; K < Count; ++K)
      Expected += "&lt;";
    Expected += Small.substr(Run + 8);
    C.SetPlain(std::string(Count, '<'));
    ASSERT_TRUE(C.Convert());
    EXPECT_TRUE(C.HTML() == Expected) << C.HTML().size() << " bytes, not " << Expected.size();
  }
}

TEST(Converter, PageTextsAreInsertedVerbatim) {
  TTessaline C;
  C.SetTitle("a < b %s %d");
  C.SetAddHeader("<STYLE>pre{}</STYLE>\r\n");
  C.SetAddBodyStart("<H1>%</H1>");
  C.SetAddBodyEnd("<HR>");
  C.SetPlain("x");
  ASSERT_TRUE(C.Convert());
  EXPECT_EQ(C.HTML(), "<HTML>\r\n<HEAD>\r\n<TITLE>a < b %s %d</TITLE>\r\n"
                      "<META NAME=\"GENERATOR\" CONTENT=\"Tessaline by Quorvander\">\r\n"
                      "<STYLE>pre{}</STYLE>\r\n</HEAD>\r\n"
                      "<BODY TEXT=\"Black\" BGCOLOR=\"White\">\r\n"
                      "<H1>%</H1><PRE>x</PRE><HR></BODY>\r\n</HTML>");
}

TEST(Converter, BodyColoursIgnoreTheDefaultFlags) {
  TTessaline C;
  C.SetElementColor(heIdentifier, 0x332211);
  C.SetElementDefault(heIdentifier, true);
  C.SetElementColor(heWhitespace, clBtnFace);
  C.SetElementDefault(heWhitespace, true);
  C.SetPlain("");
  C.Convert();
  EXPECT_NE(C.HTML().find("<BODY TEXT=\"#112233\" BGCOLOR=\"BtnFace\">"), std::string::npos);
}

} // namespace
