// Style and colour markup of a page, and its header and footer.
//
// The markup is lazy: SwitchTo writes nothing while the next token shares
// the open style and colour, and whitespace keeps the open markup unless
// underline or strike-out is open. Markup left open at the end of the body
// stays open up to "</PRE>".
#pragma once

#include <string>

#include "PageWriter.h"
#include "Types.h"

class TMarkup {
public:
  /// Builds the 32 markup texts from the scheme as it is now; the colours
  /// are read again at every switch, the flags and styles only here.
  TMarkup(const TColor *Colors, const bool *Defaults, const TFontStyles *Styles,
          TPageWriter &Writer);

  /// Writes what moving to a token of element E needs.
  void SwitchTo(THighlightElement E) {
    if (E == CurrentElement)
      return;
    // The common cases, decided here without a call: whitespace running on
    // under open markup, and a token that shares the open style and colour.
    if (E == heWhitespace && StyleElement != heWhitespace &&
        !(OpenStyle & (fsUnderline | fsStrikeOut))) {
      CurrentElement = E;
      return;
    }
    if ((E == StyleElement || Styles[E] == OpenStyle) && Colors[ColorElement] == Colors[E]) {
      CurrentElement = E;
      return;
    }
    SwitchToOther(E);
  }

private:
  void SwitchToOther(THighlightElement E);
  void ChangeColor(THighlightElement E, bool WithStyle);

  std::string StyleOpen[ElementCount];
  std::string StyleClose[ElementCount];
  std::string FontOpen[ElementCount];
  std::string FontClose[ElementCount];
  THighlightElement CurrentElement = heWhitespace;
  THighlightElement StyleElement = heWhitespace;
  THighlightElement ColorElement = heWhitespace;
  // No style set has this value, so the first full switch always opens
  // the new element's style, even a lone underline.
  TFontStyles OpenStyle = 0xFF;
  // The body starts in the background colour with no FONT tag written, so
  // the first colour change must not close one (a stray "</FONT>" would
  // close a FONT tag that the page's own start text opened).
  bool ColorOpened = false;
  const TColor *Colors;
  const TFontStyles *Styles;
  TPageWriter &Writer;
};

/// The page up to and including "<PRE>"; the body follows directly.
void WritePageHeader(TPageWriter &Writer, const std::string &Title, const std::string &AddHeader,
                     TColor TextColor, TColor BackgroundColor, const std::string &AddBodyStart);
/// "</PRE>", AddBodyEnd and the closing tags, with no final line end.
void WritePageFooter(TPageWriter &Writer, const std::string &AddBodyEnd);
