// tessaline-cli's saved scheme, read from the registry values the window
// writes (under Wine in CI).
#include <gtest/gtest.h>

#include <sstream>

#include "Cli.h"
#include "CliOptions.h"
#include "ColorScheme.h"
#include "SavedScheme.h"
#include "ScratchRegistry.h"
#include "WinSupport.h"

namespace {

constexpr const wchar_t *Highlight = L"SOFTWARE\\Quorvander\\Tessaline\\Highlight";

struct TElement {
  TColor Color;
  bool Default;
  TFontStyles Style;
  bool operator==(const TElement &) const = default;
};
TElement ElementOf(const TTessaline &C, THighlightElement E) {
  return {C.ElementColor(E), C.ElementDefault(E), C.ElementStyle(E)};
}

TEST(SavedScheme, NothingSavedKeepsTheBuiltInSchemeAndCreatesNoKey) {
  TScratchRegistry Registry;
  TTessaline Loaded, Builtin;
  std::vector<std::string> Problems;
  EXPECT_FALSE(LoadSavedScheme(Loaded, &Problems));
  EXPECT_TRUE(Problems.empty());
  for (int E = 0; E < ElementCount; ++E)
    EXPECT_EQ(ElementOf(Loaded, THighlightElement(E)), ElementOf(Builtin, THighlightElement(E)));
  EXPECT_FALSE(TScratchRegistry::Exists(HKEY_CURRENT_USER, L"SOFTWARE\\Quorvander"));
}

TEST(SavedScheme, ValuesAsTheWindowWritesThemAndOddOnes) {
  TScratchRegistry Registry;
  const auto Text = [](const wchar_t *Name, const std::wstring &Value, DWORD Type = REG_SZ) {
    TScratchRegistry::Set(HKEY_CURRENT_USER, Highlight, Name, Type, Value.data(),
                          DWORD(Value.size() * sizeof(wchar_t)));
  };
  const DWORD Number = 255;
  Text(L"ColorSpeedSetting", L"3");
  Text(L"Whitespace_(BG)", std::wstring(L"16777215,16777215,,0,1,0,0\0", 27));
  Text(L"Comment", L"255,16777215,bius,0,1,1,0");
  Text(L"Reserved_word", std::wstring(L"32768,0,B,0\0,9,9,9", 18)); // text ends at the NUL
  TScratchRegistry::Set(HKEY_CURRENT_USER, Highlight, L"Identifier", REG_DWORD, &Number,
                        sizeof Number);
  Text(L"Symbol", L"");                     // empty: colour 1, flag set
  Text(L"String", L"65280", REG_EXPAND_SZ); // text too, nothing expanded
  TScratchRegistry::Set(HKEY_CURRENT_USER, Highlight, L"Number", REG_BINARY, "255,0", 5);
  // Assembler missing: "0,0,,1,1,0,0"

  TTessaline C, Builtin;
  std::vector<std::string> Problems;
  EXPECT_TRUE(LoadSavedScheme(C, &Problems));
  EXPECT_EQ(Problems, (std::vector<std::string>{"Invalid data type for 'Identifier'",
                                                "Invalid data type for 'Number'"}));
  EXPECT_EQ(ElementOf(C, heWhitespace), (TElement{clWhite, false, 0}));
  EXPECT_EQ(ElementOf(C, heComment),
            (TElement{clRed, false, TFontStyles(fsBold | fsItalic | fsUnderline | fsStrikeOut)}));
  EXPECT_EQ(ElementOf(C, heReservedWord), (TElement{clGreen, false, fsBold}));
  EXPECT_EQ(ElementOf(C, heIdentifier), ElementOf(Builtin, heIdentifier));
  EXPECT_EQ(ElementOf(C, heSymbol), (TElement{1, true, 0}));
  EXPECT_EQ(ElementOf(C, heString), (TElement{clLime, true, 0}));
  EXPECT_EQ(ElementOf(C, heNumber), ElementOf(Builtin, heNumber));
  EXPECT_EQ(ElementOf(C, heAssembler), (TElement{clBlack, true, 0}));

  // The tool's default scheme is this one; --scheme builtin ignores it.
  TTessaline Default, Ignored;
  ApplyCliOptions(ParseCliOptions({"-"}), Default);
  EXPECT_EQ(ElementOf(Default, heComment), ElementOf(C, heComment));
  ApplyCliOptions(ParseCliOptions({"--scheme", "builtin", "-"}), Ignored);
  EXPECT_EQ(ElementOf(Ignored, heComment), ElementOf(Builtin, heComment));
}

TEST(SavedScheme, TheToolSaysAValueItCannotReadOnceAndConvertsWithTheRest) {
  TScratchRegistry Registry;
  TScratchRegistry::SetText(HKEY_CURRENT_USER, Highlight, L"Comment", L"255,0,B,0,1,1,0");
  const DWORD Number = 255;
  TScratchRegistry::Set(HKEY_CURRENT_USER, Highlight, L"Identifier", REG_DWORD, &Number,
                        sizeof Number);
  TWinTempDir Dir;
  PutFile(Dir / "a.pas", "{x} y");
  PutFile(Dir / "b.pas", "{x} y");
  std::ostringstream Out, Err;
  // Two workers, each loading the scheme: the message comes once.
  EXPECT_EQ(RunTessalineCli({"-q", "-j", "2", Dir / "a.pas", Dir / "b.pas"}, Out, Err), 0);
  EXPECT_EQ(Err.str(), "tessaline-cli: HKEY_CURRENT_USER\\SOFTWARE\\Quorvander\\Tessaline: "
                       "Invalid data type for 'Identifier'; the built-in setting is used\n");
  TTessaline Expected;
  Expected.SetTitle(DefaultPageTitle);
  Expected.SetElementColor(heComment, clRed);
  Expected.SetElementDefault(heComment, false);
  Expected.SetElementStyle(heComment, fsBold);
  for (const char *Element :
       {"Whitespace_(BG)", "Reserved_word", "Symbol", "String", "Number", "Assembler"})
    LoadElementSetting(Expected, THighlightElement(FindElementByValueName(Element)),
                       MissingElementSetting);
  Expected.SetPlain("{x} y");
  ASSERT_TRUE(Expected.Convert());
  EXPECT_EQ(GetFile(Dir / "a.html"), Expected.HTML());
  EXPECT_EQ(GetFile(Dir / "b.html"), Expected.HTML());
}

} // namespace
