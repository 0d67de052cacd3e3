// The engine against the plain model of the highlighting rules, on random
// texts under random schemes.
#include <gtest/gtest.h>

#include <random>

#include "ReferenceModel.h"
#include "TestSupport.h"

namespace {


// Texts dense in the bytes that start, end or split tokens.
std::string RandomText(std::mt19937 &Random) {
  static const std::vector<std::string> Pieces = {
      "begin", "End",  "NAME", "x",     "_a1", "beginning", "'",  "''", "#",  "#13",
      "$",     "$FF",  "0..9", "1.5E3", "{",   "}",         "(*", "*)", "(",  ")",
      "*",     "//",   "/",    "\r\n",  "\n",  "\r",        " ",  "  ", "\t", "&",
      "<",     ">",    "\"",   ":=",    ";",   ".",         ",",  "@",  "^",  std::string(1, '\0'),
      "\x80",  "\xff", "asm",  "mov",   "x2",  "Z"};
  std::uniform_int_distribution<size_t> Count(0, 40), Pick(0, Pieces.size() - 1);
  std::string Text;
  for (size_t N = Count(Random); N > 0; --N)
    Text += Pieces[Pick(Random)];
  return Text;
}

void RandomScheme(std::mt19937 &Random, TTessaline &Converter, TModel &Model) {
  static const TColor Palette[] = {clBlack, clWhite, clNavy, clRed, 0x123456, clBtnFace, clNone};
  std::uniform_int_distribution<int> Color(0, 6), Flag(0, 1), Style(0, 15);
  for (int K = 0; K < 8; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    Converter.SetElementColor(E, Palette[Color(Random)]);
    Converter.SetElementDefault(E, Flag(Random) != 0);
    // Most elements plain or bold, so the lazy markup has runs to share.
    Converter.SetElementStyle(E, Flag(Random) ? static_cast<TFontStyles>(Style(Random)) : 0);
    Model.Colors[K] = Converter.ElementColor(E);
    Model.Defaults[K] = Converter.ElementDefault(E);
    Model.Styles[K] = Converter.ElementStyle(E);
  }
}

TEST(ReferenceModel, RandomTextsUnderRandomSchemesGiveTheModelsPageAndProgress) {
  std::mt19937 Random(20261208);
  for (int Round = 0; Round < 4000; ++Round) {
    TTessaline Converter;
    TModel Model;
    RandomScheme(Random, Converter, Model);
    const std::string Text = RandomText(Random);
    std::vector<int> Progress;
    Converter.SetOnProgress([&Progress](TTessaline &, int32_t P) { Progress.push_back(P); });
    Converter.SetPlain(Text);
    ASSERT_TRUE(Converter.Convert());
    Model.Run(Text);
    ASSERT_EQ(BodyOf(Converter.HTML()), Model.Body) << "round " << Round << ", text:\n" << Text;
    ASSERT_EQ(Progress, Model.Progress) << "round " << Round << ", text:\n" << Text;
  }
}

TEST(ReferenceModel, StopFromAnyProgressCallEndsLikeTheModel) {
  std::mt19937 Random(7);
  for (int Round = 0; Round < 1000; ++Round) {
    TTessaline Converter;
    TModel Model;
    RandomScheme(Random, Converter, Model);
    const std::string Text = RandomText(Random) + " a b c d e";
    const int StopAt = std::uniform_int_distribution<int>(0, 6)(Random);
    std::vector<int> Progress;
    Converter.SetOnProgress([&](TTessaline &Sender, int32_t P) {
      if (static_cast<int>(Progress.size()) == StopAt)
        Sender.Stop();
      Progress.push_back(P);
    });
    Converter.SetPlain(Text);
    Model.StopAtCall = StopAt;
    const bool Completed = Converter.Convert();
    Model.Run(Text);
    ASSERT_EQ(Completed, Model.Completed) << Text;
    ASSERT_EQ(Progress, Model.Progress) << Text;
    if (!Completed) {
      ASSERT_EQ(Converter.HTML(), "");
    }
  }
}

} // namespace
