// tessaline-cli.exe end to end on Windows: the built program is started
// with CreateProcessW, its standard streams redirected to files, and its
// pages compared with the converter's own, byte for byte.
#include <gtest/gtest.h>

#include "CliOptions.h"
#include "WinSupport.h"

namespace {

struct TRun {
  DWORD Status = 9999;
  std::string Out, Err;
};

std::wstring CliPath() {
  std::string Path = TESSALINE_CLI;
  if (!Path.empty() && Path[0] == '/') { // built on Linux: Wine shows / as Z:
    for (char &C : Path)
      if (C == '/')
        C = '\\';
    Path = "Z:" + Path;
  }
  return Wide(Path);
}

HANDLE Inheritable(const std::string &Path, DWORD Access, DWORD Disposition) {
  SECURITY_ATTRIBUTES Security = {sizeof Security, nullptr, TRUE};
  return CreateFileW(LongName(Path).c_str(), Access, FILE_SHARE_READ | FILE_SHARE_WRITE, &Security,
                     Disposition, 0, nullptr);
}

// Starts the tool with Args (UTF-8; none may end in a backslash) in
// Folder; standard input is Input. Scratch files go to Streams.
PROCESS_INFORMATION Start(const std::vector<std::string> &Args, const std::string &Streams,
                          HANDLE Input, const std::string &Folder = "", DWORD Flags = 0) {
  std::wstring Line = L"\"" + CliPath() + L"\"";
  for (const std::string &Arg : Args)
    Line += L" \"" + Wide(Arg) + L"\"";
  STARTUPINFOW Startup = {};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = Input;
  Startup.hStdOutput = Inheritable(Streams + "\\out", GENERIC_WRITE, CREATE_ALWAYS);
  Startup.hStdError = Inheritable(Streams + "\\err", GENERIC_WRITE, CREATE_ALWAYS);
  PROCESS_INFORMATION Process = {};
  const std::wstring WideFolder = Wide(Folder);
  const BOOL Started = CreateProcessW(nullptr, Line.data(), nullptr, nullptr, TRUE,
                                      Flags, nullptr,
                                      Folder.empty() ? nullptr : WideFolder.c_str(), &Startup,
                                      &Process);
  CloseHandle(Startup.hStdOutput);
  CloseHandle(Startup.hStdError);
  if (!Started)
    throw std::runtime_error("cannot start tessaline-cli: error " +
                             std::to_string(GetLastError()));
  return Process;
}

TRun Finish(const PROCESS_INFORMATION &Process, const std::string &Streams) {
  TRun Run;
  if (WaitForSingleObject(Process.hProcess, 60000) != WAIT_OBJECT_0)
    TerminateProcess(Process.hProcess, 9998);
  WaitForSingleObject(Process.hProcess, INFINITE);
  GetExitCodeProcess(Process.hProcess, &Run.Status);
  CloseHandle(Process.hProcess);
  CloseHandle(Process.hThread);
  Run.Out = GetFile(Streams + "\\out");
  Run.Err = GetFile(Streams + "\\err");
  return Run;
}

// Runs the tool to its end, with Input on its standard input.
TRun RunCli(const std::vector<std::string> &Args, const std::string &Input = "",
            const std::string &Folder = "") {
  static TWinTempDir Streams;
  PutFile(Streams / "in", Input);
  const HANDLE In = Inheritable(Streams / "in", GENERIC_READ, OPEN_EXISTING);
  const PROCESS_INFORMATION Process = Start(Args, Streams.Path(), In, Folder);
  CloseHandle(In);
  return Finish(Process, Streams.Path());
}

// The page the converter makes of Source with the options in Args.
std::string PageFor(const std::vector<std::string> &Args, const std::string &Source) {
  TTessaline Converter;
  ApplyCliOptions(ParseCliOptions(Args), Converter);
  Converter.SetPlain(Source);
  Converter.Convert();
  return Converter.HTML();
}

const std::string CrLfSource = "unit a;\r\n{ x }\r\r\nbegin 'y' end.\n\x1A\r\nrest\x1A";
const std::string OtherSource = "program b;\r\nbegin writeln('b') end.\r\n";

} // namespace

