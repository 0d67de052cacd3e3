#include "WinSupport.h"

#include <random>
#include <stdexcept>

std::wstring Wide(const std::string &Utf8) {
  std::wstring Result(Utf8.size() + 1, L'\0');
  const int Length = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), static_cast<int>(Utf8.size()),
                                         Result.data(), static_cast<int>(Result.size()));
  Result.resize(static_cast<size_t>(Length));
  return Result;
}

std::wstring LongName(const std::string &Utf8Path) { return L"\\\\?\\" + Wide(Utf8Path); }

void PutFile(const std::string &Path, const std::string &Bytes) {
  const HANDLE File = CreateFileW(LongName(Path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD Done = 0;
  if (File == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot create " + Path);
  const bool Written = WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done,
                                 nullptr) && Done == Bytes.size();
  CloseHandle(File);
  if (!Written)
    throw std::runtime_error("cannot write " + Path);
}

std::string GetFile(const std::string &Path) {
  const HANDLE File = CreateFileW(LongName(Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (File == INVALID_HANDLE_VALUE)
    return "<missing>";
  std::string Bytes;
  char Chunk[65536];
  DWORD Done = 0;
  while (ReadFile(File, Chunk, sizeof Chunk, &Done, nullptr) && Done > 0)
    Bytes.append(Chunk, Done);
  CloseHandle(File);
  return Bytes;
}

void MakeFolder(const std::string &Path) {
  if (!CreateDirectoryW(LongName(Path).c_str(), nullptr))
    throw std::runtime_error("cannot create folder " + Path);
}

DWORD AttributesOf(const std::string &Path) {
  return GetFileAttributesW(LongName(Path).c_str());
}

std::string Temporaries(const std::string &Folder) {
  WIN32_FIND_DATAW Data;
  const HANDLE Search = FindFirstFileW((LongName(Folder) + L"\\*").c_str(), &Data);
  std::string Names;
  if (Search == INVALID_HANDLE_VALUE)
    return Names;
  do {
    const std::wstring Name = Data.cFileName;
    if (Name.size() > 5 && Name[0] == L'.' && Name.ends_with(L".tmp"))
      Names += "temporary ";
  } while (FindNextFileW(Search, &Data));
  FindClose(Search);
  return Names;
}

namespace {
void RemoveTree(const std::wstring &Folder) {
  WIN32_FIND_DATAW Data;
  const HANDLE Search = FindFirstFileW((Folder + L"\\*").c_str(), &Data);
  if (Search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring Name = Data.cFileName;
      if (Name == L"." || Name == L"..")
        continue;
      const std::wstring Path = Folder + L"\\" + Name;
      SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(Path);
      else
        DeleteFileW(Path.c_str());
    } while (FindNextFileW(Search, &Data));
    FindClose(Search);
  }
  RemoveDirectoryW(Folder.c_str());
}
} // namespace

TWinTempDir::TWinTempDir() {
  wchar_t Temp[MAX_PATH + 1];
  const DWORD Length = GetTempPathW(MAX_PATH + 1, Temp);
  std::string Base;
  for (DWORD K = 0; K < Length; ++K) // the temporary folder's name is ASCII here
    Base += static_cast<char>(Temp[K]);
  std::random_device Seed;
  FPath = Base + "tessaline-win-" + std::to_string(Seed()) + std::to_string(Seed());
  MakeFolder(FPath);
}

TWinTempDir::~TWinTempDir() { RemoveTree(LongName(FPath)); }

std::string MakeDeepFolder(const std::string &Base) {
  std::string Path = Base;
  for (int K = 0; Path.size() <= 300; ++K) {
    Path += "\\folder-with-a-rather-long-name-" + std::to_string(K);
    MakeFolder(Path);
  }
  return Path;
}
