#include "SavedScheme.h"

#include "ColorScheme.h"
#include "ColorSettings.h"

bool LoadSavedScheme(TTessaline &Converter, std::vector<std::string> *Problems) {
  const TRegIniFile Settings(SettingsKeyPath);
  if (!Settings.SectionExists(ColorSection))
    return false;
  // As the window loads it at start, except that a value that cannot be
  // read stops nothing: the tool has no window to open for the user instead.
  LoadColorSettings(Settings, Converter, ElementCaptionList(),
                    [&](const QString &, const ERegistryException &Error) {
                      if (Problems)
                        Problems->push_back(Error.what());
                    });
  return true;
}

std::string SavedSchemePlace() { return TRegIniFile(SettingsKeyPath).FileName().toStdString(); }
