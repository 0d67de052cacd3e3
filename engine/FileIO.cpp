#include "FileIO.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string ReadFileBytes(const std::string &FileName) {
  TDescriptor File(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (File.Fd < 0)
    ThrowOpenError(FileName);
  struct stat Info;
  if (::fstat(File.Fd, &Info) != 0 || S_ISDIR(Info.st_mode))
    ThrowOpenError(FileName);
  std::string Bytes;
  if (S_ISREG(Info.st_mode)) {
    Bytes.resize(static_cast<size_t>(Info.st_size));
    if (ReadUpTo(File.Fd, Bytes.data(), Bytes.size()) != Bytes.size())
      ThrowReadError();
  } else {
    // Pipes and devices report no size: read them to their end.
    char Chunk[65536];
    for (size_t N; (N = ReadUpTo(File.Fd, Chunk, sizeof Chunk)) > 0;)
      Bytes.append(Chunk, N);
  }
  return Bytes;
}

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
