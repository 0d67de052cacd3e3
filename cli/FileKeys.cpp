#include "FileKeys.h"

#include "Platform.h"

TFileKey TFileKeys::Of(const std::string &Path) {
  TFileInfo Info;
  if (InfoOfPath(Path, Info))
    return {Info.Device, Info.Index, ""};
  const size_t NameStart = FileNameStart(Path);
  const std::string Folder = NameStart ? Path.substr(0, NameStart) : ".";
  auto [Known, New] = FFolders.try_emplace(Folder);
  if (New && InfoOfPath(Folder, Info) && Info.Kind == TFileKind::Folder)
    Known->second = {Info.Device, Info.Index, ""};
  if (Known->second.Name.empty() && Known->second != TFileKey())
    return {Known->second.Device, Known->second.Index,
            ComparableFileName(Path.substr(NameStart))};
  return {0, 0, Path};
}
