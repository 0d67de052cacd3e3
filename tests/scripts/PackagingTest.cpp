// The manual page and the bash completion against the options the tool
// takes: both are written by hand, and options added later were missing
// from them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "CliOptions.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path &Path) {
  std::ifstream File(Path);
  return std::string((std::istreambuf_iterator<char>(File)), {});
}

TEST(Packaging, NewOptionsMissingFromTheManualAndTheCompletion) {
  const fs::path Root = TESSALINE_SOURCE_DIR;
  const std::string Manual = ReadAll(Root / "packaging/man/tessaline-cli.1.in");
  const std::string Completion = ReadAll(Root / "packaging/completion/tessaline-cli");
  ASSERT_FALSE(Manual.empty());
  ASSERT_FALSE(Completion.empty());
  const std::string Usage = CliUsage();
  const std::regex LongOption("--[a-z][a-z0-9-]*");
  std::set<std::string> Options;
  for (auto It = std::sregex_iterator(Usage.begin(), Usage.end(), LongOption);
       It != std::sregex_iterator(); ++It)
    Options.insert(It->str());
  EXPECT_GE(Options.size(), 25u);
  for (const std::string &Option : Options) {
    // The manual's source writes each hyphen as "\-".
    std::string Escaped;
    for (const char C : Option)
      Escaped += C == '-' ? std::string("\\-") : std::string(1, C);
    EXPECT_NE(Manual.find(Escaped), std::string::npos) << Option << " is not in the manual";
    EXPECT_NE(Completion.find(Option), std::string::npos) << Option << " is not completed";
  }
}

} // namespace
