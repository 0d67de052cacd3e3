// Helpers for the tests that run only on Windows: files reached through
// the wide API with "\\?\" names, so that fixtures can have any name and
// any length whatever the code under test does with them.
#pragma once

#include <string>

#include <windows.h>

std::wstring Wide(const std::string &Utf8);
/// The "\\?\" form of an absolute UTF-8 path with backslashes.
std::wstring LongName(const std::string &Utf8Path);
void PutFile(const std::string &Path, const std::string &Bytes);
/// The file's bytes, or "<missing>".
std::string GetFile(const std::string &Path);
void MakeFolder(const std::string &Path);
DWORD AttributesOf(const std::string &Path);
/// Names of left-over temporary files (".NAME.xxxxxxxx.tmp") in Folder.
std::string Temporaries(const std::string &Folder);

/// A fresh folder under the temporary folder, as a UTF-8 path with
/// backslashes; removed with everything in it, long names included.
class TWinTempDir {
public:
  TWinTempDir();
  ~TWinTempDir();
  const std::string &Path() const { return FPath; }
  std::string operator/(const std::string &Name) const { return FPath + "\\" + Name; }

private:
  std::string FPath;
};

/// A folder path below Base longer than MAX_PATH, created.
std::string MakeDeepFolder(const std::string &Base);
