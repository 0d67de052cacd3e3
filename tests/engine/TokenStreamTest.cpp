// The token stream: its lines cover the source exactly, in order, each
// with the element the scanner gives those bytes, and a run form cut
// anywhere, or with pieces past 4 GiB, gives the same lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "ColorScheme.h"
#include "FileIO.h"
#include "ReferenceModel.h"
#include "TestSupport.h"
#include "TokenStream.h"

namespace {

namespace fs = std::filesystem;

class TCollector : public TOutputSink {
public:
  std::string Bytes;
  void Write(const char *Data, size_t Size) override { Bytes.append(Data, Size); }
};

struct TLine {
  uint64_t Start, Length;
  int Element;
};

// The lines of Stream; a line that is not exactly of the stream's form
// fails the test.
std::vector<TLine> ParseLines(const std::string &Stream) {
  std::vector<TLine> Lines;
  std::istringstream In(Stream);
  for (std::string Text; std::getline(In, Text);) {
    unsigned long long Start = 0, Length = 0;
    char Name[40] = {};
    int Used = 0;
    const int Fields = std::sscanf(Text.c_str(), "{\"start\":%llu,\"length\":%llu,\"element\":\"%39[^\"]\"}%n",
                                   &Start, &Length, Name, &Used);
    EXPECT_TRUE(Fields == 3 && static_cast<size_t>(Used) == Text.size()) << Text;
    const int E = FindElementByValueName(Name);
    EXPECT_GE(E, 0) << Text;
    Lines.push_back({Start, Length, E});
  }
  EXPECT_TRUE(Stream.empty() || Stream.back() == '\n');
  return Lines;
}

std::string TokensOf(const std::string &Source, TPascalDialect Dialect) {
  TTessaline Converter;
  Converter.SetDialect(Dialect);
  TPageOptions Page;
  Page.Format = TPageFormat::Tokens;
  Converter.SetPageOptions(Page);
  Converter.SetPlain(Source);
  EXPECT_TRUE(Converter.Convert());
  return Converter.HTML();
}

TEST(TokenStream, FreePascalSourcesAreCoveredInOrderWithTheScannersElements) {
  if (!fs::exists(FreePascalRoot))
    GTEST_SKIP() << FreePascalRoot << " is missing (Debian package fpc-source-3.2.2)";
  const auto Sample = FreePascalSample(120);
  ASSERT_GE(Sample.size(), 100u);
  for (const std::string &File : Sample) {
    const std::string Source = ReadFileBytes(File);
    for (const TPascalDialect Dialect : {TPascalDialect::Classic, TPascalDialect::Modern}) {
      const std::vector<TLine> Lines = ParseLines(TokensOf(Source, Dialect));
      // What the plain form of the scanner's rules gives each byte.
      TModel Model;
      for (int E = 0; E < ElementCount; ++E) {
        Model.Colors[E] = 0;
        Model.Defaults[E] = true;
        Model.Styles[E] = 0;
      }
      Model.HasProgress = false;
      Model.Modern = Dialect == TPascalDialect::Modern;
      std::string Expected;
      Model.ByteElements = &Expected;
      Model.Run(Source);
      ASSERT_EQ(Expected.size(), Source.size());

      std::string Actual;
      uint64_t Next = 0;
      int Last = -1;
      for (const TLine &Line : Lines) {
        ASSERT_EQ(Line.Start, Next) << File << ": a gap or an overlap";
        ASSERT_GT(Line.Length, 0u) << File;
        ASSERT_NE(Line.Element, Last) << File << ": consecutive lines of one element at "
                                      << Line.Start;
        Actual.append(Line.Length, static_cast<char>(Line.Element));
        Next += Line.Length;
        Last = Line.Element;
      }
      ASSERT_EQ(Next, Source.size()) << File;
      const size_t Differs = std::mismatch(Actual.begin(), Actual.end(), Expected.begin()).first -
                             Actual.begin();
      ASSERT_EQ(Differs, Source.size())
          << File << ", dialect " << int(Dialect) << ": element " << int(Actual[Differs])
          << " where the rules give " << int(Expected[Differs]) << " at byte " << Differs;
    }
  }
}

TEST(TokenStream, RunFormCutAnywhereAndPiecesPastFourGiB) {
  // A run form with pieces of every code length, cut into blocks of every
  // size up to the longest code, gives the lines of the uncut form.
  const uint64_t Huge = (uint64_t(1) << 32) + 5;
  TSpanMarkup Spans;
  BuildTokenSpans(Spans);
  TCollector Form;
  {
    TPageWriter Writer(Form);
    Writer.Put(Spans.Open[heComment]);
    PutTokenPiece(Writer, 3);
    PutTokenPiece(Writer, 200);
    Writer.Put(Spans.Close[heComment]);
    PutTokenPiece(Writer, Huge);
    Writer.Put(Spans.Open[heIdentifier] + Spans.Close[heIdentifier] + Spans.Open[heComment]);
    PutTokenPiece(Writer, 1);
    Writer.Finish();
  }
  // Base 3: a byte-order mark, which the lines cover as whitespace.
  const std::string Expected = "{\"start\":0,\"length\":3,\"element\":\"Whitespace_(BG)\"}\n"
                               "{\"start\":3,\"length\":203,\"element\":\"Comment\"}\n"
                               "{\"start\":206,\"length\":4294967301,\"element\":\"Whitespace_(BG)\"}\n"
                               "{\"start\":4294967507,\"length\":1,\"element\":\"Comment\"}\n";
  for (size_t Block = 1; Block <= 10; ++Block) {
    TCollector Out;
    TPageWriter Writer(Out);
    TTokenLines Lines(Writer, 3, Huge + 300);
    for (size_t K = 0; K < Form.Bytes.size(); K += Block)
      Lines.Write(Form.Bytes.data() + K, std::min(Block, Form.Bytes.size() - K));
    Lines.Finish();
    Writer.Finish();
    ASSERT_EQ(Out.Bytes, Expected) << "blocks of " << Block;
  }
}

TEST(TokenStream, StoppedRunLeavesNothing) {
  TTessaline Converter;
  TPageOptions Page;
  Page.Format = TPageFormat::Tokens;
  Converter.SetPageOptions(Page);
  Converter.SetPlain("begin x := 1; end.");
  Converter.SetOnProgress([](TTessaline &Sender, int32_t) { Sender.Stop(); });
  EXPECT_FALSE(Converter.Convert());
  EXPECT_EQ(Converter.HTML(), "");
}

} // namespace
