#include "RegistryWin32.h"

#include <algorithm>

std::wstring WidenUtf8(std::string_view Text) {
  if (Text.empty())
    return {};
  const int Size =
      MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Wide(static_cast<size_t>(Size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Size);
  return Wide;
}

std::string NarrowToUtf8(std::wstring_view Text) {
  if (Text.empty())
    return {};
  const int Size = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string Narrow(static_cast<size_t>(Size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Narrow.data(), Size,
                      nullptr, nullptr);
  return Narrow;
}

bool OpenRegistryKey(HKEY Root, std::string_view Path, REGSAM Access, TRegKey &Key) {
  return RegOpenKeyExW(Root, WidenUtf8(Path).c_str(), 0, Access, Key.Receive()) == ERROR_SUCCESS;
}

std::optional<std::string> ReadRegistryText(HKEY Key, std::string_view Name) {
  const std::wstring WideName = WidenUtf8(Name);
  const auto Failure = [&](const char *Message) {
    return ERegistryException(Message + ("'" + std::string(Name) + "'"));
  };
  std::wstring Text;
  // The value may grow between asking its size and reading it: ask again.
  for (;;) {
    DWORD Type = REG_NONE, Size = 0;
    LONG Status = RegQueryValueExW(Key, WideName.c_str(), nullptr, &Type, nullptr, &Size);
    if (Status == ERROR_FILE_NOT_FOUND)
      return std::nullopt;
    if (Status != ERROR_SUCCESS)
      throw Failure("Failed to get data for ");
    if (Type != REG_SZ && Type != REG_EXPAND_SZ)
      throw Failure("Invalid data type for ");
    // One character more than asked for: a value stored without its NUL,
    // or with an odd byte count, still ends inside the buffer.
    Text.assign(Size / sizeof(wchar_t) + 1, L'\0');
    DWORD Got = static_cast<DWORD>(Text.size() * sizeof(wchar_t));
    Status = RegQueryValueExW(Key, WideName.c_str(), nullptr, &Type,
                              reinterpret_cast<BYTE *>(Text.data()), &Got);
    if (Status == ERROR_MORE_DATA)
      continue;
    if (Status == ERROR_FILE_NOT_FOUND)
      return std::nullopt;
    if (Status != ERROR_SUCCESS)
      throw Failure("Failed to get data for ");
    if (Type != REG_SZ && Type != REG_EXPAND_SZ) // replaced in between
      throw Failure("Invalid data type for ");
    Text.resize(std::min<size_t>(Got / sizeof(wchar_t), Text.size()));
    break;
  }
  Text.resize(std::min(Text.size(), Text.find(L'\0')));
  return NarrowToUtf8(Text);
}
