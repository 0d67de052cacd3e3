#include "FileIO.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PageWriter.h"

namespace {

[[noreturn]] void ThrowOpenError(const std::string &FileName) {
  throw EFOpenError("Cannot open file " + FileName);
}
[[noreturn]] void ThrowCreateError(const std::string &FileName) {
  throw EFCreateError("Cannot create file " + FileName);
}
[[noreturn]] void ThrowReadError() { throw EReadError("Stream read error"); }
[[noreturn]] void ThrowWriteError() { throw EWriteError("Stream write error"); }

class TDescriptor {
public:
  explicit TDescriptor(int Fd) : Fd(Fd) {}
  ~TDescriptor() {
    if (Fd >= 0)
      ::close(Fd);
  }
  int Fd;
};

// Reads until Size bytes are in or the file ends; returns the count.
size_t ReadUpTo(int Fd, char *Data, size_t Size) {
  size_t Done = 0;
  while (Done < Size) {
    const ssize_t N = ::read(Fd, Data + Done, Size - Done);
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      ThrowReadError();
    if (N == 0)
      break;
    Done += static_cast<size_t>(N);
  }
  return Done;
}

std::string TemporaryNameBeside(const std::string &Target) {
  static std::atomic<unsigned> Counter{0};
  const size_t Slash = Target.rfind('/');
  const std::string Base = Slash == std::string::npos ? Target : Target.substr(Slash + 1);
  const std::string Dir = Slash == std::string::npos ? "" : Target.substr(0, Slash + 1);
  const auto Ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  const unsigned long long Unique =
      (static_cast<unsigned long long>(::getpid()) << 20) ^ static_cast<unsigned long long>(Ticks) ^
      (static_cast<unsigned long long>(Counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull);
  static constexpr char Digits[] = "0123456789abcdefghijklmnopqrstuv";
  std::string Suffix;
  for (unsigned long long V = Unique; Suffix.size() < 8; V >>= 5)
    Suffix += Digits[V & 31];
  // Hidden and marked, so a left-over file after a power cut is easy to
  // recognise and does not show up as a page.
  return Dir + "." + Base + "." + Suffix + ".tmp";
}

} // namespace

void WriteAll(int Descriptor, const char *Data, size_t Size) {
  while (Size > 0) {
    const ssize_t N = ::write(Descriptor, Data, Size);
    if (N < 0 && errno == EINTR)
      continue;
    if (N <= 0)
      ThrowWriteError();
    Data += N;
    Size -= static_cast<size_t>(N);
  }
}

namespace {

// Opens FileName for reading into File and Info; a folder is no file to
// read. Throws EFOpenError.
void OpenForReading(const std::string &FileName, TDescriptor &File, struct stat &Info) {
  File.Fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (File.Fd < 0 || ::fstat(File.Fd, &Info) != 0 || S_ISDIR(Info.st_mode))
    ThrowOpenError(FileName);
}

// The bytes of an open file: a regular file's size, or a pipe's or a
// device's all.
std::string ReadOpenFile(int Fd, const struct stat &Info) {
  std::string Bytes;
  if (S_ISREG(Info.st_mode)) {
    const size_t Size = static_cast<size_t>(Info.st_size);
    Bytes.reserve(Size);
    OfferHugePages(Bytes.data(), Size);
    Bytes.resize(Size);
    if (ReadUpTo(Fd, Bytes.data(), Bytes.size()) != Bytes.size())
      ThrowReadError();
  } else {
    // Pipes and devices report no size: read them to their end.
    char Chunk[65536];
    for (size_t N; (N = ReadUpTo(Fd, Chunk, sizeof Chunk)) > 0;)
      Bytes.append(Chunk, N);
  }
  return Bytes;
}

} // namespace

std::string ReadFileBytes(const std::string &FileName) {
  TDescriptor File(-1);
  struct stat Info;
  OpenForReading(FileName, File, Info);
  return ReadOpenFile(File.Fd, Info);
}

namespace {

// Mappings whose file may shrink under them. A read past the new end of a
// mapped file raises SIGBUS; the handler maps a page of NULs over the page
// that is gone, marks the mapping, and lets the read run again. Two
// threads that fault on the same page both map one; the second replaces
// NULs with NULs, whichever a read then sees. Entries are claimed and
// freed without a lock, so the handler can read them at any time; with
// all of them taken, files are read instead of mapped.
struct TGuardedMapping {
  std::atomic<bool> Taken{false};
  std::atomic<char *> Base{nullptr}; // set last, cleared first
  std::atomic<size_t> Length{0};
  std::atomic<bool> Shrunk{false};
};
constexpr int GuardedMappings = 64;
TGuardedMapping Guarded[GuardedMappings];

void OnBusError(int, siginfo_t *Info, void *) {
  const char *Address = static_cast<const char *>(Info->si_addr);
  const uintptr_t PageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  // Only a signal the kernel raised for a fault (a positive code) has an
  // address to look at; one sent by kill or raise has none.
  for (TGuardedMapping &Mapping : Guarded) {
    if (Info->si_code <= 0)
      break;
    const char *Base = Mapping.Base.load();
    if (Base && Address >= Base && Address < Base + Mapping.Length.load()) {
      void *Page = reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(Address) & ~(PageSize - 1));
      if (::mmap(Page, PageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
          MAP_FAILED) {
        Mapping.Shrunk = true;
        return;
      }
      break;
    }
  }
  // Not ours (a fault elsewhere, or a SIGBUS sent by kill), or no page to
  // put there: the signal's own action, as if no handler had been
  // installed, once this handler returns.
  ::signal(SIGBUS, SIG_DFL);
  ::raise(SIGBUS);
}

int ClaimGuard(char *Base, size_t Length) {
  static std::once_flag Installed;
  std::call_once(Installed, [] {
    struct sigaction Action = {};
    Action.sa_sigaction = OnBusError;
    Action.sa_flags = SA_SIGINFO;
    sigemptyset(&Action.sa_mask);
    ::sigaction(SIGBUS, &Action, nullptr);
  });
  for (int K = 0; K < GuardedMappings; ++K) {
    if (Guarded[K].Taken.exchange(true))
      continue;
    Guarded[K].Length = Length;
    Guarded[K].Shrunk = false;
    Guarded[K].Base = Base;
    return K;
  }
  return -1;
}

void ReleaseGuard(int K) {
  Guarded[K].Base = nullptr;
  Guarded[K].Taken = false;
}

} // namespace

TSourceFile::TSourceFile(const std::string &FileName, uint64_t SmallestMapped) {
  TDescriptor File(-1);
  struct stat Info;
  OpenForReading(FileName, File, Info);
  // A large file's cached pages are used where they lie: reading it would
  // copy every byte into fresh memory, which the system zeroes first (for
  // 32 MB, 7 to 8 ms against 3 for mapping it and reading each page once).
  // A small file is read: its buffer comes from the heap, which a batch
  // reuses, where a mapping costs two system calls and at least a fault.
  if (S_ISREG(Info.st_mode) && static_cast<uint64_t>(Info.st_size) >= SmallestMapped &&
      Map(File.Fd, static_cast<size_t>(Info.st_size)))
    return;
  FBytes = ReadOpenFile(File.Fd, Info);
  FText = FBytes;
}

bool TSourceFile::Map(int Fd, size_t Size) {
  const size_t PageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  // The file's pages and one more of NULs after them: a file that fills
  // its last page exactly would otherwise have no byte after it.
  const size_t Length = (Size + PageSize - 1) / PageSize * PageSize + PageSize;
  void *Area = ::mmap(nullptr, Length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (Area == MAP_FAILED)
    return false;
  char *Base = static_cast<char *>(Area);
  const int Guard = ClaimGuard(Base, Length);
  if (Guard >= 0 && ::mmap(Base, Size, PROT_READ, MAP_PRIVATE | MAP_FIXED, Fd, 0) != MAP_FAILED) {
    FBase = Base;
    FLength = Length;
    FGuard = Guard;
    FText = std::string_view(Base, Size);
    return true;
  }
  // No guard to be had, or no mapping: the file is read instead.
  if (Guard >= 0)
    ReleaseGuard(Guard);
  ::munmap(Area, Length);
  return false;
}

TSourceFile::~TSourceFile() {
  if (FBase) {
    // The entry goes first: once unmapped, the addresses may be another's.
    ReleaseGuard(FGuard);
    ::munmap(FBase, FLength);
  }
}

bool TSourceFile::Shrunk() const { return FGuard >= 0 && Guarded[FGuard].Shrunk.load(); }

TSafeFileWriter::TSafeFileWriter(const std::string &FileName)
    : FFileName(FileName), FTarget(FileName) {
  struct stat Info;
  const bool Exists = ::stat(FileName.c_str(), &Info) == 0;
  if (Exists) {
    if (S_ISDIR(Info.st_mode))
      ThrowCreateError(FileName);
    struct stat LinkInfo;
    if (::lstat(FileName.c_str(), &LinkInfo) == 0 && S_ISLNK(LinkInfo.st_mode)) {
      // Replacing the link itself would cut it loose from the file it
      // names; replace that file instead.
      if (char *Resolved = ::realpath(FileName.c_str(), nullptr)) {
        FTarget = Resolved;
        std::free(Resolved);
      }
    }
    if (!S_ISREG(Info.st_mode)) {
      FFile = ::open(FTarget.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      if (FFile < 0)
        ThrowCreateError(FileName);
      return;
    }
  }
  for (int Attempt = 0; Attempt < 100 && FFile < 0; ++Attempt) {
    FTempName = TemporaryNameBeside(FTarget);
    // 0666 so that the user's umask decides a new file's permissions, as
    // for any file the user creates.
    FFile = ::open(FTempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (FFile < 0 && errno != EEXIST)
      break;
  }
  if (FFile < 0) {
    // Even where the old file itself is writable, writing it in place
    // would put it at risk; a folder that takes no new file means no save.
    FTempName.clear();
    ThrowCreateError(FileName);
  }
  if (Exists) {
    ::fchmod(FFile, Info.st_mode & 07777);
    if (::fchown(FFile, Info.st_uid, Info.st_gid) != 0) {
      // Only the owner's own files or root can keep another owner; the
      // new file then belongs to the user who saves it.
    }
  }
}

TSafeFileWriter::~TSafeFileWriter() { Abandon(); }

void TSafeFileWriter::Write(const char *Data, size_t Size) {
  if (FFile < 0)
    ThrowWriteError();
  WriteAll(FFile, Data, Size);
}

void TSafeFileWriter::Commit() {
  if (FFile < 0)
    ThrowWriteError();
  const int File = FFile;
  FFile = -1;
  if (::close(File) != 0) { // NFS and full quotas report here
    Abandon();
    ThrowWriteError();
  }
  if (!FTempName.empty()) {
    if (::rename(FTempName.c_str(), FTarget.c_str()) != 0) {
      Abandon();
      ThrowCreateError(FFileName);
    }
    FTempName.clear();
  }
}

void TSafeFileWriter::Abandon() {
  if (FFile >= 0) {
    ::close(FFile);
    FFile = -1;
  }
  if (!FTempName.empty()) {
    ::unlink(FTempName.c_str());
    FTempName.clear();
  }
}

void TDescriptorSink::Write(const char *Data, size_t Size) { WriteAll(FDescriptor, Data, Size); }
