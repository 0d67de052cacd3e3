// The HTML5 and RTF pages, checked by tools from outside: every HTML5 page
// parses without a single error in html5lib's strict mode and its <pre>
// holds the source; unrtf reads every RTF document back to the source; so
// do fragments, parsed as fragments, and ANSI and BBCode pages with their
// markup stripped (tests/tools/check-pages.py). Inputs: the golden cases, with their odd
// bytes, and a sample of the Free Pascal sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "ColorScheme.h"
#include "FileIO.h"
#include "Html5Page.h"
#include "TestSupport.h"
#include "TextTranslator.h"

// The checks run tools of the build machine (python3, unrtf) through a
// POSIX shell.
#ifndef _WIN32

namespace {

namespace fs = std::filesystem;

std::vector<std::string> GoldenInputs() {
  std::vector<std::string> Inputs;
  for (const auto &Entry : fs::directory_iterator(TESSALINE_TEST_DATA))
    if (Entry.path().extension() == ".pas")
      Inputs.push_back(Entry.path().string());
  std::sort(Inputs.begin(), Inputs.end());
  return Inputs;
}

TScheme PresetScheme(int P) {
  TTessaline Converter;
  ApplyColorPreset(Converter, P);
  return Converter.Scheme();
}

// Converts each source under Options (the K-th with the K-th scheme of
// Schemes, round robin, every other one in the modern dialect) into Dir
// and runs the checker on all of them; skips the test when the checker's
// tool is missing.
void CheckPages(const char *Kind, const std::vector<std::string> &Sources,
                const TPageOptions &Options, const TTempDir &Dir) {
  std::string Command = std::string(TESSALINE_PYTHON) + " " + TESSALINE_CHECK_PAGES + " " + Kind;
  for (size_t K = 0; K < Sources.size(); ++K) {
    TTessaline Converter;
    if (K % 3 != 0)
      ApplyColorPreset(Converter, static_cast<int>(K % ColorPresetCount));
    Converter.SetPageOptions(Options);
    if (K % 2 == 1)
      Converter.SetDialect(TPascalDialect::Modern);
    Converter.LoadFromFile(Sources[K]);
    ASSERT_TRUE(Converter.Convert());
    const std::string Page = Dir / ("page" + std::to_string(K));
    Converter.SaveToFile(Page);
    Command += " '" + Sources[K] + "' '" + Page + "'";
  }
  const int Status = std::system(Command.c_str());
  ASSERT_TRUE(WIFEXITED(Status)) << Command;
  if (WEXITSTATUS(Status) == 77)
    GTEST_SKIP() << "the checker's tool is missing (python3-html5lib, unrtf)";
  EXPECT_EQ(WEXITSTATUS(Status), 0) << "a page failed its check (see above)";
}

TEST(PageFormats, Html5PagesOfTheGoldenCasesAreValidAndHoldTheirSource) {
  TTempDir Dir;
  TPageOptions Options;
  Options.Format = TPageFormat::HTML5;
  CheckPages("html5", GoldenInputs(), Options, Dir);
  Options.LineNumbers = true;
  Options.HasDarkScheme = true;
  Options.DarkScheme = PresetScheme(2);
  CheckPages("html5", GoldenInputs(), Options, Dir);
}

TEST(PageFormats, Html5PagesOfFreePascalSourcesAreValidAndHoldTheirSource) {
  const auto Sample = FreePascalSample(120);
  if (Sample.empty())
    GTEST_SKIP() << FreePascalRoot << " is missing (Debian package fpc-source-3.2.2)";
  TTempDir Dir;
  TPageOptions Options;
  Options.Format = TPageFormat::HTML5;
  Options.LineNumbers = true;
  Options.HasDarkScheme = true;
  Options.DarkScheme = PresetScheme(2);
  CheckPages("html5", Sample, Options, Dir);
}

// Fragments land inside another page: each must parse there on its own,
// as a <style> or <link> and one <pre> whose text is the source.
TEST(PageFormats, FragmentsOfFreePascalSourcesAreValidAndHoldTheirSource) {
  const auto Sample = FreePascalSample(60);
  if (Sample.empty())
    GTEST_SKIP() << FreePascalRoot << " is missing (Debian package fpc-source-3.2.2)";
  // The classic block holds the source's bytes as they are: control
  // characters, which HTML forbids, make it invalid, as they do the page.
  std::vector<std::string> Plain;
  for (const std::string &Source : Sample) {
    const std::string Bytes = ReadFileBytes(Source);
    if (std::none_of(Bytes.begin(), Bytes.end(), [](char C) {
          return (C >= 0 && C < 0x20 && C != '\t' && C != '\n' && C != '\r' && C != '\f') ||
                 C == 0x7F;
        }))
      Plain.push_back(Source);
  }
  ASSERT_GT(Plain.size(), Sample.size() / 2);
  TTempDir Dir;
  TPageOptions Options;
  Options.Fragment = true;
  CheckPages("classic-fragment", Plain, Options, Dir);
  Options.Format = TPageFormat::HTML5;
  Options.LineNumbers = true;
  Options.HasDarkScheme = true;
  Options.DarkScheme = PresetScheme(1);
  CheckPages("fragment", Sample, Options, Dir);
  Options.LineNumbers = Options.HasDarkScheme = false;
  Options.InlineStyles = true;
  CheckPages("fragment", Sample, Options, Dir);
  Options.InlineStyles = false;
  Options.CssFile = "../styles/tessaline.css";
  CheckPages("fragment", GoldenInputs(), Options, Dir);
}

// The plain-text formats: their markup stripped (and BBCode's escapes
// read back), the text is the source; each ANSI line ends reset.
TEST(PageFormats, AnsiAndBBCodeOfFreePascalSourcesHoldTheirSource) {
  auto Inputs = FreePascalSample(60);
  if (Inputs.empty())
    GTEST_SKIP() << FreePascalRoot << " is missing (Debian package fpc-source-3.2.2)";
  const auto Golden = GoldenInputs();
  Inputs.insert(Inputs.end(), Golden.begin(), Golden.end());
  TTempDir Dir;
  TPageOptions Options;
  Options.Format = TPageFormat::ANSI;
  CheckPages("ansi", Inputs, Options, Dir);
  Options.Ansi256 = true;
  CheckPages("ansi", Inputs, Options, Dir);
  Options.Format = TPageFormat::BBCode;
  CheckPages("bbcode", Inputs, Options, Dir);
}

} // namespace

