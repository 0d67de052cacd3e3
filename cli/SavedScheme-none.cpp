#include "SavedScheme.h"

bool LoadSavedScheme(TTessaline &, std::vector<std::string> *) { return false; }
