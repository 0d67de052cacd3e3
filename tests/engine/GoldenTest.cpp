// Golden pages: every tests/data/NAME.pas is converted with the settings in
// NAME.args (command-line arguments, one per line) and must give exactly
// NAME.html (NAME.rtf, NAME.jsonl for those formats), and the progress values in NAME.progress when that exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "CliOptions.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> GoldenCases() {
  std::vector<std::string> Names;
  for (const auto &Entry : fs::directory_iterator(TESSALINE_TEST_DATA))
    if (Entry.path().extension() == ".pas")
      Names.push_back(Entry.path().stem().string());
  std::sort(Names.begin(), Names.end());
  return Names;
}

std::vector<std::string> SplitLines(const std::string &Text) {
  std::vector<std::string> Lines;
  std::string Line;
  std::istringstream Stream(Text);
  while (std::getline(Stream, Line))
    Lines.push_back(Line);
  return Lines;
}

// Makes CR, tabs and other invisible bytes visible in a diff line.
std::string Visible(const std::string &Line) {
  std::string Result;
  for (unsigned char C : Line) {
    if (C == '\r')
      Result += "\\r";
    else if (C == '\t')
      Result += "\\t";
    else if (C < 32 || C >= 127) {
      char Hex[8];
      std::snprintf(Hex, sizeof Hex, "\\x%02X", C);
      Result += Hex;
    } else
      Result += static_cast<char>(C);
  }
  return Result;
}

// A line diff: the common prefix and suffix are skipped, what lies between
// is shown as removed (expected) and added (actual) lines.
std::string LineDiff(const std::string &Expected, const std::string &Actual) {
  const auto A = SplitLines(Expected), B = SplitLines(Actual);
  size_t Head = 0;
  while (Head < A.size() && Head < B.size() && A[Head] == B[Head])
    ++Head;
  size_t Tail = 0;
  while (Tail < A.size() - Head && Tail < B.size() - Head &&
         A[A.size() - 1 - Tail] == B[B.size() - 1 - Tail])
    ++Tail;
  std::ostringstream Out;
  Out << "@@ line " << Head + 1 << " @@\n";
  for (size_t K = Head; K < A.size() - Tail; ++K)
    Out << "-" << Visible(A[K]) << "\n";
  for (size_t K = Head; K < B.size() - Tail; ++K)
    Out << "+" << Visible(B[K]) << "\n";
  if (SplitLines(Expected) == SplitLines(Actual))
    Out << "(the pages differ only in their final line end)\n";
  return Out.str();
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, PageMatchesTheHandWrittenOne) {
  const std::string Base = std::string(TESSALINE_TEST_DATA) + "/" + GetParam();
  std::vector<std::string> Args = {"--scheme", "builtin"}; // never the user's settings
  if (fs::exists(Base + ".args"))
    for (const std::string &Arg : SplitLines(ReadTextFile(Base + ".args")))
      Args.push_back(Arg);
  Args.push_back("-"); // the options parser wants an input
  TTessaline Converter;
  ApplyCliOptions(ParseCliOptions(Args), Converter);

  std::vector<int> Progress;
  Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
  Converter.SetPlain(ReadTextFile(Base + ".pas"));
  ASSERT_TRUE(Converter.Convert());

  // The other formats' expected forms: NAME.rtf, NAME.ans, NAME.bbcode,
  // NAME.jsonl (the token stream).
  std::string Extension = ".html";
  for (const char *Other : {".rtf", ".ans", ".bbcode", ".jsonl"})
    if (fs::exists(Base + Other))
      Extension = Other;
  const std::string Expected = ReadTextFile(Base + Extension);
  const std::string Actual = Converter.HTML();
  EXPECT_TRUE(Expected == Actual) << GetParam() << Extension << " differs (- expected, + actual):\n"
                                  << LineDiff(Expected, Actual);
  if (fs::exists(Base + ".progress")) {
    std::istringstream Values(ReadTextFile(Base + ".progress"));
    std::vector<int> ExpectedProgress;
    for (int V; Values >> V;)
      ExpectedProgress.push_back(V);
    EXPECT_EQ(Progress, ExpectedProgress);
  }
}

INSTANTIATE_TEST_SUITE_P(Data, Golden, testing::ValuesIn(GoldenCases()),
                         [](const testing::TestParamInfo<std::string> &Info) {
                           std::string Name = Info.param;
                           for (char &C : Name)
                             if (!std::isalnum(static_cast<unsigned char>(C)))
                               C = '_';
                           return Name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Golden);

} // namespace
