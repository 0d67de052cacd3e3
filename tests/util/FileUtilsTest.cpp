#include "FileUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr bool NamesIgnoreCase = true; // as the file systems there do
#else
constexpr bool NamesIgnoreCase = false;
#endif

class FileSizeOfTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessaline-util-" + std::to_string(getpid()) + "-" +
                                       std::to_string(std::random_device{}()));
    fs::create_directory(Dir);
  }
  void TearDown() override {
    std::error_code Ignored;
    fs::remove_all(Dir, Ignored);
  }

  std::string MakeFile(const std::string &Name, std::string_view Content) {
    std::ofstream(Dir / Name, std::ios::binary) << Content;
    return (Dir / Name).string();
  }
  // Sparse, so huge sizes cost no disk space.
  std::string MakeFileOfSize(const std::string &Name, int64_t Size) {
    std::string Path = MakeFile(Name, "");
    std::error_code Error;
    fs::resize_file(Path, static_cast<std::uintmax_t>(Size), Error);
    EXPECT_FALSE(Error) << Error.message();
    return Path;
  }
  std::string MakePath(const std::string &Name) { return (Dir / Name).string(); }

  fs::path Dir;
};

} // namespace

TEST_F(FileSizeOfTest, GivesTheSizeOfAPlainFile) {
  EXPECT_EQ(FileSizeOf(MakeFile("five.pas", "begin")), 5);
  EXPECT_EQ(FileSizeOf(MakeFile("empty.pas", "")), 0);
}

TEST_F(FileSizeOfTest, GivesZeroWhenNothingIsFound) {
  EXPECT_EQ(FileSizeOf(""), 0);
  EXPECT_EQ(FileSizeOf(MakePath("missing.pas")), 0);
  EXPECT_EQ(FileSizeOf(MakePath("no-dir/five.pas")), 0);
  MakeFile("five.pas", "begin");
  EXPECT_EQ(FileSizeOf(MakePath("five.pas/x")), 0); // a file used as a folder
  if (!NamesIgnoreCase) {
    EXPECT_EQ(FileSizeOf(MakePath("FIVE.PAS")), 0); // names are case-sensitive
  }
}

TEST_F(FileSizeOfTest, KeepsTheLow32BitsOfHugeSizes) {
  const int64_t GiB = int64_t{1} << 30;
  EXPECT_EQ(FileSizeOf(MakeFileOfSize("big", 4 * GiB + 10)), 10);
  EXPECT_EQ(FileSizeOf(MakeFileOfSize("three", 3 * GiB)), -1073741824);
  EXPECT_EQ(FileSizeOf(MakeFileOfSize("two", 2 * GiB)), -2147483647 - 1);
}

TEST_F(FileSizeOfTest, MatchesWildcardsInTheLastComponent) {
  MakeFile("a.txt", "abc");
  MakeFile("b.dat", "1234567");
  MakeFile("x[1].log", "12");
  EXPECT_EQ(FileSizeOf(MakePath("*.txt")), 3);
  EXPECT_EQ(FileSizeOf(MakePath("?.dat")), 7);
  EXPECT_EQ(FileSizeOf(MakePath("a.tx?")), 3);
  EXPECT_EQ(FileSizeOf(MakePath("b*t")), 7);
  EXPECT_EQ(FileSizeOf(MakePath("*.*.txt")), 0);
  EXPECT_EQ(FileSizeOf(MakePath("x[1]*")), 2); // brackets are plain bytes
  EXPECT_EQ(FileSizeOf(MakePath("x?1?.log")), 2);
  EXPECT_EQ(FileSizeOf(MakePath("*.pas")), 0);
  EXPECT_EQ(FileSizeOf(MakePath("??.txt")), 0);
  EXPECT_EQ(FileSizeOf(MakePath("*.TXT")), NamesIgnoreCase ? 3 : 0);
  EXPECT_EQ(FileSizeOf(MakePath("no-dir/*")), 0);
}

TEST_F(FileSizeOfTest, SearchesTheCurrentDirectoryWithoutAFolder) {
  MakeFile("only.pas", "unit");
  const fs::path Previous = fs::current_path();
  fs::current_path(Dir);
  const int32_t Size = FileSizeOf("*.pas");
  fs::current_path(Previous);
  EXPECT_EQ(Size, 4);
}

TEST_F(FileSizeOfTest, ReportsDirectoriesAndFollowsLinks) {
  fs::create_directory(Dir / "sub");
  struct stat Info;
  ASSERT_EQ(stat(MakePath("sub").c_str(), &Info), 0);
  EXPECT_EQ(FileSizeOf(MakePath("sub")), static_cast<int32_t>(Info.st_size));
  EXPECT_EQ(FileSizeOf(MakePath("su?")), static_cast<int32_t>(Info.st_size));
  // "." and ".." are entries like any other: ".?" can only be "..".
  ASSERT_EQ(stat(MakePath("..").c_str(), &Info), 0);
  EXPECT_EQ(FileSizeOf(MakePath(".?")), static_cast<int32_t>(Info.st_size));

  MakeFile("target", "123456");
  std::error_code NoLinks;
  fs::create_symlink(Dir / "target", Dir / "link", NoLinks);
  if (NoLinks)
    GTEST_SKIP() << "no symbolic links here: " << NoLinks.message();
  EXPECT_EQ(FileSizeOf(MakePath("link")), 6);
  fs::create_symlink(Dir / "gone", Dir / "dangling");
  EXPECT_EQ(FileSizeOf(MakePath("dangling")), 0);
}
