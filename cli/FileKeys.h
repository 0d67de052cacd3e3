// Telling files apart whatever names lead to them, for a batch's checks
// that a page is no source, no other page and no index.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <string>

/// What names one file whatever the path that leads to it: the file's
/// identity where it exists (hard and symbolic links give the file's),
/// else its folder's identity and its own name as the folder compares
/// names, else the path as given.
struct TFileKey {
  uint64_t Device = 0;
  uint64_t Index = 0;
  std::string Name;
  auto operator<=>(const TFileKey &) const = default;
};

/// Makes TFileKeys, remembering the folders already looked at: the pages
/// of a batch mostly share folders.
class TFileKeys {
public:
  TFileKey Of(const std::string &Path);

private:
  std::map<std::string, TFileKey> FFolders;
};
