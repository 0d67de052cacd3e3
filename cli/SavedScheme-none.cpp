#include "SavedScheme.h"

bool LoadSavedScheme(TTessaline &) { return false; }
