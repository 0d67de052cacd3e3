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
    return Take(E, heWhitespace);
  }

  /// The same as SwitchTo(heWhitespace) followed by SwitchTo(E), the pair
  /// every token but a run of other bytes goes through, in one step.
  std::string_view SwitchThroughWhitespaceTo(THighlightElement E) {
    if (E == CurrentElement && E == heWhitespace)
      return {};
    return Take(E, CurrentElement == heWhitespace ? heWhitespace : heComment);
  }

  /// The whole state a later switch depends on, as one number, and setting
  /// it back: two markups with the same scheme and the same state write the
  /// same texts from then on. A new markup has StartState.
  uint16_t StateKey() const { return static_cast<uint16_t>(State | CurrentElement << 8); }
  void SetStateKey(uint16_t Key) {
    State = Key & 0xFF;
    CurrentElement = static_cast<THighlightElement>(Key >> 8);
  }
  static constexpr uint16_t StartState = heWhitespace << 8;

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

  // What a switch writes and where it leads depends only on the target, on
  // the open style and colour and on whether a whitespace switch comes
  // first from another element (From != heWhitespace), so each such case
  // is worked out once per run and then only looked up.
  std::string_view Take(THighlightElement E, THighlightElement From) {
    const size_t Key = size_t(State) << 4 | size_t(From != heWhitespace) << 3 | E;
    TStep &Step = Steps[Key];
    if (!(Step.State & StepKnown))
      WorkOutStep(E, From != heWhitespace, Step);
    State = Step.State & ~StepKnown;
    CurrentElement = E;
    return std::string_view(Texts.data() + Step.Offset, Step.Length);
  }
  void WorkOutStep(THighlightElement E, bool ThroughWhitespace, TStep &Step);
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
  TStep Steps[1 << 12];
};

/// The page up to and including "<PRE>"; the body follows directly.
void WritePageHeader(TPageWriter &Writer, const std::string &Title, const std::string &AddHeader,
                     TColor TextColor, TColor BackgroundColor, const std::string &AddBodyStart);
/// "</PRE>", AddBodyEnd and the closing tags, with no final line end.
void WritePageFooter(TPageWriter &Writer, const std::string &AddBodyEnd);
