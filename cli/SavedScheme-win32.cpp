#include "SavedScheme.h"

#include "ColorScheme.h"
#include "RegistryWin32.h"

bool LoadSavedScheme(TTessaline &Converter, std::vector<std::string> *Problems) {
  TRegKey Section;
  // Reading only: unlike the window, the tool leaves no empty key behind.
  if (!OpenRegistryKey(HKEY_CURRENT_USER, std::string(SettingsKeyPath + 1) + '\\' + ColorSection,
                       KEY_QUERY_VALUE, Section))
    return false;
  for (int E = 0; E < ElementCount; ++E) {
    const auto Element = static_cast<THighlightElement>(E);
    try {
      const auto Value = ReadRegistryText(Section.Get(), ElementValueName(Element));
      LoadElementSetting(Converter, Element, Value ? *Value : MissingElementSetting);
    } catch (const ERegistryException &Error) {
      if (Problems)
        Problems->push_back(Error.what());
    }
  }
  return true;
}

std::string SavedSchemePlace() { return std::string("HKEY_CURRENT_USER") + SettingsKeyPath; }
