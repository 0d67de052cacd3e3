// Reading sources and writing pages: the messages users see, and that a
// save never damages the page that was there before.
#include "FileIO.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "OrdinaryUser.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

// Names of the hidden temporary files a save may leave in Dir.
std::string Temporaries(const fs::path &Dir) {
  std::string Names;
  for (const auto &Entry : fs::directory_iterator(Dir)) {
    const std::string Name = Entry.path().filename().string();
    if (Name.starts_with(".") && Name.ends_with(".tmp"))
      Names += Name + " ";
  }
  return Names;
}

// A file's content, shortened when long so that a failure stays readable.
std::string Content(const std::string &FileName) {
  const std::string Bytes = ReadTextFile(FileName);
  return Bytes.size() <= 100
             ? Bytes
             : Bytes.substr(0, 60) + "... (" + std::to_string(Bytes.size()) + " bytes)";
}

mode_t ModeOf(const std::string &FileName) {
  struct stat Info {};
  EXPECT_EQ(0, ::lstat(FileName.c_str(), &Info)) << FileName;
  return Info.st_mode;
}

// A source whose page is far larger than 4096 bytes.
std::string BigSource() {
  std::string Source;
  while (Source.size() < 64 * 1024)
    Source += "begin x := 'a'; { note } end;\r\n";
  return Source;
}

// Saves a large page to FileName in a child process whose files may not
// grow past 4096 bytes. The child exits with 0 when the save failed with
// "Stream write error", 1 when it succeeded, 2 on any other outcome.
int SaveWithSizeLimit(const std::string &FileName) {
  const pid_t Child = ::fork();
  if (Child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit Limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &Limit) != 0)
      ::_exit(2);
    TTessaline Converter;
    Converter.SetPlain(BigSource());
    Converter.Convert();
    try {
      Converter.SaveToFile(FileName);
      ::_exit(1);
    } catch (const EWriteError &Error) {
      ::_exit(std::string(Error.what()) == "Stream write error" ? 0 : 2);
    } catch (...) {
      ::_exit(2);
    }
  }
  int Status = 0;
  if (Child < 0 || ::waitpid(Child, &Status, 0) != Child)
    return -1;
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : 100 + WTERMSIG(Status);
}

} // namespace

TEST(LoadFromFile, FailuresNameTheFileAndKeepPlain) {
  TTempDir Dir;
  TTessaline Converter;
  Converter.SetPlain("kept");
  const std::string Missing = Dir / "missing.pas";
  EXPECT_EQ("Cannot open file " + Missing,
            MessageOf<EFOpenError>([&] { Converter.LoadFromFile(Missing); }));
  EXPECT_EQ("Cannot open file " + Dir.Path().string(),
            MessageOf<EFOpenError>([&] { Converter.LoadFromFile(Dir.Path().string()); }));
  EXPECT_EQ("kept", Converter.Plain());
}

TEST(LoadFromFile, TakesTheBytesAsTheyAre) {
  TTempDir Dir;
  TTessaline Converter;
  Converter.SetPlain("old");
  WriteTextFile(Dir / "empty.pas", "");
  Converter.LoadFromFile(Dir / "empty.pas");
  EXPECT_EQ("", Converter.Plain());

  std::string Bytes("\xEF\xBB\xBFunit a;\0\r\r\n\n\x1A", 15);
  for (int C = 0; C < 256; ++C)
    Bytes += char(C);
  Bytes += std::string(100000, '\xFF');
  WriteTextFile(Dir / "bytes.pas", Bytes);
  Converter.LoadFromFile(Dir / "bytes.pas");
  EXPECT_EQ(Bytes, Converter.Plain());

  Converter.LoadFromFile("/dev/null"); // a device is read to its end
  EXPECT_EQ("", Converter.Plain());
}

