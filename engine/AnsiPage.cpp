#include "AnsiPage.h"

#include <string>

#include "Html5Styles.h"

namespace {

constexpr int CubeLevels[6] = {0, 95, 135, 175, 215, 255};

constexpr int Nearest(int Value, const int *Levels, int Count) {
  int Best = 0;
  for (int K = 1; K < Count; ++K)
    if ((Value - Levels[K]) * (Value - Levels[K]) < (Value - Levels[Best]) * (Value - Levels[Best]))
      Best = K;
  return Best;
}

constexpr int Distance(int R, int G, int B, int R2, int G2, int B2) {
  return (R - R2) * (R - R2) + (G - G2) * (G - G2) + (B - B2) * (B - B2);
}

constexpr int NearestOf(uint32_t RGB) {
  const int R = RGB >> 16 & 255, G = RGB >> 8 & 255, B = RGB & 255;
  const int CR = Nearest(R, CubeLevels, 6), CG = Nearest(G, CubeLevels, 6),
            CB = Nearest(B, CubeLevels, 6);
  const int Cube = 16 + 36 * CR + 6 * CG + CB;
  const int CubeDistance =
      Distance(R, G, B, CubeLevels[CR], CubeLevels[CG], CubeLevels[CB]);
  // The greys are 8, 18, ... 238.
  int Grey = ((R + G + B) / 3 - 8 + 5) / 10;
  Grey = Grey < 0 ? 0 : Grey > 23 ? 23 : Grey;
  const int Level = 8 + 10 * Grey;
  return Distance(R, G, B, Level, Level, Level) < CubeDistance ? 232 + Grey : Cube;
}
static_assert(NearestOf(0x000000) == 16 && NearestOf(0xFFFFFF) == 231 &&
              NearestOf(0x000080) == 18 && NearestOf(0x808080) == 244 &&
              NearestOf(0xFF0000) == 196 && NearestOf(0x008080) == 30);

} // namespace

int NearestXtermColor(uint32_t RGB) { return NearestOf(RGB); }

void BuildAnsiSpans(const TScheme &Scheme, const TPageOptions &Options, TSpanMarkup &Spans) {
  constexpr uint8_t Plain = 0xFF;
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    Spans.Open[K].clear();
    Spans.Close[K] = "\x1B[0m";
    Spans.Look[K] = Plain;
    const TFontStyles Style = E == heWhitespace ? 0 : Scheme[E].Style;
    // Whitespace ends every span, so that a line end between tokens finds
    // none open and needs no reset of its own: only a line end inside a
    // comment or string resets and sets its colours again.
    Spans.Decorated[K] = true;
    if (E == heWhitespace || LooksPlain(Scheme, E))
      continue;
    std::string Parameters;
    auto Add = [&Parameters](const std::string &Parameter) {
      Parameters += Parameters.empty() ? "" : ";";
      Parameters += Parameter;
    };
    if (Style & fsBold)
      Add("1");
    if (Style & fsItalic)
      Add("3");
    if (Style & fsUnderline)
      Add("4");
    if (Style & fsStrikeOut)
      Add("9");
    if (!Scheme[E].Default && Scheme[E].Color != Scheme[heIdentifier].Color) {
      const uint32_t RGB = ColorToRGB(Scheme[E].Color);
      if (Options.Ansi256)
        Add("38;5;" + std::to_string(NearestXtermColor(RGB)));
      else
        Add("38;2;" + std::to_string(RGB >> 16) + ";" + std::to_string(RGB >> 8 & 255) + ";" +
            std::to_string(RGB & 255));
    }
    Spans.Open[K] = "\x1B[" + Parameters + "m";
    for (int Other = 0; Other <= K; ++Other)
      if (LookAlike(Scheme, static_cast<THighlightElement>(Other), E) &&
          (Other == K || Spans.Look[Other] != Plain)) {
        Spans.Look[K] = static_cast<uint8_t>(Other);
        break;
      }
  }
}

void WriteAnsiFooter(TPageWriter &Writer, std::string_view OpenSpanClose) {
  Writer.Put(OpenSpanClose);
}
