#include "RtfPage.h"

#include <string>

namespace {

bool HasOwnColor(const TScheme &Scheme, THighlightElement E) {
  return !Scheme[E].Default && Scheme[E].Color != Scheme[heIdentifier].Color;
}

} // namespace

void BuildRtfSpans(const TScheme &Scheme, TSpanMarkup &Spans) {
  constexpr uint8_t Plain = 0xFF;
  for (int K = 0; K < ElementCount; ++K) {
    Spans.Close[K].assign(1, '}'); // not = "}", which GCC 12 warns of falsely (-Wrestrict)
    const auto E = static_cast<THighlightElement>(K);
    const bool Colored = HasOwnColor(Scheme, E);
    const TFontStyles Style = Scheme[E].Style;
    Spans.Open[K].clear();
    Spans.Look[K] = Plain;
    Spans.Decorated[K] = Style & (fsUnderline | fsStrikeOut);
    if (E == heWhitespace || (!Colored && Style == 0))
      continue;
    std::string Open = "{";
    if (Colored)
      Open += "\\cf" + std::to_string(K + 1);
    if (Style & fsBold)
      Open += "\\b";
    if (Style & fsItalic)
      Open += "\\i";
    if (Style & fsUnderline)
      Open += "\\ul";
    if (Style & fsStrikeOut)
      Open += "\\strike";
    Open += " ";
    Spans.Open[K] = Open;
    for (int Other = 0; Other <= K; ++Other) {
      const auto O = static_cast<THighlightElement>(Other);
      const bool Alike = HasOwnColor(Scheme, O) == Colored && Scheme[O].Style == Style &&
                         (!Colored || Scheme[O].Color == Scheme[E].Color);
      if (Alike && (Other == K || Spans.Look[Other] != Plain)) {
        Spans.Look[K] = static_cast<uint8_t>(Other);
        break;
      }
    }
  }
}

void WriteRtfHeader(TPageWriter &Writer, const TScheme &Scheme, bool WithInactive) {
  Writer.Put("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n"
             "{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\n"
             "{\\colortbl;");
  // Inactive code, the last element, has its colour only where there can
  // be any, so that other documents stay as they were.
  const int Colors = WithInactive ? ElementCount : heInactive;
  for (int K = 0; K < Colors; ++K) {
    const uint32_t RGB = ColorToRGB(Scheme.Elements[K].Color);
    Writer.Put("\\red" + std::to_string(RGB >> 16) + "\\green" + std::to_string(RGB >> 8 & 0xFF) +
               "\\blue" + std::to_string(RGB & 0xFF) + ";");
  }
  Writer.Put("}\n{\\*\\generator Tessaline by Quorvander;}\n");
  // The paragraphs' shading is the page background, the text colour that of
  // identifiers.
  Writer.Put("\\pard\\plain\\f0\\fs20\\cbpat" + std::to_string(heWhitespace + 1) + "\\cf" +
             std::to_string(heIdentifier + 1) + " ");
}

void WriteRtfFooter(TPageWriter &Writer, bool SpanOpen) {
  if (SpanOpen)
    Writer.Put("}");
  Writer.Put("\n}\n");
}
