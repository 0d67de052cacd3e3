#include "Html5Page.h"

#include "TextTranslator.h"

namespace {

bool Decorated(const TScheme &Scheme, THighlightElement E) {
  return E != heWhitespace && (Scheme[E].Style & (fsUnderline | fsStrikeOut));
}

int DigitsOf(uint64_t N) {
  int Digits = 1;
  for (; N >= 10; N /= 10)
    ++Digits;
  return Digits;
}

// The stylesheet's name as an attribute value: a relative URL whose bytes
// outside the plain ones are percent-encoded (a "#" or "?" would cut it,
// a space or quote end it), with Windows' "\" as "/".
std::string HrefOf(const std::string &Name) {
  static const char Digits[] = "0123456789ABCDEF";
  std::string Href;
  for (const char C : Name) {
    const auto Byte = static_cast<unsigned char>(C);
    if ((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') ||
        C == '-' || C == '.' || C == '_' || C == '~' || C == '/')
      Href += C;
    else if (C == '\\')
      Href += '/';
    else
      Href += {'%', Digits[Byte >> 4], Digits[Byte & 15]};
  }
  return Href;
}

// The page's or fragment's CSS: none with inline styles, a link, or the
// stylesheet itself.
void PutStyles(TPageWriter &Writer, const TScheme &Light, const TScheme *Dark,
               const TSpanMarkup &Spans, const TPageOptions &Options, uint64_t LineCount) {
  if (Options.InlineStyles)
    return;
  if (!Options.CssFile.empty()) {
    Writer.Put("<link rel=\"stylesheet\" href=\"" + HrefOf(Options.CssFile) + "\">\n");
    return;
  }
  Writer.Put("<style>\n");
  Writer.Put(Html5Stylesheet(Light, Dark, Spans, Options.ClassPrefix,
                             LineCount > 0 ? DigitsOf(LineCount) : 0, !Options.Fragment));
  Writer.Put("</style>\n");
}

} // namespace

void BuildHtml5Spans(const TScheme &Light, const TScheme *Dark, const TPageOptions &Options,
                     TSpanMarkup &Spans, bool WithInactive) {
  constexpr uint8_t Plain = 0xFF;
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    Spans.Close[K] = "</span>";
    // Without conditionals no code is inactive, and the page has no rule for it.
    const bool IsPlain = E == heWhitespace || (E == heInactive && !WithInactive) ||
                         (LooksPlain(Light, E) && (!Dark || LooksPlain(*Dark, E)));
    Spans.Open[K].clear();
    Spans.Look[K] = Plain;
    Spans.Decorated[K] = false;
    if (IsPlain)
      continue;
    Spans.Open[K] = Options.InlineStyles
                        ? "<span style=\"" + InlineStyleOf(Light, E) + "\">"
                        : "<span class=\"" + Options.ClassPrefix + ElementClassName(E) + "\">";
    Spans.Decorated[K] = Decorated(Light, E) || (Dark && Decorated(*Dark, E));
    // The first element that looks the same in both schemes names the look.
    for (int Other = 0; Other <= K; ++Other) {
      const auto O = static_cast<THighlightElement>(Other);
      if (LookAlike(Light, O, E) && (!Dark || LookAlike(*Dark, O, E)) &&
          (Other == K || Spans.Look[Other] != Plain)) {
        Spans.Look[K] = static_cast<uint8_t>(Other);
        break;
      }
    }
  }
}

void WriteHtml5Header(TPageWriter &Writer, const TPageTexts &Texts, const TScheme &Light,
                      const TScheme *Dark, const TSpanMarkup &Spans, const TPageOptions &Options,
                      uint64_t LineCount) {
  if (Options.Fragment) {
    PutStyles(Writer, Light, Dark, Spans, Options, LineCount);
  } else {
    Writer.Put("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>");
    Writer.Put(Texts.Title);
    Writer.Put("</title>\n<meta name=\"generator\" content=\"Tessaline by Quorvander\">\n");
    if (Dark)
      Writer.Put("<meta name=\"color-scheme\" content=\"light dark\">\n");
    PutStyles(Writer, Light, Dark, Spans, Options, LineCount);
    Writer.Put(Texts.AddHeader);
    Writer.Put("</head>\n<body>\n");
    Writer.Put(Texts.AddBodyStart);
  }
  Writer.Put("<pre class=\"");
  Writer.Put(BlockClassName);
  if (Options.InlineStyles)
    Writer.Put("\" style=\"" + BlockColorsOf(Light));
  // A parser drops one line end right after "<pre>": this one, so that a
  // source that starts with an empty line keeps it.
  Writer.Put("\">\n");
}

void WriteHtml5Footer(TPageWriter &Writer, const TPageTexts &Texts, const TPageOptions &Options,
                      bool SpanOpen) {
  // Unlike the classic page's markup, a span left open would make the
  // page invalid.
  if (SpanOpen)
    Writer.Put("</span>");
  Writer.Put("</pre>");
  if (Options.Fragment) {
    Writer.Put("\n");
    return;
  }
  Writer.Put(Texts.AddBodyEnd);
  Writer.Put("</body>\n</html>\n");
}

std::string Html5LinkedStylesheet(const TScheme &Light, const TScheme *Dark,
                                  const TPageOptions &Options, bool WithInactive) {
  TSpanMarkup Spans;
  BuildHtml5Spans(Light, Dark, Options, Spans, WithInactive);
  return Html5Stylesheet(Light, Dark, Spans, Options.ClassPrefix, 4, false);
}

uint64_t CountLines(std::string_view Text) {
  const bool Open = !Text.empty() && Text.back() != '\n' && Text.back() != '\r';
  return CountLineEnds(Text.data(), Text.data() + Text.size()) + (Open ? 1 : 0);
}
