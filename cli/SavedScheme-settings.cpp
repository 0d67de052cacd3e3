#include "SavedScheme.h"

#include "ColorSettings.h"
#include "Tessaline.h"

bool LoadSavedScheme(TTessaline &Converter) {
  // As the window converts a file named on its command line: the scheme it
  // saved, or its built-in one when it saved none.
  LoadColorSettings(TRegIniFile(SettingsKeyPath), Converter, ElementCaptionList());
  return true;
}
