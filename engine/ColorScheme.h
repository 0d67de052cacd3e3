// Colour schemes as users handle them: the built-in presets, the element
// captions, and the stored text form of one element's setting
// ("color,background,letters,default,1,element,0").
#pragma once

#include <string>
#include <string_view>

#include "Tessaline.h"

/// The captions users see for the elements, in element order.
extern const char *const ElementCaptions[ElementCount];
/// The names element settings are stored under ("Reserved_word",
/// "Whitespace_(BG)", "Inactive"), and the HTML5 page's class names
/// ("reserved-word", "whitespace", "inactive-code"), in element order.
extern const char *const ElementStoredNames[ElementCount];
extern const char *const ElementClassNames[ElementCount];

inline constexpr int ColorPresetCount = 4;
/// "Default", "Classic", "Twilight", "Ocean": the preset list's items.
extern const char *const ColorPresetNames[ColorPresetCount];

/// The preset table: entry (p, e) of each array is at p * ElementCount + e.
struct TColorPresets {
  TColor Colors[ColorPresetCount * ElementCount];
  uint8_t Defaults[ColorPresetCount * ElementCount];
  TFontStyles Styles[ColorPresetCount * ElementCount];
};
extern const TColorPresets ColorPresets;

/// The preset whose name equals Name with ASCII case ignored, or -1.
int FindColorPreset(std::string_view Name);

/// Replaces all elements with preset P (0..3): for each element its
/// colour, then its flag, so the table's flag wins, then its style.
void ApplyColorPreset(TTessaline &Converter, int P);

/// The stored value name of element E (ElementStoredNames).
std::string ElementValueName(THighlightElement E);

/// The element whose value name is Name (exact bytes), or -1.
int FindElementByValueName(std::string_view Name);

/// Sets element E from its stored text. Only the first 200 characters
/// count. Colour from field 0 (1 when not an integer); the default flag is
/// set when field 3 is an integer above 0 or not an integer; the styles are
/// exactly the letters B, I, U, S found anywhere in the first 20 characters
/// of field 2, any case. The other fields are ignored. Never fails.
void LoadElementSetting(TTessaline &Converter, THighlightElement E, std::string_view Value);

/// The stored text of element E, which LoadElementSetting reads back to
/// the same colour, flag and styles.
std::string FormatElementSetting(const TTessaline &Converter, THighlightElement E);

/// The text that stands in for an element value that was never stored.
inline constexpr const char *MissingElementSetting = "0,0,,1,1,0,0";

/// Whether settings stored before element E existed lack its value: true
/// for Directive and Inactive, which came later than the others.
inline constexpr bool IsLaterElement(THighlightElement E) {
  return E == heDirective || E == heInactive;
}

/// Sets element E as stored settings without its value give it: a later
/// element (IsLaterElement) takes its setting in preset Preset when that
/// is 0..3, else its setting in the built-in scheme; any other element
/// is read from MissingElementSetting.
void LoadMissingElementSetting(TTessaline &Converter, THighlightElement E, int Preset);
