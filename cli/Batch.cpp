#include "Batch.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "BatchProgress.h"
#include "FileKeys.h"
#include "FileIO.h"
#include "Interrupt.h"
#include "Platform.h"
#include "Tessaline.h"
#include "TextUtils.h"

namespace {

bool HasPascalExtension(const std::string &Name) {
  const size_t Dot = Name.rfind('.');
  if (Dot == std::string::npos || Dot == 0)
    return false;
  const std::string Ext = AsciiLowerCase(std::string_view(Name).substr(Dot + 1));
  return Ext == "pas" || Ext == "dpr" || Ext == "dpk" || Ext == "pp" || Ext == "inc" ||
         Ext == "lpr";
}

struct TFolderId {
  uint64_t Device;
  uint64_t Index;
  bool operator<(const TFolderId &Other) const {
    return Device != Other.Device ? Device < Other.Device : Index < Other.Index;
  }
};

void WalkFolder(const std::string &Folder, const TFileInfo &Info, std::set<TFolderId> &Walked,
                std::vector<TBatchJob> &Jobs, std::vector<std::string> &Errors,
                const char *Extension) {
  // A link back to a folder on the way (or anywhere already walked) would
  // make the walk endless or convert the same files twice.
  if (!Walked.insert({Info.Device, Info.Index}).second)
    return;
  std::vector<TFolderEntry> Entries;
  TFileInfo Self;
  // A folder that may be listed but not searched gives names whose files
  // cannot be reached: it fails as a whole, as one that cannot be listed.
  if (!ListFolder(Folder, Entries) ||
      (!Entries.empty() &&
       LookUpPath(PathInFolder(Folder, "."), Self) == TPathLookup::Failed)) {
    Errors.push_back(Folder + ": Cannot open folder " + Folder);
    return;
  }
  std::sort(Entries.begin(), Entries.end());
  for (const TFolderEntry &Entry : Entries) {
    const std::string Path = PathInFolder(Folder, Entry.Name);
    // A plain file needs no look of its own, and devices, pipes and
    // sockets are nothing to convert. Folders are looked at for their
    // identity, links for what they lead to.
    bool IsFile = Entry.Kind == TFileKind::Regular;
    if (!IsFile) {
      if (Entry.Kind == TFileKind::Other)
        continue;
      TFileInfo EntryInfo;
      const TPathLookup Found = LookUpPath(Path, EntryInfo);
      if (Found == TPathLookup::Missing)
        continue; // a dangling link: nothing to convert
      if (Found == TPathLookup::Failed) {
        // A path too long for the system, say: what lies there is unknown,
        // and passing over it would look like a batch that missed nothing.
        const bool Source = Entry.Kind != TFileKind::Folder && HasPascalExtension(Entry.Name);
        Errors.push_back(Path + (Source ? ": Cannot open file " : ": Cannot open folder ") + Path);
        continue;
      }
      if (EntryInfo.Kind == TFileKind::Folder) {
        WalkFolder(Path, EntryInfo, Walked, Jobs, Errors, Extension);
        continue;
      }
      IsFile = EntryInfo.Kind == TFileKind::Regular;
    }
    if (IsFile && HasPascalExtension(Entry.Name))
      Jobs.push_back({Path, ChangeFileExt(Path, Extension)});
  }
}

bool Exists(const std::string &Path) {
  TFileInfo Info;
  return InfoOfPath(Path, Info, false);
}

// The page of Source's text, or of Plain when there is no Source.
void WritePage(TTessaline &Converter, const std::string &Target, const TSourceFile *Source) {
  TSafeFileWriter File(Target);
  TInterruptibleSink Sink(File);
  if (Source)
    Converter.ConvertTo(Sink, Source->Text());
  else
    Converter.ConvertTo(Sink);
  if (InterruptSignal())
    throw EInterrupted();
  // A page of a file cut short while it was read would be a page of
  // nothing that ever was on disk.
  if (Source && Source->Shrunk())
    throw EReadError("Stream read error");
  File.Commit();
}

} // namespace

size_t ConvertFile(TTessaline &Converter, const std::string &Source, const std::string &Target,
                   const std::function<void(size_t Size)> &OnOpened) {
  const TSourceFile File(Source);
  if (OnOpened)
    OnOpened(File.Text().size());
  // A source already named .html would otherwise be replaced by its page.
  if (IsSameFile(Source, Target))
    throw EStreamError("the page would replace its own source " + Source);
  WritePage(Converter, Target, &File);
  return File.Text().size();
}

void SavePage(TTessaline &Converter, const std::string &Target) {
  WritePage(Converter, Target, nullptr);
}

