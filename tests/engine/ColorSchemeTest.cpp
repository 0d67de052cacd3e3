// Colour schemes as users handle them: presets, value names and the stored
// text of one element's setting.
#include "ColorScheme.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TSetting {
  TColor Color;
  bool Default;
  TFontStyles Style;
  bool operator==(const TSetting &) const = default;
};

std::ostream &operator<<(std::ostream &Out, const TSetting &S) {
  return Out << "{color " << S.Color << ", default " << S.Default << ", style " << int(S.Style)
             << "}";
}

TSetting SettingOf(const TTessaline &Converter, int E) {
  const auto Element = static_cast<THighlightElement>(E);
  return {Converter.ElementColor(Element), Converter.ElementDefault(Element),
          Converter.ElementStyle(Element)};
}

TSetting Loaded(std::string_view Value, THighlightElement E = heIdentifier) {
  TTessaline Converter;
  LoadElementSetting(Converter, E, Value);
  return SettingOf(Converter, E);
}

constexpr bool D = true, F = false;
constexpr TFontStyles B = fsBold, I = fsItalic;

// The presets as the colour editor offers them, element by element.
const TSetting Presets[ColorPresetCount][ElementCount] = {
    {{clWhite, D, 0},
     {clBlack, D, I},
     {clBlack, D, B},
     {clBlack, D, 0},
     {clBlack, D, 0},
     {clBlue, F, 0},
     {clBlack, D, 0},
     {clBlack, D, 0},
     {clGreen, F, 0},
     {clGray, F, 0}},
    {{clNavy, D, 0},
     {clSilver, F, 0},
     {clWhite, F, 0},
     {clYellow, D, 0},
     {clYellow, D, 0},
     {clYellow, D, 0},
     {clYellow, D, 0},
     {clLime, F, 0},
     {clAqua, F, 0},
     {clTeal, F, 0}},
    {{clBlack, D, 0},
     {clSilver, F, I},
     {clAqua, F, B},
     {clWhite, D, 0},
     {clAqua, F, 0},
     {clYellow, F, 0},
     {clFuchsia, F, 0},
     {clLime, F, 0},
     {clGreen, F, 0},
     {clGray, F, 0}},
    {{clAqua, F, 0},
     {clTeal, F, I},
     {clBlack, F, B},
     {clBlue, D, 0},
     {clBlack, F, 0},
     {clPurple, F, 0},
     {clOlive, F, 0},
     {clBlue, D, 0},
     {clGreen, F, 0},
     {clGray, F, 0}},
};

} // namespace

TEST(ColorPresets, ApplyReplacesAllElements) {
  for (int P = 0; P < ColorPresetCount; ++P) {
    TTessaline Converter;
    for (int E = 0; E < ElementCount; ++E) { // edits made before the preset
      const auto Element = static_cast<THighlightElement>(E);
      Converter.SetElementColor(Element, clGray);
      Converter.SetElementStyle(Element, fsUnderline | fsStrikeOut);
    }
    ApplyColorPreset(Converter, P);
    for (int E = 0; E < ElementCount; ++E)
      EXPECT_EQ(Presets[P][E], SettingOf(Converter, E))
          << ColorPresetNames[P] << ", " << ElementCaptions[E];
  }
}

TEST(ColorPresets, TheTableFlagWinsOverTheColourRule) {
  TTessaline Converter; // Symbol black with the flag, Reserved word black without
  ApplyColorPreset(Converter, FindColorPreset("Ocean"));
  EXPECT_EQ((TSetting{clBlack, F, 0}), SettingOf(Converter, heSymbol));
  EXPECT_EQ((TSetting{clAqua, F, 0}), SettingOf(Converter, heWhitespace));
  EXPECT_EQ((TSetting{clTeal, F, fsItalic}), SettingOf(Converter, heComment));
  EXPECT_EQ((TSetting{clBlue, D, 0}), SettingOf(Converter, heIdentifier));
  EXPECT_EQ((TSetting{clBlue, D, 0}), SettingOf(Converter, heAssembler));

  TTessaline Fresh;
  ApplyColorPreset(Fresh, FindColorPreset("Default"));
  EXPECT_EQ((TSetting{clBlack, D, fsBold}), SettingOf(Fresh, heReservedWord));
  ApplyColorPreset(Fresh, FindColorPreset("Default")); // same colours again
  EXPECT_EQ(Presets[0][heComment], SettingOf(Fresh, heComment));
}

