#include "Types.h"

namespace {

struct TColorName {
  TColor Value;
  const char *Name;
};

// The sixteen HTML colour names first, so ordinary colours are found
// before the rarer system colours.
constexpr TColorName ColorNames[] = {
    {clBlack, "Black"},
    {clMaroon, "Maroon"},
    {clGreen, "Green"},
    {clOlive, "Olive"},
    {clNavy, "Navy"},
    {clPurple, "Purple"},
    {clTeal, "Teal"},
    {clGray, "Gray"},
    {clSilver, "Silver"},
    {clRed, "Red"},
    {clLime, "Lime"},
    {clYellow, "Yellow"},
    {clBlue, "Blue"},
    {clFuchsia, "Fuchsia"},
    {clAqua, "Aqua"},
    {clWhite, "White"},
    {clNone, "None"},
    {clScrollBar, "ScrollBar"},
    {clBackground, "Background"},
    {clActiveCaption, "ActiveCaption"},
    {clInactiveCaption, "InactiveCaption"},
    {clMenu, "Menu"},
    {clWindow, "Window"},
    {clWindowFrame, "WindowFrame"},
    {clMenuText, "MenuText"},
    {clWindowText, "WindowText"},
    {clCaptionText, "CaptionText"},
    {clActiveBorder, "ActiveBorder"},
    {clInactiveBorder, "InactiveBorder"},
    {clAppWorkSpace, "AppWorkSpace"},
    {clHighlight, "Highlight"},
    {clHighlightText, "HighlightText"},
    {clBtnFace, "BtnFace"},
    {clBtnShadow, "BtnShadow"},
    {clGrayText, "GrayText"},
    {clBtnText, "BtnText"},
    {clInactiveCaptionText, "InactiveCaptionText"},
    {clBtnHighlight, "BtnHighlight"},
    {cl3DDkShadow, "3DDkShadow"},
    {cl3DLight, "3DLight"},
    {clInfoText, "InfoText"},
    {clInfoBk, "InfoBk"},
};

} // namespace

std::string ColorToHTML(TColor Color) {
  for (const TColorName &Entry : ColorNames)
    if (Entry.Value == Color)
      return Entry.Name;
  static constexpr char Hex[] = "0123456789ABCDEF";
  const uint32_t Value = static_cast<uint32_t>(Color);
  std::string Result = "#";
  for (int Shift : {0, 8, 16}) { // red is the low byte
    const uint32_t Byte = (Value >> Shift) & 0xFF;
    Result += Hex[Byte >> 4];
    Result += Hex[Byte & 15];
  }
  return Result;
}

namespace {

// Windows' default system colours, as 0xRRGGBB, in the order of the
// system colour values (clScrollBar first).
constexpr uint32_t SystemColors[] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000,
    0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D,
    0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xFFFFE1};
static_assert(sizeof SystemColors / sizeof SystemColors[0] == clInfoBk - clSystemColor + 1);

} // namespace

uint32_t ColorToRGB(TColor Color) {
  if (Color == clNone)
    return 0xFFFFFF;
  if (Color >= clScrollBar && Color <= clInfoBk)
    return SystemColors[Color - clSystemColor];
  const auto Value = static_cast<uint32_t>(Color);
  return (Value & 0xFF) << 16 | (Value & 0xFF00) | (Value >> 16 & 0xFF);
}
