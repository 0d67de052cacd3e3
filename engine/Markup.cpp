#include "Markup.h"

TMarkup::TMarkup(const TMarkup &Like, uint16_t State) : TMarkup(Like.Scheme, Like.Spans) {
  Key = State;
}

TMarkup::TMarkup(const TScheme &Scheme, const TSpanMarkup *Spans)
    : Scheme(Scheme), Spans(Spans), Texts(TPageWriter::PaddedRead, '\0') {
  for (int E = 0; E < ElementCount; ++E) {
    const TElementScheme &Element = Scheme.Elements[E];
    const TFontStyles S = Element.Style;
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
    if (!Element.Default && Element.Color != Scheme[heIdentifier].Color) {
      FontOpen[E] = "<FONT COLOR=\"" + ColorToHTML(Element.Color) + "\">";
      FontClose[E] = "</FONT>";
    }
  }
}

std::string TMarkup::ClosingTexts() const {
  const size_t State = OpenMarkupOf(Key);
  const size_t StyleCode = State % ElementCodes, ColorCode = State / ElementCodes;
  std::string Texts;
  if (StyleCode != 0)
    Texts += StyleClose[StyleCode - 1];
  if (ColorCode != 0)
    Texts += FontClose[ColorCode - 1];
  return Texts;
}

void TMarkup::WorkOutStep(size_t Index) {
  const auto E = static_cast<THighlightElement>(Index & 15);
  const bool ThroughWhitespace = Index & AfterToken;
  const unsigned State = static_cast<unsigned>(OpenMarkupOf(static_cast<uint16_t>(Index)));
  const unsigned StyleCode = State % ElementCodes, ColorCode = State / ElementCodes;
  bool StyleIsKnown = StyleCode != 0;
  bool Opened = ColorCode != 0;
  auto StyleElement = static_cast<THighlightElement>(StyleIsKnown ? StyleCode - 1 : 0);
  auto ColorElement = static_cast<THighlightElement>(Opened ? ColorCode - 1 : 0);
  // Rows of a state's table that no switch leads to are never asked for.
  if (E >= ElementCount || StyleCode >= ElementCodes || ColorCode >= ElementCodes)
    return;
  std::string Out;
  // From whitespace to whitespace is no switch at all.
  if (Spans) {
    // A span markup keeps its open span as the open style.
    if (ThroughWhitespace)
      SwitchBySpans(heWhitespace, Out, StyleElement, StyleIsKnown);
    if (E != heWhitespace)
      SwitchBySpans(E, Out, StyleElement, StyleIsKnown);
  } else {
    if (ThroughWhitespace)
      SwitchByRules(heWhitespace, Out, StyleElement, ColorElement, StyleIsKnown, Opened);
    if (E != heWhitespace)
      SwitchByRules(E, Out, StyleElement, ColorElement, StyleIsKnown, Opened);
  }
  TStep &Step = Steps[Index];
  // The texts are kept followed by padding, so that any of them can be
  // copied in one piece of TPageWriter::PaddedRead bytes.
  Texts.resize(Texts.size() - TPageWriter::PaddedRead);
  Step.Offset = static_cast<uint32_t>(Texts.size());
  Step.Length = static_cast<uint16_t>(Out.size());
  // Without style or colour opened the element stays whitespace (above).
  const unsigned Open = (StyleIsKnown ? StyleElement + 1u : 0u) +
                        ElementCodes * (Opened ? ColorElement + 1u : 0u);
  const bool Quiet = Out.empty() && Open == State;
  Step.Next = static_cast<uint16_t>(Open << 5 | (E != heWhitespace ? AfterToken : 0) | StepKnown |
                                    (Quiet ? QuietStep : 0));
  Texts += Out;
  Texts.append(TPageWriter::PaddedRead, '\0');
}

void TMarkup::SwitchByRules(THighlightElement E, std::string &Out, THighlightElement &StyleElement,
                            THighlightElement &ColorElement, bool &StyleIsKnown,
                            bool &Opened) const {
  // Before the first full switch no style is open, and the start value of
  // the open style equals no element's styles.
  const int OpenStyle = StyleIsKnown ? Scheme[StyleElement].Style : -1;
  if (E == StyleElement) {
    ChangeColor(E, false, Out, StyleElement, ColorElement, Opened);
  } else if (E == heWhitespace && OpenStyle >= 0 && !(OpenStyle & (fsUnderline | fsStrikeOut))) {
    // Blanks look the same inside bold, italic or a colour, so the open
    // markup simply runs on over them.
  } else if (Scheme[E].Style == OpenStyle) {
    ChangeColor(E, true, Out, StyleElement, ColorElement, Opened);
  } else {
    Out += StyleClose[StyleElement];
    ChangeColor(E, false, Out, StyleElement, ColorElement, Opened);
    Out += StyleOpen[E];
    StyleElement = E;
    StyleIsKnown = true;
  }
}

void TMarkup::SwitchBySpans(THighlightElement E, std::string &Out, THighlightElement &SpanElement,
                            bool &SpanOpen) const {
  if (SpanOpen) {
    const bool Stays = E == heWhitespace ? !Spans->Decorated[SpanElement]
                                         : Spans->Look[E] == Spans->Look[SpanElement];
    if (Stays)
      return;
    Out += Spans->Close[SpanElement];
    SpanOpen = false;
  }
  // Whitespace never opens a span: its colour is the background's.
  if (E != heWhitespace && !Spans->Open[E].empty()) {
    Out += Spans->Open[E];
    SpanElement = E;
    SpanOpen = true;
  }
}

void TMarkup::ChangeColor(THighlightElement E, bool WithStyle, std::string &Out,
                          THighlightElement StyleElement, THighlightElement &ColorElement,
                          bool &Opened) const {
  // Stored colours decide, not the flags: a default-coloured element whose
  // stored colour equals the open one stays inside that FONT tag.
  if (Scheme[ColorElement].Color == Scheme[E].Color)
    return;
  // The style is nested inside the colour, so it is closed around the
  // colour change and opened again.
  if (WithStyle)
    Out += StyleClose[StyleElement];
  // The body starts in the background colour with no FONT tag written, so
  // the first colour change must not close one (a stray "</FONT>" would
  // close a FONT tag that the page's own start text opened).
  if (Opened)
    Out += FontClose[ColorElement];
  Out += FontOpen[E];
  if (WithStyle)
    Out += StyleOpen[E];
  ColorElement = E;
  Opened = true;
}

void WritePageHeader(TPageWriter &Writer, const std::string &Title, const std::string &AddHeader,
                     TColor TextColor, TColor BackgroundColor, const std::string &AddBodyStart,
                     bool DeclareUTF8) {
  // Pieces are appended as they are: a "%" or "<" in a page text is the
  // user's HTML, never a format directive or something to escape.
  Writer.Put("<HTML>\r\n<HEAD>\r\n<TITLE>");
  Writer.Put(Title);
  Writer.Put("</TITLE>\r\n<META NAME=\"GENERATOR\" CONTENT=\"Tessaline by Quorvander\">\r\n");
  if (DeclareUTF8)
    Writer.Put("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\r\n");
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
