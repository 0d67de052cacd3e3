#include "Cli.h"

#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "CliOptions.h"
#include "FileIO.h"
#include "Tessaline.h"
#include "TextUtils.h"

namespace {

std::string ReadDescriptor(int Fd) {
  std::string Bytes;
  char Chunk[65536];
  for (;;) {
    const ssize_t N = ::read(Fd, Chunk, sizeof Chunk);
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      throw EReadError("Stream read error");
    if (N == 0)
      return Bytes;
    Bytes.append(Chunk, static_cast<size_t>(N));
  }
}

bool IsSameFile(const std::string &A, const std::string &B) {
  struct stat InfoA, InfoB;
  return ::stat(A.c_str(), &InfoA) == 0 && ::stat(B.c_str(), &InfoB) == 0 &&
         InfoA.st_dev == InfoB.st_dev && InfoA.st_ino == InfoB.st_ino;
}

int Convert(const TCliOptions &Options, std::ostream &Err, int InputFd, int OutputFd) {
  const std::string &Input = Options.Files.front();
  const bool FromStdin = Input == "-";
  std::string Target = Options.HasOutput ? Options.Output
                       : FromStdin       ? std::string("-")
                                         : ChangeFileExt(Input, ".html");
  TTessaline Converter;
  ApplyCliOptions(Options, Converter);
  if (FromStdin)
    Converter.SetPlain(ReadDescriptor(InputFd));
  else
    Converter.LoadFromFile(Input);

  if (Target == "-") {
    TDescriptorSink Sink(OutputFd);
    Converter.ConvertTo(Sink);
    return 0;
  }
  // A source already named .html would otherwise be replaced by its own page.
  if (!FromStdin && IsSameFile(Input, Target)) {
    Err << "tessaline-cli: " << Target << ": the page would replace its own source\n";
    return 1;
  }
  TSafeFileWriter File(Target);
  Converter.ConvertTo(File);
  File.Commit();
  return 0;
}

} // namespace

int RunTessalineCli(const std::vector<std::string> &Args, std::ostream &Out, std::ostream &Err,
                    int InputFd, int OutputFd) {
  TCliOptions Options;
  try {
    Options = ParseCliOptions(Args);
  } catch (const EUsageError &Error) {
    Err << "tessaline-cli: " << Error.what() << "\n" << CliUsage();
    return 2;
  }
  if (Options.Help) {
    Out << CliUsage();
    return 0;
  }
  if (Options.Version) {
    Out << "tessaline-cli " << TESSALINE_VERSION << "\n";
    return 0;
  }
  try {
    return Convert(Options, Err, InputFd, OutputFd);
  } catch (const EStreamError &Error) {
    Err << "tessaline-cli: " << Error.what() << "\n";
  } catch (const std::bad_alloc &) {
    Err << "tessaline-cli: Out of memory\n";
  }
  return 1;
}
