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
