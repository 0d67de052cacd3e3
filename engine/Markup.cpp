#include "Markup.h"

TMarkup::TMarkup(const TColor *Colors, const bool *Defaults, const TFontStyles *Styles,
                 TPageWriter &Writer)
    : Colors(Colors), Styles(Styles), Writer(Writer) {
  for (int E = 0; E < ElementCount; ++E) {
    const TFontStyles S = Styles[E];
    if (S & fsBold)
      StyleOpen[E] += "<B>";
    if (S & fsItalic)
      StyleOpen[E] += "<I>";
    if (S & fsUnderline)
      StyleOpen[E] += "<U>";
    if (S & fsStrikeOut)
      StyleOpen[E] += "<STRIKE>";
    if (S & fsStrikeOut)
      StyleClose[E] += "</STRIKE>";
    if (S & fsUnderline)
      StyleClose[E] += "</U>";
    if (S & fsItalic)
      StyleClose[E] += "</I>";
    if (S & fsBold)
      StyleClose[E] += "</B>";
    // Text in the page's own colour needs no FONT tag; identifiers always
    // are in it, since their colour is the BODY TEXT colour.
    if (!Defaults[E] && Colors[E] != Colors[heIdentifier]) {
      FontOpen[E] = "<FONT COLOR=\"" + ColorToHTML(Colors[E]) + "\">";
      FontClose[E] = "</FONT>";
    }
  }
}

void TMarkup::SwitchToOther(THighlightElement E) {
  if (E == StyleElement) {
    ChangeColor(E, false);
  } else if (E == heWhitespace && !(OpenStyle & (fsUnderline | fsStrikeOut))) {
    // Blanks look the same inside bold, italic or a colour, so the open
    // markup simply runs on over them.
  } else if (Styles[E] == OpenStyle) {
    ChangeColor(E, true);
  } else {
    Writer.Put(StyleClose[StyleElement]);
    ChangeColor(E, false);
    Writer.Put(StyleOpen[E]);
    OpenStyle = Styles[E];
    StyleElement = E;
  }
  CurrentElement = E;
}

void TMarkup::ChangeColor(THighlightElement E, bool WithStyle) {
  // Stored colours decide, not the flags: a default-coloured element whose
  // stored colour equals the open one stays inside that FONT tag.
  if (Colors[ColorElement] == Colors[E])
    return;
  // The style is nested inside the colour, so it is closed around the
  // colour change and opened again.
  if (WithStyle)
    Writer.Put(StyleClose[StyleElement]);
  if (ColorOpened)
    Writer.Put(FontClose[ColorElement]);
  Writer.Put(FontOpen[E]);
  ColorOpened = true;
  if (WithStyle)
    Writer.Put(StyleOpen[E]);
  ColorElement = E;
}

void WritePageHeader(TPageWriter &Writer, const std::string &Title, const std::string &AddHeader,
                     TColor TextColor, TColor BackgroundColor, const std::string &AddBodyStart) {
  // Pieces are appended as they are: a "%" or "<" in a page text is the
  // user's HTML, never a format directive or something to escape.
  Writer.Put("<HTML>\r\n<HEAD>\r\n<TITLE>");
  Writer.Put(Title);
  Writer.Put("</TITLE>\r\n<META NAME=\"GENERATOR\" CONTENT=\"Tessaline by Quorvander\">\r\n");
  Writer.Put(AddHeader);
  Writer.Put("</HEAD>\r\n<BODY TEXT=\"");
  Writer.Put(ColorToHTML(TextColor));
  Writer.Put("\" BGCOLOR=\"");
  Writer.Put(ColorToHTML(BackgroundColor));
  Writer.Put("\">\r\n");
  Writer.Put(AddBodyStart);
  Writer.Put("<PRE>");
}

void WritePageFooter(TPageWriter &Writer, const std::string &AddBodyEnd) {
  Writer.Put("</PRE>");
  Writer.Put(AddBodyEnd);
  Writer.Put("</BODY>\r\n</HTML>");
}
