#include "Html5Page.h"

#include "ColorScheme.h"
#include "TextTranslator.h"

namespace {

// What an element looks like in one scheme: whether it has a colour of its
// own (not the page text colour), which, and its styles.
struct TLook {
  bool Colored;
  TColor Color;
  TFontStyles Style;
  bool operator==(const TLook &) const = default;
};

TLook LookOf(const TScheme &Scheme, THighlightElement E) {
  const TElementScheme &Element = Scheme[E];
  const bool Colored = !Element.Default && Element.Color != Scheme[heIdentifier].Color;
  return {Colored, Colored ? Element.Color : 0, E == heWhitespace ? TFontStyles(0) : Element.Style};
}

void PutRule(TPageWriter &Writer, THighlightElement E, const TLook &Look) {
  Writer.Put("pre .");
  Writer.Put(ElementClassName(E));
  Writer.Put("{color:");
  Writer.Put(Look.Colored ? ColorToCSS(Look.Color) : std::string("inherit"));
  Writer.Put(Look.Style & fsBold ? ";font-weight:bold" : ";font-weight:normal");
  Writer.Put(Look.Style & fsItalic ? ";font-style:italic" : ";font-style:normal");
  const TFontStyles Lines = Look.Style & (fsUnderline | fsStrikeOut);
  Writer.Put(Lines == (fsUnderline | fsStrikeOut) ? ";text-decoration:underline line-through"
             : Lines == fsUnderline               ? ";text-decoration:underline"
             : Lines == fsStrikeOut               ? ";text-decoration:line-through"
                                                  : ";text-decoration:none");
  Writer.Put("}\n");
}

void PutRules(TPageWriter &Writer, const TScheme &Scheme, const TSpanMarkup &Spans) {
  Writer.Put("body{color:");
  Writer.Put(ColorToCSS(Scheme[heIdentifier].Color));
  Writer.Put(";background-color:");
  Writer.Put(ColorToCSS(Scheme[heWhitespace].Color));
  Writer.Put("}\n");
  for (int K = 0; K < ElementCount; ++K)
    if (!Spans.Open[K].empty())
      PutRule(Writer, static_cast<THighlightElement>(K),
              LookOf(Scheme, static_cast<THighlightElement>(K)));
}

} // namespace

std::string ElementClassName(THighlightElement E) { return ElementClassNames[E]; }

std::string ColorToCSS(TColor Color) {
  if (Color == clNone)
    return "transparent";
  const uint32_t RGB = ColorToRGB(Color);
  static const char Digits[] = "0123456789ABCDEF";
  std::string Text = "#";
  for (int Shift = 20; Shift >= 0; Shift -= 4)
    Text += Digits[RGB >> Shift & 15];
  return Text;
}

void BuildHtml5Spans(const TScheme &Light, const TScheme *Dark, TSpanMarkup &Spans,
                     bool WithInactive) {
  constexpr uint8_t Plain = 0xFF;
  Spans.Close = "</span>";
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    const TLook NoLook{false, 0, 0};
    // Without conditionals no code is inactive, and the page has no rule for it.
    const bool IsPlain = E == heWhitespace || (E == heInactive && !WithInactive) || (LookOf(Light, E) == NoLook &&
                                               (!Dark || LookOf(*Dark, E) == NoLook));
    Spans.Open[K].clear();
    Spans.Look[K] = Plain;
    Spans.Decorated[K] = false;
    if (IsPlain)
      continue;
    Spans.Open[K] = "<span class=\"" + ElementClassName(E) + "\">";
    const TFontStyles Lines = fsUnderline | fsStrikeOut;
    Spans.Decorated[K] = (LookOf(Light, E).Style & Lines) || (Dark && (LookOf(*Dark, E).Style & Lines));
    // The first element that looks the same in both schemes names the look.
    for (int Other = 0; Other <= K; ++Other) {
      const auto O = static_cast<THighlightElement>(Other);
      if (LookOf(Light, O) == LookOf(Light, E) && (!Dark || LookOf(*Dark, O) == LookOf(*Dark, E)) &&
          (Other == K || Spans.Look[Other] != Plain)) {
        Spans.Look[K] = static_cast<uint8_t>(Other);
        break;
      }
    }
  }
}

void WriteHtml5Header(TPageWriter &Writer, const TPageTexts &Texts, const TScheme &Light,
                      const TScheme *Dark, const TSpanMarkup &Spans, uint64_t LineCount) {
  Writer.Put("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>");
  Writer.Put(Texts.Title);
  Writer.Put("</title>\n<meta name=\"generator\" content=\"Tessaline by Quorvander\">\n");
  if (Dark)
    Writer.Put("<meta name=\"color-scheme\" content=\"light dark\">\n");
  Writer.Put("<style>\n");
  PutRules(Writer, Light, Spans);
  if (LineCount > 0) {
    int Digits = 1;
    for (uint64_t N = LineCount; N >= 10; N /= 10)
      ++Digits;
    // The number is generated content: it is shown, but neither part of
    // the text nor copied with a selection.
    Writer.Put("pre{counter-reset:line}\n"
               "pre a.line-number{display:inline-block;min-width:");
    Writer.Put(std::to_string(Digits));
    Writer.Put("ch;padding-right:1ch;margin-right:1ch;border-right:1px solid #80808080;"
               "text-align:right;color:#808080;font-weight:normal;font-style:normal;"
               "text-decoration:none;user-select:none;-webkit-user-select:none}\n"
               "pre a.line-number::before{counter-increment:line;content:counter(line)}\n");
  }
  if (Dark) {
    Writer.Put("@media (prefers-color-scheme: dark) {\n");
    PutRules(Writer, *Dark, Spans);
    Writer.Put("}\n");
  }
  Writer.Put("</style>\n");
  Writer.Put(Texts.AddHeader);
  Writer.Put("</head>\n<body>\n");
  Writer.Put(Texts.AddBodyStart);
  // A parser drops one line end right after "<pre>": this one, so that a
  // source that starts with an empty line keeps it.
  Writer.Put("<pre>\n");
}

void WriteHtml5Footer(TPageWriter &Writer, const TPageTexts &Texts, bool SpanOpen) {
  // Unlike the classic page's markup, a span left open would make the
  // page invalid.
  if (SpanOpen)
    Writer.Put("</span>");
  Writer.Put("</pre>");
  Writer.Put(Texts.AddBodyEnd);
  Writer.Put("</body>\n</html>\n");
}

uint64_t CountLines(std::string_view Text) {
  const bool Open = !Text.empty() && Text.back() != '\n' && Text.back() != '\r';
  return CountLineEnds(Text.data(), Text.data() + Text.size()) + (Open ? 1 : 0);
}
