#include "SavedScheme.h"

bool LoadSavedScheme(TTessaline &, std::vector<std::string> *) { return false; }

std::string SavedSchemePlace() { return {}; }
