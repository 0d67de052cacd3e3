// Platform.h for Windows. Names are UTF-8 inside the program and wide at
// this edge, always through the "\\?\" form, so that names outside the
// ANSI code page and paths longer than MAX_PATH work alike.
#include "Platform.h"

#include <cstring>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace {

HANDLE Handle(TFileHandle File) { return reinterpret_cast<HANDLE>(File); }
TFileHandle FileOf(HANDLE Handle) {
  return Handle == INVALID_HANDLE_VALUE ? NoFile : reinterpret_cast<TFileHandle>(Handle);
}

std::wstring Widened(const std::string &Text) {
  if (Text.empty())
    return std::wstring();
  const int Length = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                         nullptr, 0);
  std::wstring Wide(static_cast<size_t>(Length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
  return Wide;
}

std::string Narrowed(const wchar_t *Text, size_t Size) {
  if (Size == 0)
    return std::string();
  const int Length = WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Size), nullptr, 0,
                                         nullptr, nullptr);
  std::string Narrow(static_cast<size_t>(Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Size), Narrow.data(), Length, nullptr,
                      nullptr);
  return Narrow;
}

// The wide, absolute "\\?\" form of Path, which no MAX_PATH limit applies
// to. GetFullPathNameW does what the system would otherwise do to a path:
// it makes it absolute and resolves "." and "..", with either separator.
// Device names ("NUL", "\\.\pipe\x") stay in their own form.
std::wstring SystemPath(const std::string &Path) {
  const std::wstring Wide = Widened(Path);
  if (Wide.empty() || Wide.rfind(L"\\\\?\\", 0) == 0)
    return Wide;
  std::wstring Full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD Length =
        GetFullPathNameW(Wide.c_str(), static_cast<DWORD>(Full.size()), Full.data(), nullptr);
    if (Length == 0)
      return Wide;
    if (Length < Full.size()) {
      Full.resize(Length);
      break;
    }
    Full.resize(Length);
  }
  if (Full.rfind(L"\\\\.\\", 0) == 0)
    return Full;
  if (Full.rfind(L"\\\\", 0) == 0) // a share: \\server\share\...
    return L"\\\\?\\UNC\\" + Full.substr(2);
  return L"\\\\?\\" + Full;
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenForInfo(const std::string &Path, bool FollowLinks) {
  // Backup semantics, so that folders open too; no access asked for, so
  // that a file another program holds open can still be looked at.
  return CreateFileW(SystemPath(Path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                     OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (FollowLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                     nullptr);
}

bool Fill(HANDLE File, TFileInfo &Info) {
  const DWORD Type = GetFileType(File);
  if (Type != FILE_TYPE_DISK) {
    // A console, the NUL device, a pipe: no size and no identity.
    Info = TFileInfo();
    Info.Kind = TFileKind::Other;
    return Type != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
  }
  BY_HANDLE_FILE_INFORMATION Data;
  if (!GetFileInformationByHandle(File, &Data))
    return false;
  Info.Kind = (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? TFileKind::Link
              : (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? TFileKind::Folder
                                                                    : TFileKind::Regular;
  Info.Size = (uint64_t(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
  // The volume and the file's index on it name the file; st_ino would
  // be 0 for every file here.
  Info.Device = Data.dwVolumeSerialNumber;
  Info.Index = (uint64_t(Data.nFileIndexHigh) << 32) | Data.nFileIndexLow;
  Info.Mode = Data.dwFileAttributes;
  Info.Owner = Info.Group = 0;
  Info.Links = Data.nNumberOfLinks;
  return true;
}

} // namespace

bool InfoOfPath(const std::string &Path, TFileInfo &Info, bool FollowLinks) {
  return LookUpPath(Path, Info, FollowLinks) == TPathLookup::Found;
}

TPathLookup LookUpPath(const std::string &Path, TFileInfo &Info, bool FollowLinks) {
  const HANDLE File = OpenForInfo(Path, FollowLinks);
  if (File == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_CANT_RESOLVE_FILENAME: // a loop of links
      return TPathLookup::Missing;
    default:
      return TPathLookup::Failed;
    }
  }
  // Opened without following links, any reparse point (a symbolic link,
  // a junction) counts as a link.
  const bool Done = Fill(File, Info);
  CloseHandle(File);
  return Done ? TPathLookup::Found : TPathLookup::Failed;
}

bool InfoOfFile(TFileHandle File, TFileInfo &Info) { return Fill(Handle(File), Info); }

bool IsSameFile(const std::string &Path, const std::string &Other) {
  TFileInfo A, B;
  return InfoOfPath(Path, A) && InfoOfPath(Other, B) && A.Kind != TFileKind::Other &&
         A.Device == B.Device && A.Index == B.Index;
}

bool MayWriteFile(const std::string &Path) {
  const std::wstring Name = SystemPath(Path);
  // Devices (NUL) have no attributes to ask; a read-only file has.
  const DWORD Attributes = GetFileAttributesW(Name.c_str());
  if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  // The file's security decides as a write would: opening it for writing
  // changes nothing, and others may keep it open meanwhile.
  const HANDLE File =
      CreateFileW(Name.c_str(), GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (File == INVALID_HANDLE_VALUE)
    return false;
  CloseHandle(File);
  return true;
}

TFileHandle OpenForReading(const std::string &Path) {
  // Without backup semantics a folder does not open, as it should not.
  // Others may go on writing, renaming or deleting the file meanwhile.
  return FileOf(CreateFileW(SystemPath(Path).c_str(), GENERIC_READ, ShareAll, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

TFileHandle OpenForWritingInPlace(const std::string &Path) {
  const HANDLE File = CreateFileW(SystemPath(Path).c_str(), GENERIC_WRITE, ShareAll, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  // A file on disk is emptied; a device (NUL, a console) has nothing to
  // empty, and TRUNCATE_EXISTING would refuse to open it.
  if (File != INVALID_HANDLE_VALUE && GetFileType(File) == FILE_TYPE_DISK && !SetEndOfFile(File)) {
    CloseHandle(File);
    return NoFile;
  }
  return FileOf(File);
}

TFileHandle CreateExclusive(const std::string &Path, bool &AlreadyExists) {
  // Shared for deletion, so that a second Ctrl-C can remove a temporary
  // file still being written (it goes when the process's handle closes).
  const HANDLE File = CreateFileW(SystemPath(Path).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD Error = GetLastError();
  AlreadyExists = File == INVALID_HANDLE_VALUE &&
                  (Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS);
  return FileOf(File);
}

bool CloseFile(TFileHandle File) { return CloseHandle(Handle(File)) != 0; }

ptrdiff_t ReadSome(TFileHandle File, char *Data, size_t Size) {
  DWORD Done = 0;
  const DWORD Asked = Size > (DWORD(1) << 30) ? (DWORD(1) << 30) : static_cast<DWORD>(Size);
  if (ReadFile(Handle(File), Data, Asked, &Done, nullptr))
    return static_cast<ptrdiff_t>(Done);
  switch (GetLastError()) {
  case ERROR_BROKEN_PIPE: // the writer closed its end: the end of the data
  case ERROR_HANDLE_EOF:
    return 0;
  case ERROR_OPERATION_ABORTED: // Ctrl-C while reading from the console
    return ReadInterrupted;
  default:
    return ReadFailed;
  }
}

ptrdiff_t WriteSome(TFileHandle File, const char *Data, size_t Size) {
  const DWORD Asked = Size > (DWORD(1) << 30) ? (DWORD(1) << 30) : static_cast<DWORD>(Size);
  for (;;) {
    DWORD Done = 0;
    if (WriteFile(Handle(File), Data, Asked, &Done, nullptr))
      return static_cast<ptrdiff_t>(Done);
    // Ctrl-C cancels what the main thread waits for (see OnConsoleControl):
    // a write is tried again, and the interrupt is noticed before the next.
    if (GetLastError() != ERROR_OPERATION_ABORTED)
      return -1;
    if (Done > 0)
      return static_cast<ptrdiff_t>(Done);
  }
}

TFileHandle HandleOfDescriptor(int Descriptor) {
  const intptr_t File = _get_osfhandle(Descriptor);
  return File == -1 || File == -2 ? NoFile : File;
}

bool MapFile(TFileHandle File, size_t Size, TMappedFile &Mapping) {
  SYSTEM_INFO System;
  GetSystemInfo(&System);
  // A view ends with the file's last page, the rest of which reads as
  // NUL; a file that fills its last page exactly has no byte after it and
  // is read instead. A file cannot shrink while a view of it exists (the
  // system refuses), so there is nothing to guard.
  if (Size == 0 || Size % System.dwPageSize == 0)
    return false;
  const HANDLE Section = CreateFileMappingW(Handle(File), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!Section)
    return false;
  void *View = MapViewOfFile(Section, FILE_MAP_READ, 0, 0, 0);
  if (!View) {
    CloseHandle(Section);
    return false;
  }
  Mapping.Base = static_cast<char *>(View);
  Mapping.Length = Size;
  Mapping.Guard = -1;
  Mapping.Section = reinterpret_cast<intptr_t>(Section);
  return true;
}

void UnmapFile(TMappedFile &Mapping) {
  if (!Mapping.Base)
    return;
  UnmapViewOfFile(Mapping.Base);
  CloseHandle(reinterpret_cast<HANDLE>(Mapping.Section));
  Mapping = TMappedFile();
}

bool MappingShrunk(const TMappedFile &) { return false; }

char *MapPages(size_t Size, size_t) {
  // Huge pages need a privilege ordinary users lack; the alignment only
  // served them.
  return static_cast<char *>(VirtualAlloc(nullptr, Size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

char *GrowPages(char *Data, size_t OldSize, size_t NewSize, size_t Alignment) {
  char *Grown = MapPages(NewSize, Alignment);
  if (!Grown)
    return nullptr;
  std::memcpy(Grown, Data, OldSize);
  UnmapPages(Data, OldSize);
  return Grown;
}

void UnmapPages(char *Data, size_t) { VirtualFree(Data, 0, MEM_RELEASE); }

void OfferHugePages(char *, size_t) {}

bool IsPathSeparator(char C) { return C == '/' || C == '\\'; }

std::string DeviceNameOf(const std::string &Path) {
  // The device namespace asked for by name is what the user means.
  if (Path.rfind("\\\\.\\", 0) == 0)
    return std::string();
  // The system takes the part before the first dot (or colon), without
  // trailing blanks, for the device, whatever follows: "nul.html" and
  // "COM1 .txt" are devices in every folder.
  const std::string Name = Path.substr(FileNameStart(Path));
  std::string Stem = Name.substr(0, Name.find_first_of(".:"));
  while (!Stem.empty() && Stem.back() == ' ')
    Stem.pop_back();
  for (char &C : Stem)
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 'a' + 'A');
  // A bare "NUL" is the device asked for, as a script writes it.
  if (Stem.size() == Path.size())
    return std::string();
  for (const char *Device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (Stem == Device)
      return Stem;
  const bool Port = Stem.rfind("COM", 0) == 0 || Stem.rfind("LPT", 0) == 0;
  // COM0 to COM9, and COM with a superscript 1, 2 or 3 (in UTF-8).
  if (Port && Stem.size() == 4 && Stem[3] >= '0' && Stem[3] <= '9')
    return Stem;
  if (Port && Stem.size() == 5 && Stem[3] == '\xC2' &&
      (Stem[4] == '\xB9' || Stem[4] == '\xB2' || Stem[4] == '\xB3'))
    return Stem;
  return std::string();
}

size_t FileNameStart(const std::string &Path) {
  const size_t Separator = Path.find_last_of("/\\");
  if (Separator != std::string::npos)
    return Separator + 1;
  // "C:page.html" is page.html in drive C's current folder.
  return Path.size() >= 2 && Path[1] == ':' ? 2 : 0;
}

std::string ComparableFileName(const std::string &Name) {
  // The invariant upper case is the one NTFS's own table follows for
  // everything but a few rare letters.
  std::wstring Wide = Widened(Name);
  if (Wide.empty())
    return Name;
  const int Size = static_cast<int>(Wide.size());
  std::wstring Upper(Wide.size(), L'\0');
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, Wide.c_str(), Size, Upper.data(),
                    Size, nullptr, nullptr, 0) != Size)
    return Name;
  return Narrowed(Upper.data(), Upper.size());
}

std::string PathInFolder(const std::string &Folder, const std::string &Name) {
  if (Folder.empty() || Folder.back() == '/' || Folder.back() == '\\' ||
      (Folder.size() == 2 && Folder[1] == ':'))
    return Folder + Name;
  return Folder + "\\" + Name;
}

std::string ResolveLink(const std::string &Path) {
  TFileInfo Info;
  if (!InfoOfPath(Path, Info, false) || Info.Kind != TFileKind::Link)
    return Path;
  const HANDLE File = OpenForInfo(Path, true);
  if (File == INVALID_HANDLE_VALUE)
    return Path;
  wchar_t Buffer[32768];
  const DWORD Length = GetFinalPathNameByHandleW(File, Buffer, 32768, FILE_NAME_NORMALIZED);
  CloseHandle(File);
  if (Length == 0 || Length >= 32768)
    return Path;
  std::wstring Final(Buffer, Length);
  if (Final.rfind(L"\\\\?\\UNC\\", 0) == 0)
    Final = L"\\\\" + Final.substr(8);
  else if (Final.rfind(L"\\\\?\\", 0) == 0)
    Final = Final.substr(4);
  return Narrowed(Final.data(), Final.size());
}

bool CopyPermissions(TFileHandle File, const TFileInfo &Original) {
  // ReplaceFileW gives the new file the old one's security and should
  // give it its attributes too; not every implementation does, so the
  // attributes a page may carry go with it from the start.
  constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO Basic = {};
  Basic.FileAttributes = (Original.Mode & Kept) ? (Original.Mode & Kept) : FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(Handle(File), FileBasicInfo, &Basic, sizeof Basic);
  // The owner and the access go with ReplaceFileW.
  return true;
}

bool ReplaceFileAtomically(const std::string &From, const std::string &To) {
  const std::wstring Source = SystemPath(From);
  const std::wstring Target = SystemPath(To);
  const DWORD Attributes = GetFileAttributesW(Target.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES)
    return MoveFileExW(Source.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  // A read-only page is one its owner wants kept.
  if (Attributes & FILE_ATTRIBUTE_READONLY) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (ReplaceFileW(Target.c_str(), Source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                   nullptr, nullptr))
    return true;
  // The old file is gone already and the new one still has its temporary
  // name: the one way left to a page is moving it into place.
  if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
    return MoveFileExW(Source.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  return false;
}

bool RemoveFile(const std::string &Path) { return DeleteFileW(SystemPath(Path).c_str()) != 0; }

unsigned long long ProcessNumber() { return GetCurrentProcessId(); }

bool ListFolder(const std::string &Folder, std::vector<TFolderEntry> &Entries) {
  std::wstring Pattern = SystemPath(Folder);
  if (Pattern.empty())
    return false;
  Pattern += Pattern.back() == L'\\' ? L"*" : L"\\*";
  WIN32_FIND_DATAW Data;
  const HANDLE Search = FindFirstFileExW(Pattern.c_str(), FindExInfoBasic, &Data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (Search == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND; // an empty drive's root
  do {
    const std::wstring_view Name(Data.cFileName);
    if (Name == L"." || Name == L"..")
      continue;
    const DWORD Attributes = Data.dwFileAttributes;
    const TFileKind Kind = (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? TFileKind::Link
                           : (Attributes & FILE_ATTRIBUTE_DIRECTORY)  ? TFileKind::Folder
                                                                      : TFileKind::Regular;
    Entries.push_back({Narrowed(Name.data(), Name.size()), Kind});
  } while (FindNextFileW(Search, &Data));
  FindClose(Search);
  return true;
}

std::vector<std::string> ProgramArguments(int, char **) {
  // argv holds the arguments in the ANSI code page, with "?" for what it
  // lacks; the wide command line holds them as typed.
  int Count = 0;
  wchar_t **Wide = CommandLineToArgvW(GetCommandLineW(), &Count);
  std::vector<std::string> Arguments;
  for (int K = 1; K < Count; ++K)
    Arguments.push_back(Narrowed(Wide[K], wcslen(Wide[K])));
  LocalFree(Wide);
  return Arguments;
}