// Text-mode streams and rename() made pages differ from Linux's or fail
// the second time; every way a page goes out gives the same bytes now,
// and a page is replaced by the next run.
TEST(WindowsCli, PagesAreTheConvertersEverywhere) {
  TWinTempDir Dir;
  PutFile(Dir / "a.pas", CrLfSource);
  PutFile(Dir / "b.pas", OtherSource);
  const std::string Page = PageFor({"x"}, CrLfSource);

  TRun Run = RunCli({"-o", "-", Dir / "a.pas"});
  EXPECT_EQ(0u, Run.Status) << Run.Err;
  EXPECT_TRUE(Run.Out == Page) << Run.Out;
  Run = RunCli({"-"}, CrLfSource);
  EXPECT_EQ(0u, Run.Status) << Run.Err;
  EXPECT_TRUE(Run.Out == Page) << Run.Out;
  for (int Time = 0; Time < 2; ++Time) {
    Run = RunCli({"-o", Dir / "out.html", Dir / "a.pas"});
    EXPECT_EQ(0u, Run.Status) << Run.Err;
    Run = RunCli({Dir / "a.pas"});
    EXPECT_EQ(0u, Run.Status) << Run.Err;
    EXPECT_EQ(Page, GetFile(Dir / "out.html"));
    EXPECT_EQ(Page, GetFile(Dir / "a.html"));
  }
  MakeFolder(Dir / "batch");
  PutFile(Dir / "batch\\a.pas", CrLfSource);
  PutFile(Dir / "batch\\b.pas", OtherSource);
  for (int Time = 0; Time < 2; ++Time) {
    Run = RunCli({"-q", Dir / "batch"});
    EXPECT_EQ(0u, Run.Status) << Run.Err;
    EXPECT_EQ(Page, GetFile(Dir / "batch\\a.html"));
    EXPECT_EQ(PageFor({"x"}, OtherSource), GetFile(Dir / "batch\\b.html"));
  }
  EXPECT_EQ("", Temporaries(Dir.Path()) + Temporaries(Dir / "batch"));
  // Messages too keep their bare LF: standard error is no text stream.
  Run = RunCli({Dir / "missing.pas"});
  EXPECT_EQ(1u, Run.Status);
  EXPECT_EQ("tessaline-cli: Cannot open file " + (Dir / "missing.pas") + "\n", Run.Err);
}

// Names and titles outside the ANSI code page came through argv as "?".
TEST(WindowsCli, NamesAndTitlesOutsideTheAnsiCodePage) {
  TWinTempDir Dir;
  const std::string Folder = Dir / "\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0"; // папка
  MakeFolder(Folder);
  const std::string Unit = Folder + "\\\xD0\x9C\xD0\xBE\xD0\xB4\xD1\x83\xD0\xBB\xD1\x8C";
  const std::string Japanese = Folder + "\\\xE3\x83\xA6\xE3\x83\x8B\xE3\x83\x83\xE3\x83\x88";
  PutFile(Unit + ".pas", CrLfSource);
  PutFile(Japanese + ".pas", OtherSource);
  const std::string Title = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE6\x97\xA5\xE6\x9C\xAC";
  TRun Run = RunCli({"--title", Title, Unit + ".pas"});
  EXPECT_EQ(0u, Run.Status) << Run.Err;
  const std::string Page = GetFile(Unit + ".html");
  EXPECT_EQ(PageFor({"--title", Title, "x"}, CrLfSource), Page);
  EXPECT_NE(std::string::npos, Page.find("<TITLE>" + Title + "</TITLE>"));

  Run = RunCli({"-q", Folder});
  EXPECT_EQ(0u, Run.Status) << Run.Err;
  EXPECT_EQ(PageFor({"x"}, OtherSource), GetFile(Japanese + ".html"));
  EXPECT_EQ(PageFor({"x"}, CrLfSource), GetFile(Unit + ".html"));
}

