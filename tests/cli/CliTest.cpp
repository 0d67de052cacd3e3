// tessaline-cli end to end: the built program is run with its standard
// streams redirected to files, and its exit status, output and files are
// checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "Batch.h"
#include "OrdinaryUser.h"
#include "TessalineVersion.h"
#include "CliOptions.h"
#include "FileIO.h"
#include "Interrupt.h"

namespace fs = std::filesystem;

namespace {

class TScratchDir {
public:
  TScratchDir() {
    std::string Pattern = (fs::temp_directory_path() / "tessaline-cli-XXXXXX").string();
    if (::mkdtemp(Pattern.data()) == nullptr)
      throw std::runtime_error("cannot create a scratch folder");
    FPath = Pattern;
  }
  ~TScratchDir() {
    std::error_code Ignored;
    fs::remove_all(FPath, Ignored);
  }
  const fs::path &Path() const { return FPath; }
  std::string operator/(const std::string &Name) const { return (FPath / Name).string(); }

private:
  fs::path FPath;
};

std::string ReadFile(const std::string &FileName) {
  std::ifstream File(FileName, std::ios::binary);
  std::ostringstream Bytes;
  Bytes << File.rdbuf();
  return Bytes.str();
}

void WriteFile(const std::string &FileName, const std::string &Bytes) {
  std::ofstream(FileName, std::ios::binary) << Bytes;
}

// The names in Dir, sorted and joined by blanks.
std::string Listing(const fs::path &Dir) {
  std::vector<std::string> Names;
  for (const auto &Entry : fs::directory_iterator(Dir))
    Names.push_back(Entry.path().filename().string());
  std::sort(Names.begin(), Names.end());
  std::string Joined;
  for (const std::string &Name : Names)
    Joined += (Joined.empty() ? "" : " ") + Name;
  return Joined;
}

struct TRun {
  int Status; // the exit status, or 100 + the signal that ended the program
  std::string Out;
  std::string Err;
};

// Input is standard input; an empty WorkingDir keeps the test's own; with
// LimitFileSize no file the program writes may grow past 4096 bytes.
// TerminateOnceIn, when not empty, sends SIGTERM as soon as a file
// appears in that folder: the program is at work then, its handlers in
// place (a fixed delay sent it, on a loaded machine, before them). SettingsIni, when not empty, is the settings file the
// program finds. AsOrdinary runs it as OrdinaryUser when the tests run
// as root, who may write any file.
TRun RunCli(const std::vector<std::string> &Args, const std::string &Input = "",
            const std::string &WorkingDir = "", bool LimitFileSize = false, const std::string &TerminateOnceIn = "",
            const std::string &SettingsIni = "", bool AsOrdinary = false) {
  TScratchDir Streams;
  const std::string InName = Streams / "in", OutName = Streams / "out", ErrName = Streams / "err";
  WriteFile(InName, Input);
  if (!SettingsIni.empty()) {
    fs::create_directory(Streams / "Quorvander");
    WriteFile(Streams / "Quorvander/Tessaline.ini", SettingsIni);
  }
  std::vector<char *> Argv{const_cast<char *>(TESSALINE_CLI)};
  for (const std::string &Arg : Args)
    Argv.push_back(const_cast<char *>(Arg.c_str()));
  Argv.push_back(nullptr);

  const pid_t Child = ::fork();
  if (Child == 0) {
    const int In = ::open(InName.c_str(), O_RDONLY);
    const int Out = ::open(OutName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int Err = ::open(ErrName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (In < 0 || Out < 0 || Err < 0 || ::dup2(In, 0) < 0 || ::dup2(Out, 1) < 0 ||
        ::dup2(Err, 2) < 0 || (!WorkingDir.empty() && ::chdir(WorkingDir.c_str()) != 0))
      ::_exit(126);
    // The program is opened first: the ordinary user may have no way into
    // the folders of the build.
    const int Program = ::open(TESSALINE_CLI, O_RDONLY | O_CLOEXEC);
    if (AsOrdinary && ::geteuid() == 0 && !BecomeOrdinaryUser())
      ::_exit(126);
    // Never the settings of the user who runs the tests.
    ::setenv("XDG_CONFIG_HOME", Streams.Path().c_str(), 1);
    if (LimitFileSize) {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit Limit{4096, 4096};
      if (::setrlimit(RLIMIT_FSIZE, &Limit) != 0)
        ::_exit(126);
    }
    ::fexecve(Program, Argv.data(), environ);
    ::_exit(127);
  }
  if (Child > 0 && !TerminateOnceIn.empty()) {
    const auto CountFiles = [&] {
      return std::distance(fs::directory_iterator(TerminateOnceIn), fs::directory_iterator());
    };
    const auto Before = CountFiles();
    for (int Waited = 0; Waited < 20000 && CountFiles() == Before; ++Waited)
      ::usleep(1000);
    ::kill(Child, SIGTERM);
  }
  int Status = 0;
  if (Child < 0 || ::waitpid(Child, &Status, 0) != Child)
    return {-1, "", "cannot run " TESSALINE_CLI};
  return {WIFEXITED(Status) ? WEXITSTATUS(Status) : 100 + WTERMSIG(Status), ReadFile(OutName),
          ReadFile(ErrName)};
}

std::string BodyOf(const std::string &Page) {
  const size_t Start = Page.find("<PRE>"), End = Page.rfind("</PRE>");
  if (Start == std::string::npos || End == std::string::npos || End < Start)
    return "<no body in page>";
  return Page.substr(Start + 5, End - Start - 5);
}

const std::string TinySource = "begin x := 'a'; end;";
const std::string TinyPage =
    "<HTML>\r\n"
    "<HEAD>\r\n"
    "<TITLE>Howdy !!! Greetings from Tessaline :-)</TITLE>\r\n"
    "<META NAME=\"GENERATOR\" CONTENT=\"Tessaline by Quorvander\">\r\n"
    "</HEAD>\r\n"
    "<BODY TEXT=\"Black\" BGCOLOR=\"White\">\r\n"
    "<PRE><B>begin </B>x := <FONT COLOR=\"Blue\">'a'</FONT>; <B>end</B>;</PRE></BODY>\r\n"
    "</HTML>";

// Runs the tool on Source with Args and returns the page it wrote to
// standard output.
std::string PageFor(const std::string &Source, std::vector<std::string> Args) {
  Args.push_back("-");
  const TRun Run = RunCli(Args, Source);
  EXPECT_EQ(0, Run.Status) << Run.Err;
  return Run.Out;
}

} // namespace

TEST(CliPage, IsTheExactPage) {
  TScratchDir Dir;
  WriteFile(Dir / "a.pas", TinySource);
  const TRun Run = RunCli({Dir / "a.pas"});
  EXPECT_EQ(0, Run.Status);
  EXPECT_EQ("", Run.Out);
  EXPECT_EQ("", Run.Err);
  EXPECT_EQ(TinyPage, ReadFile(Dir / "a.html"));
  EXPECT_EQ(TinyPage, RunCli({Dir / "a.pas", "-o", "-"}).Out);
  EXPECT_EQ(TinyPage, PageFor(TinySource, {}));
  EXPECT_EQ("a.html a.pas", Listing(Dir.Path()));
}

TEST(CliOutput, DefaultNameBesideTheInput) {
  TScratchDir Dir;
  fs::create_directories(Dir / "dir/x.y");
  WriteFile(Dir / "dir/a.pas", TinySource);
  WriteFile(Dir / "dir/x.y/b", TinySource);
  WriteFile(Dir / "c.dpr", TinySource);
  EXPECT_EQ(0, RunCli({Dir / "dir/a.pas"}).Status);
  EXPECT_EQ(0, RunCli({Dir / "dir/x.y/b"}).Status);
  EXPECT_EQ(0, RunCli({"c.dpr"}, "", Dir.Path()).Status);
  EXPECT_EQ("a.html a.pas x.y", Listing(Dir / "dir"));
  EXPECT_EQ("b b.html", Listing(Dir / "dir/x.y"));
  EXPECT_EQ("c.dpr c.html dir", Listing(Dir.Path()));
  EXPECT_EQ(TinyPage, ReadFile(Dir / "dir/x.y/b.html"));
  EXPECT_EQ(TinyPage, ReadFile(Dir / "c.html"));
}

TEST(CliOutput, ChosenTargetsAndStandardStreams) {
  TScratchDir Dir;
  WriteFile(Dir / "a.pas", TinySource);
  for (const auto &Args : std::vector<std::vector<std::string>>{
           {Dir / "a.pas", "-o", Dir / "out1"},
           {"-o", Dir / "out2", Dir / "a.pas"},
           {Dir / "a.pas", "--output=" + (Dir / "out3")},
           {"-o" + (Dir / "out4"), Dir / "a.pas"},
       }) {
    const TRun Run = RunCli(Args);
    EXPECT_EQ(0, Run.Status) << Run.Err;
    EXPECT_EQ("", Run.Out);
  }
  const TRun FromStdin = RunCli({"-", "-o", Dir / "out5"}, TinySource);
  EXPECT_EQ(0, FromStdin.Status);
  EXPECT_EQ("", FromStdin.Out);
  EXPECT_EQ("a.pas out1 out2 out3 out4 out5", Listing(Dir.Path())); // no a.html
  for (const char *Name : {"out1", "out2", "out3", "out4", "out5"})
    EXPECT_EQ(TinyPage, ReadFile(Dir / Name)) << Name;

  const TRun ToStdout = RunCli({"-"}, TinySource, Dir.Path());
  EXPECT_EQ(0, ToStdout.Status);
  EXPECT_EQ(TinyPage, ToStdout.Out);
  EXPECT_EQ("", ToStdout.Err);
  EXPECT_EQ("a.pas out1 out2 out3 out4 out5", Listing(Dir.Path()));
  EXPECT_EQ(TinyPage, RunCli({"--", "-"}, TinySource).Out);
}

TEST(CliPageTexts, InsertedVerbatim) {
  const std::string Page = PageFor("x", {"--title", "<b>100% %s</b>", "--header", "<LINK x>%d",
                                         "--body-start=<DIV>%s=", "--body-end", "</DIV>%n"});
  EXPECT_TRUE(Page.starts_with("<HTML>\r\n<HEAD>\r\n<TITLE><b>100% %s</b></TITLE>\r\n")) << Page;
  EXPECT_NE(std::string::npos, Page.find("\r\n<LINK x>%d</HEAD>\r\n")) << Page;
  EXPECT_NE(std::string::npos, Page.find("\r\n<DIV>%s=<PRE>x</PRE></DIV>%n</BODY>\r\n</HTML>"))
      << Page;
  EXPECT_NE(std::string::npos, PageFor("x", {"--title", ""}).find("<TITLE></TITLE>"));
}

TEST(CliScheme, PresetsAndElementSettings) {
  for (const char *Name : {"twilight", "Twilight", "TWILIGHT"})
    EXPECT_NE(std::string::npos,
              PageFor("x", {"--scheme", Name}).find("<BODY TEXT=\"White\" BGCOLOR=\"Black\">"))
        << Name;
  EXPECT_NE(std::string::npos, PageFor("x", {"--scheme=Ocean", "--scheme", "builtin"})
                                   .find("<BODY TEXT=\"Black\" BGCOLOR=\"White\">"));

  const std::string RedBold = "<FONT COLOR=\"Red\"><B>{ c } </B></FONT>x";
  EXPECT_EQ(RedBold, BodyOf(PageFor("{ c } x", {"--element", "Comment=255,0,B,0"})));
  // --element applies after --scheme wherever it stands; later ones win.
  EXPECT_EQ(RedBold,
            BodyOf(PageFor("{ c } x", {"--element", "Comment=255,0,B,0", "--scheme", "twilight"})));
  EXPECT_EQ(RedBold, BodyOf(PageFor("{ c } x", {"--scheme", "twilight", "--element=Comment=1",
                                                "--element", "Comment=255,0,B,0"})));
  EXPECT_NE(std::string::npos,
            PageFor("x", {"--element", "Whitespace_(BG)=$FF00", "--element", "Identifier=255"})
                .find("<BODY TEXT=\"Red\" BGCOLOR=\"Lime\">"));
}

TEST(CliDialect, ModernOnlyWhenAsked) {
  const std::string Source = "{$R+} x";
  const std::string Comment = "<FONT COLOR=\"Navy\"><I>{$R+} </I></FONT>x";
  const std::string Directive = "<FONT COLOR=\"Red\">{$R+} </FONT>x";
  EXPECT_EQ(Comment, BodyOf(PageFor(Source, {"--element", "Directive=255"})));
  EXPECT_EQ(Comment, BodyOf(PageFor(Source, {"--dialect", "modern", "--dialect=classic"})));
  EXPECT_EQ(Directive,
            BodyOf(PageFor(Source, {"--dialect=modern", "--element", "Directive=255,0,,0"})));
}

TEST(CliHelp, HelpAndVersion) {
  for (const char *Option : {"--help", "-h"}) {
    const TRun Run = RunCli({Option});
    EXPECT_EQ(0, Run.Status);
    EXPECT_EQ(CliUsage(), Run.Out);
    EXPECT_EQ("", Run.Err);
  }
  const TRun Version = RunCli({"--version"});
  EXPECT_EQ(0, Version.Status);
  // The number, the system built for, and where "--scheme saved" reads.
  EXPECT_TRUE(Version.Out.starts_with("tessaline-cli " TESSALINE_VERSION
                                      "\nPlatform: " TESSALINE_PLATFORM "\n"))
      << Version.Out;
#ifdef TESSALINE_HAVE_SETTINGS
  EXPECT_NE(Version.Out.find("\nSaved settings: read from "), std::string::npos) << Version.Out;
  EXPECT_TRUE(Version.Out.ends_with("/Quorvander/Tessaline.ini\n")) << Version.Out;
#else
  EXPECT_NE(Version.Out.find("\nSaved settings: not read"), std::string::npos) << Version.Out;
#endif
  EXPECT_EQ("", Version.Err);
}

TEST(CliUsage, WrongUsageExitsWith2) {
  TScratchDir Dir;
  const std::string A = Dir / "a.pas";
  WriteFile(A, TinySource);
  for (const auto &Args : std::vector<std::vector<std::string>>{
           {},
           {"--title", "t"},
           {A, A, "-o", "x.html"},
           {A, "-j", "0"},
           {A, "-j", "two"},
           {A, "--bogus"},
           {A, "-x"},
           {A, "--scheme", "sunset"},
           {A, "--element", "Comments=1"},
           {A, "--element", "Reserved word=1"},
           {A, "--element", "Comment"},
           {A, "-o"},
           {A, "--scheme"},
           {A, "--help=x"},
           {A, "--dialect"},
           {A, "--page", "pdf"},
           {A, "--line-numbers"},
           {A, "--page", "rtf", "--dark-scheme", "Twilight"},
           {A, "--page", "html5", "--encoding", "ebcdic"},
           {A, "--page", "rtf", "--fragment"},
           {A, "--page", "ansi", "--fragment"},
           {A, "--inline-styles"},
           {A, "--page", "html5", "--inline-styles", "--line-numbers"},
           {A, "--page", "html5", "--inline-styles", "--css-file", "x.css"},
           {A, "--page", "html5", "--css-file", ""},
           {A, "--page", "html5", "--class-prefix", "a b"},
           {A, "--page", "html5", "--class-prefix", "1x"},
           {A, "--css-only"},
           {"--css-only", "--inline-styles"},
           {A, "--ansi", "256"},
           {A, "--page", "ansi", "--ansi", "16"},
       }) {
    std::string Line;
    for (const std::string &Arg : Args)
      Line += " " + Arg;
    const TRun Run = RunCli(Args);
    EXPECT_EQ(2, Run.Status) << Line;
    EXPECT_EQ("", Run.Out) << Line;
    EXPECT_TRUE(Run.Err.starts_with("tessaline-cli: ")) << Line << ": " << Run.Err;
    EXPECT_TRUE(Run.Err.ends_with(CliUsage())) << Line << ": " << Run.Err;
  }
  EXPECT_EQ("a.pas", Listing(Dir.Path()));
  EXPECT_TRUE(
      RunCli({"--quiet=1", A}).Err.starts_with("tessaline-cli: option --quiet takes no value\n"));
  EXPECT_TRUE(RunCli({"--page", "html5", "--inline-styles", "--dark-scheme", "Twilight", A})
                  .Err.starts_with("tessaline-cli: --dark-scheme cannot be used with "
                                   "--inline-styles: a style attribute cannot follow the "
                                   "reader's preference for a dark scheme\n"));
}

TEST(CliFailures, UnreadableInput) {
  TScratchDir Dir;
  const std::string Missing = Dir / "missing.pas";
  TRun Run = RunCli({Missing});
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("", Run.Out);
  EXPECT_EQ("tessaline-cli: Cannot open file " + Missing + "\n", Run.Err);
  Run = RunCli({Missing, "-o", Dir / "out.html"});
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("tessaline-cli: Cannot open file " + Missing + "\n", Run.Err);
  // A folder is walked for sources, but cannot be one page's source.
  fs::create_directory(Dir / "sub.pas");
  Run = RunCli({Dir / "sub.pas", "-o", Dir / "sub.html"});
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("tessaline-cli: Cannot open file " + (Dir / "sub.pas") + "\n", Run.Err);
  EXPECT_EQ("sub.pas", Listing(Dir.Path()));
}

TEST(CliFailures, UnwritableOutput) {
  TScratchDir Dir;
  WriteFile(Dir / "a.pas", TinySource);
  fs::create_directory(Dir / "sub");
  for (const std::string &Target : {Dir / "missing/a.html", Dir / "sub"}) {
    const TRun Run = RunCli({Dir / "a.pas", "-o", Target});
    EXPECT_EQ(1, Run.Status);
    EXPECT_EQ("", Run.Out);
    EXPECT_EQ("tessaline-cli: Cannot create file " + Target + "\n", Run.Err);
  }
  EXPECT_EQ("a.pas sub", Listing(Dir.Path()));
  EXPECT_EQ("", Listing(Dir / "sub"));
}

TEST(CliFailures, FailedWriteKeepsTheOldPage) {
  TScratchDir Dir;
  std::string Source;
  while (Source.size() < 20000)
    Source += TinySource + "\n";
  WriteFile(Dir / "a.pas", Source);
  WriteFile(Dir / "a.html", "the old page");
  const TRun Run = RunCli({Dir / "a.pas"}, "", "", true);
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("tessaline-cli: Stream write error\n", Run.Err);
  EXPECT_EQ("the old page", ReadFile(Dir / "a.html").substr(0, 100));
  EXPECT_EQ("a.html a.pas", Listing(Dir.Path())); // no temporary file left
}

TEST(CliFailures, SourceNeverReplacedByItsPage) {
  TScratchDir Dir;
  WriteFile(Dir / "x.html", TinySource);
  WriteFile(Dir / "a.pas", TinySource);
  for (const auto &Args : std::vector<std::vector<std::string>>{
           {Dir / "x.html"},
           {Dir / "a.pas", "-o", Dir / "a.pas"},
           {Dir / "a.pas", "-o", (Dir / "") + "./a.pas"},
       }) {
    const TRun Run = RunCli(Args);
    EXPECT_EQ(1, Run.Status) << Args.front();
    EXPECT_TRUE(Run.Err.starts_with("tessaline-cli: ")) << Run.Err;
  }
  EXPECT_EQ(TinySource, ReadFile(Dir / "x.html"));
  EXPECT_EQ(TinySource, ReadFile(Dir / "a.pas"));
  EXPECT_EQ("a.pas x.html", Listing(Dir.Path()));
}

namespace {

// A tree of sources of every kind, with files that must be left alone, a
// link back up the tree, and two sources that would share one page.
void MakeSourceTree(const TScratchDir &Dir) {
  fs::create_directories(Dir / "src/sub/deeper");
  WriteFile(Dir / "src/a.pas", TinySource);
  WriteFile(Dir / "src/b.PAS", "program b; begin end.");
  WriteFile(Dir / "src/notes.txt", "not pascal");
  WriteFile(Dir / "src/sub/c.dpr", "{ c } x");
  WriteFile(Dir / "src/sub/d.inc", "'d'");
  WriteFile(Dir / "src/sub/deeper/e.lpr", "e");
  WriteFile(Dir / "src/sub/deeper/f.pp", "f");
  WriteFile(Dir / "src/sub/deeper/g.dpk", "g");
  fs::create_directory_symlink("../..", Dir / "src/sub/deeper/up");
}

std::string PageOf(const std::string &Source) {
  const TRun Run = RunCli({"-", "-o", "-"}, Source);
  return Run.Out;
}

} // namespace

TEST(CliBatch, FolderConvertsEverySourceBesideItOnce) {
  TScratchDir Dir;
  MakeSourceTree(Dir);
  for (const char *Jobs : {"1", "4"}) {
    const TRun Run = RunCli({"-j", Jobs, Dir / "src"});
    EXPECT_EQ(0, Run.Status) << Run.Err;
    EXPECT_EQ("", Run.Err) << "no progress bar when standard error is no terminal";
    EXPECT_EQ("a.html a.pas b.PAS b.html notes.txt sub", Listing(Dir / "src"));
    EXPECT_EQ("c.dpr c.html d.html d.inc deeper", Listing(Dir / "src/sub"));
    EXPECT_EQ("e.html e.lpr f.html f.pp g.dpk g.html up", Listing(Dir / "src/sub/deeper"));
    EXPECT_EQ(PageOf(TinySource), ReadFile(Dir / "src/a.html"));
    EXPECT_EQ(PageOf("'d'"), ReadFile(Dir / "src/sub/d.html"));
  }
}

// A folder's listing says what each entry is, except for links: a link to
// a source or a folder is followed, while a dangling link and a socket
// named like a source are left alone (opening the socket would fail).
TEST(CliBatch, LinksAreFollowedAndSocketsLeftAlone) {
  TScratchDir Dir;
  fs::create_directories(Dir / "src");
  fs::create_directories(Dir / "elsewhere");
  WriteFile(Dir / "elsewhere/lib.pas", "lib");
  WriteFile(Dir / "elsewhere/other.pp", "other");
  fs::create_symlink(Dir / "elsewhere/lib.pas", Dir / "src/link.pas");
  fs::create_directory_symlink(Dir / "elsewhere", Dir / "src/more");
  fs::create_symlink(Dir / "missing.pas", Dir / "src/dangling.pas");
  const int Socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un Address{};
  Address.sun_family = AF_UNIX;
  const std::string SocketPath = Dir / "src/socket.pas";
  ASSERT_LT(SocketPath.size(), sizeof Address.sun_path);
  SocketPath.copy(Address.sun_path, SocketPath.size());
  ASSERT_EQ(0, ::bind(Socket, reinterpret_cast<sockaddr *>(&Address), sizeof Address));
  const TRun Run = RunCli({"-j", "2", Dir / "src"});
  ::close(Socket);
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_EQ("", Run.Err);
  EXPECT_EQ("dangling.pas link.html link.pas more socket.pas", Listing(Dir / "src"));
  EXPECT_EQ("lib.html lib.pas other.html other.pp", Listing(Dir / "elsewhere"));
  EXPECT_EQ(PageOf("lib"), ReadFile(Dir / "src/link.html"));
  EXPECT_EQ(PageOf("other"), ReadFile(Dir / "elsewhere/other.html"));
}

TEST(CliBatch, OneFailingFileDoesNotStopTheOthers) {
  TScratchDir Dir;
  MakeSourceTree(Dir);
  fs::create_directory(Dir / "src/sub/c.html"); // the page cannot replace a folder
  WriteFile(Dir / "src/sub/c.inc", "clash");    // and c.inc wants the same page
  const TRun Run = RunCli({Dir / "src", Dir / "missing.pas"});
  EXPECT_EQ(1, Run.Status);
  EXPECT_NE(
      Run.Err.find(Dir / "src/sub/c.dpr" + ": Cannot create file " + (Dir / "src/sub/c.html")),
      std::string::npos)
      << Run.Err;
  EXPECT_NE(Run.Err.find(Dir / "src/sub/c.inc" + ": its page"), std::string::npos) << Run.Err;
  EXPECT_NE(Run.Err.find(Dir / "missing.pas" + ": Cannot open file " + (Dir / "missing.pas")),
            std::string::npos)
      << Run.Err;
  EXPECT_TRUE(fs::exists(Dir / "src/sub/d.html"));
  EXPECT_TRUE(fs::exists(Dir / "src/sub/deeper/g.html"));
}

TEST(CliBatch, CosmeticFolderNamesInMessages) {
  TScratchDir Dir;
  fs::create_directories(Dir / "src/sub");
  WriteFile(Dir / "src/sub/c.pas", TinySource);
  fs::create_directory(Dir / "src/sub/c.html");
  for (const std::string &Folder : {Dir / "src/", Dir / "src//"}) {
    const TRun Run = RunCli({Folder});
    EXPECT_EQ(1, Run.Status);
    EXPECT_EQ(Dir / "src/sub/c.pas" + ": Cannot create file " + (Dir / "src/sub/c.html") + "\n",
              Run.Err);
  }
}

TEST(CliBatch, NoClobberKeepsExistingPages) {
  TScratchDir Dir;
  WriteFile(Dir / "a.pas", TinySource);
  WriteFile(Dir / "b.pas", TinySource);
  WriteFile(Dir / "a.html", "mine");
  TRun Run = RunCli({"-n", Dir / "a.pas", Dir / "b.pas"});
  EXPECT_EQ(0, Run.Status);
  EXPECT_EQ(Dir / "a.pas" + ": kept the existing " + (Dir / "a.html") + "\n", Run.Err);
  EXPECT_EQ("mine", ReadFile(Dir / "a.html"));
  EXPECT_EQ(PageOf(TinySource), ReadFile(Dir / "b.html"));
  Run = RunCli({"--no-clobber", "-q", Dir / "a.pas"});
  EXPECT_EQ(0, Run.Status);
  EXPECT_EQ("", Run.Err);
  EXPECT_EQ("mine", ReadFile(Dir / "a.html"));
}

TEST(CliBatch, InterruptedBatchLeavesOnlyWholePages) {
  TScratchDir Dir;
  fs::create_directory(Dir / "src");
  std::string Source;
  while (Source.size() < 400000)
    Source += "begin x := 'a'; { c } end;\n";
  for (int K = 0; K < 60; ++K)
    WriteFile(Dir / ("src/u" + std::to_string(K) + ".pas"), Source);
  const std::string Page = PageOf(Source);
  const TRun Run = RunCli({"-j", "1", Dir / "src"}, "", "", false, Dir / "src");
  EXPECT_TRUE(Run.Status == 143 || Run.Status == 0) << Run.Status << Run.Err;
  int Pages = 0;
  for (const auto &Entry : fs::directory_iterator(Dir / "src")) {
    const std::string Name = Entry.path().filename().string();
    EXPECT_NE(Name[0], '.') << "a temporary file was left: " << Name;
    if (Entry.path().extension() == ".html") {
      ++Pages;
      EXPECT_TRUE(ReadFile(Entry.path().string()) == Page) << Name << " is not a whole page";
    }
  }
  if (Run.Status == 143) {
    EXPECT_LT(Pages, 60);
  }
}

// SIGTERM while a large page goes to standard output: the program stops at
// the next block it writes, with status 143, instead of writing the whole
// page. Standard output is a pipe the test lets fill up before it sends
// the signal, so the signal comes mid-page however fast the conversion is.
TEST(CliInterrupt, TermWhileWritingToStandardOutput) {
  TScratchDir Dir;
  std::string Source;
  while (Source.size() < (size_t(4) << 20))
    Source += "begin x := 'a'; { c } end;\n";
  WriteFile(Dir / "big.pas", Source);
  const size_t PageSize = RunCli({Dir / "big.pas", "-o", "-"}).Out.size();
  int Pipe[2];
  ASSERT_EQ(0, ::pipe(Pipe));
  const std::string Input = Dir / "big.pas";
  const pid_t Child = ::fork();
  if (Child == 0) {
    const int Null = ::open("/dev/null", O_WRONLY);
    if (::dup2(Pipe[1], 1) < 0 || ::dup2(Null, 2) < 0)
      ::_exit(126);
    ::close(Pipe[0]);
    ::setenv("XDG_CONFIG_HOME", Dir.Path().c_str(), 1);
    ::execl(TESSALINE_CLI, TESSALINE_CLI, "-o", "-", Input.c_str(), static_cast<char *>(nullptr));
    ::_exit(127);
  }
  ::close(Pipe[1]);
  int Waiting = 0;
  for (int Pending = 0; Waiting < 10000 && Pending < 65536; ++Waiting) {
    ::usleep(1000);
    ::ioctl(Pipe[0], FIONREAD, &Pending);
  }
  ::kill(Child, SIGTERM);
  size_t Bytes = 0;
  char Chunk[65536];
  for (ssize_t N; (N = ::read(Pipe[0], Chunk, sizeof Chunk)) > 0;)
    Bytes += static_cast<size_t>(N);
  ::close(Pipe[0]);
  int Status = 0;
  ASSERT_EQ(Child, ::waitpid(Child, &Status, 0));
  EXPECT_LT(Waiting, 10000) << "the pipe never filled";
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 143) << Status;
  EXPECT_LT(Bytes, PageSize);
}

TEST(CliHostileInput, EmptyAndNulFilesAndFolders) {
  TScratchDir Dir;
  WriteFile(Dir / "empty.pas", "");
  TRun Run = RunCli({Dir / "empty.pas"});
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_EQ("", BodyOf(ReadFile(Dir / "empty.html")));
  const std::string Nuls(1 << 20, '\0');
  WriteFile(Dir / "nul.pas", Nuls);
  Run = RunCli({Dir / "nul.pas"});
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_TRUE(BodyOf(ReadFile(Dir / "nul.html")) == Nuls);
  // A folder named like a source holds nothing to convert.
  fs::create_directory(Dir / "folder.pas");
  Run = RunCli({Dir / "folder.pas"});
  EXPECT_EQ(0, Run.Status) << Run.Err;
}

TEST(CliHostileInput, UnreadableFile) {
  TScratchDir Dir;
  GiveToOrdinaryUser(Dir.Path().string());
  WriteFile(Dir / "secret.pas", TinySource);
  ::chmod((Dir / "secret.pas").c_str(), 0);
  const TRun Run = RunCli({Dir / "secret.pas"}, "", "", false, "", "", true);
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("tessaline-cli: Cannot open file " + (Dir / "secret.pas") + "\n", Run.Err);
  EXPECT_FALSE(fs::exists(Dir / "secret.html"));
}

// Settings values that QSettings reads as no text, in a single run and in a
// batch: a note naming the file and the value, the built-in setting for
// that element, the values that can be read, and the page all the same.
TEST(CliSettings, CrashOnDamagedSettingValue) {
  TScratchDir Dir;
  WriteFile(Dir / "a.pas", "{ c } 's'");
  WriteFile(Dir / "b.pas", "");
  const std::string Expected = "<FONT COLOR=\"Navy\"><I>{ c } </I></FONT><FONT COLOR=\"Red\">'s'";
  for (const std::string Damage :
       {"Comment=@Rect(1 2 3 4)", "Comment=@Size(1 2)", "Comment=@Point(1 2)",
        "Comment=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)", "ColorSpeedSetting=@Rect(1 2 3 4)"}) {
    const std::string Name = Damage.substr(0, Damage.find('='));
    const std::string Ini = "[Highlight]\n" + Damage + "\n" +
                            (Name == "Comment" ? "" : "Comment=8388608,0,I,0\n") +
                            "String=255,0,,0\n";
    for (const auto &Args :
         std::vector<std::vector<std::string>>{{Dir / "a.pas"}, {Dir / "a.pas", Dir / "b.pas"}}) {
      fs::remove(Dir / "a.html");
      const TRun Run = RunCli(Args, "", "", false, "", Ini);
      EXPECT_EQ(0, Run.Status) << Damage << ": " << Run.Err;
      EXPECT_NE(std::string::npos,
                Run.Err.find("/Quorvander/Tessaline.ini: Invalid data type for '" + Name + "'"))
          << Damage << ": " << Run.Err;
      EXPECT_EQ(Expected, BodyOf(ReadFile(Dir / "a.html"))) << Damage;
    }
  }
  // Unquoted commas and a lone "@" are text like any other.
  const TRun Run = RunCli({"-"}, "{ c } 's'", "", false, "", "[Highlight]\nComment=255,@,B,0\n");
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_EQ("", Run.Err);
  EXPECT_EQ("<FONT COLOR=\"Red\"><B>{ c } </B></FONT>'s'", BodyOf(Run.Out));
}

TEST(CliUsage, DashInABatch) {
  TScratchDir Dir;
  WriteFile(Dir / "a.pas", TinySource);
  WriteFile(Dir / "-", TinySource);
  for (const auto &Args :
       std::vector<std::vector<std::string>>{{Dir / "a.pas", "-"}, {"-", "a.pas"}}) {
    const TRun Run = RunCli(Args, TinySource, Dir.Path());
    EXPECT_EQ(2, Run.Status) << Run.Err;
    EXPECT_TRUE(Run.Err.starts_with("tessaline-cli: - (standard input) must be the only input"))
        << Run.Err;
    EXPECT_EQ("", Run.Out);
  }
  EXPECT_EQ("- a.pas", Listing(Dir.Path()));
}

// The same hostile cases as the file layer's, end to end and as an
// ordinary user: a page nobody may replace is kept with status 1, in a
// batch the other files are still converted.
TEST(CliHostileInput, PageNobodyMayReplaceIsReplaced) {
  TScratchDir Dir;
  GiveToOrdinaryUser(Dir.Path().string());
  for (const char *Name : {"a.pas", "a.html", "b.pas", "b.html", "c.pas"}) {
    WriteFile(Dir / Name, std::string(Name).ends_with(".html") ? "old page" : TinySource);
    GiveToOrdinaryUser(Dir / Name);
  }
  ::chmod((Dir / "a.html").c_str(), 0444);
  const bool Root = ::geteuid() == 0;
  if (Root)
    ::chown((Dir / "b.html").c_str(), 0, 0); // another user's page, 0644
  for (const std::string Name : {"a", Root ? "b" : "a"}) {
    const TRun Run = RunCli({Dir / (Name + ".pas")}, "", "", false, "", "", true);
    EXPECT_EQ(1, Run.Status) << Name;
    EXPECT_EQ("tessaline-cli: Cannot create file " + (Dir / (Name + ".html")) + "\n", Run.Err);
    EXPECT_EQ("old page", ReadFile(Dir / (Name + ".html")));
  }
  const TRun Batch = RunCli({Dir / "a.pas", Dir / "c.pas"}, "", "", false, "", "", true);
  EXPECT_EQ(1, Batch.Status);
  EXPECT_EQ(Dir / "a.pas" + ": Cannot create file " + (Dir / "a.html") + "\n", Batch.Err);
  EXPECT_EQ(TinyPage, ReadFile(Dir / "c.html"));
  EXPECT_EQ("a.html a.pas b.html b.pas c.html c.pas", Listing(Dir.Path()));
}

// "y.pas y.html" used to leave y.pas's page in y.html, a source.
TEST(CliBatch, HtmlNamedAsSourceIsOverwritten) {
  TScratchDir Dir;
  WriteFile(Dir / "y.pas", "ypas;");
  for (const auto &Args : std::vector<std::vector<std::string>>{
           {"y.pas", "y.html"}, {"y.html", "y.pas"}, {"./y.pas", "y.html"}}) {
    WriteFile(Dir / "y.html", "unit one;");
    const TRun Run = RunCli(Args, "", Dir.Path());
    EXPECT_EQ(1, Run.Status) << Args[0];
    EXPECT_NE(std::string::npos, Run.Err.find(Args[0] == "y.html" ? Args[1] : Args[0])) << Run.Err;
    EXPECT_NE(std::string::npos, Run.Err.find("y.html is one of the sources\n")) << Run.Err;
    EXPECT_EQ("unit one;", ReadFile(Dir / "y.html")) << Args[0] << " " << Args[1];
  }
  EXPECT_EQ("y.html y.pas", Listing(Dir.Path()));
}

// Two sources for one page are found however their names are spelled, and
// the first keeps the page; one file named twice is converted once.
TEST(CliBatch, TwoSourcesForOnePageUndetected) {
  TScratchDir Dir;
  WriteFile(Dir / "x.pas", "xpas");
  WriteFile(Dir / "x.inc", "xinc");
  fs::create_directory_symlink(".", Dir / "here");
  for (const auto &Args :
       std::vector<std::vector<std::string>>{{"-q", "-j", "2", "./x.pas", "x.inc"},
                                             {"-j", "2", "x.pas", "here/x.inc"},
                                             {"-j", "2", Dir / "x.pas", "x.inc"}}) {
    const std::string &First = Args[Args.size() - 2];
    const TRun Run = RunCli(Args, "", Dir.Path());
    EXPECT_EQ(1, Run.Status) << First;
    EXPECT_NE(std::string::npos, Run.Err.find(" is the page of " + First + "\n")) << Run.Err;
    EXPECT_EQ(PageOf("xpas"), ReadFile(Dir / "x.html")) << First;
  }
  const TRun Twice = RunCli({"x.pas", "./x.pas", Dir / "x.pas"}, "", Dir.Path());
  EXPECT_EQ(0, Twice.Status);
  EXPECT_EQ("", Twice.Err);
}

// Each kind of batch failure sets the status on its own.
TEST(CliBatch, ExitStatusOfEachFailureOnItsOwn) {
  TScratchDir Dir;
  WriteFile(Dir / "x.pas", "x");
  WriteFile(Dir / "x.inc", "x");
  EXPECT_EQ(1, RunCli({"-q", Dir / "x.pas", Dir / "x.inc"}).Status) << "a page collision";
  fs::remove(Dir / "x.inc");
  GiveToOrdinaryUser(Dir.Path().string());
  fs::create_directories(Dir / "tree/closed");
  WriteFile(Dir / "tree/a.pas", "a");
  for (const char *Name : {"tree", "tree/a.pas", "tree/closed"})
    GiveToOrdinaryUser(Dir / Name);
  ::chmod((Dir / "tree/closed").c_str(), 0);
  const TRun Run = RunCli({Dir / "tree"}, "", "", false, "", "", true);
  EXPECT_EQ(1, Run.Status) << "a folder that cannot be opened";
  EXPECT_EQ(Dir / "tree/closed" + ": Cannot open folder " + (Dir / "tree/closed") + "\n", Run.Err);
  EXPECT_EQ(PageOf("a"), ReadFile(Dir / "tree/a.html"));
  ::chmod((Dir / "tree/closed").c_str(), 0755);
}

// A page name of up to 255 bytes, beside a long source name.
TEST(CliHostileInput, LongNames) {
  TScratchDir Dir;
  const std::string Stem(250, 'n');
  WriteFile(Dir / (Stem + ".pas"), TinySource);
  const TRun Run = RunCli({Dir / (Stem + ".pas")});
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_EQ(TinyPage, ReadFile(Dir / (Stem + ".html")));
  EXPECT_EQ(Stem + ".html " + Stem + ".pas", Listing(Dir.Path()));
}

// The progress bar counts a file's bytes while it is converted: here the
// page goes to a pipe that the test leaves full for a while, and the bar
// drawn meanwhile must show more than nothing done.
TEST(CliBatch, CosmeticProgressCountsBytesOnlyWhenAFileEnds) {
  TScratchDir Dir;
  std::string Source;
  // Under 1 MiB: one thread converts it, reporting as it goes.
  while (Source.size() < 900000)
    Source += "begin x := 'a'; { c } end;\n";
  WriteFile(Dir / "big.pas", Source);
  ASSERT_EQ(0, ::mkfifo((Dir / "big.html").c_str(), 0600));
  TCliOptions Options = ParseCliOptions({"--scheme", "builtin", "-"});
  std::ostringstream Err;
  std::thread Batch([&] { RunBatch({{Dir / "big.pas", Dir / "big.html"}}, Options, Err, true); });
  const int Page = ::open((Dir / "big.html").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(Page, 0);
  ::fcntl(Page, F_SETFL, 0);
  ::usleep(500000); // the writer waits on the full pipe, the bar is drawn
  char Chunk[65536];
  while (::read(Page, Chunk, sizeof Chunk) > 0) {
  }
  ::close(Page);
  Batch.join();
  // Some bar drawn before the file was done shows bytes.
  const std::string Bar = Err.str();
  bool Counted = false;
  for (size_t At = 0; (At = Bar.find(" 0/1 files, ", At)) != std::string::npos; ++At)
    Counted = Counted || Bar.compare(At + 12, 6, "0.0 MB") != 0;
  EXPECT_TRUE(Counted) << Bar;
}
namespace {

TEST(CliFormats, PageFormatsNameTheirPagesAndAnIndexListsThem) {
  TScratchDir Dir;
  fs::create_directories(Dir / "tree/sub dir");
  WriteFile(Dir / "tree/a.pas", TinySource);
  WriteFile(Dir / "tree/sub dir/b&c.pas", TinySource);
  WriteFile(Dir / "tree/sub dir/broken.pas", TinySource);
  // Characters HTML forbids in a name: an escape, a C1 control.
  WriteFile(Dir / "tree/esc\x1B\xC2\x85.pas", TinySource);
  fs::create_directory(Dir / "tree/sub dir/broken.html"); // no page can go there
  const TRun Run = RunCli({"--page", "html5", "--index", "-q", Dir / "tree"});
  EXPECT_EQ(1, Run.Status) << Run.Err;
  const std::string Index = ReadFile(Dir / "tree/index.html");
  EXPECT_TRUE(Index.starts_with("<!DOCTYPE html>\n")) << Index;
  EXPECT_NE(Index.find("<p>3 pages</p>"), std::string::npos) << Index;
  EXPECT_NE(Index.find(">esc\xE2\x90\x9B<span title=\"U+0085\">\xEF\xBF\xBD</span>.html</a>"),
            std::string::npos)
      << Index;
  EXPECT_NE(Index.find("<a href=\"a.html\">a.html</a>"), std::string::npos) << Index;
  EXPECT_NE(Index.find("<a href=\"sub%20dir/b%26c.html\">b&amp;c.html</a>"), std::string::npos)
      << Index;
  EXPECT_EQ(Index.find("broken"), std::string::npos) << "a failed page is listed:\n" << Index;
  EXPECT_TRUE(ReadFile(Dir / "tree/a.html").starts_with("<!DOCTYPE html>\n"));
  const int Valid = std::system((std::string(TESSALINE_PYTHON) + " " + TESSALINE_CHECK_PAGES +
                                 " valid '" + Dir / "tree/index.html" + "'")
                                    .c_str());
  EXPECT_TRUE(WIFEXITED(Valid) && (WEXITSTATUS(Valid) == 0 || WEXITSTATUS(Valid) == 77))
      << "the index is no valid HTML5 page";

  EXPECT_EQ(0, RunCli({"--page", "rtf", Dir / "tree/a.pas"}).Status);
  EXPECT_TRUE(ReadFile(Dir / "tree/a.rtf").starts_with("{\\rtf1"));
  EXPECT_EQ(0, RunCli({"--page", "ansi", Dir / "tree/a.pas"}).Status);
  EXPECT_TRUE(fs::exists(Dir / "tree/a.ans"));
  EXPECT_EQ(0, RunCli({"--page", "bbcode", Dir / "tree/a.pas"}).Status);
  EXPECT_TRUE(ReadFile(Dir / "tree/a.bbcode").starts_with("[font=Courier New]"));
}

// Fragments go where pages go: beside their sources in a batch, to -o, to
// standard output.
TEST(CliFormats, FragmentsGoWherePagesGo) {
  TScratchDir Dir;
  WriteFile(Dir / "a.pas", "x");
  WriteFile(Dir / "b.pas", "y");
  EXPECT_EQ(0, RunCli({"--fragment", "-q", Dir / "a.pas", Dir / "b.pas"}).Status);
  EXPECT_EQ("<PRE>\r\nx</PRE>", ReadFile(Dir / "a.html"));
  EXPECT_EQ("<PRE>\r\ny</PRE>", ReadFile(Dir / "b.html"));
  const TRun Run = RunCli({"--fragment", "--page", "html5", "--inline-styles", "-o", "-", "-"}, "z");
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_EQ("<pre class=\"tessaline\" style=\"color:#000000;background-color:#FFFFFF\">\nz</pre>\n",
            Run.Out);
}

// The stylesheet of --css-file, as the pages' <style> holds it, worked out
// by hand for the built-in scheme with only comments left coloured.
TEST(CliFormats, CssOnlyWritesTheLinkedStylesheet) {
  const TRun Run =
      RunCli({"--css-only", "--scheme", "builtin", "--class-prefix", "x_", "--element",
              "Reserved_word=0,0,,1", "--element", "String=0,0,,1", "--element", "Directive=0,0,,1"});
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_EQ(".tessaline{color:#000000;background-color:#FFFFFF}\n"
            ".tessaline .x_comment{color:#000080;font-weight:normal;font-style:italic;"
            "text-decoration:none}\n"
            ".tessaline{counter-reset:line}\n"
            ".tessaline a.x_line-number{display:inline-block;min-width:4ch;padding-right:1ch;"
            "margin-right:1ch;border-right:1px solid #80808080;text-align:right;color:#808080;"
            "font-weight:normal;font-style:normal;text-decoration:none;user-select:none;"
            "-webkit-user-select:none}\n"
            ".tessaline a.x_line-number::before{counter-increment:line;content:counter(line)}\n",
            Run.Out);
}

} // namespace

namespace {

// The number of pages an index says it lists, or -1.
int IndexCount(const std::string &Index) {
  const size_t At = Index.find("<p>");
  return At == std::string::npos ? -1 : std::atoi(Index.c_str() + At + 3);
}

// A folder d with d/a.pas and d/sub/b.pas.
void MakeIndexedTree(const TScratchDir &Dir) {
  fs::create_directories(Dir / "d/sub");
  WriteFile(Dir / "d/a.pas", TinySource);
  WriteFile(Dir / "d/sub/b.pas", "b");
}

} // namespace

// The index was written over a source given beside its folder, over a
// source it was a hard or symbolic link to, and over an index -n was to
// keep.
TEST(CliIndex, IndexReplacedWhatItMustNot) {
  TScratchDir Dir;
  MakeIndexedTree(Dir);
  WriteFile(Dir / "d/index.html", "a source named .html");
  TRun Run = RunCli({"-q", "--index", Dir / "d", Dir / "d/index.html"});
  EXPECT_EQ(1, Run.Status);
  EXPECT_NE(Run.Err.find("tessaline-cli: the index " + (Dir / "d/index.html") +
                         " would replace the source " + (Dir / "d/index.html") + "; not written\n"),
            std::string::npos)
      << Run.Err;
  EXPECT_EQ("a source named .html", ReadFile(Dir / "d/index.html"));

  fs::remove(Dir / "d/index.html");
  fs::create_hard_link(Dir / "d/a.pas", Dir / "d/index.html");
  Run = RunCli({"-q", "--index", Dir / "d"});
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("tessaline-cli: the index " + (Dir / "d/index.html") + " would replace the source " +
                (Dir / "d/a.pas") + "; not written\n",
            Run.Err);
  EXPECT_EQ(TinySource, ReadFile(Dir / "d/a.pas"));

  fs::remove(Dir / "d/index.html");
  fs::create_symlink("sub/b.pas", Dir / "d/index.html");
  Run = RunCli({"-q", "--index", Dir / "d"});
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("b", ReadFile(Dir / "d/sub/b.pas"));

  fs::remove(Dir / "d/index.html");
  WriteFile(Dir / "d/index.html", "mine");
  Run = RunCli({"-n", "--index", Dir / "d"});
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_NE(Run.Err.find("tessaline-cli: kept the existing " + (Dir / "d/index.html") + "\n"),
            std::string::npos)
      << Run.Err;
  EXPECT_EQ("mine", ReadFile(Dir / "d/index.html"));
}

// A folder given twice in two spellings got an index of no page over the
// right one, a subfolder given in another spelling was left out, and a
// folder name starting with FF FE was read as UTF-16.
TEST(CliIndex, IndexListedTheWrongPages) {
  TScratchDir Dir;
  MakeIndexedTree(Dir);
  fs::create_directory_symlink("d", Dir / "link");
  for (const std::vector<std::string> &Folders :
       std::vector<std::vector<std::string>>{{"d", "./d"}, {"d", "./d/sub"}, {"./d/", "link"}}) {
    std::vector<std::string> Args{"-q", "--index"};
    Args.insert(Args.end(), Folders.begin(), Folders.end());
    const TRun Run = RunCli(Args, "", Dir.Path().string());
    EXPECT_EQ(0, Run.Status) << Folders[1] << ": " << Run.Err;
    const std::string Index = ReadFile(Dir / "d/index.html");
    EXPECT_EQ(2, IndexCount(Index)) << Folders[1] << ":\n" << Index;
    EXPECT_NE(Index.find("<a href=\"sub/b.html\">b.html</a>"), std::string::npos) << Index;
  }
  EXPECT_EQ(1, IndexCount(ReadFile(Dir / "d/sub/index.html")));

  const std::string Marked = Dir / "\xFF\xFEz";
  fs::create_directory(Marked);
  WriteFile(Marked + "/a.pas", TinySource);
  const TRun Run = RunCli({"-q", "--index", "\xFF\xFEz"}, "", Dir.Path().string());
  EXPECT_EQ(0, Run.Status) << Run.Err;
  EXPECT_NE(ReadFile(Marked + "/index.html").find("<h1>Index of \xEF\xBF\xBD\xEF\xBF\xBDz</h1>"),
            std::string::npos)
      << ReadFile(Marked + "/index.html");
}

namespace {

// Makes Levels folders of 250-byte names below Folder, the last holding
// x.pas, however long the path gets: the system takes no path over
// PATH_MAX, so each is made from inside its parent.
void MakeTooDeepTree(const std::string &Folder, int Levels, bool Remove = false) {
  const pid_t Child = ::fork();
  if (Child == 0) {
    const std::string Name(250, 'n');
    if (::chdir(Folder.c_str()) != 0)
      ::_exit(1);
    for (int K = 0; K < Levels; ++K)
      if ((!Remove && ::mkdir(Name.c_str(), 0755) != 0) || ::chdir(Name.c_str()) != 0)
        ::_exit(1);
    if (!Remove) {
      WriteFile("x.pas", "x");
      ::_exit(0);
    }
    if (::unlink("x.pas") != 0)
      ::_exit(1);
    for (int K = 0; K < Levels; ++K)
      if (::chdir("..") != 0 || ::rmdir(Name.c_str()) != 0)
        ::_exit(1);
    ::_exit(0);
  }
  int Status = 0;
  ::waitpid(Child, &Status, 0);
  ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
}

} // namespace

// A source below a folder whose path is too long, or below a folder the
// user may not search, was passed over as a dangling link is: status 0.
TEST(CliBatch, SourcesBelowUnreachableFoldersSkippedSilently) {
  TScratchDir Dir;
  fs::create_directory(Dir / "deep");
  MakeTooDeepTree(Dir / "deep", 17);
  TRun Run = RunCli({"-q", "deep"}, "", Dir.Path().string());
  MakeTooDeepTree(Dir / "deep", 17, true);
  EXPECT_EQ(1, Run.Status);
  const std::string Deepest = "deep" + [] {
    std::string Path;
    for (int K = 0; K < 17; ++K)
      Path += "/" + std::string(250, 'n');
    return Path;
  }();
  EXPECT_EQ(Deepest + ": Cannot open folder " + Deepest + "\n", Run.Err);

  GiveToOrdinaryUser(Dir.Path().string());
  fs::create_directories(Dir / "tree/closed/sub");
  WriteFile(Dir / "tree/closed/sub/x.pas", "x");
  for (const char *Name : {"tree", "tree/closed", "tree/closed/sub", "tree/closed/sub/x.pas"})
    GiveToOrdinaryUser(Dir / Name);
  ::chmod((Dir / "tree/closed").c_str(), 0444); // listed, not searched
  Run = RunCli({Dir / "tree"}, "", "", false, "", "", true);
  ::chmod((Dir / "tree/closed").c_str(), 0755);
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ(Dir / "tree/closed" + ": Cannot open folder " + (Dir / "tree/closed") + "\n", Run.Err);
}

// --encoding did nothing for the classic page, --page HTML5 was refused
// while --scheme ocean was taken, and --index with no folder was passed
// over; an HTML5 page declared UTF-8 took a title in another encoding.
TEST(CliUsage, OptionsIgnoredWithoutAWord) {
  TScratchDir Dir;
  const std::string A = Dir / "a.pas";
  WriteFile(A, TinySource);
  for (const auto &Args : std::vector<std::vector<std::string>>{
           {A, "--encoding", "utf-16le"},
           {A, "--page", "classic", "--encoding", "auto"},
           {A, "--index"},
           {A, "-o", Dir / "x.html", "--index", Dir.Path().string()},
           {A, "--page", "html5", "--title", "caf\xE9"},
           {A, "--page", "html5", "--body-end", "\xFF"},
       }) {
    std::string Line;
    for (const std::string &Arg : Args)
      Line += " " + Arg;
    const TRun Run = RunCli(Args);
    EXPECT_EQ(2, Run.Status) << Line;
    EXPECT_TRUE(Run.Err.ends_with(CliUsage())) << Line << ": " << Run.Err;
  }
  EXPECT_EQ("a.pas", Listing(Dir.Path()));
  EXPECT_EQ(PageFor(TinySource, {"--page", "html5", "--dialect", "modern"}),
            PageFor(TinySource, {"--page", "HTML5", "--dialect", "Modern"}));
  EXPECT_NE(PageFor(TinySource, {"--page", "rtf", "--encoding", "UTF-16LE"}), "");
  // Symbols for the classic dialect, which reads no directive: said, unless -q.
  for (const bool Quiet : {false, true}) {
    std::vector<std::string> Args{"--define", "X", "-o", "-", A};
    if (Quiet)
      Args.push_back("-q");
    const TRun Run = RunCli(Args);
    EXPECT_EQ(0, Run.Status);
    EXPECT_EQ(Quiet, Run.Err.empty()) << Run.Err;
  }
  // The classic page takes the title's bytes as they are.
  EXPECT_NE(PageFor(TinySource, {"--title", "caf\xE9"}).find("<TITLE>caf\xE9</TITLE>"),
            std::string::npos);
}

// An interrupt while the index was written gave status 0 and an index;
// an index that is a pipe waited for a reader; a second interrupt ended
// the program with its temporary page left behind.
TEST(CliInterrupt, InterruptsDuringTheIndex) {
  TScratchDir Dir;
  MakeIndexedTree(Dir);
  const std::vector<TBatchJob> Jobs{{Dir / "d/a.pas", Dir / "d/a.html"}};
  WriteFile(Dir / "d/a.html", "page");
  const pid_t Child = ::fork();
  if (Child == 0) {
    InstallInterruptHandlers();
    ::raise(SIGINT);
    try {
      WriteBatchIndex(Dir / "d", Jobs, {1});
    } catch (const EInterrupted &) {
      ::_exit(130);
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  int Status = 0;
  ASSERT_EQ(Child, ::waitpid(Child, &Status, 0));
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 130) << Status;
  EXPECT_EQ("a.html a.pas sub", Listing(Dir / "d"));

  ASSERT_EQ(0, ::mkfifo((Dir / "d/index.html").c_str(), 0600));
  // A reader, so that a tool that writes into the pipe is not stuck.
  const int Reader = ::open((Dir / "d/index.html").c_str(), O_RDONLY | O_NONBLOCK);
  const TRun Run = RunCli({"-q", "--index", Dir / "d"});
  ::close(Reader);
  EXPECT_EQ(1, Run.Status);
  EXPECT_EQ("tessaline-cli: Cannot create file " + (Dir / "d/index.html") +
                " (it is no regular file)\n",
            Run.Err);

  const pid_t Twice = ::fork();
  if (Twice == 0) {
    InstallInterruptHandlers();
    TSafeFileWriter Page(Dir / "d/sub/page.html");
    Page.Write("part", 4);
    ::raise(SIGINT);
    ::raise(SIGINT);
    ::_exit(0);
  }
  ASSERT_EQ(Twice, ::waitpid(Twice, &Status, 0));
  EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGINT) << Status;
  EXPECT_EQ("b.html b.pas", Listing(Dir / "d/sub"));
}