// Sizes around multiples of the page size and of the 2 MiB blocks that
// large files are read into, each read and mapped: a file that fills its
// last page or block exactly has no byte of its own after it, yet Text
// must be followed by a NUL. ReadFileBytes gives the same bytes.
TEST(SourceFile, GivesTheBytesWithANulAfterThem) {
  TTempDir Dir;
  const size_t PageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t Large = 100 * PageSize;
  const size_t Block = size_t(2) << 20;
  for (const size_t Size : {size_t(1), PageSize - 1, PageSize, PageSize + 1, Large - 1, Large,
                            Large + 1, Block - 1, Block, Block + 1}) {
    std::string Bytes(Size, 'x');
    for (size_t K = 0; K < Size; ++K)
      Bytes[K] = static_cast<char>(K * 7 + 1);
    WriteTextFile(Dir / "a.pas", Bytes);
    ASSERT_TRUE(ReadFileBytes(Dir / "a.pas") == Bytes) << Size;
    for (const uint64_t SmallestMapped : {uint64_t(0), UINT64_MAX}) {
      const TSourceFile File(Dir / "a.pas", SmallestMapped);
      ASSERT_EQ(File.Text(), Bytes) << Size << " " << SmallestMapped;
      EXPECT_EQ(File.Text().data()[Size], '\0') << Size << " " << SmallestMapped;
      EXPECT_FALSE(File.Shrunk());
    }
  }
}

TEST(SourceFile, ReadsWhatCannotBeMappedAndNamesWhatCannotBeOpened) {
  TTempDir Dir;
  WriteTextFile(Dir / "empty.pas", "");
  EXPECT_EQ(TSourceFile(Dir / "empty.pas").Text(), "");
  EXPECT_EQ(TSourceFile("/dev/null").Text(), "");
  const std::string Missing = Dir / "missing.pas";
  EXPECT_EQ("Cannot open file " + Missing, MessageOf<EFOpenError>([&] { TSourceFile F(Missing); }));
  EXPECT_EQ("Cannot open file " + Dir.Path().string(),
            MessageOf<EFOpenError>([&] { TSourceFile F(Dir.Path().string()); }));
  // More files open at once than there are guarded mappings: the rest are
  // read, and all give their bytes.
  std::vector<std::unique_ptr<TSourceFile>> Files;
  std::vector<std::string> Texts;
  for (int K = 0; K < 100; ++K) {
    const std::string Name = Dir / std::to_string(K);
    Texts.push_back(std::string("unit u") + std::to_string(K));
    WriteTextFile(Name, Texts.back());
    Files.push_back(std::make_unique<TSourceFile>(Name, 0));
  }
  for (int K = 0; K < 100; ++K)
    EXPECT_EQ(Files[K]->Text(), Texts[K]);
}

// A file that gives fewer bytes than its size said (one cut short between
// the two, or a kernel attribute file, which always claims a page) is a
// read error, not a source padded with whatever the buffer held.
TEST(SourceFile, FileShorterThanItsSizeIsAReadError) {
  const std::string Attribute = "/sys/kernel/mm/transparent_hugepage/enabled";
  struct stat Info;
  if (::stat(Attribute.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode) ||
      static_cast<size_t>(Info.st_size) <= ReadTextFile(Attribute).size())
    GTEST_SKIP() << "no kernel attribute file that claims more bytes than it has";
  EXPECT_EQ("Stream read error", MessageOf<EReadError>([&] { TSourceFile F(Attribute); }));
}

// A mapped file cut short by someone else while it is converted: the read
// past the new end would end the process with SIGBUS; instead the missing
// bytes read as NUL and Shrunk tells. Large enough for the helper thread,
// which reads the second half, to meet the cut too.
TEST(SourceFile, ShrinkingWhileConvertedIsToldNotFatal) {
  TTempDir Dir;
  std::string Bytes;
  while (Bytes.size() < (size_t(3) << 20))
    Bytes += "begin x := 'a'; { note } y := 1 end;\n";
  WriteTextFile(Dir / "big.pas", Bytes);
  const TSourceFile File(Dir / "big.pas", 0);
  const TSourceFile Other(Dir / "big.pas", 0);
  struct TCuttingSink : TOutputSink {
    std::string Path;
    size_t Bytes = 0;
    void Write(const char *, size_t Size) override {
      if (Bytes == 0) {
        ASSERT_EQ(::truncate(Path.c_str(), 100), 0);
      }
      Bytes += Size;
    }
  } Sink;
  Sink.Path = Dir / "big.pas";
  TTessaline Converter;
  EXPECT_TRUE(Converter.ConvertTo(Sink, File.Text()));
  EXPECT_TRUE(File.Shrunk());
  EXPECT_GT(Sink.Bytes, size_t(100));
  EXPECT_EQ(File.Text().substr(0, 100), Bytes.substr(0, 100));
  EXPECT_EQ(File.Text().back(), '\0');
  EXPECT_FALSE(Other.Shrunk()); // nobody read past the end through this one
}

