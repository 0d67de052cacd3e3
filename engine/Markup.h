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

/// The markup of the pages made of spans (HTML5, RTF, ANSI, BBCode): a run of tokens
/// whose elements look alike shares one span, whitespace stays inside a
/// span unless it is Decorated (underline or strike-out), and an element
/// with no Open text gets no span. Spans never nest.
struct TSpanMarkup {
  std::string Open[ElementCount]; // empty: the element's tokens need no span
  std::string Close[ElementCount];
  uint8_t Look[ElementCount] = {}; // elements with equal values look alike
  bool Decorated[ElementCount] = {};
};

class TMarkup {
public:
  /// Builds the markup texts of every element from a copy of Scheme, in
  /// StartState; with Spans (which must outlive the markup), the span
  /// markup instead.
  explicit TMarkup(const TScheme &Scheme, const TSpanMarkup *Spans = nullptr);
  /// A markup like Like, in StartState.
  TMarkup(const TMarkup &Like, uint16_t State);
  TMarkup(const TMarkup &) = delete;
  TMarkup &operator=(const TMarkup &) = delete;

  /// Moves to a token of element E, through whitespace as before every
  /// token, and returns the markup to write before it, often nothing. The
  /// text stays valid until the next call, and TPageWriter::PaddedRead
  /// bytes may be read from its start.
  std::string_view SwitchThroughWhitespaceTo(THighlightElement E) { return Switch(Key, E); }

  /// The same on a state that the caller holds (see StateKey), so that a
  /// tight loop can keep it in a register; the caller hands it back with
  /// SetStateKey before this object is used otherwise.
  std::string_view Switch(uint16_t &State, THighlightElement E) {
    const size_t Index = State | E;
    const TStep &Step = Steps[Index];
    if (!(Step.Next & StepKnown)) [[unlikely]]
      WorkOutStep(Index);
    State = Step.Next & ~(StepKnown | QuietStep);
    return std::string_view(Texts.data() + Step.Offset, Step.Length);
  }

  /// For tight loops: when the switch at State to E writes nothing and
  /// keeps the open markup, as most do, moves State on and returns true;
  /// otherwise changes nothing and Switch has to be called. The new State
  /// does not wait for the table lookup, only the branch does.
  bool SwitchQuietly(uint16_t &State, THighlightElement E) const {
    if (!(Steps[State | E].Next & QuietStep)) [[unlikely]]
      return false;
    State = static_cast<uint16_t>((State & ~AfterToken) | (E != heWhitespace ? AfterToken : 0));
    return true;
  }

  /// Whether SwitchQuietly at State to E would succeed. A switch not made
  /// yet counts as one that writes.
  bool IsQuiet(uint16_t State, THighlightElement E) const {
    return Steps[State | E].Next & QuietStep;
  }
  /// The same, working the switch out first when it has not been made yet.
  bool WillBeQuiet(uint16_t State, THighlightElement E) {
    if (!(Steps[State | E].Next & StepKnown))
      WorkOutStep(State | E);
    return Steps[State | E].Next & QuietStep;
  }
  /// Set in a state whose last token was not whitespace.
  static constexpr uint16_t AfterToken = 1 << 4;
  /// The open markup of a state (what stays when whitespace switches run
  /// on it), as a number below OpenMarkups.
  static constexpr size_t OpenMarkups = 128;
  static size_t OpenMarkupOf(uint16_t State) { return State >> 5; }

  /// The whole state a later switch depends on, as one number, and setting
  /// it back: two markups with the same scheme and the same state write the
  /// same texts from then on. A new markup has StartState.
  uint16_t StateKey() const { return Key; }
  void SetStateKey(uint16_t Value) { Key = Value; }
  static constexpr uint16_t StartState = 0;
  /// For span markups: whether a span is open, to be closed at the end.
  bool SpanIsOpen() const { return Spans && OpenMarkupOf(Key) % ElementCodes != 0; }
  /// For span markups: the opening and closing texts of the span open in
  /// State (see StateKey), empty when none is.
  std::string_view OpenSpanText(uint16_t State) const {
    const size_t Code = OpenMarkupOf(State) % ElementCodes;
    return Code ? std::string_view(Spans->Open[Code - 1]) : std::string_view();
  }
  std::string_view OpenSpanClose() const {
    const size_t Code = OpenMarkupOf(Key) % ElementCodes;
    return Code ? std::string_view(Spans->Close[Code - 1]) : std::string_view();
  }
  /// For the classic markup: the texts that close the style and colour
  /// markup open now, style first (a page leaves them open).
  std::string ClosingTexts() const;

private:
  // A state is the open markup, shifted left by 5, with bit 4 set when the
  // last token was not whitespace; a switch's index in Steps is that state
  // ORed with the target element (bits 0-3). The open markup is one number
  // below 100, StyleCode + 10 * ColorCode: StyleCode is 0 while no real
  // style is open (the start value that no element's style equals), else
  // StyleElement + 1; ColorCode is 0 while no colour markup has been
  // opened, else ColorElement + 1. Before the first of each, the element
  // is always whitespace, so the pair says all there is, and nine elements
  // fit the table that eight with two flags took.
  static constexpr int ElementCodes = ElementCount + 1;
  static_assert(ElementCodes * ElementCodes <= OpenMarkups && ElementCount <= 16 &&
                (OpenMarkups << 5) <= (1 << 12));
  static constexpr uint16_t StepKnown = 1 << 15;
  static constexpr uint16_t QuietStep = 1 << 14; // no text, the same open markup

  struct TStep {
    uint32_t Offset = 0;
    uint16_t Length = 0;
    uint16_t Next = 0; // the state after the step, with StepKnown and QuietStep
  };

  // What a switch writes and where it leads depends only on the target, on
  // the open style and colour and on whether a whitespace switch comes
  // first from another element, so each such case is worked out once per
  // run and then only looked up.
  void WorkOutStep(size_t Index);
  // One switch by the rules, from the current state, into Out.
  void SwitchByRules(THighlightElement E, std::string &Out, THighlightElement &StyleElement,
                     THighlightElement &ColorElement, bool &StyleIsKnown, bool &Opened) const;
  void SwitchBySpans(THighlightElement E, std::string &Out, THighlightElement &SpanElement,
                     bool &SpanOpen) const;
  void ChangeColor(THighlightElement E, bool WithStyle, std::string &Out,
                   THighlightElement StyleElement, THighlightElement &ColorElement,
                   bool &Opened) const;

  std::string StyleOpen[ElementCount];
  std::string StyleClose[ElementCount];
  std::string FontOpen[ElementCount];
  std::string FontClose[ElementCount];
  const TScheme Scheme;
  const TSpanMarkup *const Spans;
  uint16_t Key = StartState; // nothing opened, the last token whitespace
  std::string Texts;         // the texts of all steps worked out so far
  TStep Steps[1 << 12];
};

/// The page up to and including "<PRE>"; the body follows directly. With
/// DeclareUTF8 (a source with a byte-order mark) a META line after the
/// generator line gives the page's charset as utf-8.
void WritePageHeader(TPageWriter &Writer, const std::string &Title, const std::string &AddHeader,
                     TColor TextColor, TColor BackgroundColor, const std::string &AddBodyStart,
                     bool DeclareUTF8 = false);
/// "</PRE>", AddBodyEnd and the closing tags, with no final line end.
void WritePageFooter(TPageWriter &Writer, const std::string &AddBodyEnd);