std::vector<TBatchJob> CollectBatchJobs(const std::vector<std::string> &Inputs,
                                        std::vector<std::string> &Errors, const char *Extension) {
  std::vector<TBatchJob> Jobs;
  std::set<TFolderId> Walked;
  for (const std::string &Input : Inputs) {
    TFileInfo Info;
    if (InfoOfPath(Input, Info) && Info.Kind == TFileKind::Folder) {
      // "src//" names the folder "src/", and its files "src/a.pas".
      std::string Folder = Input;
      while (Folder.size() >= 2 && Folder.ends_with("//"))
        Folder.pop_back();
      WalkFolder(Folder, Info, Walked, Jobs, Errors, Extension);
    } else
      Jobs.push_back({Input, ChangeFileExt(Input, Extension)});
  }
  return Jobs;
}

namespace {

// The jobs to run, in order, and the pages not to write. Two sources that
// differ only in extension ("x.pas", "x.inc") would write one page; the
// first keeps it and the other is reported. A page that is one of the
// sources ("y.pas y.html") is never written. Files are compared as files,
// whatever the spelling ("./x.pas", a link); one given twice is converted
// once. With NoClobber an existing page is kept, and said so unless Quiet.
// Sets Failed when a job is refused.
std::vector<const TBatchJob *> SelectJobs(const std::vector<TBatchJob> &AllJobs,
                                          const TCliOptions &Options, TBatchOutput &Out,
                                          bool &Failed, std::vector<char> *Pages) {
  TFileKeys Keys;
  std::vector<TFileKey> SourceKeys;
  SourceKeys.reserve(AllJobs.size());
  for (const TBatchJob &Job : AllJobs)
    SourceKeys.push_back(Keys.Of(Job.Source));
  const std::set<TFileKey> Sources(SourceKeys.begin(), SourceKeys.end());
  std::vector<const TBatchJob *> Jobs;
  std::map<TFileKey, std::pair<const TBatchJob *, TFileKey>> PageOwners; // and their sources
  for (size_t K = 0; K < AllJobs.size(); ++K) {
    const TBatchJob &Job = AllJobs[K];
    const TFileKey &Source = SourceKeys[K];
    const TFileKey Page = Keys.Of(Job.Target);
    if (Page != Source && Sources.contains(Page)) {
      Out.Report(Job.Source + ": its page " + Job.Target + " is one of the sources");
      Failed = true;
      continue;
    }
    auto [Owner, New] = PageOwners.try_emplace(Page, &Job, Source);
    if (!New && Owner->second.second == Source)
      continue; // the same file again, for the same page
    if (!New) {
      Out.Report(Job.Source + ": its page " + Job.Target + " is the page of " +
                 Owner->second.first->Source);
      Failed = true;
    } else if (Options.NoClobber && Exists(Job.Target)) {
      if (!Options.Quiet)
        Out.Report(Job.Source + ": kept the existing " + Job.Target);
      if (Pages)
        (*Pages)[K] = 1;
    } else {
      Jobs.push_back(&Job);
    }
  }
  return Jobs;
}

// Job numbers 0 to Count - 1 handed to Workers threads, each number once.
// Each worker takes the jobs of a share of its own, in order, and then
// helps with the others'. Shares are runs of the sorted list, so workers
// mostly write to folders of their own: two workers creating files in one
// folder wait for each other on its lock.
class TJobQueue {
public:
  TJobQueue(size_t Count, unsigned Workers) : FCount(Count), FShares(Workers) {
    for (unsigned W = 0; W < Workers; ++W) {
      FShares[W].Next = Count * W / Workers;
      FShares[W].End = Count * (W + 1) / Workers;
    }
  }
  /// The next job for Worker (0 to Workers - 1), or Count when none is left.
  /// Safe from any thread.
  size_t Take(unsigned Worker) {
    const size_t Workers = FShares.size();
    for (size_t K = 0; K < Workers; ++K) {
      TShare &Share = FShares[(Worker + K) % Workers];
      if (const size_t Job = Share.Next.fetch_add(1); Job < Share.End)
        return Job;
    }
    return FCount;
  }
  size_t Count() const { return FCount; }

private:
  struct TShare {
    std::atomic<size_t> Next;
    size_t End;
  };
  const size_t FCount;
  std::vector<TShare> FShares;
};

// The worker threads for Count jobs: Requested, or one per processor when
// Requested is 0, but never more than there are jobs and never none.
unsigned CountWorkers(int Requested, size_t Count, unsigned Processors) {
  const unsigned Workers = Requested > 0 ? static_cast<unsigned>(Requested) : Processors;
  return std::max<unsigned>(1, std::min<size_t>(Workers, Count));
}

// Whether a file starting now gets a helper thread. A large file gets one
// only while a processor is left for it: with every processor converting a
// file of its own, the helper would only take turns with them. Towards the
// end of a batch, as workers run out of files, the last large ones get one.
class THelperBudget {
public:
  explicit THelperBudget(unsigned Processors) : FProcessors(Processors) {}
  /// Counts a file as started; true when a processor is left for its helper.
  bool Start() { return FInFlight.fetch_add(1) + 1 < FProcessors; }
  /// Counts a file started with Start as ended.
  void End() { --FInFlight; }

private:
  const unsigned FProcessors;
  std::atomic<unsigned> FInFlight{0};
};

// What the workers of one batch share.
struct TBatchRun {
  const std::vector<const TBatchJob *> &Jobs;
  const TCliOptions &Options; // the saved scheme already read
  bool ShowProgress;
  TJobQueue &Queue;
  THelperBudget &Helpers;
  TBatchCounts &Counts;
  TBatchOutput &Out;
  TProgressLine &Progress;
  std::vector<char> *Pages; // indexed from AllJobs
  const TBatchJob *AllJobs;
  std::atomic<bool> Failed{false};
};

// One worker: converts the jobs Run's queue gives it with a converter of
// its own until none is left or an interrupt arrives. A file's failure is
// reported and sets Run.Failed; no exception leaves it.
void RunWorker(TBatchRun &Run, unsigned Worker) {
  const TCliOptions Own = Run.Options;
  TTessaline Converter;
  ApplyCliOptions(Own, Converter);
  const TScanOptions WithHelper = Converter.ScanOptions();
  TScanOptions Alone = WithHelper;
  Alone.Split.Segment = 0;
  // With a progress bar, a file's bytes count as its conversion goes, so
  // that a large file does not show as nothing done until it ends.
  uint64_t JobSize = 0, Counted = 0;
  std::atomic<uint64_t> &Bytes = Run.Counts.Bytes;
  if (Run.ShowProgress)
    Converter.SetOnProgress([&](TTessaline &, int32_t Percent) {
      const uint64_t Now = JobSize / 100 * static_cast<uint64_t>(std::clamp(Percent, 0, 100));
      if (Now > Counted) {
        Bytes += Now - Counted;
        Counted = Now;
      }
    });
  for (size_t K; !InterruptSignal() && (K = Run.Queue.Take(Worker)) < Run.Queue.Count();) {
    const TBatchJob &Job = *Run.Jobs[K];
    JobSize = Counted = 0;
    Converter.SetScanOptions(Run.Helpers.Start() ? WithHelper : Alone);
    try {
      const size_t Size =
          ConvertFile(Converter, Job.Source, Job.Target, [&](size_t Size) { JobSize = Size; });
      Bytes += Size - std::min<uint64_t>(Size, Counted);
      if (Run.Pages)
        (*Run.Pages)[static_cast<size_t>(Run.Jobs[K] - Run.AllJobs)] = 1;
    } catch (const EInterrupted &) {
      break;
    } catch (const std::bad_alloc &) {
      Bytes -= Counted;
      Run.Out.Report(Job.Source + ": Out of memory");
      Run.Failed = true;
    } catch (const std::exception &Error) {
      // File failures, and anything else: one file's failure, reported
      // here, since an exception leaving a worker would end the program.
      Bytes -= Counted;
      Run.Out.Report(Job.Source + ": " + Error.what());
      Run.Failed = true;
    }
    Run.Helpers.End();
    ++Run.Counts.Done;
    Run.Progress.FileDone();
  }
}

} // namespace

