#include "Html5Styles.h"

#include "ColorScheme.h"

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

const char *DecorationOf(TFontStyles Style) {
  const TFontStyles Lines = Style & (fsUnderline | fsStrikeOut);
  return Lines == (fsUnderline | fsStrikeOut) ? "underline line-through"
         : Lines == fsUnderline               ? "underline"
         : Lines == fsStrikeOut               ? "line-through"
                                              : "none";
}

// Every property is set, so that a site's own rules for spans in a pre do
// not show through.
void AddRule(std::string &Sheet, const std::string &Prefix, THighlightElement E, const TLook &Look) {
  Sheet += ".";
  Sheet += BlockClassName;
  Sheet += " .";
  Sheet += Prefix;
  Sheet += ElementClassName(E);
  Sheet += "{color:";
  Sheet += Look.Colored ? ColorToCSS(Look.Color) : std::string("inherit");
  Sheet += Look.Style & fsBold ? ";font-weight:bold" : ";font-weight:normal";
  Sheet += Look.Style & fsItalic ? ";font-style:italic" : ";font-style:normal";
  Sheet += ";text-decoration:";
  Sheet += DecorationOf(Look.Style);
  Sheet += "}\n";
}

void AddRules(std::string &Sheet, const TScheme &Scheme, const TSpanMarkup &Spans,
              const std::string &Prefix, bool WithBody) {
  // Appended piece by piece: "literal" + std::string makes GCC 12 warn
  // falsely (-Wrestrict).
  const std::string Colors = BlockColorsOf(Scheme);
  if (WithBody) {
    Sheet += "body{";
    Sheet += Colors;
    Sheet += "}\n";
  }
  Sheet += ".";
  Sheet += BlockClassName;
  Sheet += "{";
  Sheet += Colors;
  Sheet += "}\n";
  for (int K = 0; K < ElementCount; ++K)
    if (!Spans.Open[K].empty())
      AddRule(Sheet, Prefix, static_cast<THighlightElement>(K),
              LookOf(Scheme, static_cast<THighlightElement>(K)));
}

} // namespace

std::string ElementClassName(THighlightElement E) {
  std::string Name;
  bool InParentheses = false;
  for (const char *P = ElementCaptions[E]; *P; ++P) {
    const char C = *P;
    if (C == '(')
      InParentheses = true;
    else if (C == ')')
      InParentheses = false;
    else if (InParentheses)
      continue;
    else if (C >= 'A' && C <= 'Z')
      Name += static_cast<char>(C + 32);
    else if ((C >= 'a' && C <= 'z') || (C >= '0' && C <= '9'))
      Name += C;
    else if (!Name.empty() && Name.back() != '-')
      Name += '-';
  }
  while (!Name.empty() && Name.back() == '-')
    Name.pop_back();
  return Name;
}

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

bool LooksPlain(const TScheme &Scheme, THighlightElement E) {
  return LookOf(Scheme, E) == TLook{false, 0, 0};
}

bool LookAlike(const TScheme &Scheme, THighlightElement A, THighlightElement B) {
  return LookOf(Scheme, A) == LookOf(Scheme, B);
}

std::string InlineStyleOf(const TScheme &Scheme, THighlightElement E) {
  const TLook Look = LookOf(Scheme, E);
  std::string Style;
  auto Add = [&Style](const std::string &Declaration) {
    if (!Style.empty())
      Style += ';';
    Style += Declaration;
  };
  if (Look.Colored)
    Add("color:" + ColorToCSS(Look.Color));
  if (Look.Style & fsBold)
    Add("font-weight:bold");
  if (Look.Style & fsItalic)
    Add("font-style:italic");
  if (Look.Style & (fsUnderline | fsStrikeOut))
    Add(std::string("text-decoration:") + DecorationOf(Look.Style));
  return Style;
}

std::string BlockColorsOf(const TScheme &Scheme) {
  std::string Colors = "color:";
  Colors += ColorToCSS(Scheme[heIdentifier].Color);
  Colors += ";background-color:";
  Colors += ColorToCSS(Scheme[heWhitespace].Color);
  return Colors;
}

std::string Html5Stylesheet(const TScheme &Light, const TScheme *Dark, const TSpanMarkup &Spans,
                            const std::string &Prefix, int NumberDigits, bool WithBody) {
  std::string Sheet;
  AddRules(Sheet, Light, Spans, Prefix, WithBody);
  if (NumberDigits > 0) {
    const std::string Block = std::string(".") + BlockClassName;
    const std::string Number = Block + " a." + Prefix + "line-number";
    // The number is generated content: it is shown, but neither part of
    // the text nor copied with a selection.
    Sheet += Block;
    Sheet += "{counter-reset:line}\n";
    Sheet += Number;
    Sheet += "{display:inline-block;min-width:";
    Sheet += std::to_string(NumberDigits);
    Sheet += "ch;padding-right:1ch;margin-right:1ch;border-right:1px solid #80808080;"
             "text-align:right;color:#808080;font-weight:normal;font-style:normal;"
             "text-decoration:none;user-select:none;-webkit-user-select:none}\n";
    Sheet += Number;
    Sheet += "::before{counter-increment:line;content:counter(line)}\n";
  }
  if (Dark) {
    Sheet += "@media (prefers-color-scheme: dark) {\n";
    AddRules(Sheet, *Dark, Spans, Prefix, WithBody);
    Sheet += "}\n";
  }
  return Sheet;
}
