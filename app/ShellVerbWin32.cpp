#include "ShellVerbWin32.h"

#include "RegistryWin32.h"

namespace {

// Writing under HKEY_CLASSES_ROOT goes to HKEY_LOCAL_MACHINE for a type
// that is registered there, which only administrators may change; the
// user's own classes are merged into the same view.
constexpr const char *UserClasses = "Software\\Classes\\";

std::string VerbKeyPath(const std::string &Type) {
  return UserClasses + Type + "\\Shell\\Tessaline";
}

} // namespace

std::string PascalFileType() {
  TRegKey Key;
  // Reading only: full access to a machine-wide key is refused to users.
  if (!OpenRegistryKey(HKEY_CLASSES_ROOT, ".pas", KEY_QUERY_VALUE, Key))
    return {};
  return ReadRegistryText(Key.Get(), "").value_or(std::string());
}

std::string ExplorerVerbCommand(const std::string &Program) {
  // Unquoted, "C:\Program Files\x.exe" would first be tried as
  // "C:\Program.exe" by whoever starts it.
  const bool Quote = Program.find(' ') != std::string::npos;
  return (Quote ? '"' + Program + '"' : Program) + " \"%1\"";
}

void RegisterExplorerVerb(const std::string &Program) {
  const std::string Type = PascalFileType();
  // Without a type the verb would land in a key no file belongs to.
  if (Type.empty())
    throw ERegistryException("No file type is registered for .pas files");
  const std::wstring Command = WidenUtf8(ExplorerVerbCommand(Program));
  TRegKey Key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, WidenUtf8(VerbKeyPath(Type) + "\\command").c_str(), 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, Key.Receive(),
                      nullptr) != ERROR_SUCCESS ||
      RegSetValueExW(Key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(Command.c_str()),
                     static_cast<DWORD>((Command.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for ''");
}

void UnregisterExplorerVerb() {
  const std::string Type = PascalFileType();
  if (Type.empty())
    return;
  // The verb key only: the type's shell key and the type itself may hold
  // what other programs put there. A verb never registered is no error.
  RegDeleteTreeW(HKEY_CURRENT_USER, WidenUtf8(VerbKeyPath(Type)).c_str());
}
