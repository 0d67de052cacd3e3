#include "Batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "FileIO.h"
#include "Interrupt.h"
#include "Tessaline.h"
#include "TextUtils.h"

namespace {

bool HasPascalExtension(const std::string &Name) {
  const size_t Dot = Name.rfind('.');
  if (Dot == std::string::npos || Dot == 0)
    return false;
  std::string Ext = Name.substr(Dot + 1);
  for (char &C : Ext)
    if (C >= 'A' && C <= 'Z')
      C = char(C + 32);
  return Ext == "pas" || Ext == "dpr" || Ext == "dpk" || Ext == "pp" || Ext == "inc" ||
         Ext == "lpr";
}

struct TFolderId {
  dev_t Device;
  ino_t Inode;
  bool operator<(const TFolderId &Other) const {
    return Device != Other.Device ? Device < Other.Device : Inode < Other.Inode;
  }
};

void WalkFolder(const std::string &Folder, const struct stat &Info, std::set<TFolderId> &Walked,
                std::vector<TBatchJob> &Jobs, std::vector<std::string> &Errors,
                const char *Extension) {
  // A link back to a folder on the way (or anywhere already walked) would
  // make the walk endless or convert the same files twice.
  if (!Walked.insert({Info.st_dev, Info.st_ino}).second)
    return;
  DIR *Dir = ::opendir(Folder.c_str());
  if (!Dir) {
    Errors.push_back(Folder + ": Cannot open folder " + Folder);
    return;
  }
  std::vector<std::pair<std::string, unsigned char>> Entries; // names and types
  while (const dirent *Entry = ::readdir(Dir))
    if (std::string_view(Entry->d_name) != "." && std::string_view(Entry->d_name) != "..")
      Entries.emplace_back(Entry->d_name, Entry->d_type);
  ::closedir(Dir);
  std::sort(Entries.begin(), Entries.end());
  const std::string Prefix = Folder.back() == '/' ? Folder : Folder + "/";
  for (const auto &[Name, Type] : Entries) {
    const std::string Path = Prefix + Name;
    // Most file systems give each entry's type with the listing: a plain
    // file needs no look of its own, and devices, pipes and sockets are
    // nothing to convert. Folders are looked at for their identity, links
    // for what they lead to.
    bool IsFile = Type == DT_REG;
    if (!IsFile) {
      if (Type != DT_DIR && Type != DT_LNK && Type != DT_UNKNOWN)
        continue;
      struct stat EntryInfo;
      if (::stat(Path.c_str(), &EntryInfo) != 0)
        continue; // a dangling link: nothing to convert
      if (S_ISDIR(EntryInfo.st_mode)) {
        WalkFolder(Path, EntryInfo, Walked, Jobs, Errors, Extension);
        continue;
      }
      IsFile = S_ISREG(EntryInfo.st_mode);
    }
    if (IsFile && HasPascalExtension(Name))
      Jobs.push_back({Path, ChangeFileExt(Path, Extension)});
  }
}

bool IsSameFile(const std::string &A, const std::string &B) {
  struct stat InfoA, InfoB;
  return ::stat(A.c_str(), &InfoA) == 0 && ::stat(B.c_str(), &InfoB) == 0 &&
         InfoA.st_dev == InfoB.st_dev && InfoA.st_ino == InfoB.st_ino;
}

bool Exists(const std::string &Path) {
  struct stat Info;
  return ::lstat(Path.c_str(), &Info) == 0;
}

std::string FormatProgress(size_t Done, size_t Total, uint64_t Bytes, double Seconds) {
  constexpr int Width = 24;
  const int Filled = Total ? static_cast<int>(Done * Width / Total) : Width;
  char Line[160];
  std::snprintf(Line, sizeof Line, "\r[%s%s] %zu/%zu files, %.1f MB, %.0f MB/s\033[K",
                std::string(Filled, '#').c_str(), std::string(Width - Filled, '.').c_str(), Done,
                Total, Bytes / 1e6, Seconds > 0 ? Bytes / 1e6 / Seconds : 0.0);
  return Line;
}

} // namespace

namespace {

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

size_t ConvertFile(TTessaline &Converter, const std::string &Source, const std::string &Target) {
  const TSourceFile File(Source);
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
    struct stat Info;
    if (::stat(Input.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode))
      WalkFolder(Input, Info, Walked, Jobs, Errors, Extension);
    else
      Jobs.push_back({Input, ChangeFileExt(Input, Extension)});
  }
  return Jobs;
}

