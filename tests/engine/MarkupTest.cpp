// TMarkup's promise, on random schemes and switch sequences: two markups
// with the same scheme in the same state write the same texts from then
// on, and a quiet switch is one that writes nothing and keeps the markup.
#include <gtest/gtest.h>

#include <random>

#include "Markup.h"

namespace {

TScheme RandomScheme(std::mt19937 &Random) {
  static const TColor Palette[] = {clBlack, clWhite, clNavy, clRed};
  TScheme Scheme;
  for (TElementScheme &E : Scheme.Elements)
    E = {Palette[Random() % 4], Random() % 2 == 0, static_cast<TFontStyles>(Random() % 16)};
  return Scheme;
}

THighlightElement RandomElement(std::mt19937 &Random) {
  return static_cast<THighlightElement>(Random() % ElementCount);
}

TEST(Markup, EqualStatesWriteEqualTextsFromThenOn) {
  std::mt19937 Random(18);
  for (int Round = 0; Round < 300; ++Round) {
    const TScheme Scheme = RandomScheme(Random);
    TMarkup First(Scheme);
    for (int K = Random() % 40; K > 0; --K)
      First.SwitchThroughWhitespaceTo(RandomElement(Random));
    // A second markup that has made none of those switches, set to the
    // first one's state, as a helper thread's markup is taken over.
    TMarkup Second(Scheme);
    for (int K = Random() % 5; K > 0; --K)
      Second.SwitchThroughWhitespaceTo(RandomElement(Random));
    Second.SetStateKey(First.StateKey());
    for (int K = 0; K < 40; ++K) {
      const THighlightElement E = RandomElement(Random);
      const std::string Text(First.SwitchThroughWhitespaceTo(E));
      ASSERT_EQ(Second.SwitchThroughWhitespaceTo(E), Text) << "round " << Round << ", step " << K;
      ASSERT_EQ(Second.StateKey(), First.StateKey());
    }
  }
}

TEST(Markup, QuietSwitchesWriteNothingAndKeepTheOpenMarkup) {
  std::mt19937 Random(19);
  for (int Round = 0; Round < 300; ++Round) {
    TMarkup Markup(RandomScheme(Random));
    for (int K = 0; K < 60; ++K) {
      const THighlightElement E = RandomElement(Random);
      uint16_t Quiet = Markup.StateKey();
      const bool WillBeQuiet = Markup.WillBeQuiet(Quiet, E);
      ASSERT_EQ(Markup.IsQuiet(Quiet, E), WillBeQuiet);
      ASSERT_EQ(Markup.SwitchQuietly(Quiet, E), WillBeQuiet);
      const uint16_t Before = Markup.StateKey();
      const std::string_view Text = Markup.SwitchThroughWhitespaceTo(E);
      if (WillBeQuiet) {
        ASSERT_TRUE(Text.empty());
        ASSERT_EQ(Markup.StateKey(), Quiet);
        ASSERT_EQ(TMarkup::OpenMarkupOf(Quiet), TMarkup::OpenMarkupOf(Before));
      } else {
        ASSERT_EQ(Quiet, Before) << "a switch that is not quiet changes nothing";
      }
    }
  }
}

} // namespace
