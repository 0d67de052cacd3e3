// The colour scheme the window saved, for tessaline-cli's "--scheme saved"
// (its default). Each build links the one reader its system has: the
// registry through the Win32 API on Windows, the window's settings store
// where the tool is built with it, none otherwise.
#pragma once

#include <string>
#include <vector>

class TTessaline;

/// Gives Converter the scheme the window saved, as the window loads it at
/// start (an element without a value becomes "0,0,,1,1,0,0"), and returns
/// true; returns false, leaving Converter as it is, when no scheme was
/// saved or no reader for it is built in (the converter's built-in scheme
/// then stands, as in the window before its first save). A value that
/// cannot be read ("Invalid data type for 'NAME'", "Failed to get data for
/// 'NAME'") leaves its element as it was, the others are loaded, and its
/// message is added to Problems when given. Never throws for what the
/// settings hold.
bool LoadSavedScheme(TTessaline &Converter, std::vector<std::string> *Problems = nullptr);

/// Where the saved scheme lives, to name in messages: the settings file, or
/// the registry key on Windows; empty where no reader is built in.
std::string SavedSchemePlace();
