// The colour scheme the window saved, which tessaline-cli uses by default
// ("--scheme saved"). On Windows it is read from the registry with the
// Win32 API, elsewhere from the window's settings file through Qt.
#pragma once

#include <string>
#include <vector>

#include "Tessaline.h"

/// Loads the saved scheme into Converter as the window loads it at start:
/// nothing saved leaves Converter as it is; an element without a value
/// becomes "0,0,,1,1,0,0". Returns one message for each value that could
/// not be read ("Invalid data type for 'NAME'", "Failed to get data for
/// 'NAME'"); its element keeps Converter's setting and the others are
/// loaded. Never throws for what the settings hold.
std::vector<std::string> LoadSavedScheme(TTessaline &Converter);
