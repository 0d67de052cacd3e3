// Platform.h for Linux and other POSIX systems.
#include "Platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fd(TFileHandle File) { return static_cast<int>(File); }

TFileKind KindOf(mode_t Mode) {
  if (S_ISREG(Mode))
    return TFileKind::Regular;
  if (S_ISDIR(Mode))
    return TFileKind::Folder;
  if (S_ISLNK(Mode))
    return TFileKind::Link;
  return TFileKind::Other;
}

void Fill(const struct stat &Status, TFileInfo &Info) {
  Info.Kind = KindOf(Status.st_mode);
  Info.Size = static_cast<uint64_t>(Status.st_size);
  Info.Device = static_cast<uint64_t>(Status.st_dev);
  Info.Index = static_cast<uint64_t>(Status.st_ino);
  Info.Mode = static_cast<uint32_t>(Status.st_mode & 07777);
  Info.Owner = static_cast<uint32_t>(Status.st_uid);
  Info.Group = static_cast<uint32_t>(Status.st_gid);
  Info.Links = static_cast<uint32_t>(Status.st_nlink);
}

} // namespace

bool InfoOfPath(const std::string &Path, TFileInfo &Info, bool FollowLinks) {
  return LookUpPath(Path, Info, FollowLinks) == TPathLookup::Found;
}

TPathLookup LookUpPath(const std::string &Path, TFileInfo &Info, bool FollowLinks) {
  struct stat Status;
  if ((FollowLinks ? ::stat(Path.c_str(), &Status) : ::lstat(Path.c_str(), &Status)) != 0) {
    // ENOTDIR: a file where the path wants a folder holds nothing below.
    const bool Nothing = errno == ENOENT || errno == ENOTDIR || errno == ELOOP;
    return Nothing ? TPathLookup::Missing : TPathLookup::Failed;
  }
  Fill(Status, Info);
  return TPathLookup::Found;
}

bool InfoOfFile(TFileHandle File, TFileInfo &Info) {
  struct stat Status;
  if (::fstat(Fd(File), &Status) != 0)
    return false;
  Fill(Status, Info);
  return true;
}

bool IsSameFile(const std::string &Path, const std::string &Other) {
  TFileInfo A, B;
  return InfoOfPath(Path, A) && InfoOfPath(Other, B) && A.Device == B.Device && A.Index == B.Index;
}

bool MayWriteFile(const std::string &Path) {
  // The effective user, as open() would use; the kernel decides, with
  // access control lists and read-only mounts.
  return ::faccessat(AT_FDCWD, Path.c_str(), W_OK, AT_EACCESS) == 0;
}

TFileHandle OpenForReading(const std::string &Path) {
  return ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
}

