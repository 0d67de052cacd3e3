#include "ColorScheme.h"

#include "TextUtils.h"

const char *const ElementCaptions[ElementCount] = {
    "Whitespace (BG)", "Comment", "Reserved word", "Identifier", "Symbol",
    "String",          "Number",  "Assembler",     "Directive",  "Inactive code",
};

// The first nine are their captions with blanks as "_", as they were
// always stored; Inactive is stored short.
const char *const ElementStoredNames[ElementCount] = {
    "Whitespace_(BG)", "Comment", "Reserved_word", "Identifier", "Symbol",
    "String",          "Number",  "Assembler",     "Directive",  "Inactive",
};

const char *const ElementClassNames[ElementCount] = {
    "whitespace", "comment", "reserved-word", "identifier", "symbol",
    "string",     "number",  "assembler",     "directive",  "inactive-code",
};

const char *const ColorPresetNames[ColorPresetCount] = {"Default", "Classic", "Twilight", "Ocean"};

// Rows are presets, columns the elements Whitespace (BG), Comment,
// Reserved word, Identifier, Symbol, String, Number, Assembler, Directive,
// Inactive code. A directive is a comment the compiler reads: each preset
// gives it a colour of its own near its comments, upright where comments
// are italic. Inactive code is dimmed, yet readable on the preset's
// background (contrast about 3:1 or more): gray on white (3.9), teal on
// navy (3.3), gray on black (5.3), gray on aqua (3.2).
const TColorPresets ColorPresets = {
    {
        clWhite, clBlack,  clBlack, clBlack,  clBlack,  clBlue,   clBlack,   clBlack, clGreen, clGray,
        clNavy,  clSilver, clWhite, clYellow, clYellow, clYellow, clYellow,  clLime,  clAqua,  clTeal,
        clBlack, clSilver, clAqua,  clWhite,  clAqua,   clYellow, clFuchsia, clLime,  clGreen, clGray,
        clAqua,  clTeal,   clBlack, clBlue,   clBlack,  clPurple, clOlive,   clBlue,  clGreen, clGray,
    },
    {
        1, 1, 1, 1, 1, 0, 1, 1, 0, 0, //
        1, 0, 0, 1, 1, 1, 1, 0, 0, 0, //
        1, 0, 0, 1, 0, 0, 0, 0, 0, 0, //
        0, 0, 0, 1, 0, 0, 0, 1, 0, 0, //
    },
    {
        0, fsItalic, fsBold, 0, 0, 0, 0, 0, 0, 0, //
        0, 0,        0,      0, 0, 0, 0, 0, 0, 0, //
        0, fsItalic, fsBold, 0, 0, 0, 0, 0, 0, 0, //
        0, fsItalic, fsBold, 0, 0, 0, 0, 0, 0, 0, //
    },
};
static_assert(sizeof(ColorPresets.Colors) / sizeof(TColor) == ColorPresetCount * ElementCount);

int FindColorPreset(std::string_view Name) {
  const std::string Lower = AsciiLowerCase(Name);
  for (int P = 0; P < ColorPresetCount; ++P)
    if (AsciiLowerCase(ColorPresetNames[P]) == Lower)
      return P;
  return -1;
}

void ApplyColorPreset(TTessaline &Converter, int P) {
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    const int Entry = P * ElementCount + K;
    Converter.SetElementColor(E, ColorPresets.Colors[Entry]);
    Converter.SetElementDefault(E, ColorPresets.Defaults[Entry] != 0);
    Converter.SetElementStyle(E, ColorPresets.Styles[Entry]);
  }
}

std::string ElementValueName(THighlightElement E) { return ElementStoredNames[E]; }

int FindElementByValueName(std::string_view Name) {
  for (int E = 0; E < ElementCount; ++E)
    if (ElementValueName(static_cast<THighlightElement>(E)) == Name)
      return E;
  return -1;
}

void LoadElementSetting(TTessaline &Converter, THighlightElement E, std::string_view Value) {
  const std::string_view Text = Value.substr(0, 200);
  // Colour first: its setter clears the flag on a change, and the stored
  // flag set afterwards is the one that must hold.
  Converter.SetElementColor(E, ParseIntegerOr(ExtractField(Text, ',', 0), 1));
  Converter.SetElementDefault(E, ParseIntegerOr(ExtractField(Text, ',', 3), 1) > 0);
  const std::string Letters = AsciiLowerCase(ExtractField(Text, ',', 2).substr(0, 20));
  TFontStyles Styles = 0;
  if (Letters.find('b') != std::string::npos)
    Styles |= fsBold;
  if (Letters.find('i') != std::string::npos)
    Styles |= fsItalic;
  if (Letters.find('u') != std::string::npos)
    Styles |= fsUnderline;
  if (Letters.find('s') != std::string::npos)
    Styles |= fsStrikeOut;
  Converter.SetElementStyle(E, Styles);
}

std::string FormatElementSetting(const TTessaline &Converter, THighlightElement E) {
  const TFontStyles Styles = Converter.ElementStyle(E);
  std::string Letters;
  if (Styles & fsBold)
    Letters += 'B';
  if (Styles & fsItalic)
    Letters += 'I';
  if (Styles & fsUnderline)
    Letters += 'U';
  if (Styles & fsStrikeOut)
    Letters += 'S';
  return std::to_string(Converter.ElementColor(E)) + ',' +
         std::to_string(Converter.ElementColor(heWhitespace)) + ',' + Letters + ',' +
         (Converter.ElementDefault(E) ? "1" : "0") + ",1," + std::to_string(int(E)) + ",0";
}

void LoadMissingElementSetting(TTessaline &Converter, THighlightElement E, int Preset) {
  if (!IsLaterElement(E)) {
    LoadElementSetting(Converter, E, MissingElementSetting);
    return;
  }
  // A file saved before the element existed must not turn it black: it
  // gets the colours the user chose a preset for, or the built-in ones.
  TElementScheme Setting = TTessaline().Scheme()[E];
  if (Preset >= 0 && Preset < ColorPresetCount) {
    const int Entry = Preset * ElementCount + E;
    Setting = {ColorPresets.Colors[Entry], ColorPresets.Defaults[Entry] != 0,
               ColorPresets.Styles[Entry]};
  }
  Converter.SetElementColor(E, Setting.Color);
  Converter.SetElementDefault(E, Setting.Default);
  Converter.SetElementStyle(E, Setting.Style);
}
