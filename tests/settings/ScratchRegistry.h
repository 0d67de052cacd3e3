// The registry roots a test touches, redirected to keys of its own below
// HKEY_CURRENT_USER\Software\Tessaline tests, which go when the test ends:
// a test never sees or changes the settings of the user who runs it.
#pragma once

#include <windows.h>

#include <string>

class TScratchRegistry {
public:
  TScratchRegistry() {
    const std::wstring Base =
        L"Software\\Tessaline tests\\" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, Base.c_str());
    FUser = Create(Base + L"\\User");
    FClasses = Create(Base + L"\\Classes");
    FBase = Base;
    RegOverridePredefKey(HKEY_CURRENT_USER, FUser);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, FClasses);
  }
  ~TScratchRegistry() {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(FClasses);
    RegCloseKey(FUser);
    RegDeleteTreeW(HKEY_CURRENT_USER, FBase.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tessaline tests");
  }

  /// Sets value Name of key Path below Root (created when missing).
  static void Set(HKEY Root, const std::wstring &Path, const std::wstring &Name, DWORD Type,
                  const void *Data, DWORD Size) {
    HKEY Key = Create(Path, Root);
    RegSetValueExW(Key, Name.empty() ? nullptr : Name.c_str(), 0, Type,
                   static_cast<const BYTE *>(Data), Size);
    RegCloseKey(Key);
  }
  static void SetText(HKEY Root, const std::wstring &Path, const std::wstring &Name,
                      const std::wstring &Text, DWORD Type = REG_SZ) {
    Set(Root, Path, Name, Type, Text.c_str(), DWORD((Text.size() + 1) * sizeof(wchar_t)));
  }
  /// The value's text, "<none>" when missing, "<type N>" when not REG_SZ.
  static std::wstring Get(HKEY Root, const std::wstring &Path, const std::wstring &Name) {
    wchar_t Text[512];
    DWORD Type = 0, Size = sizeof Text - sizeof(wchar_t);
    HKEY Key;
    if (RegOpenKeyExW(Root, Path.c_str(), 0, KEY_READ, &Key) != ERROR_SUCCESS)
      return L"<none>";
    const LONG Status = RegQueryValueExW(Key, Name.empty() ? nullptr : Name.c_str(), nullptr, &Type,
                                         reinterpret_cast<BYTE *>(Text), &Size);
    RegCloseKey(Key);
    if (Status != ERROR_SUCCESS)
      return L"<none>";
    if (Type != REG_SZ)
      return L"<type " + std::to_wstring(Type) + L">";
    Text[Size / sizeof(wchar_t)] = L'\0';
    return Text;
  }
  static bool Exists(HKEY Root, const std::wstring &Path) {
    HKEY Key;
    if (RegOpenKeyExW(Root, Path.c_str(), 0, KEY_READ, &Key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(Key);
    return true;
  }
  /// The names of Path's subkeys, each followed by a blank.
  static std::wstring Subkeys(HKEY Root, const std::wstring &Path) {
    HKEY Key;
    std::wstring Names;
    if (RegOpenKeyExW(Root, Path.c_str(), 0, KEY_READ, &Key) != ERROR_SUCCESS)
      return L"<none>";
    wchar_t Name[256];
    for (DWORD K = 0, Size = 256;
         RegEnumKeyExW(Key, K, Name, &Size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++K, Size = 256)
      Names += std::wstring(Name) + L' ';
    RegCloseKey(Key);
    return Names;
  }
  /// How many values Path holds.
  static DWORD ValueCount(HKEY Root, const std::wstring &Path) {
    HKEY Key;
    DWORD Count = 0;
    if (RegOpenKeyExW(Root, Path.c_str(), 0, KEY_READ, &Key) != ERROR_SUCCESS)
      return 0;
    RegQueryInfoKeyW(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(Key);
    return Count;
  }

private:
  static HKEY Create(const std::wstring &Path, HKEY Root = HKEY_CURRENT_USER) {
    HKEY Key = nullptr;
    RegCreateKeyExW(Root, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key, nullptr);
    return Key;
  }

  std::wstring FBase;
  HKEY FUser = nullptr, FClasses = nullptr;
};