TFileHandle OpenForWritingInPlace(const std::string &Path) {
  return ::open(Path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
}

TFileHandle CreateExclusive(const std::string &Path, bool &AlreadyExists) {
  // 0666 so that the user's umask decides a new file's permissions, as
  // for any file the user creates.
  const int File = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  AlreadyExists = File < 0 && errno == EEXIST;
  return File;
}

bool CloseFile(TFileHandle File) { return ::close(Fd(File)) == 0; }

ptrdiff_t ReadSome(TFileHandle File, char *Data, size_t Size) {
  const ssize_t N = ::read(Fd(File), Data, Size);
  if (N < 0)
    return errno == EINTR ? ReadInterrupted : ReadFailed;
  return N;
}

ptrdiff_t WriteSome(TFileHandle File, const char *Data, size_t Size) {
  for (;;) {
    const ssize_t N = ::write(Fd(File), Data, Size);
    if (N < 0 && errno == EINTR)
      continue;
    return N < 0 ? -1 : N;
  }
}

TFileHandle HandleOfDescriptor(int Descriptor) { return Descriptor; }

namespace {

// Mappings whose file may shrink under them. A read past the new end of a
// mapped file raises SIGBUS; the handler maps a page of NULs over the page
// that is gone, marks the mapping, and lets the read run again. Two
// threads that fault on the same page both map one; the second replaces
// NULs with NULs, whichever a read then sees. Entries are claimed and
// freed without a lock, so the handler can read them at any time; with
// all of them taken, files are read instead of mapped. The handler is
// installed by the first mapping, so only a program that maps a source
// ever has it.
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

bool MapFile(TFileHandle File, size_t Size, TMappedFile &Mapping) {
  const size_t PageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  // The file's pages and one more of NULs after them: a file that fills
  // its last page exactly would otherwise have no byte after it.
  const size_t Length = (Size + PageSize - 1) / PageSize * PageSize + PageSize;
  void *Area = ::mmap(nullptr, Length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (Area == MAP_FAILED)
    return false;
  char *Base = static_cast<char *>(Area);
  const int Guard = ClaimGuard(Base, Length);
  if (Guard >= 0 &&
      ::mmap(Base, Size, PROT_READ, MAP_PRIVATE | MAP_FIXED, Fd(File), 0) != MAP_FAILED) {
    Mapping.Base = Base;
    Mapping.Length = Length;
    Mapping.Guard = Guard;
    return true;
  }
  if (Guard >= 0)
    ReleaseGuard(Guard);
  ::munmap(Area, Length);
  return false;
}

void UnmapFile(TMappedFile &Mapping) {
  if (!Mapping.Base)
    return;
  // The entry goes first: once unmapped, the addresses may be another's.
  ReleaseGuard(Mapping.Guard);
  ::munmap(Mapping.Base, Mapping.Length);
  Mapping = TMappedFile();
}

bool MappingShrunk(const TMappedFile &Mapping) {
  return Mapping.Guard >= 0 && Guarded[Mapping.Guard].Shrunk.load();
}

char *MapPages(size_t Size, size_t Alignment) {
  void *Area =
      ::mmap(nullptr, Size + Alignment, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (Area == MAP_FAILED)
    return nullptr;
  char *Start = static_cast<char *>(Area);
  char *Aligned = reinterpret_cast<char *>((reinterpret_cast<uintptr_t>(Start) + Alignment - 1) &
                                           ~uintptr_t(Alignment - 1));
  if (Aligned != Start)
    ::munmap(Start, static_cast<size_t>(Aligned - Start));
  ::munmap(Aligned + Size, static_cast<size_t>(Start + Alignment - Aligned));
  OfferHugePages(Aligned, Size);
  return Aligned;
}

char *GrowPages(char *Data, size_t OldSize, size_t NewSize, size_t) {
  // Moved, not copied: the system hands the pages over to the new place.
  void *Moved = ::mremap(Data, OldSize, NewSize, MREMAP_MAYMOVE);
  return Moved == MAP_FAILED ? nullptr : static_cast<char *>(Moved);
}

void UnmapPages(char *Data, size_t Size) { ::munmap(Data, Size); }

void OfferHugePages(char *Data, size_t Size) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t HugeBlock = uintptr_t(2) << 20;
  const uintptr_t From = (reinterpret_cast<uintptr_t>(Data) + HugeBlock - 1) & ~(HugeBlock - 1);
  const uintptr_t To = (reinterpret_cast<uintptr_t>(Data) + Size) & ~(HugeBlock - 1);
  // Only a hint: where huge pages are off, small ones serve as before.
  if (From < To)
    ::madvise(reinterpret_cast<void *>(From), To - From, MADV_HUGEPAGE);
#endif
}

bool IsPathSeparator(char C) { return C == '/'; }

std::string DeviceNameOf(const std::string &) { return std::string(); }

size_t FileNameStart(const std::string &Path) {
  const size_t Slash = Path.rfind('/');
  return Slash == std::string::npos ? 0 : Slash + 1;
}

std::string ComparableFileName(const std::string &Name) { return Name; }

std::string PathInFolder(const std::string &Folder, const std::string &Name) {
  return Folder.empty() || Folder.back() == '/' ? Folder + Name : Folder + "/" + Name;
}

std::string ResolveLink(const std::string &Path) {
  struct stat Status;
  if (::lstat(Path.c_str(), &Status) != 0 || !S_ISLNK(Status.st_mode))
    return Path;
  // Replacing the link itself would cut it loose from the file it names.
  std::string Target = Path;
  if (char *Resolved = ::realpath(Path.c_str(), nullptr)) {
    Target = Resolved;
    std::free(Resolved);
  }
  return Target;
}

bool CopyPermissions(TFileHandle File, const TFileInfo &Original) {
  // Only root can give a file away, and only to groups of the user's own;
  // the mode goes last, since a change of owner clears set-id bits.
  const bool Owned = ::fchown(Fd(File), Original.Owner, Original.Group) == 0;
  return ::fchmod(Fd(File), Original.Mode) == 0 && Owned;
}

bool ReplaceFileAtomically(const std::string &From, const std::string &To) {
  return ::rename(From.c_str(), To.c_str()) == 0;
}

bool RemoveFile(const std::string &Path) { return ::unlink(Path.c_str()) == 0; }

unsigned long long ProcessNumber() { return static_cast<unsigned long long>(::getpid()); }

bool ListFolder(const std::string &Folder, std::vector<TFolderEntry> &Entries) {
  DIR *Dir = ::opendir(Folder.c_str());
  if (!Dir)
    return false;
  // Most file systems give each entry's type with the listing: a plain
  // file then needs no look of its own, and devices, pipes and sockets
  // are nothing to look at.
  while (const dirent *Entry = ::readdir(Dir)) {
    const std::string_view Name(Entry->d_name);
    if (Name == "." || Name == "..")
      continue;
    const TFileKind Kind = Entry->d_type == DT_REG   ? TFileKind::Regular
                           : Entry->d_type == DT_DIR ? TFileKind::Folder
                           : Entry->d_type == DT_LNK || Entry->d_type == DT_UNKNOWN
                               ? TFileKind::Link
                               : TFileKind::Other;
    Entries.push_back({std::string(Name), Kind});
  }
  ::closedir(Dir);
  return true;
}

bool IsTerminal(int Descriptor) { return ::isatty(Descriptor) != 0; }

bool EnableTerminalEscapes(int Descriptor) { return ::isatty(Descriptor) != 0; }

void UseBinaryStandardStreams() {}

std::vector<std::string> ProgramArguments(int Argc, char **Argv) {
  return std::vector<std::string>(Argv + 1, Argv + Argc);
}
