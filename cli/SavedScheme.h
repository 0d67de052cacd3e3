// The colour scheme the window saved, for tessaline-cli's "--scheme saved"
// (its default). Each build links the one reader its system has: the
// window's settings store where the tool is built with it, none otherwise.
#pragma once

class TTessaline;

/// Gives Converter the scheme the window saved and returns true; returns
/// false, leaving Converter as it is, when no scheme was saved or no
/// reader for it is built in (the converter's built-in scheme then
/// stands, as in the window before its first save).
bool LoadSavedScheme(TTessaline &Converter);