// The handler that guards mapped files must not swallow a bus error that
// is none of theirs: the process still ends with SIGBUS.
TEST(SourceFile, OtherBusErrorsStillEndTheProcess) {
  TTempDir Dir;
  WriteTextFile(Dir / "big.pas", std::string(size_t(1) << 20, 'x'));
  const pid_t Child = ::fork();
  if (Child == 0) {
    const TSourceFile File(Dir / "big.pas", 0); // installs the handler
    ::raise(SIGBUS);
    ::_exit(0);
  }
  int Status = 0;
  ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
  EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGBUS) << Status;
}

TEST(SaveToFile, WritesThePageBuffer) {
  TTempDir Dir;
  TTessaline Converter;
  WriteTextFile(Dir / "a.html", "previous page");
  Converter.SaveToFile(Dir / "a.html");
  Converter.SaveToFile(Dir / "new.html");
  EXPECT_EQ("", ReadTextFile(Dir / "a.html"));
  EXPECT_EQ("", ReadTextFile(Dir / "new.html"));

  Converter.SetPlain("begin end.");
  ASSERT_TRUE(Converter.Convert());
  Converter.SaveToFile(Dir / "a.html");
  EXPECT_EQ(Converter.HTML(), ReadTextFile(Dir / "a.html"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

TEST(SaveToFile, FailuresNameTheFileAndCreateNothing) {
  TTempDir Dir;
  TTessaline Converter;
  const std::string InMissingDir = Dir / "missing/a.html";
  EXPECT_EQ("Cannot create file " + InMissingDir,
            MessageOf<EFCreateError>([&] { Converter.SaveToFile(InMissingDir); }));
  fs::create_directory(Dir / "sub");
  EXPECT_EQ("Cannot create file " + (Dir / "sub"),
            MessageOf<EFCreateError>([&] { Converter.SaveToFile(Dir / "sub"); }));
  EXPECT_TRUE(fs::is_directory(Dir / "sub"));
  EXPECT_TRUE(fs::is_empty(Dir / "sub"));
  EXPECT_FALSE(fs::exists(Dir / "missing"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

TEST(SaveToFile, KeepsPermissionsAndSymbolicLinks) {
  TTempDir Dir;
  TTessaline Converter;
  Converter.SetPlain("x");
  Converter.Convert();
  for (mode_t Mode : {0640, 0755, 0600}) {
    WriteTextFile(Dir / "page.html", "old");
    ASSERT_EQ(0, ::chmod((Dir / "page.html").c_str(), Mode));
    Converter.SaveToFile(Dir / "page.html");
    EXPECT_EQ(Mode, ModeOf(Dir / "page.html") & 07777);
    EXPECT_EQ(Converter.HTML(), ReadTextFile(Dir / "page.html"));
  }

  const mode_t OldMask = ::umask(027); // a new file follows the user's umask
  Converter.SaveToFile(Dir / "fresh.html");
  ::umask(OldMask);
  EXPECT_EQ(0640u, ModeOf(Dir / "fresh.html") & 07777);

  fs::create_directory(Dir / "pages");
  WriteTextFile(Dir / "pages/real.html", "old");
  fs::create_symlink("pages/real.html", Dir / "link.html");
  Converter.SaveToFile(Dir / "link.html");
  EXPECT_TRUE(S_ISLNK(ModeOf(Dir / "link.html")));
  EXPECT_EQ("pages/real.html", fs::read_symlink(Dir / "link.html").string());
  EXPECT_EQ(Converter.HTML(), ReadTextFile(Dir / "pages/real.html"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
  EXPECT_EQ("", Temporaries(Dir.Path() / "pages"));
}

TEST(SaveToFile, WritesDevicesInPlace) {
  TTessaline Converter;
  Converter.SetPlain("begin end.");
  Converter.Convert();
  EXPECT_NO_THROW(Converter.SaveToFile("/dev/null"));
  EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
}

// The fault mended here: saving used to truncate the page first, so a
// failed write (a full disk) destroyed the page the user had.
TEST(SaveToFile, FailedSaveKeepsThePreviousPage) {
  TTempDir Dir;
  const std::string Page = Dir / "page.html";
  WriteTextFile(Page, "the previous page");
  ASSERT_EQ(0, ::chmod(Page.c_str(), 0640));
  EXPECT_EQ(0, SaveWithSizeLimit(Page)) << "0: write error, 1: saved, 2: other outcome";
  EXPECT_EQ("the previous page", Content(Page));
  EXPECT_EQ(0640u, ModeOf(Page) & 07777);
  EXPECT_EQ("", Temporaries(Dir.Path()));

  EXPECT_EQ(0, SaveWithSizeLimit(Dir / "new.html"));
  EXPECT_FALSE(fs::exists(Dir / "new.html"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

TEST(SaveToFile, ReadOnlyFolderKeepsTheOldFile) {
  TTempDir Dir;
  GiveToOrdinaryUser(Dir.Path().string());
  const std::string Locked = Dir / "locked.html";
  const std::string Writable = Dir / "writable.html";
  WriteTextFile(Locked, "locked page");
  WriteTextFile(Writable, "writable page");
  GiveToOrdinaryUser(Locked);
  GiveToOrdinaryUser(Writable);
  ASSERT_EQ(0, ::chmod(Locked.c_str(), 0444));
  ASSERT_EQ(0, ::chmod(Dir.Path().c_str(), 0555));
  TTessaline Converter;
  Converter.SetPlain("begin end.");
  Converter.Convert();
  // A writable page in such a folder is not written in place either: a
  // write failing half-way would lose it.
  EXPECT_EQ("", AsOrdinaryUser([&] {
              std::string Wrong;
              for (const auto &[Page, Old] :
                   {std::pair{Locked, "locked page"}, {Writable, "writable page"}}) {
                const std::string Message =
                    MessageOf<EFCreateError>([&] { Converter.SaveToFile(Page); });
                if (Message != "Cannot create file " + Page || Content(Page) != Old)
                  Wrong += Page + ": " + Message + "; ";
              }
              return Wrong;
            }));
  ::chmod(Dir.Path().c_str(), 0755);
}

// A save is refused where writing the file would be: a read-only page, or
// another user's; one of another user's that the user may write is written
// into and keeps its owner, as is one with several names.
TEST(SaveToFile, PageNobodyMayReplaceIsReplaced) {
  TTempDir Dir;
  GiveToOrdinaryUser(Dir.Path().string());
  for (const char *Name : {"readonly.html", "others.html", "shared.html", "linked.html"}) {
    WriteTextFile(Dir / Name, "old page");
    GiveToOrdinaryUser(Dir / Name);
  }
  ASSERT_EQ(0, ::chmod((Dir / "readonly.html").c_str(), 0444));
  ASSERT_EQ(0, ::link((Dir / "linked.html").c_str(), (Dir / "other-name.html").c_str()));
  const bool Root = ::geteuid() == 0; // then the test itself is another user
  if (Root) {
    ASSERT_EQ(0, ::chown((Dir / "others.html").c_str(), 0, 0));
    ASSERT_EQ(0, ::chown((Dir / "shared.html").c_str(), 0, 0));
    ASSERT_EQ(0, ::chmod((Dir / "shared.html").c_str(), 0666));
  }
  TTessaline Converter;
  Converter.SetPlain("x");
  Converter.Convert();
  EXPECT_EQ("", AsOrdinaryUser([&]() -> std::string {
              std::string Wrong;
              for (const char *Name : {"readonly.html", Root ? "others.html" : nullptr}) {
                if (!Name)
                  continue;
                const std::string Message =
                    MessageOf<EFCreateError>([&] { Converter.SaveToFile(Dir / Name); });
                if (Message != "Cannot create file " + (Dir / Name) ||
                    ReadTextFile(Dir / Name) != "old page")
                  Wrong += std::string(Name) + " replaced or wrong message: " + Message + "; ";
              }
              for (const char *Name : {"linked.html", Root ? "shared.html" : nullptr}) {
                if (!Name)
                  continue;
                Converter.SaveToFile(Dir / Name);
                if (ReadTextFile(Dir / Name) != Converter.HTML())
                  Wrong += std::string(Name) + " not saved; ";
              }
              return Wrong;
            }));
  EXPECT_EQ(Converter.HTML(), ReadTextFile(Dir / "other-name.html"));
  struct stat Info {};
  ASSERT_EQ(0, ::stat((Dir / "shared.html").c_str(), &Info));
  EXPECT_EQ(Root ? 0u : ::geteuid(), Info.st_uid);
  EXPECT_EQ(0444u, ModeOf(Dir / "readonly.html") & 07777);
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

// A name of 242 to 255 bytes is as good as any: the temporary file beside
// it takes a shorter one, cut where no UTF-8 character goes on.
TEST(SaveToFile, LongNamesCannotBeWritten) {
  TTempDir Dir;
  TTessaline Converter;
  Converter.SetPlain("x");
  Converter.Convert();
  std::string Accented;
  for (int K = 0; K < 125; ++K)
    Accented += "\xC3\xA9";
  for (const std::string &Name :
       {std::string(237, 'x') + ".html", std::string(250, 'y') + ".html", Accented + ".html"}) {
    EXPECT_NO_THROW(Converter.SaveToFile(Dir / Name)) << Name.size();
    EXPECT_EQ(Converter.HTML(), ReadTextFile(Dir / Name)) << Name.size();
    EXPECT_NO_THROW(Converter.SaveToFile(Dir / Name)) << "replacing it, " << Name.size();
  }
  size_t Files = 0;
  for ([[maybe_unused]] const auto &Entry : fs::directory_iterator(Dir.Path()))
    ++Files;
  EXPECT_EQ(3u, Files);
}

// A mapped source cut short while a comment longer than the page writer's
// block is written: the comment's bytes were handed to the system straight
// from the mapping, whose pages were gone, and the write failed.
TEST(SourceFile, CutShortDuringAHugeCommentGivesWrongMessage) {
  TTempDir Dir;
  const std::string Source = "x { " + std::string(600 * 1024, 'c') + " } y";
  WriteTextFile(Dir / "comment.pas", Source);
  const TSourceFile File(Dir / "comment.pas", 0);
  struct TCuttingSink : TOutputSink {
    TSafeFileWriter Page;
    std::string Source;
    bool Cut = false;
    explicit TCuttingSink(const std::string &Target) : Page(Target) {}
    void Write(const char *Data, size_t Size) override {
      if (!Cut) {
        Cut = true;
        ASSERT_EQ(::truncate(Source.c_str(), 2), 0);
      }
      Page.Write(Data, Size);
    }
  } Sink(Dir / "comment.html");
  Sink.Source = Dir / "comment.pas";
  TTessaline Converter;
  EXPECT_NO_THROW(Converter.ConvertTo(Sink, File.Text()));
  EXPECT_TRUE(File.Shrunk()) << "the caller then reports \"Stream read error\"";
}

TEST(SafeFileWriter, ReplacesTheTargetOnlyOnCommit) {
  TTempDir Dir;
  const std::string Page = Dir / "page.html";
  WriteTextFile(Page, "old");
  {
    TSafeFileWriter Writer(Page);
    Writer.Write("new ", 4);
    Writer.Write("page", 4);
    EXPECT_EQ("old", ReadTextFile(Page));
    Writer.Commit();
    EXPECT_EQ("new page", ReadTextFile(Page));
    EXPECT_EQ("Stream write error",
              MessageOf<EWriteError>([&] { Writer.Write("x", 1); })); // after Commit
  }
  EXPECT_EQ("new page", ReadTextFile(Page));
  {
    TSafeFileWriter Dropped(Page); // never committed: the target stays
    Dropped.Write("lost", 4);
  }
  {
    TSafeFileWriter Abandoned(Page);
    Abandoned.Write("lost", 4);
    Abandoned.Abandon();
    EXPECT_EQ("", Temporaries(Dir.Path()));
  }
  { TSafeFileWriter NeverSaved(Dir / "fresh.html"); }
  EXPECT_EQ("new page", ReadTextFile(Page));
  EXPECT_FALSE(fs::exists(Dir / "fresh.html"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
}