int RunBatch(const std::vector<TBatchJob> &AllJobs, const TCliOptions &Options, std::ostream &Err,
             bool ShowProgress, std::vector<char> *Pages) {
  if (Pages)
    Pages->assign(AllJobs.size(), 0);
  std::mutex ErrLock;
  bool Failed = false;
  auto Report = [&](const std::string &Line) {
    std::lock_guard<std::mutex> Lock(ErrLock);
    if (ShowProgress)
      Err << "\r\033[K";
    Err << Line << "\n";
    Err.flush();
  };

  // Two sources that differ only in extension ("x.pas", "x.inc") would
  // write one page; the first keeps it and the other is reported.
  std::vector<const TBatchJob *> Jobs;
  std::map<std::string, const TBatchJob *> PageOwners;
  for (const TBatchJob &Job : AllJobs) {
    auto [Owner, New] = PageOwners.emplace(Job.Target, &Job);
    if (!New) {
      Report(Job.Source + ": its page " + Job.Target + " is the page of " + Owner->second->Source);
      Failed = true;
    } else if (Options.NoClobber && Exists(Job.Target)) {
      if (!Options.Quiet)
        Report(Job.Source + ": kept the existing " + Job.Target);
      if (Pages)
        (*Pages)[static_cast<size_t>(&Job - AllJobs.data())] = 1;
    } else {
      Jobs.push_back(&Job);
    }
  }

  const unsigned Processors = std::max(1u, std::thread::hardware_concurrency());
  unsigned Workers = Options.Jobs > 0 ? static_cast<unsigned>(Options.Jobs) : Processors;
  Workers = std::max<unsigned>(1, std::min<size_t>(Workers, Jobs.size()));
  // Each worker takes the jobs of a share of its own, in order, and then
  // helps with the others'. Shares are runs of the sorted list, so workers
  // mostly write to folders of their own: two workers creating files in one
  // folder wait for each other on its lock.
  struct TShare {
    std::atomic<size_t> Next;
    size_t End;
  };
  std::vector<TShare> Shares(Workers);
  for (unsigned W = 0; W < Workers; ++W) {
    Shares[W].Next = Jobs.size() * W / Workers;
    Shares[W].End = Jobs.size() * (W + 1) / Workers;
  }
  auto TakeJob = [&](unsigned Worker) {
    for (unsigned K = 0; K < Workers; ++K) {
      TShare &Share = Shares[(Worker + K) % Workers];
      if (const size_t Job = Share.Next.fetch_add(1); Job < Share.End)
        return Job;
    }
    return Jobs.size();
  };
  std::atomic<size_t> Done{0};
  std::atomic<size_t> InFlight{0};
  std::atomic<uint64_t> Bytes{0};
  std::atomic<bool> AnyFailed{false};
  std::mutex DoneLock;
  std::condition_variable DoneSignal;

  auto Work = [&](unsigned Worker) {
    TTessaline Converter;
    ApplyCliOptions(Options, Converter);
    const TScanOptions Shared = Converter.ScanOptions();
    TScanOptions Alone = Shared;
    Alone.Split.Segment = 0;
    for (size_t K; !InterruptSignal() && (K = TakeJob(Worker)) < Jobs.size();) {
      const TBatchJob &Job = *Jobs[K];
      // A large file gets a helper thread only while a processor is left
      // for it: with every processor converting a file of its own, the
      // helper would only take turns with them. Towards the end of a
      // batch, as workers run out of files, the last large ones get one.
      const bool ProcessorLeft = InFlight.fetch_add(1) + 1 < Processors;
      Converter.SetScanOptions(ProcessorLeft ? Shared : Alone);
      try {
        Bytes += ConvertFile(Converter, Job.Source, Job.Target);
        if (Pages)
          (*Pages)[static_cast<size_t>(Jobs[K] - AllJobs.data())] = 1;
      } catch (const EInterrupted &) {
        break;
      } catch (const EStreamError &Error) {
        Report(Job.Source + ": " + Error.what());
        AnyFailed = true;
      } catch (const std::bad_alloc &) {
        Report(Job.Source + ": Out of memory");
        AnyFailed = true;
      }
      --InFlight;
      ++Done;
      DoneSignal.notify_one();
    }
  };

  const auto Start = std::chrono::steady_clock::now();
  std::vector<std::thread> Threads;
  for (unsigned K = 1; K < Workers; ++K)
    Threads.emplace_back(Work, K);
  std::thread Monitor;
  std::atomic<bool> Finished{false};
  if (ShowProgress) {
    Monitor = std::thread([&] {
      std::unique_lock<std::mutex> Lock(DoneLock);
      while (!Finished) {
        DoneSignal.wait_for(Lock, std::chrono::milliseconds(100));
        const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
        std::lock_guard<std::mutex> Out(ErrLock);
        Err << FormatProgress(Done, Jobs.size(), Bytes, Took.count());
        Err.flush();
      }
    });
  }
  Work(0); // this thread is a worker too
  for (std::thread &Thread : Threads)
    Thread.join();
  if (ShowProgress) {
    Finished = true;
    DoneSignal.notify_one();
    Monitor.join();
    const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
    Err << FormatProgress(Done, Jobs.size(), Bytes, Took.count()) << "\n";
  }
  if (const int Signal = InterruptSignal()) {
    Report("tessaline-cli: interrupted");
    return 128 + Signal;
  }
  return Failed || AnyFailed ? 1 : 0;
}