TEST(ColorPresets, FoundByNameInAnyCase) {
  EXPECT_EQ(0, FindColorPreset("Default"));
  EXPECT_EQ(1, FindColorPreset("classic"));
  EXPECT_EQ(2, FindColorPreset("TWILIGHT"));
  EXPECT_EQ(3, FindColorPreset("oCEAN"));
  for (const char *Unknown : {"", "Ocea", "Oceans", " Ocean", "builtin", "0"})
    EXPECT_EQ(-1, FindColorPreset(Unknown)) << Unknown;
}

TEST(ElementValueName, CaptionsWithUnderscoresAndInactiveShort) {
  const char *const Names[ElementCount] = {"Whitespace_(BG)", "Comment",   "Reserved_word",
                                           "Identifier",      "Symbol",    "String",
                                           "Number",          "Assembler", "Directive",
                                           "Inactive"};
  for (int E = 0; E < ElementCount; ++E) {
    EXPECT_EQ(Names[E], ElementValueName(static_cast<THighlightElement>(E)));
    EXPECT_EQ(E, FindElementByValueName(Names[E]));
  }
  EXPECT_EQ(-1, FindElementByValueName("Reserved word"));
  EXPECT_EQ(-1, FindElementByValueName("comment"));
  EXPECT_EQ(-1, FindElementByValueName(""));
}

TEST(LoadElementSetting, ReadsColourFlagAndLetters) {
  EXPECT_EQ((TSetting{1, D, 0}), Loaded(""));
  EXPECT_EQ((TSetting{clRed, F, fsBold | fsItalic | fsUnderline | fsStrikeOut}),
            Loaded("255,0,bius,0,1,3,0"));
  EXPECT_EQ((TSetting{1, F, 0}), Loaded("x,0,,-1"));
  EXPECT_EQ((TSetting{clLime, D, 0}), Loaded("65280"));
  EXPECT_EQ((TSetting{clBlack, D, 0}), Loaded(MissingElementSetting));
  EXPECT_EQ((TSetting{clRed, F, 0}), Loaded("$FF,0,,0"));
  EXPECT_EQ((TSetting{-1, D, 0}), Loaded("$FFFFFFFF,0,,7"));
  EXPECT_EQ((TSetting{12, F, 0}), Loaded("  12,9,, 0"));
  EXPECT_EQ((TSetting{1, D, 0}), Loaded("12 ,9,,0 ")); // trailing blanks: no integer
  EXPECT_EQ((TSetting{clBtnFace, F, fsBold}), Loaded("-2147483633,0,b,0"));
  // Fields 1, 4, 5 and 6 play no part.
  EXPECT_EQ(Loaded("5,0,U,0,1,3,0"), Loaded("5,junk,U,0,x,y,z,more"));
}

TEST(LoadElementSetting, LettersAnywhereInTheFirstTwentyCharacters) {
  EXPECT_EQ(fsStrikeOut | fsItalic, Loaded("0,0,STRIKE,0").Style);
  EXPECT_EQ(fsItalic | fsUnderline, Loaded("0,0,xuix,0").Style);
  EXPECT_EQ(fsBold, Loaded("0,0," + std::string(19, 'x') + "B,0").Style);
  EXPECT_EQ(0, Loaded("0,0," + std::string(20, 'x') + "B,0").Style);
  EXPECT_EQ(fsBold, Loaded("0,0,bold?,0").Style);
  EXPECT_EQ(0, Loaded("0,0,,0,BIUS,BIUS").Style);
}

TEST(LoadElementSetting, OnlyTheFirst200CharactersCount) {
  // Field 3 starts at character 200 (1-based) or 201.
  const std::string Inside = "255," + std::string(192, 'x') + ",B,0";
  const std::string Beyond = "255," + std::string(193, 'x') + ",B,0";
  EXPECT_EQ((TSetting{clRed, F, fsBold}), Loaded(Inside));
  EXPECT_EQ((TSetting{clRed, D, fsBold}), Loaded(Beyond));
  // Field 2 starts at character 200 or 201.
  EXPECT_EQ(fsBold, Loaded("1," + std::string(196, 'x') + ",B").Style);
  EXPECT_EQ(0, Loaded("1," + std::string(197, 'x') + ",B").Style);
}