// Past MAX_PATH a page could not be committed, its temporary file stayed,
// and a batch converted nothing with status 0. A read-only page there
// fails the run and is kept, again with nothing left behind.
TEST(WindowsCli, LongPathsAndReadOnlyPagesLeaveNoTemporaryFile) {
  TWinTempDir Dir;
  const std::string Deep = MakeDeepFolder(Dir.Path());
  PutFile(Deep + "\\long.pas", CrLfSource);
  const std::string Page = PageFor({"x"}, CrLfSource);
  TRun Run = RunCli({Deep + "\\long.pas"});
  EXPECT_EQ(0u, Run.Status) << Run.Err;
  EXPECT_EQ(Page, GetFile(Deep + "\\long.html"));
  Run = RunCli({"-o", Deep + "\\other.html", Deep + "\\long.pas"});
  EXPECT_EQ(0u, Run.Status) << Run.Err;
  EXPECT_EQ(Page, GetFile(Deep + "\\other.html"));
  Run = RunCli({"-q", Dir.Path()});
  EXPECT_EQ(0u, Run.Status) << Run.Err;
  EXPECT_EQ(Page, GetFile(Deep + "\\long.html"));

  PutFile(Deep + "\\long.html", "kept page");
  ASSERT_TRUE(SetFileAttributesW(LongName(Deep + "\\long.html").c_str(), FILE_ATTRIBUTE_READONLY));
  Run = RunCli({Deep + "\\long.pas"});
  EXPECT_EQ(1u, Run.Status);
  EXPECT_EQ("tessaline-cli: Cannot create file " + Deep + "\\long.html\n", Run.Err);
  Run = RunCli({"-q", Dir.Path()});
  EXPECT_EQ(1u, Run.Status);
  EXPECT_EQ(Deep + "\\long.pas: Cannot create file " + Deep + "\\long.html\n", Run.Err);
  EXPECT_EQ("kept page", GetFile(Deep + "\\long.html"));
  EXPECT_EQ("", Temporaries(Deep));
}

// Output paths with backslashes, mixed separators and a drive letter
// with a relative name (the drive's current folder).
TEST(WindowsCli, BackslashAndDriveLetterPaths) {
  TWinTempDir Dir;
  MakeFolder(Dir / "sub");
  PutFile(Dir / "sub\\a.pas", CrLfSource);
  const std::string Page = PageFor({"x"}, CrLfSource);
  const std::string Drive = Dir.Path().substr(0, 2);
  for (const std::string &Output :
       {Dir / "sub\\back.html", Dir.Path() + "/sub\\mixed.html", Drive + "relative.html"}) {
    const TRun Run = RunCli({"-o", Output, "a.pas"}, "", Dir / "sub");
    EXPECT_EQ(0u, Run.Status) << Output << ": " << Run.Err;
  }
  for (const char *Name : {"back.html", "mixed.html", "relative.html"})
    EXPECT_EQ(Page, GetFile(Dir / "sub\\" + Name)) << Name;
  EXPECT_EQ("", Temporaries(Dir / "sub"));
}

// a.html and A.html are one page on Windows: two sources for it are
// reported, and the first one's page is kept.
TEST(WindowsCli, PagesSpelledInAnotherCaseUndetected) {
  TWinTempDir Dir;
  PutFile(Dir / "x.pas", "xpas");
  PutFile(Dir / "X.inc", "xinc");
  const TRun Run = RunCli({"-q", "-j", "2", "x.pas", "X.inc"}, "", Dir.Path());
  EXPECT_EQ(1u, Run.Status);
  EXPECT_NE(std::string::npos, Run.Err.find(" is the page of x.pas")) << Run.Err;
  EXPECT_EQ(PageFor({"x"}, "xpas"), GetFile(Dir / "x.html"));
}

