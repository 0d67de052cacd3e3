// Colours in their HTML form.
#include <gtest/gtest.h>

#include "Types.h"

namespace {

TEST(ColorToHTML, NamedColoursUseTheirNames) {
  EXPECT_EQ(ColorToHTML(clBlack), "Black");
  EXPECT_EQ(ColorToHTML(clNavy), "Navy");
  EXPECT_EQ(ColorToHTML(clFuchsia), "Fuchsia");
  EXPECT_EQ(ColorToHTML(clWhite), "White");
  EXPECT_EQ(ColorToHTML(clNone), "None");
  EXPECT_EQ(ColorToHTML(clScrollBar), "ScrollBar");
  EXPECT_EQ(ColorToHTML(clBtnFace), "BtnFace");
  EXPECT_EQ(ColorToHTML(cl3DDkShadow), "3DDkShadow");
  EXPECT_EQ(ColorToHTML(clInfoBk), "InfoBk");
}

TEST(ColorToHTML, OtherColoursAreRedGreenBlueHex) {
  EXPECT_EQ(ColorToHTML(0x804020), "#204080");
  EXPECT_EQ(ColorToHTML(0x336699), "#996633");
  EXPECT_EQ(ColorToHTML(0x0A0B0C), "#0C0B0A");
  // The top byte is ignored, beyond the 25 system colours too.
  EXPECT_EQ(ColorToHTML(0x12FFFFFF), "#FFFFFF");
  EXPECT_EQ(ColorToHTML(clSystemColor + 25), "#190000");
  EXPECT_EQ(ColorToHTML(-1), "#FFFFFF");
}

} // namespace
