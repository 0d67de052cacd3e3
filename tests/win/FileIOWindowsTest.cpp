// The file layer on Windows: each test holds one way the POSIX file layer,
// merely made to compile, broke ordinary use there.
#include <gtest/gtest.h>

#include "Batch.h"
#include "FileIO.h"
#include "Platform.h"
#include "TestSupport.h"
#include "WinSupport.h"

namespace {

std::string PageOf(const std::string &Source) {
  TTessaline Converter;
  Converter.SetPlain(Source);
  Converter.Convert();
  return Converter.HTML();
}

const std::string CrLfSource = "unit a;\r\n{ x }\r\r\nbegin 'y' end.\n\x1A\r\nrest\x1A";

} // namespace

// Text-mode streams turned each LF of a page into CR LF and ended a source
// at its first Ctrl-Z.
TEST(WindowsFiles, SourcesAndPagesKeepEveryByte) {
  TWinTempDir Dir;
  PutFile(Dir / "a.pas", CrLfSource);
  TTessaline Converter;
  Converter.LoadFromFile(Dir / "a.pas");
  EXPECT_EQ(CrLfSource, Converter.Plain());
  for (const uint64_t SmallestMapped : {uint64_t(0), UINT64_MAX})
    EXPECT_EQ(CrLfSource, TSourceFile(Dir / "a.pas", SmallestMapped).Text()) << SmallestMapped;
  ASSERT_TRUE(Converter.Convert());
  Converter.SaveToFile(Dir / "a.html");
  EXPECT_EQ(PageOf(CrLfSource), GetFile(Dir / "a.html"));
  EXPECT_EQ(Converter.HTML(), GetFile(Dir / "a.html"));
}

// Large and mapped, with a last page filled exactly and not: the byte
// after the text is NUL either way.
TEST(WindowsFiles, MappedSourcesEndInNul) {
  TWinTempDir Dir;
  for (const size_t Size : {size_t(4096), size_t(4097), size_t(3) << 20}) {
    std::string Bytes(Size, 'x');
    for (size_t K = 0; K < Size; ++K)
      Bytes[K] = static_cast<char>(K * 7 + 1);
    PutFile(Dir / "big.pas", Bytes);
    const TSourceFile File(Dir / "big.pas", 0);
    ASSERT_TRUE(File.Text() == Bytes) << Size;
    EXPECT_EQ('\0', File.Text().data()[Size]) << Size;
    EXPECT_FALSE(File.Shrunk());
  }
}