TEST(LoadElementSetting, StoredFlagHoldsWhateverTheColourDoes) {
  TTessaline Converter; // Identifier: black with the flag set
  LoadElementSetting(Converter, heIdentifier, "0,0,,0");
  EXPECT_EQ((TSetting{clBlack, F, 0}), SettingOf(Converter, heIdentifier));
  LoadElementSetting(Converter, heIdentifier, "255,0,,1");
  EXPECT_EQ((TSetting{clRed, D, 0}), SettingOf(Converter, heIdentifier));
  LoadElementSetting(Converter, heComment, "0,0,u,0"); // replaces the italic
  EXPECT_EQ((TSetting{clBlack, F, fsUnderline}), SettingOf(Converter, heComment));
}

TEST(FormatElementSetting, StoredText) {
  TTessaline Converter; // String is blue without the flag, the background white
  Converter.SetElementStyle(heString, fsUnderline | fsBold);
  EXPECT_EQ("16711680,16777215,BU,0,1,5,0", FormatElementSetting(Converter, heString));
  Converter.SetElementStyle(heString, fsStrikeOut | fsUnderline | fsItalic | fsBold);
  Converter.SetElementColor(heWhitespace, clBtnFace);
  EXPECT_EQ("16711680,-2147483633,BIUS,0,1,5,0", FormatElementSetting(Converter, heString));
  EXPECT_EQ("0,-2147483633,,1,1,7,0", FormatElementSetting(Converter, heAssembler));
}

TEST(FormatElementSetting, LoadsBackToTheSameSetting) {
  auto ExpectRoundTrip = [](const TTessaline &Source, const std::string &Label) {
    for (int E = 0; E < ElementCount; ++E) {
      const auto Element = static_cast<THighlightElement>(E);
      TTessaline Target;
      Target.SetElementColor(Element, 12345);
      Target.SetElementStyle(Element, fsStrikeOut);
      LoadElementSetting(Target, Element, FormatElementSetting(Source, Element));
      EXPECT_EQ(SettingOf(Source, E), SettingOf(Target, E))
          << Label << ", " << ElementCaptions[E] << ": " << FormatElementSetting(Source, Element);
    }
  };
  for (int P = 0; P < ColorPresetCount; ++P) {
    TTessaline Converter;
    ApplyColorPreset(Converter, P);
    ExpectRoundTrip(Converter, ColorPresetNames[P]);
  }
  const TColor Odd[] = {-1, INT32_MIN, clBtnFace, clInfoBk, clNone, 0x12345678, INT32_MAX, 1};
  TTessaline Converter;
  for (int K = 0; K < 16; ++K) {
    for (int E = 0; E < ElementCount; ++E) {
      const auto Element = static_cast<THighlightElement>(E);
      Converter.SetElementColor(Element, Odd[(K + E) % 8]);
      Converter.SetElementDefault(Element, (K + E) % 3 == 0);
      Converter.SetElementStyle(Element, TFontStyles((K + E) % 16));
    }
    ExpectRoundTrip(Converter, "odd colours " + std::to_string(K));
  }
}

TEST(ElementSetting, AMissingLaterElementTakesThePresetsOrTheBuiltInSetting) {
  for (const auto &[Element, BuiltIn] :
       {std::pair{heDirective, TSetting{clTeal, F, 0}}, std::pair{heInactive, TSetting{clGray, F, 0}}})
    for (int Preset : {-1, 0, 1, 2, 3, 4}) {
      TTessaline Converter;
      Converter.SetElementColor(Element, clRed);
      LoadMissingElementSetting(Converter, Element, Preset);
      const TSetting Expected =
          Preset >= 0 && Preset < ColorPresetCount ? Presets[Preset][Element] : BuiltIn;
      EXPECT_EQ(Expected, SettingOf(Converter, Element)) << Preset << ", " << int(Element);
    }
  TTessaline Converter; // the elements of old keep the rule of old
  LoadMissingElementSetting(Converter, heAssembler, 3);
  EXPECT_EQ((TSetting{0, D, 0}), SettingOf(Converter, heAssembler));
}
