#include "Cli.h"

#include <algorithm>
#include <new>

#include "Batch.h"
#include "CliOptions.h"
#include "FileIO.h"
#include "Html5Page.h"
#include "Interrupt.h"
#include "Platform.h"
#include "SavedScheme.h"
#include "Tessaline.h"
#include "TessalineVersion.h"
#include "TextUtils.h"

namespace {

bool IsFolder(const std::string &Path) {
  TFileInfo Info;
  return InfoOfPath(Path, Info) && Info.Kind == TFileKind::Folder;
}

// One input, the contract scripts rely on: the page beside the source, at
// -o PATH, or on standard output; "tessaline-cli: message" on failure.
int ConvertOne(const TCliOptions &Options, std::ostream &Err, int InputFd, int OutputFd) {
  const std::string &Input = Options.Files.front();
  const bool FromStdin = Input == "-";
  const std::string Target = Options.HasOutput ? Options.Output
                             : FromStdin       ? std::string("-")
                                               : ChangeFileExt(Input, PageExtension(Options.Page.Format));
  TFileInfo Info;
  if (Options.NoClobber && Target != "-" && InfoOfPath(Target, Info, false)) {
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
    Converter.SetPlain(ReadDescriptorBytes(InputFd, [] {
      if (InterruptSignal())
        throw EInterrupted();
    }));
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

// What a bug report needs besides the number: which build, and whether
// "--scheme saved" can see the window's settings at all.
std::string VersionText() {
  const std::string Place = SavedSchemePlace();
  return "tessaline-cli " TESSALINE_VERSION "\n"
         "Platform: " TESSALINE_PLATFORM "\n"
         "Saved settings: " +
         (Place.empty() ? std::string("not read (this build has no reader for them; --scheme saved "
                                      "gives the built-in scheme)")
                        : "read from " + Place) +
         "\n";
}

// The stylesheet that pages made with --css-file link, for their scheme.
int WriteStylesheet(const TCliOptions &Options, int OutputFd) {
  TTessaline Converter;
  ApplyCliOptions(Options, Converter);
  const TPageOptions &Page = Converter.PageOptions();
  // Pages that follow conditionals carry a rule for inactive code.
  const bool WithInactive =
      Options.Dialect == TPascalDialect::Modern && Options.Conditions.Enabled;
  const std::string Sheet = Html5LinkedStylesheet(
      Converter.Scheme(), Page.HasDarkScheme ? &Page.DarkScheme : nullptr, Page, WithInactive);
  if (Options.HasOutput && Options.Output != "-") {
    TSafeFileWriter File(Options.Output);
    File.Write(Sheet.data(), Sheet.size());
    File.Commit();
    return 0;
  }
  TDescriptorSink Out(OutputFd);
  Out.Write(Sheet.data(), Sheet.size());
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
    Out << VersionText();
    return 0;
  }
  // The classic dialect reads no directive: the symbols would change
  // nothing, and a user who gave them expects them to.
  if (Options.Conditions.Enabled && Options.Dialect != TPascalDialect::Modern && !Options.Quiet)
    Err << "tessaline-cli: note: --define, --undefine, --target, --os and --cpu are followed "
           "with --dialect modern only; the classic dialect leaves them aside\n";
  // With -o the one input is one page's source, even when it is a folder;
  // the stylesheet alone has no input.
  const bool Batch = !Options.CssOnly &&
                     (Options.Files.size() > 1 || (!Options.HasOutput && Options.Files.front() != "-" &&
                                                   IsFolder(Options.Files.front())));
  // Which inputs are folders shows only now; an index asked for with none
  // would be left out without a word.
  if (Options.Index && (!Batch || std::none_of(Options.Files.begin(), Options.Files.end(), IsFolder))) {
    Err << "tessaline-cli: --index needs a folder among the inputs (and no -o)\n" << CliUsage();
    return 2;
  }
  // Once, before any worker starts: each converter then gets a copy.
  ReadSavedScheme(Options,
                  [&](const std::string &Warning) { Err << "tessaline-cli: " << Warning << "\n"; });
  try {
    if (Options.CssOnly)
      return WriteStylesheet(Options, OutputFd);
    if (Batch) {
      std::vector<std::string> Errors;
      const std::vector<TBatchJob> Jobs =
          CollectBatchJobs(Options.Files, Errors, PageExtension(Options.Page.Format));
      for (const std::string &Error : Errors)
        Err << Error << "\n";
      const bool ShowProgress = !Options.Quiet && Jobs.size() > 1 && IsTerminal(2);
      std::vector<char> Pages;
      int Status = RunBatch(Jobs, Options, Err, ShowProgress,
                            ShowProgress && EnableTerminalEscapes(2), &Pages);
      if (Options.Index && Status < 128)
        Status = std::max(Status, WriteBatchIndexes(Options, Jobs, Pages, Err));
      return Status == 0 && !Errors.empty() ? 1 : Status;
    }
    return ConvertOne(Options, Err, InputFd, OutputFd);
  } catch (const EInterrupted &) {
    Err << "tessaline-cli: interrupted\n";
    return 128 + InterruptSignal();
  } catch (const std::bad_alloc &) {
    Err << "tessaline-cli: Out of memory\n";
  } catch (const std::exception &Error) {
    // File failures, and anything else (no thread to be had): a message
    // and status 1, never an abort.
    Err << "tessaline-cli: " << Error.what() << "\n";
  }
  return 1;
}
