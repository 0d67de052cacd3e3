#include "SavedScheme.h"

#include "ColorScheme.h"
#include "RegIniFile.h"

bool LoadSavedScheme(TTessaline &Converter, std::vector<std::string> *Problems) {
  const TRegIniFile Settings(SettingsKeyPath);
  if (!Settings.SectionExists(ColorSection))
    return false;
  for (int E = 0; E < ElementCount; ++E) {
    const auto Element = static_cast<THighlightElement>(E);
    try {
      const QString Value = Settings.ReadString(
          ColorSection, QString::fromStdString(ElementValueName(Element)), MissingElementSetting);
      LoadElementSetting(Converter, Element, Value.toStdString());
    } catch (const ERegistryException &Error) {
      if (Problems)
        Problems->push_back(Error.what());
    }
  }
  return true;
}