TEST(WindowsFiles, FailuresNameTheFile) {
  TWinTempDir Dir;
  TTessaline Converter;
  const std::string Missing = Dir / "missing.pas";
  EXPECT_EQ("Cannot open file " + Missing,
            MessageOf<EFOpenError>([&] { Converter.LoadFromFile(Missing); }));
  EXPECT_EQ("Cannot open file " + Dir.Path(),
            MessageOf<EFOpenError>([&] { Converter.LoadFromFile(Dir.Path()); }));
  const std::string InMissing = Dir / "missing\\a.html";
  EXPECT_EQ("Cannot create file " + InMissing,
            MessageOf<EFCreateError>([&] { Converter.SaveToFile(InMissing); }));
  EXPECT_EQ("Cannot create file " + Dir.Path(),
            MessageOf<EFCreateError>([&] { Converter.SaveToFile(Dir.Path()); }));
  EXPECT_NO_THROW(Converter.SaveToFile("NUL")); // a device is written in place
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

// st_ino is 0 for every file on Windows: every existing page "would
// replace its own source", and a batch walked only the top folder.
TEST(WindowsFiles, IdentityComesFromTheFileIndex) {
  TWinTempDir Dir;
  PutFile(Dir / "a.pas", "begin end.");
  PutFile(Dir / "a.html", "old page");
  EXPECT_FALSE(IsSameFile(Dir / "a.pas", Dir / "a.html"));
  EXPECT_TRUE(IsSameFile(Dir / "a.pas", Dir.Path() + "/A.PAS"));
  TTessaline Converter;
  EXPECT_EQ(10u, ConvertFile(Converter, Dir / "a.pas", Dir / "a.html"));
  EXPECT_EQ(PageOf("begin end."), GetFile(Dir / "a.html"));
  EXPECT_EQ("the page would replace its own source " + (Dir / "a.html"),
            MessageOf<EStreamError>(
                [&] { ConvertFile(Converter, Dir / "a.html", Dir.Path() + "/A.html"); }));

  MakeFolder(Dir / "sub");
  MakeFolder(Dir / "sub\\deeper");
  PutFile(Dir / "sub\\deeper\\b.pas", "x");
  std::vector<std::string> Errors;
  const std::vector<TBatchJob> Jobs = CollectBatchJobs({Dir.Path()}, Errors);
  ASSERT_EQ(2u, Jobs.size());
  EXPECT_EQ(Dir / "a.pas", Jobs[0].Source);
  EXPECT_EQ(Dir / "sub\\deeper\\b.pas", Jobs[1].Source);
  EXPECT_EQ(Dir / "sub\\deeper\\b.html", Jobs[1].Target);
  EXPECT_TRUE(Errors.empty());
}

// rename() cannot replace a file on Windows: every second save failed.
TEST(WindowsFiles, SavingAgainReplacesThePage) {
  TWinTempDir Dir;
  TTessaline Converter;
  for (const std::string Source : {"first", "second", "third"}) {
    Converter.SetPlain(Source);
    ASSERT_TRUE(Converter.Convert());
    Converter.SaveToFile(Dir / "page.html");
    EXPECT_EQ(PageOf(Source), GetFile(Dir / "page.html"));
  }
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

// The temporary name looked only for "/": with backslashes it went
// elsewhere or nowhere.
TEST(WindowsFiles, BackslashAndDriveLetterPaths) {
  TWinTempDir Dir;
  MakeFolder(Dir / "sub");
  EXPECT_EQ(7u, FileNameStart("C:\\a\\b\\c.html"));
  EXPECT_EQ(7u, FileNameStart("C:\\a/b\\c.html"));
  EXPECT_EQ(2u, FileNameStart("C:c.html"));
  TTessaline Converter;
  Converter.SetPlain("begin end.");
  ASSERT_TRUE(Converter.Convert());
  for (const std::string &Name : {Dir / "sub\\back.html", Dir.Path() + "/sub\\mixed.html",
                                 Dir.Path() + "\\sub/..\\sub\\dots.html"}) {
    Converter.SaveToFile(Name);
    Converter.SaveToFile(Name);
  }
  for (const char *Name : {"back.html", "mixed.html", "dots.html"})
    EXPECT_EQ(Converter.HTML(), GetFile(Dir / "sub\\" + Name)) << Name;
  // A drive letter with a relative name: the drive's current folder.
  wchar_t Previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, Previous);
  ASSERT_TRUE(SetCurrentDirectoryW(Wide(Dir / "sub").c_str()));
  const std::string Drive = Dir.Path().substr(0, 2);
  Converter.SaveToFile(Drive + "relative.html");
  Converter.SaveToFile(Drive + "relative.html");
  SetCurrentDirectoryW(Previous);
  EXPECT_EQ(Converter.HTML(), GetFile(Dir / "sub\\relative.html"));
  EXPECT_EQ("", Temporaries(Dir / "sub"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

// Names outside the ANSI code page gave "Cannot open file ?????.pas", and
// a batch skipped them without a word.
TEST(WindowsFiles, NamesOutsideTheAnsiCodePage) {
  TWinTempDir Dir;
  const std::string Folder = Dir / "\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0"; // папка
  MakeFolder(Folder);
  const std::string Names[] = {"\xD0\x9C\xD0\xBE\xD0\xB4\xD1\x83\xD0\xBB\xD1\x8C", // Модуль
                               "\xE3\x83\xA6\xE3\x83\x8B\xE3\x83\x83\xE3\x83\x88"}; // ユニット
  for (const std::string &Name : Names)
    PutFile(Folder + "\\" + Name + ".pas", Name);
  TTessaline Converter;
  Converter.LoadFromFile(Folder + "\\" + Names[0] + ".pas");
  EXPECT_EQ(Names[0], Converter.Plain());
  std::vector<std::string> Errors;
  const std::vector<TBatchJob> Jobs = CollectBatchJobs({Folder}, Errors);
  ASSERT_EQ(2u, Jobs.size());
  for (const TBatchJob &Job : Jobs)
    ConvertFile(Converter, Job.Source, Job.Target);
  for (const std::string &Name : Names)
    EXPECT_EQ(PageOf(Name), GetFile(Folder + "\\" + Name + ".html"));
  EXPECT_EQ("", Temporaries(Folder));
}

// Past MAX_PATH, reading worked but committing a page failed and left
// its temporary file behind; a batch converted nothing and exited 0.
TEST(WindowsFiles, PathsLongerThanMaxPath) {
  TWinTempDir Dir;
  const std::string Deep = MakeDeepFolder(Dir.Path());
  ASSERT_GT(Deep.size(), 300u);
  PutFile(Deep + "\\long.pas", "begin end.");
  TTessaline Converter;
  Converter.LoadFromFile(Deep + "\\long.pas");
  ASSERT_TRUE(Converter.Convert());
  Converter.SaveToFile(Deep + "\\saved.html");
  Converter.SaveToFile(Deep + "\\saved.html");
  EXPECT_EQ(Converter.HTML(), GetFile(Deep + "\\saved.html"));
  std::vector<std::string> Errors;
  const std::vector<TBatchJob> Jobs = CollectBatchJobs({Dir.Path()}, Errors);
  ASSERT_EQ(1u, Jobs.size());
  EXPECT_EQ(Deep + "\\long.html", Jobs[0].Target);
  ConvertFile(Converter, Jobs[0].Source, Jobs[0].Target);
  EXPECT_EQ(PageOf("begin end."), GetFile(Deep + "\\long.html"));
  EXPECT_EQ("", Temporaries(Deep));
}

// A read-only page lost its attribute (and so its protection) when saved
// over; now it is kept, unchanged, and the save fails.
TEST(WindowsFiles, ReadOnlyPageIsKept) {
  TWinTempDir Dir;
  const std::string Page = Dir / "page.html";
  PutFile(Page, "kept page");
  ASSERT_TRUE(SetFileAttributesW(LongName(Page).c_str(), FILE_ATTRIBUTE_READONLY));
  TTessaline Converter;
  Converter.SetPlain("x");
  ASSERT_TRUE(Converter.Convert());
  EXPECT_EQ("Cannot create file " + Page,
            MessageOf<EFCreateError>([&] { Converter.SaveToFile(Page); }));
  EXPECT_EQ("kept page", GetFile(Page));
  EXPECT_TRUE(AttributesOf(Page) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ("", Temporaries(Dir.Path()));

  // Other attributes stay with a page that is replaced.
  const std::string Hidden = Dir / "hidden.html";
  PutFile(Hidden, "old");
  ASSERT_TRUE(SetFileAttributesW(LongName(Hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
  Converter.SaveToFile(Hidden);
  EXPECT_EQ(Converter.HTML(), GetFile(Hidden));
  EXPECT_TRUE(AttributesOf(Hidden) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

// The counterpart of the guard against a mapped source cut short: here
// the system refuses to shorten a file while a view of it exists.
TEST(WindowsFiles, MappedSourceCannotBeCutShort) {
  TWinTempDir Dir;
  const std::string Bytes(size_t(3) << 20 | 1, 'x');
  PutFile(Dir / "big.pas", Bytes);
  const TSourceFile File(Dir / "big.pas", 0);
  const HANDLE Other = CreateFileW(LongName(Dir / "big.pas").c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, Other);
  LARGE_INTEGER Hundred;
  Hundred.QuadPart = 100;
  const bool Cut = SetFilePointerEx(Other, Hundred, nullptr, FILE_BEGIN) && SetEndOfFile(Other);
  CloseHandle(Other);
  EXPECT_FALSE(Cut);
  EXPECT_TRUE(File.Text() == Bytes);
  EXPECT_FALSE(File.Shrunk());
}

TEST(WindowsFiles, SafeWriterReplacesTheTargetOnlyOnCommit) {
  TWinTempDir Dir;
  const std::string Page = Dir / "page.html";
  PutFile(Page, "old");
  {
    TSafeFileWriter Writer(Page);
    Writer.Write("new page", 8);
    EXPECT_EQ("old", GetFile(Page));
    Writer.Commit();
    EXPECT_EQ("new page", GetFile(Page));
  }
  {
    TSafeFileWriter Dropped(Page); // never committed: the target stays
    Dropped.Write("lost", 4);
  }
  { TSafeFileWriter NeverSaved(Dir / "fresh.html"); }
  EXPECT_EQ("new page", GetFile(Page));
  EXPECT_EQ("<missing>", GetFile(Dir / "fresh.html"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
}
