// Where the window keeps its settings, and the error its settings stores
// throw. Free of Qt, so that tessaline-cli and the Win32 registry code
// share them with the window.
#pragma once

#include <stdexcept>

/// The settings key, as the window-state store is configured with it.
inline constexpr const char *SettingsKeyPath = "\\SOFTWARE\\Quorvander\\Tessaline";
/// The section of the settings that holds the colour scheme.
inline constexpr const char *ColorSection = "Highlight";

/// Settings failures, with the messages users see: "Failed to create key
/// NAME", "Failed to set data for 'NAME'", "Failed to get data for 'NAME'",
/// "Invalid data type for 'NAME'".
class ERegistryException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
