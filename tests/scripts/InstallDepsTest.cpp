// scripts/install-deps with apt-get and sudo replaced by stand-ins that
// write down what they were asked to do, so nothing is installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path Root = TESSALINE_SOURCE_DIR;

// What one run of the script asked of apt-get.
struct TRun {
  int Status = -1;
  std::string Calls;              // one line per call, its arguments
  std::set<std::string> Packages; // of the install calls
};

class InstallDeps : public testing::Test {
protected:
  void SetUp() override {
    Stubs = fs::temp_directory_path() / ("install-deps-" + std::to_string(::getpid()));
    fs::create_directories(Stubs);
    WriteStub("apt-get", "echo \"$*\" >>\"" + (Stubs / "calls").string() + "\"");
    WriteStub("sudo", "exec \"$@\"");
  }
  void TearDown() override { fs::remove_all(Stubs); }
  void WriteStub(const std::string &Name, const std::string &Body) {
    std::ofstream(Stubs / Name) << "#!/bin/sh\n" << Body << "\n";
    fs::permissions(Stubs / Name, fs::perms::owner_all);
  }
  TRun Run(const std::string &Arguments) {
    fs::remove(Stubs / "calls");
    const std::string Command = "PATH='" + Stubs.string() + "':\"$PATH\" bash '" +
                                (Root / "scripts/install-deps").string() + "' " + Arguments +
                                " >/dev/null 2>&1";
    TRun Result;
    const int Status = std::system(Command.c_str());
    Result.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    std::ifstream Calls(Stubs / "calls");
    for (std::string Line; std::getline(Calls, Line);) {
      Result.Calls += Line + "\n";
      std::istringstream Words(Line);
      std::string Word;
      Words >> Word;
      if (Word != "install")
        continue;
      while (Words >> Word)
        if (Word[0] != '-')
          Result.Packages.insert(Word);
    }
    return Result;
  }
  fs::path Stubs;
};

// The tools only the tests use, and what building and running need.
const char *const TestTools[] = {"wine64", "g++-mingw-w64-x86-64-posix", "clang", "xvfb",
                                 "openbox", "xdotool", "python3-html5lib", "unrtf",
                                 "fpc-source-3.2.2"};
const char *const BuildTools[] = {"g++", "cmake", "libgtest-dev", "qt6-base-dev",
                                  "fonts-liberation2", "xdg-utils"};

// The quick start's first command once installed Wine, MinGW-w64, clang and
// the X test tools, about a gigabyte, before the first file was converted.
TEST_F(InstallDeps, FirstCommandInstallsWhatOnlyTheTestsNeed) {
  const TRun Quick = Run("");
  EXPECT_EQ(Quick.Status, 0);
  for (const char *Package : BuildTools)
    EXPECT_TRUE(Quick.Packages.count(Package)) << Package;
  for (const char *Package : TestTools)
    EXPECT_FALSE(Quick.Packages.count(Package)) << Package;

  const TRun Full = Run("--tests");
  EXPECT_EQ(Full.Status, 0);
  EXPECT_EQ(Full.Calls.substr(0, 7), "update\n") << Full.Calls;
  for (const std::string &Package : Quick.Packages)
    EXPECT_TRUE(Full.Packages.count(Package)) << Package;
  for (const char *Package : TestTools)
    EXPECT_TRUE(Full.Packages.count(Package)) << Package;

  // MediaWiki brings a web server: only when asked for.
  EXPECT_FALSE(Full.Packages.count("mediawiki"));
  const TRun Wiki = Run("--tests --mediawiki");
  EXPECT_EQ(Wiki.Status, 0);
  EXPECT_TRUE(Wiki.Packages.count("mediawiki") && Wiki.Packages.count("wine64")) << Wiki.Calls;

  const TRun Wrong = Run("--test");
  EXPECT_EQ(Wrong.Status, 2);
  EXPECT_EQ(Wrong.Calls, "");

  // CI installs the tools its tests use.
  std::ifstream Ci(Root / ".ci/run");
  const std::string Script((std::istreambuf_iterator<char>(Ci)), {});
  EXPECT_NE(Script.find("\nbash scripts/install-deps --tests"), std::string::npos);
}

} // namespace
