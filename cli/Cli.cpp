#include "Cli.h"

#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "Batch.h"
#include "CliOptions.h"
#include "FileIO.h"
#include "Interrupt.h"
#include "Tessaline.h"
#include "TextUtils.h"

namespace {

std::string ReadDescriptor(int Fd) {
  std::string Bytes;
  char Chunk[65536];
  for (;;) {
    const ssize_t N = ::read(Fd, Chunk, sizeof Chunk);
    if (N < 0 && errno == EINTR) {
      if (InterruptSignal())
        throw EInterrupted();
      continue;
    }
    if (N < 0)
      throw EReadError("Stream read error");
    if (N == 0)
      return Bytes;
    Bytes.append(Chunk, static_cast<size_t>(N));
  }
}

bool IsFolder(const std::string &Path) {
  struct stat Info;
  return ::stat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

// One input, the contract scripts rely on: the page beside the source, at
// -o PATH, or on standard output; "tessaline-cli: message" on failure.
int ConvertOne(const TCliOptions &Options, std::ostream &Err, int InputFd, int OutputFd) {
  const std::string &Input = Options.Files.front();
  const bool FromStdin = Input == "-";
  const std::string Target = Options.HasOutput ? Options.Output
                             : FromStdin       ? std::string("-")
                                               : ChangeFileExt(Input, PageExtension(Options.Page.Format));
  struct stat Info;
  if (Options.NoClobber && Target != "-" && ::lstat(Target.c_str(), &Info) == 0) {
    if (!Options.Quiet)
      Err << "tessaline-cli: kept the existing " << Target << "\n";
    return 0;
  }
  TTessaline Converter;
  ApplyCliOptions(Options, Converter);
  if (!FromStdin && Target != "-") {
    ConvertFile(Converter, Input, Target);
    return 0;
  }
  if (FromStdin) {
    Converter.SetPlain(ReadDescriptor(InputFd));
    if (Target != "-") {
      SavePage(Converter, Target);
      return 0;
    }
  }
  TDescriptorSink Out(OutputFd);
  TInterruptibleSink Sink(Out);
  if (FromStdin) {
    Converter.ConvertTo(Sink);
    return 0;
  }
  const TSourceFile File(Input);
  Converter.ConvertTo(Sink, File.Text());
  // The page has gone out already; at least the status tells it is wrong.
  if (File.Shrunk())
    throw EReadError("Stream read error");
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
  // With -o the one input is one page's source, even when it is a folder.
  if (Options.Files.size() > 1 ||
      (!Options.HasOutput && Options.Files.front() != "-" && IsFolder(Options.Files.front()))) {
    std::vector<std::string> Errors;
    const std::vector<TBatchJob> Jobs = CollectBatchJobs(Options.Files, Errors, PageExtension(Options.Page.Format));
    for (const std::string &Error : Errors)
      Err << Error << "\n";
    const bool ShowProgress = !Options.Quiet && Jobs.size() > 1 && ::isatty(STDERR_FILENO);
    std::vector<char> Pages;
    int Status = RunBatch(Jobs, Options, Err, ShowProgress, &Pages);
    if (Options.Index && Status < 128) {
      for (const std::string &Input : Options.Files) {
        if (!IsFolder(Input))
          continue;
        try {
          WriteBatchIndex(Input, Jobs, Pages);
        } catch (const EStreamError &Error) {
          Err << "tessaline-cli: " << Error.what() << "\n";
          Status = 1;
        }
      }
    }
    return Status == 0 && !Errors.empty() ? 1 : Status;
  }
  try {
    return ConvertOne(Options, Err, InputFd, OutputFd);
  } catch (const EInterrupted &) {
    Err << "tessaline-cli: interrupted\n";
    return 128 + InterruptSignal();
  } catch (const EStreamError &Error) {
    Err << "tessaline-cli: " << Error.what() << "\n";
  } catch (const std::bad_alloc &) {
    Err << "tessaline-cli: Out of memory\n";
  }
  return 1;
}
