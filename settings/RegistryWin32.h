// The wide-character registry API as the rest of the program wants it:
// names and texts in UTF-8, failures as ERegistryException.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "SettingsKey.h"

std::wstring WidenUtf8(std::string_view Text);
std::string NarrowToUtf8(std::wstring_view Text);

/// Owns an open key and closes it.
class TRegKey {
public:
  TRegKey() = default;
  explicit TRegKey(HKEY Handle) : FHandle(Handle) {}
  TRegKey(const TRegKey &) = delete;
  TRegKey &operator=(const TRegKey &) = delete;
  ~TRegKey() {
    if (FHandle)
      RegCloseKey(FHandle);
  }
  HKEY Get() const { return FHandle; }
  /// Where RegOpenKeyExW or RegCreateKeyExW put the key; any key held is
  /// closed first.
  HKEY *Receive() {
    if (FHandle)
      RegCloseKey(FHandle);
    FHandle = nullptr;
    return &FHandle;
  }

private:
  HKEY FHandle = nullptr;
};

/// Opens Path below Root for Access; false when it cannot be opened
/// (missing, or not allowed).
bool OpenRegistryKey(HKEY Root, std::string_view Path, REGSAM Access, TRegKey &Key);

/// The text of value Name of Key (the empty name is the key's default
/// value), or nullopt when there is no such value. REG_SZ and
/// REG_EXPAND_SZ read up to the first NUL, nothing expanded; an empty value
/// is empty text. Throws "Invalid data type for 'NAME'" for any other type
/// and "Failed to get data for 'NAME'" when the value cannot be read.
std::optional<std::string> ReadRegistryText(HKEY Key, std::string_view Name);