// Ctrl-Break (Ctrl-C's counterpart a program can send to another) while
// the tool waits for its input: status 130, no page, no temporary file.
TEST(WindowsCli, InterruptLeavesNoPage) {
  TWinTempDir Dir;
  // Console control events go to the processes of one console: the tool
  // shares this one, made for it where the tests run without.
  AllocConsole();
  SECURITY_ATTRIBUTES Security = {sizeof Security, nullptr, TRUE};
  HANDLE Read, Write;
  ASSERT_TRUE(CreatePipe(&Read, &Write, &Security, 0));
  SetHandleInformation(Write, HANDLE_FLAG_INHERIT, 0);
  const PROCESS_INFORMATION Process = Start({"-", "-o", Dir / "page.html"}, Dir.Path(), Read, "",
                                                CREATE_NEW_PROCESS_GROUP);
  CloseHandle(Read);
  DWORD Written = 0;
  WriteFile(Write, "begin ", 6, &Written, nullptr);
  Sleep(500);
  const bool Sent = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, Process.dwProcessId);
  const DWORD Error = GetLastError();
  if (!Sent || WaitForSingleObject(Process.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(Process.hProcess, 1);
    CloseHandle(Write);
    Finish(Process, Dir.Path());
    GTEST_SKIP() << "the system delivered no Ctrl-Break to the tool (" << (Sent ? "sent" : "not sent")
                 << ", error " << Error << "): Wine without a terminal has no console to send it through";
  }
  CloseHandle(Write);
  const TRun Run = Finish(Process, Dir.Path());
  EXPECT_EQ(130u, Run.Status) << Run.Err;
  EXPECT_EQ("tessaline-cli: interrupted\n", Run.Err);
  EXPECT_EQ("<missing>", GetFile(Dir / "page.html"));
  EXPECT_EQ("", Temporaries(Dir.Path()));
}

// The index looked for pages named "d/..." where they are "d\a.html" and
// listed none, linked a subfolder's page as "sub%5Cb.html", and replaced
// the page of d\index.pas without a word.
TEST(WindowsCli, IndexOfABackslashFolderListedNoPage) {
  TWinTempDir Dir;
  MakeFolder(Dir / "d");
  MakeFolder(Dir / "d\\sub");
  PutFile(Dir / "d\\a.pas", OtherSource);
  PutFile(Dir / "d\\sub\\b.pas", OtherSource);
  for (const std::string &Folder : {Dir / "d", Dir.Path() + "/d/"}) {
    const TRun Run = RunCli({"-q", "--index", Folder});
    EXPECT_EQ(0u, Run.Status) << Folder << ": " << Run.Err;
    const std::string Index = GetFile(Dir / "d\\index.html");
    EXPECT_NE(std::string::npos, Index.find("<p>2 pages</p>")) << Folder << ":\n" << Index;
    EXPECT_NE(std::string::npos, Index.find("<a href=\"sub/b.html\">b.html</a>")) << Index;
  }
  PutFile(Dir / "d\\index.pas", CrLfSource);
  const TRun Run = RunCli({"-q", "--index", Dir / "d"});
  EXPECT_EQ(1u, Run.Status);
  EXPECT_EQ("tessaline-cli: the index " + (Dir / "d\\index.html") + " would replace the page of " +
                (Dir / "d\\index.pas") + "; not written\n",
            Run.Err);
  EXPECT_EQ(PageFor({"x"}, CrLfSource), GetFile(Dir / "d\\index.html"));
}

// Pages named after devices went to the device (status 0, no file), and a
// source aux.pas had the tool wait for ever reading AUX.
TEST(WindowsCli, DeviceNamesTakenForPagesAndSources) {
  TWinTempDir Dir;
  PutFile(Dir / "a.pas", OtherSource);
  for (const char *Name : {"com1.html", "NUL.html", "Aux .txt", "lpt9"}) {
    const TRun Run = RunCli({"-o", Dir / Name, Dir / "a.pas"});
    EXPECT_EQ(1u, Run.Status) << Name;
    EXPECT_NE(std::string::npos, Run.Err.find((Dir / Name) + " names the device ")) << Run.Err;
  }
  for (const char *Name : {"aux.pas", "con.pas"}) {
    const TRun Run = RunCli({"-q", Name}, "", Dir.Path());
    EXPECT_EQ(1u, Run.Status) << Name;
    EXPECT_EQ("tessaline-cli: " + std::string(Name) + " names the device " +
                  (Name[0] == 'a' ? "AUX" : "CON") + ", not a file\n",
              Run.Err);
  }
  EXPECT_EQ("", Temporaries(Dir.Path()));
  EXPECT_EQ("<missing>", GetFile(Dir / "a.html"));
}