int RunBatch(const std::vector<TBatchJob> &AllJobs, const TCliOptions &Options, std::ostream &Err,
             bool ShowProgress, bool Escapes, std::vector<char> *Pages) {
  if (Pages)
    Pages->assign(AllJobs.size(), 0);
  TBatchOutput Out(Err, ShowProgress, Escapes);
  bool Failed = false;
  const std::vector<const TBatchJob *> Jobs = SelectJobs(AllJobs, Options, Out, Failed, Pages);

  const unsigned Processors = std::max(1u, std::thread::hardware_concurrency());
  const unsigned Workers = CountWorkers(Options.Jobs, Jobs.size(), Processors);
  // The saved scheme is read here, once, should the caller not have done
  // so: settings readers built by several workers at once race inside Qt.
  TCliOptions Shared = Options;
  ReadSavedScheme(Shared,
                  [&](const std::string &Warning) { Out.Report("tessaline-cli: " + Warning); });

  TJobQueue Queue(Jobs.size(), Workers);
  THelperBudget Helpers(Processors);
  TBatchCounts Counts;
  TProgressLine Progress(Out, Counts, Jobs.size(), ShowProgress, Escapes);
  TBatchRun Run{Jobs,     Shared,   ShowProgress, Queue, Helpers, Counts,
                Out,      Progress, Pages,        AllJobs.data()};
  std::vector<std::thread> Threads;
  for (unsigned K = 1; K < Workers; ++K)
    Threads.emplace_back(RunWorker, std::ref(Run), K);
  RunWorker(Run, 0); // this thread is a worker too
  for (std::thread &Thread : Threads)
    Thread.join();
  Progress.Finish();
  if (const int Signal = InterruptSignal()) {
    Out.Report("tessaline-cli: interrupted");
    return 128 + Signal;
  }
  return Failed || Run.Failed ? 1 : 0;
}
