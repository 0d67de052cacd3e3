#include "FileIO.h"

#include <atomic>
#include <chrono>
#include <cstdint>

#include "Platform.h"

namespace {

[[noreturn]] void ThrowOpenError(const std::string &FileName) {
  throw EFOpenError("Cannot open file " + FileName);
}
[[noreturn]] void ThrowCreateError(const std::string &FileName) {
  throw EFCreateError("Cannot create file " + FileName);
}
[[noreturn]] void ThrowReadError() { throw EReadError("Stream read error"); }
[[noreturn]] void ThrowWriteError() { throw EWriteError("Stream write error"); }

class TOpenFile {
public:
  explicit TOpenFile(TFileHandle File) : File(File) {}
  ~TOpenFile() {
    if (File != NoFile)
      CloseFile(File);
  }
  TFileHandle File;
};

// Reads until Size bytes are in or the file ends; returns the count.
size_t ReadUpTo(TFileHandle File, char *Data, size_t Size,
                const std::function<void()> &OnInterrupted = nullptr) {
  size_t Done = 0;
  while (Done < Size) {
    const ptrdiff_t N = ReadSome(File, Data + Done, Size - Done);
    if (N == ReadInterrupted) {
      if (OnInterrupted)
        OnInterrupted();
      continue;
    }
    if (N < 0)
      ThrowReadError();
    if (N == 0)
      break;
    Done += static_cast<size_t>(N);
  }
  return Done;
}

// The longest file name, in bytes, that the usual file systems take (in
// UTF-16 units on Windows, which a UTF-8 name of this length never passes).
constexpr size_t LongestFileName = 255;

std::string TemporaryNameBeside(const std::string &Target) {
  static std::atomic<unsigned> Counter{0};
  const size_t NameStart = FileNameStart(Target);
  std::string Base = Target.substr(NameStart);
  // The marks below add 14 bytes: a page whose name is nearly as long as
  // a name may be gets a temporary name from the start of its own, cut
  // where no UTF-8 character goes on.
  constexpr size_t Marks = 14;
  if (Base.size() + Marks > LongestFileName) {
    size_t Cut = LongestFileName - Marks;
    while (Cut > 0 && (static_cast<unsigned char>(Base[Cut]) & 0xC0) == 0x80)
      --Cut;
    Base.resize(Cut);
  }
  const std::string Dir = Target.substr(0, NameStart);
  const auto Ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  const unsigned long long Unique =
      (ProcessNumber() << 20) ^ static_cast<unsigned long long>(Ticks) ^
      (static_cast<unsigned long long>(Counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull);
  static constexpr char Digits[] = "0123456789abcdefghijklmnopqrstuv";
  std::string Suffix;
  for (unsigned long long V = Unique; Suffix.size() < 8; V >>= 5)
    Suffix += Digits[V & 31];
  // Hidden and marked, so a left-over file after a power cut is easy to
  // recognise and does not show up as a page.
  return Dir + "." + Base + "." + Suffix + ".tmp";
}

void WriteAllTo(TFileHandle File, const char *Data, size_t Size) {
  while (Size > 0) {
    const ptrdiff_t N = WriteSome(File, Data, Size);
    if (N <= 0)
      ThrowWriteError();
    Data += N;
    Size -= static_cast<size_t>(N);
  }
}

} // namespace

void WriteAll(int Descriptor, const char *Data, size_t Size) {
  WriteAllTo(HandleOfDescriptor(Descriptor), Data, Size);
}

namespace {

// Opens FileName for reading into File and Info; a folder is no file to
// read. Throws EFOpenError.
void OpenSource(const std::string &FileName, TOpenFile &File, TFileInfo &Info) {
  // Windows opens a device for "aux.pas" in any folder, and reading AUX
  // waits for ever; only a file of that name made where the system
  // allows it is a source.
  if (const std::string Device = DeviceNameOf(FileName);
      !Device.empty() && !(InfoOfPath(FileName, Info) && Info.Kind == TFileKind::Regular))
    throw EFOpenError(FileName + " names the device " + Device + ", not a file");
  File.File = OpenForReading(FileName);
  if (File.File == NoFile || !InfoOfFile(File.File, Info) || Info.Kind == TFileKind::Folder)
    ThrowOpenError(FileName);
}

// A pipe's or a device's bytes, to the end: they report no size.
std::string ReadToEnd(TFileHandle File, const std::function<void()> &OnInterrupted = nullptr) {
  std::string Bytes;
  char Chunk[65536];
  for (size_t N; (N = ReadUpTo(File, Chunk, sizeof Chunk, OnInterrupted)) > 0;)
    Bytes.append(Chunk, N);
  return Bytes;
}

// The bytes of an open file: a regular file's size, or a pipe's or a
// device's all.
std::string ReadOpenFile(TFileHandle File, const TFileInfo &Info) {
  std::string Bytes;
  if (Info.Kind == TFileKind::Regular) {
    const size_t Size = static_cast<size_t>(Info.Size);
    Bytes.reserve(Size);
    OfferHugePages(Bytes.data(), Size);
    Bytes.resize(Size);
    if (ReadUpTo(File, Bytes.data(), Bytes.size()) != Bytes.size())
      ThrowReadError();
  } else
    Bytes = ReadToEnd(File);
  return Bytes;
}

} // namespace

std::string ReadFileBytes(const std::string &FileName) {
  TOpenFile File(NoFile);
  TFileInfo Info;
  OpenSource(FileName, File, Info);
  return ReadOpenFile(File.File, Info);
}

std::string ReadDescriptorBytes(int Descriptor, const std::function<void()> &OnInterrupted) {
  return ReadToEnd(HandleOfDescriptor(Descriptor), OnInterrupted);
}

TSourceFile::TSourceFile(const std::string &FileName, uint64_t SmallestMapped) {
  TOpenFile File(NoFile);
  TFileInfo Info;
  OpenSource(FileName, File, Info);
  // A large file's cached pages are used where they lie: reading it would
  // copy every byte into fresh memory, which the system zeroes first (for
  // 32 MB, 7 to 8 ms against 3 for mapping it and reading each page once).
  // A small file is read: its buffer comes from the heap, which a batch
  // reuses, where a mapping costs two system calls and at least a fault.
  if (Info.Kind == TFileKind::Regular && Info.Size >= SmallestMapped &&
      MapFile(File.File, static_cast<size_t>(Info.Size), FMapping)) {
    FText = std::string_view(FMapping.Base, static_cast<size_t>(Info.Size));
    return;
  }
  FBytes = ReadOpenFile(File.File, Info);
  FText = FBytes;
}

TSourceFile::~TSourceFile() { UnmapFile(FMapping); }

bool TSourceFile::Shrunk() const { return MappingShrunk(FMapping); }

TSafeFileWriter::TSafeFileWriter(const std::string &FileName)
    : FFileName(FileName), FTarget(FileName) {
  // A page named after a device (Windows' "nul.html", "com1.html") would
  // go to the device, or nowhere, in any folder.
  if (const std::string Device = DeviceNameOf(FileName); !Device.empty())
    throw EFCreateError(FileName + " names the device " + Device + ", not a file");
  TFileInfo Info;
  const bool Exists = InfoOfPath(FileName, Info);
  if (Exists) {
    if (Info.Kind == TFileKind::Folder)
      ThrowCreateError(FileName);
    // A symbolic link keeps pointing where it did: the file it names is
    // replaced.
    FTarget = ResolveLink(FileName);
    // The folder's permissions would let a read-only page or another
    // user's be replaced; the file's own say no, as for a plain write.
    if (!MayWriteFile(FTarget))
      ThrowCreateError(FileName);
    if (Info.Kind != TFileKind::Regular) {
      FFile = OpenForWritingInPlace(FTarget);
      if (FFile == NoFile)
        ThrowCreateError(FileName);
      return;
    }
  }
  for (int Attempt = 0; Attempt < 100 && FFile == NoFile; ++Attempt) {
    FTempName = TemporaryNameBeside(FTarget);
    // Guarded before it exists: a second interrupt right after the file
    // is made would otherwise leave it. The name is new, so removing it
    // when the file could not be made removes nothing of anyone's.
    FTempGuard = GuardTemporaryFile(FTempName);
    bool Taken = false;
    FFile = CreateExclusive(FTempName, Taken);
    if (FFile == NoFile) {
      ReleaseTemporaryFile(FTempGuard);
      FTempGuard = -1;
    }
    if (FFile == NoFile && !Taken)
      break;
  }
  if (FFile == NoFile) {
    // Even where the old file itself is writable, writing it in place
    // would put it at risk; a folder that takes no new file means no save.
    FTempName.clear();
    ThrowCreateError(FileName);
  }
  // A replacement that would take the file from its owner, or part it
  // from its other names, is not made: the bytes go into the file itself.
  if (Exists)
    FCopyIntoTarget = !CopyPermissions(FFile, Info) || Info.Links > 1;
}

TSafeFileWriter::~TSafeFileWriter() { Abandon(); }

void TSafeFileWriter::Write(const char *Data, size_t Size) {
  if (FFile == NoFile)
    ThrowWriteError();
  WriteAllTo(FFile, Data, Size);
}

void TSafeFileWriter::Commit() {
  if (FFile == NoFile)
    ThrowWriteError();
  const TFileHandle File = FFile;
  FFile = NoFile;
  if (!CloseFile(File)) { // NFS and full quotas report here
    Abandon();
    ThrowWriteError();
  }
  if (FTempName.empty())
    return;
  if (FCopyIntoTarget) {
    CopyIntoTarget();
    Abandon();
    return;
  }
  // Released before the rename: a second interrupt in between would
  // otherwise remove the finished page under its new name's old one.
  ReleaseTemporaryFile(FTempGuard);
  FTempGuard = -1;
  if (!ReplaceFileAtomically(FTempName, FTarget)) {
    Abandon();
    ThrowCreateError(FFileName);
  }
  FTempName.clear();
}

void TSafeFileWriter::CopyIntoTarget() {
  // The page is complete and flushed before the target is touched, so only
  // a failure of this copy itself can leave the target damaged.
  TOpenFile From(OpenForReading(FTempName));
  TOpenFile To(From.File == NoFile ? NoFile : OpenForWritingInPlace(FTarget));
  if (To.File == NoFile) {
    Abandon();
    ThrowCreateError(FFileName);
  }
  char Chunk[65536];
  try {
    for (size_t N; (N = ReadUpTo(From.File, Chunk, sizeof Chunk)) > 0;)
      WriteAllTo(To.File, Chunk, N);
  } catch (const EStreamError &) {
    Abandon();
    throw;
  }
  const TFileHandle Written = To.File;
  To.File = NoFile;
  if (!CloseFile(Written)) {
    Abandon();
    ThrowWriteError();
  }
}

void TSafeFileWriter::Abandon() {
  if (FFile != NoFile) {
    CloseFile(FFile);
    FFile = NoFile;
  }
  if (!FTempName.empty()) {
    RemoveFile(FTempName);
    ReleaseTemporaryFile(FTempGuard);
    FTempGuard = -1;
    FTempName.clear();
  }
}

void TDescriptorSink::Write(const char *Data, size_t Size) { WriteAll(FDescriptor, Data, Size); }
