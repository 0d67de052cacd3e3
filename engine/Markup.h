// Style and colour markup of a page, and its header and footer.
//
// The markup is lazy: a switch writes nothing while the next token shares
// the open style and colour, and whitespace keeps the open markup unless
// underline or strike-out is open. Markup left open at the end of the body
// stays open up to "</PRE>".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "PageWriter.h"
#include "Types.h"

class TMarkup {
public:
  /// Builds the 32 markup texts from the scheme as it is now. The scheme
  /// must not change while the object is in use.
  TMarkup(const TColor *Colors, const bool *Defaults, const TFontStyles *Styles);
  TMarkup(const TMarkup &) = delete;
  TMarkup &operator=(const TMarkup &) = delete;

  /// Moves to a token of element E and returns the markup to write before
  /// it, often nothing. The text stays valid until the next call.
  std::string_view SwitchTo(THighlightElement E) {
    if (E == CurrentElement)
      return {};
    CurrentElement = E;
    // What a switch writes and where it leads depends only on the target
    // and on the open style and colour, so each such case is worked out
    // once per run and then only looked up.
    TStep &Step = Steps[StepKey(E)];
    if (!(Step.State & StepKnown))
      WorkOutStep(E, Step);
    State = Step.State & ~StepKnown;
    return std::string_view(Texts.data() + Step.Offset, Step.Length);
  }

private:
  // The open markup: StyleElement in bits 0-2, ColorElement in bits 3-5,
  // then whether the open style is a real one (not the start value that no
  // element's style equals) and whether any colour markup has been opened.
  static constexpr uint16_t StyleKnown = 1 << 6;
  static constexpr uint16_t ColorOpened = 1 << 7;
  static constexpr uint16_t StepKnown = 1 << 8;
  struct TStep {
    uint32_t Offset = 0;
    uint16_t Length = 0;
    uint16_t State = 0; // the state after the step, with StepKnown
  };

  size_t StepKey(THighlightElement E) const { return (size_t(State) << 3) | E; }
  void WorkOutStep(THighlightElement E, TStep &Step);
  // One switch by the rules, from the current state, into Out.
  void SwitchByRules(THighlightElement E, std::string &Out, THighlightElement &StyleElement,
                     THighlightElement &ColorElement, bool &StyleIsKnown, bool &Opened) const;
  void ChangeColor(THighlightElement E, bool WithStyle, std::string &Out,
                   THighlightElement StyleElement, THighlightElement &ColorElement,
                   bool &Opened) const;

  std::string StyleOpen[ElementCount];
  std::string StyleClose[ElementCount];
  std::string FontOpen[ElementCount];
  std::string FontClose[ElementCount];
  const TColor *Colors;
  const TFontStyles *Styles;
  THighlightElement CurrentElement = heWhitespace;
  uint16_t State = 0; // StyleElement and ColorElement heWhitespace, nothing opened
  std::string Texts;  // the texts of all steps worked out so far
  TStep Steps[1 << 11];
};

/// The page up to and including "<PRE>"; the body follows directly.
void WritePageHeader(TPageWriter &Writer, const std::string &Title, const std::string &AddHeader,
                     TColor TextColor, TColor BackgroundColor, const std::string &AddBodyStart);
/// "</PRE>", AddBodyEnd and the closing tags, with no final line end.
void WritePageFooter(TPageWriter &Writer, const std::string &AddBodyEnd);