namespace {

TEST(PageFormats, RtfDocumentsOfTheGoldenCasesReadBackAsTheirSource) {
  TTempDir Dir;
  TPageOptions Options;
  Options.Format = TPageFormat::RTF;
  CheckPages("rtf", GoldenInputs(), Options, Dir);
}

TEST(PageFormats, RtfDocumentsOfFreePascalSourcesReadBackAsTheirSource) {
  const auto Sample = FreePascalSample(60);
  if (Sample.empty())
    GTEST_SKIP() << FreePascalRoot << " is missing (Debian package fpc-source-3.2.2)";
  TTempDir Dir;
  TPageOptions Options;
  Options.Format = TPageFormat::RTF;
  CheckPages("rtf", Sample, Options, Dir);
}

} // namespace

#endif // _WIN32

namespace {

// The line anchors are written with the text, by each thread's page
// writer: a text cut anywhere, between CR and LF too, numbers the same.
std::string Numbered(std::string_view Text, size_t Block) {
  const TTextTranslator Translator(TTextTarget::HTML5, TTextForm::UTF8, Text, CountLines(Text),
                                   "tl-");
  TByteBuffer Buffer;
  TPageWriter Out(Buffer, 0);
  Translator.PutLineAnchor(Out, 1);
  Out.SetTextLine(1);
  for (size_t K = 0; K < Text.size(); K += Block)
    Translator.Put(Out, Text.data() + K, std::min(Block, Text.size() - K));
  Out.Finish();
  return std::string(Buffer.Data(), Buffer.Size());
}

TEST(PageFormats, LineAnchorsAreTheSameWhereverTheTextIsCut) {
  const std::string Text = "\xC3\xA9\r\n\r\r\n\ty\n";
  auto Anchor = [](int N) {
    std::string Text = "<a class=\"tl-line-number\" id=\"L";
    Text += std::to_string(N);
    Text += "\" href=\"#L";
    Text += std::to_string(N);
    return Text + "\"></a>";
  };
  // No anchor after the last line end: no line follows it.
  EXPECT_EQ(Numbered(Text, 999), Anchor(1) + "\xC3\xA9\r\n" + Anchor(2) + "\r" + Anchor(3) +
                                     "\r\n" + Anchor(4) + "\ty\n");
  for (size_t Block = 1; Block < 8; ++Block)
    EXPECT_EQ(Numbered(Text, Block), Numbered(Text, 999)) << Block;
}

TEST(PageFormats, StoppedRunsOfEveryFormatLeaveNothing) {
  for (const TPageFormat Format : {TPageFormat::Classic, TPageFormat::HTML5, TPageFormat::RTF,
                                   TPageFormat::ANSI, TPageFormat::BBCode}) {
    TTessaline Converter;
    TPageOptions Options;
    Options.Format = Format;
    Options.LineNumbers = Format == TPageFormat::HTML5;
    Converter.SetPageOptions(Options);
    Converter.SetPlain("begin\r\n  x := 1;\r\nend.\r\n");
    Converter.SetOnProgress([](TTessaline &Sender, int32_t Percent) {
      if (Percent > 1)
        Sender.Stop();
    });
    EXPECT_FALSE(Converter.Convert());
    EXPECT_EQ(Converter.HTML(), "");
  }
}

} // namespace
