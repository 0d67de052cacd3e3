#include "BBCodePage.h"

#include <string>

#include "Html5Styles.h"

void BuildBBCodeSpans(const TScheme &Scheme, TSpanMarkup &Spans) {
  constexpr uint8_t Plain = 0xFF;
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    const TFontStyles Style = E == heWhitespace ? 0 : Scheme[E].Style;
    Spans.Open[K].clear();
    Spans.Close[K].clear();
    Spans.Look[K] = Plain;
    Spans.Decorated[K] = Style & (fsUnderline | fsStrikeOut);
    if (E == heWhitespace || LooksPlain(Scheme, E))
      continue;
    // Tags close in the reverse order of their opening: forum parsers
    // drop tags that cross.
    std::string &Open = Spans.Open[K], &Close = Spans.Close[K];
    if (!Scheme[E].Default && Scheme[E].Color != Scheme[heIdentifier].Color) {
      Open += "[color=" + ColorToCSS(Scheme[E].Color) + "]";
      Close = "[/color]";
    }
    static constexpr struct {
      TFontStyles Style;
      const char *Open, *Close;
    } Tags[] = {{fsBold, "[b]", "[/b]"}, {fsItalic, "[i]", "[/i]"},
                {fsUnderline, "[u]", "[/u]"}, {fsStrikeOut, "[s]", "[/s]"}};
    for (const auto &Tag : Tags)
      if (Style & Tag.Style) {
        Open += Tag.Open;
        Close.insert(0, Tag.Close);
      }
    for (int Other = 0; Other <= K; ++Other)
      if (LookAlike(Scheme, static_cast<THighlightElement>(Other), E) &&
          (Other == K || Spans.Look[Other] != Plain)) {
        Spans.Look[K] = static_cast<uint8_t>(Other);
        break;
      }
  }
}

void WriteBBCodeHeader(TPageWriter &Writer) { Writer.Put("[font=Courier New]"); }

void WriteBBCodeFooter(TPageWriter &Writer, std::string_view OpenSpanClose) {
  Writer.Put(OpenSpanClose);
  Writer.Put("[/font]\n");
}
