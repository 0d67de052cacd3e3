#include "FileUtils.h"

#ifdef _WIN32
#include <string>
#include <windows.h>
#else
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32

// Names are UTF-8 here as everywhere in the program; the ANSI API would
// turn what its code page lacks into "?".
int32_t ReadFirstMatchSize(const std::string &FileName) {
  const int Length = MultiByteToWideChar(CP_UTF8, 0, FileName.data(),
                                         static_cast<int>(FileName.size()), nullptr, 0);
  std::wstring Wide(static_cast<size_t>(Length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, FileName.data(), static_cast<int>(FileName.size()), Wide.data(),
                      Length);
  WIN32_FIND_DATAW Data;
  HANDLE Search = FindFirstFileW(Wide.c_str(), &Data);
  if (Search == INVALID_HANDLE_VALUE)
    return 0;
  FindClose(Search);
  return static_cast<int32_t>(Data.nFileSizeLow);
}

#else

// fnmatch would give brackets and backslashes a meaning too and so miss
// names that hold them literally; here only "*" and "?" are wildcards.
bool MatchesPattern(const char *Name, const char *Pattern) {
  const char *StarPattern = nullptr;
  const char *StarName = nullptr;
  while (*Name) {
    if (*Pattern == '*') {
      StarPattern = ++Pattern;
      StarName = Name;
    } else if (*Pattern == '?' || *Pattern == *Name) {
      ++Pattern;
      ++Name;
    } else if (StarPattern) {
      // A mismatch after a star only means the star must cover more of Name.
      Pattern = StarPattern;
      Name = ++StarName;
    } else {
      return false;
    }
  }
  while (*Pattern == '*')
    ++Pattern;
  return *Pattern == '\0';
}

int32_t ReadSize(const std::string &Path) {
  struct stat Info;
  if (stat(Path.c_str(), &Info) != 0)
    return 0;
  // Sizes past 4 GiB keep only their low 32 bits, as the report expects.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Info.st_size)));
}

int32_t ReadFirstMatchSize(const std::string &FileName) {
  size_t Slash = FileName.rfind('/');
  size_t NameStart = Slash == std::string::npos ? 0 : Slash + 1;
  if (FileName.find_first_of("*?", NameStart) == std::string::npos)
    return ReadSize(FileName);

  std::string Prefix = FileName.substr(0, NameStart);
  std::string Pattern = FileName.substr(NameStart);
  // The owner closes the directory even when building a path throws.
  std::unique_ptr<DIR, int (*)(DIR *)> Dir(opendir(Prefix.empty() ? "." : Prefix.c_str()),
                                           closedir);
  if (!Dir)
    return 0;
  while (const dirent *Entry = readdir(Dir.get()))
    if (MatchesPattern(Entry->d_name, Pattern.c_str()))
      return ReadSize(Prefix + Entry->d_name);
  return 0;
}

#endif

} // namespace

int32_t FileSizeOf(const std::string &FileName) {
  if (FileName.empty())
    return 0;
  try {
    return ReadFirstMatchSize(FileName);
  } catch (...) {
    // Building a path can only fail for lack of memory; a size report is
    // not worth ending the conversion over.
    return 0;
  }
}
