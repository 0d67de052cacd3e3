// The scanner's working state for one run over one text (TScan), shared by
// the token rules (TokenRules.cpp), their fast path for plain tokens
// (PlainTokens.cpp) and the two-thread split (ScanSplit.cpp). The converter
// goes through TScanner (Scanner.h); only the scanner's own files include
// this header.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "ByteSearch.h"
#include "CharClasses.h"
#include "Conditionals.h"
#include "Markup.h"
#include "PageWriter.h"
#include "PascalMode.h"
#include "PlainSearch.h"
#include "ScanControl.h"

enum class TScanMode {
  Caller, // the calling thread: reports progress, obeys Stop
  Helper, // a helper thread's segment: records where its tokens start
  Meet,   // the caller past its segment: looks for the helper's tokens
};

/// What the last token that is not a blank or a comment was, as far as
/// the modern dialect's directives care.
enum TPrevKind : uint8_t {
  pvOther,     // a symbol, or nothing yet
  pvValue,     // an identifier, number, string, ")" or "]", "string", "nil"
  pvSemicolon, // a symbol run ending in ";"
  pvDot,       // a symbol run ending in one "."
  pvOpen,      // a symbol run ending in "("
  pvReserved,  // a reserved word
  pvClass,     // "class", "object" or "record"
  pvDirective, // a directive word where it acts as one
};

/// The declaration a modern scan is in, for its directives.
enum TSection : uint8_t {
  scCode,
  scHeading,     // a routine heading, up to its ";"
  scDirectives,  // after a heading's ";": the routine's directives
  scProperty,    // a property, up to its ";"
  scPropertyEnd, // after a property's ";": "default;"
};

/// The modern dialect's context for the words to come: the mode, and
/// enough of the tokens before to tell a directive from an identifier
/// spelled like one (ModernRules.cpp). Bounded: the scan compares it
/// where a helper's page is taken over.
struct TModernContext {
  uint8_t Keys = 0; // ModeKeys of the mode in force
  TPascalMode Mode = TPascalMode::Delphi;
  uint8_t Prev = 0;    // what the last token that is not a blank or comment was (TPrevKind)
  uint8_t Section = 0; // TSection
  uint8_t Depth = 0;   // brackets open in a heading or property, at most 15
  bool operator==(const TModernContext &) const = default;
};

/// A token start of a helper's segment, with what the helper had written
/// before it, so that the caller can take over from there.
struct TTokenMark {
  size_t Pos;        // the token's first byte
  size_t Written;    // page bytes the helper had put before it
  size_t PendingPos; // the first source byte it had not put yet
  uint16_t Markup;   // the markup state before the token's switch
  bool InAsm;        // modern: whether the token is in an asm body
  TModernContext Context; // modern: the context before it
  uint8_t CondDepth; // conditionals: the stack's depth and last levels
  uint64_t CondLevels; // (TConditions::MarkDepth, MarkLevels)
};

/// An identifier at whose end the helper would have reported progress.
struct TIdentMark {
  size_t End;
  int32_t Percent;
};

struct TSegment;
namespace ModernWords {
struct TWord;
}

// Positions are 1-based as in the token rules: S[1] is the first byte and
// S[Len + 1] the terminating NUL that the caller guarantees. NUL belongs
// to no continuation set, so runs of identifier, number and symbol bytes
// stop at the end of the text without a bounds test of their own.
//
// Tokens that are written unchanged are not copied one by one: they stay
// pending and go out in one block whenever markup, an entity or an escaped
// token has to be written, and at the end.
class TScan {
public:
  TScan(std::string_view Text, TMarkup &Markup, TPageWriter &Writer, TScanControl &Control,
        TFindPlainStarts FindPlainStarts, TPascalDialect Dialect = TPascalDialect::Classic,
        const TModeOptions &Modes = {})
      : Control(Control), S(Text.data() - 1), Len(Text.size()), Markup(Markup), Writer(Writer),
        Pending(S + 1), FindPlainStarts(FindPlainStarts), Modern(Dialect == TPascalDialect::Modern),
        Translated(Writer.TextTranslator() != nullptr), FollowModes(Modes.ModeDirectives) {
    Ctx.Mode = Modes.Mode;
    Ctx.Keys = KeysOf(Modes.Mode);
  }

  /// Converts the tokens that start after position i and before To + 1 (the
  /// last may run past To) and returns the position of the last byte taken.
  template <TScanMode Mode> size_t Run(size_t i, size_t To);

  /// The scan's state besides its markup: whether it is in an asm body
  /// (modern dialect). A helper's segment starts outside one.
  bool InAsmBody() const { return InAsm; }
  /// Modern: the context of the words to come, and the mode in force
  /// ("{$mode ...}" in the text changes it when the options let it). A
  /// helper's segment starts in the mode it guesses (GuessStartBetween).
  const TModernContext &ModernContext() const { return Ctx; }
  TPascalMode CurrentMode() const { return Ctx.Mode; }

  /// Writes what is still pending after a run that ended at i.
  void Finish(size_t i) {
    SwitchTo(heWhitespace, std::min(i, Len) + 1);
    WritePendingBefore(Len + 1);
  }

  /// Modern dialect: the conditionals followed, or null. A helper's scan
  /// ends its segment before a directive that closes a conditional it has
  /// not seen open, since only the caller knows what that closes.
  TConditions *Conditions = nullptr;

  /// The helper's side. Yield asks it to end its segment where it is.
  std::atomic<bool> *Yield = nullptr;
  std::vector<TTokenMark> *Marks = nullptr;
  std::vector<TIdentMark> *Idents = nullptr;
  size_t PendingPos() const { return static_cast<size_t>(Pending - S); }
  /// A helper's segment starts after position From: nothing before it is its.
  void StartAt(size_t From) { Pending = S + From + 1; }
  /// Modern: a helper's guess of the mode and the symbols where its
  /// segment starts after position To: the mode of Last (the context at
  /// the end of its segment before, or of the start), changed by the
  /// directives between positions From and To read on their own, as are
  /// the conditionals' symbols (their stack stays empty). A directive
  /// there may stand in a comment, a string or skipped code all the same:
  /// a wrong guess only keeps the caller from meeting the helper.
  void GuessStartBetween(size_t From, size_t To, const TModernContext &Last);

  /// The caller's side: continues from i through a helper's segment,
  /// taking the helper's page over where the two meet (ScanSplit.cpp).
  size_t MeetHelper(size_t i, const TSegment &Segment);

  /// Progress: the caller reports as it goes, a helper records (see Record).
  bool Reporting() const { return Control.WantsProgress(); }
  void StartReports() { NextReport = Reporting() ? FirstPositionAbove(0) : SIZE_MAX; }
  void StartRecords(bool Reporting) { NextReport = Reporting ? 0 : SIZE_MAX; }
  bool Stopped() const { return Control.Stopped(); }

private:
  // The token table of the rules: takes the token that starts at i and
  // returns the position of its last byte (TokenRules.cpp).
  template <TScanMode Mode> inline size_t TakeToken(size_t i);
  // Run by the modern dialect's rules (ModernRules.cpp), its token table
  // and the ends of its longer tokens.
  template <TScanMode Mode> size_t RunModern(size_t i, size_t To);
  template <TScanMode Mode> size_t TakeModernToken(size_t i);
  size_t ModernStringEnd(size_t i) const;
  size_t ModernDecimalEnd(size_t i) const;
  size_t ModernSymbolRunEnd(size_t i) const;
  // Conditionals (ConditionalRules.cpp): a directive from i to e, and the
  // text of a skipped branch from i up to the next directive.
  template <TScanMode Mode> size_t TakeDirective(size_t i, size_t e);
  template <TScanMode Mode> size_t TakeSkippedText(size_t i);
  size_t NestedCommentEnd(size_t i) const;
  // The end of the brace comment or directive at i in the mode in force:
  // nested in Free Pascal's nesting modes, else at its first "}".
  size_t BraceCommentEnd(size_t i) const {
    return NestsComments(Ctx.Keys) ? NestedCommentEnd(i) : RunTo('}', i + 1);
  }
  // The modern context: a word's element where it stands, and what a
  // symbol run, a value and a directive do to the context.
  THighlightElement ModernWordElement(size_t P, size_t Length);
  THighlightElement ModernWordElement(const ModernWords::TWord *W, size_t After);
  // A name that is no directive here: it ends the directives after a ";".
  void NameSeen() {
    if (Ctx.Prev == pvSemicolon && (Ctx.Section == scDirectives || Ctx.Section == scPropertyEnd))
      Ctx.Section = scCode;
    Ctx.Prev = pvValue;
  }
  bool IsDirectiveHere(uint8_t Flags, size_t After) const;
  inline void ModernSymbols(size_t P, size_t Length);
  void ModernValue() {
    if (!InAsm)
      Ctx.Prev = pvValue;
  }
  void ReadModeDirective(size_t From, size_t To);
  // The fast path's look at a plain token of the modern dialect: its
  // element, or NotPlain for one the full rules must take.
  static constexpr unsigned NotPlain = 255;
  inline unsigned ModernPlainElement(unsigned Element, size_t P, size_t Length);
  // The last positions of the comments "//..." and "(*...*)" at i.
  inline size_t LineCommentEnd(size_t i) const;
  inline size_t ParenCommentEnd(size_t i) const;
  // Before the token at P: a helper marks it, a meeting caller looks for
  // the helper's mark there. False ends the run before the token.
  template <TScanMode Mode> bool BeforeToken(size_t P);
  // After an identifier that ends at E: progress, reported or recorded.
  template <TScanMode Mode> void AfterIdentifier(size_t E);

  unsigned char Byte(size_t P) const { return static_cast<unsigned char>(S[P]); }
  template <TScanMode Mode> bool Stopped() const {
    if constexpr (Mode == TScanMode::Helper)
      return Yield->load(std::memory_order_relaxed) || HelperEnds;
    else
      return Control.Stopped();
  }
  // Writes the pending source bytes before position P.
  void WritePendingBefore(size_t P) {
    Writer.PutText(Pending, static_cast<size_t>(S + P - Pending));
    Pending = S + P;
  }
  // Switches to whitespace and then to E, as before every token, for the
  // token that starts at P.
  void SwitchTo(THighlightElement E, size_t P) {
    const std::string_view Text = Markup.SwitchThroughWhitespaceTo(E);
    if (!Text.empty()) {
      WritePendingBefore(P);
      Writer.Put(Text);
      if (Translated) [[unlikely]]
        NoteOpenSpan(Markup.StateKey());
    }
  }
  // For a text that reopens the open span after line ends (ANSI).
  void NoteOpenSpan(uint16_t State) {
    if (Writer.TextTranslator()->ReopensSpans())
      Writer.SetOpenSpan(Markup.OpenSpanText(State));
  }
  void WriteEscaped(size_t From, size_t To) {
    if (Translated) [[unlikely]] {
      WriteTranslatedEscaped(From, To);
      return;
    }
    WritePendingBefore(From);
    // The text and its terminating NUL can be read.
    ByteSearch::PutEscaped(Writer, S + From, To - From + 1, S + Len + 2);
    Pending = S + To + 1;
  }
  void WriteEntity(size_t P) {
    // Where the page has no entities (RTF), the byte is text like any.
    if (Translated && !Writer.TextTranslator()->WritesEntities()) [[unlikely]]
      return;
    WritePendingBefore(P);
    Writer.Put(std::string_view(EntityFor(Byte(P))));
    Pending = S + P + 1;
  }
  // The same through the writer's text translator: the bytes between
  // entities are text to translate; in a page without entities all are.
  void WriteTranslatedEscaped(size_t From, size_t To) {
    if (!Writer.TextTranslator()->WritesEntities())
      return;
    struct TTextOut {
      TPageWriter &Writer;
      void Put(const char *Data, size_t Size) { Writer.PutText(Data, Size); }
      void Put(std::string_view Entity) { Writer.Put(Entity); }
    } Out{Writer};
    WritePendingBefore(From);
    ByteSearch::PutEscaped(Out, S + From, To - From + 1, S + Len + 2);
    Pending = S + To + 1;
  }
  // The position of the first C in [From, To], or 0.
  size_t Find(char C, size_t From, size_t To = SIZE_MAX) const {
    To = std::min(To, Len);
    if (From > To)
      return 0;
    const void *Hit = std::memchr(S + From, C, To - From + 1);
    return Hit ? static_cast<const char *>(Hit) - S : 0;
  }
  // Searching up to Len itself and taking a miss as Len gives the same
  // token end as a search that skips the last byte and takes a miss as Len.
  size_t RunTo(char C, size_t From) const {
    const size_t P = Find(C, From);
    return P ? P : Len;
  }
  // The last position of the run of Set bytes that starts at E.
  size_t RunOf(TCharSet Set, size_t E) const {
    while (IsIn(Byte(E + 1), Set))
      ++E;
    return E;
  }
  // Most tokens are followed by a blank or a line end: taking that run
  // right away, in the token's own code, spares a dispatch on its first
  // byte. It is the same switch and the same bytes as a token of its own,
  // so it is done only where such a token would come now (no Stop pending).
  template <TScanMode Mode> size_t TakeOtherRunAfter(size_t E) {
    if (E < Len && TokenStartOf(Byte(E + 1)) == tsOther && !Stopped<Mode>()) {
      SwitchTo(heWhitespace, E + 1);
      return ByteSearch::SkipOther(S, E + 1, Len);
    }
    return E;
  }

  // The fast path for plain tokens (PlainTokens.cpp). The inline ones are
  // defined there, for its loop alone.
  // Modern: the same loop for the modern dialect, which leaves every
  // token whose modern rule differs from the classic one to the full rules.
  // Translated: the text goes through the writer's translator (UTF-8
  // pages): a loop of its own, so that the classic page's loop tests
  // nothing more per switch.
  template <TScanMode Mode, bool Modern = false, bool Translated = false>
  size_t RunPlainTokens(size_t i, size_t To);
  template <TScanMode Mode, bool Modern> size_t RunAnyPlainTokens(size_t i, size_t To) {
    return Translated ? RunPlainTokens<Mode, Modern, true>(i, To)
                      : RunPlainTokens<Mode, Modern, false>(i, To);
  }
  template <TScanMode Mode, bool Modern, bool Translated>
  inline size_t TakePlainTokens(size_t i, size_t To, TMarkup &M, uint16_t &Key);
  template <bool Modern> inline size_t EndOfShortToken(size_t P, THighlightElement &Element) const;
  inline size_t EndPlainTokens(size_t First, size_t i, uint16_t &Key, size_t ShortEnd) const;
  inline unsigned PassableKinds(TMarkup &M, uint16_t Key);
  template <bool Translated>
  inline unsigned SwitchLoudly(TMarkup &M, uint16_t &Key, THighlightElement E, size_t P);
  inline size_t ContinuePlainRun(unsigned Run, size_t E) const;

  // Progress is due when (i * 100) div Len first exceeds the last value
  // reported; NextReport is the first i where that happens, so identifiers
  // cost one compare instead of a division. 64-bit, so huge texts do not
  // overflow.
  size_t FirstPositionAbove(int64_t Percent) const {
    return static_cast<size_t>(((Percent + 1) * static_cast<int64_t>(Len) + 99) / 100);
  }
  int32_t PercentAt(size_t E) const {
    return static_cast<int32_t>(static_cast<int64_t>(E) * 100 / static_cast<int64_t>(Len));
  }
  void Report(int32_t Percent) {
    LastPercent = Percent;
    NextReport = FirstPositionAbove(Percent);
    Control.ReportProgress(Percent);
  }
  // A helper cannot report; it records the identifiers at whose end the
  // caller has to. A report is due at an identifier exactly when its
  // percentage exceeds that of the identifier before it, so recording
  // those suffices, provided the one before is also one the caller
  // scanned: hence every identifier among the marked tokens (the caller
  // may meet the helper at any of them), and the first one after them.
  void Record(size_t E) {
    const int32_t Percent = PercentAt(E);
    Idents->push_back({E, Percent});
    NextReport = Marks->size() < Tuning::MarkedTokens ? 0 : FirstPositionAbove(Percent);
  }

  TScanControl &Control;
  const char *const S;
  const size_t Len;
  TMarkup &Markup;
  TPageWriter &Writer;
  const char *Pending;
  const TFindPlainStarts FindPlainStarts;
  const bool Modern;
  const bool Translated; // the writer has a text translator (see PutText)
  uint8_t PassableByMarkup[TMarkup::OpenMarkups] = {}; // bit 3 set once known
  int32_t LastPercent = 0;
  size_t NextReport = SIZE_MAX;
  size_t MarkIndex = 0; // Meet: the first mark not yet passed
  bool Met = false;
  bool InAsm = false; // modern: inside the body of an asm block
  bool HelperEnds = false; // a helper came to a conditional it cannot follow
  const bool FollowModes; // modern: "{$mode ...}" changes Ctx
  TModernContext Ctx;
  const std::vector<TTokenMark> *MeetingMarks = nullptr; // Meet: the helper's
  const TConditionLog *MeetingLog = nullptr;             // and its conditionals' log
};

/// Whether the identifier of Length bytes at W is Word, three lower-case
/// letters, in any letter case.
inline bool IsThreeLetterWord(const char *W, size_t Length, const char *Word) {
  return Length == 3 && (W[0] | 32) == Word[0] && (W[1] | 32) == Word[1] &&
         (W[2] | 32) == Word[2];
}

// Shared by the token rules of both dialects.
inline size_t TScan::LineCommentEnd(size_t i) const {
  // The line ends at a CR or a LF: stopping at CR alone would let a
  // comment in a file with bare LF line ends take in the rest of the
  // text. The CR is looked for only before the LF, so a text without any
  // CR is not searched to its end once per comment.
  const size_t LineFeed = Find('\n', i + 2);
  const size_t Limit = LineFeed ? LineFeed - 1 : Len;
  const size_t Return = Limit >= i + 2 ? Find('\r', i + 2, Limit) : 0;
  return (Return ? Return : LineFeed ? LineFeed : Len + 1) - 1;
}

inline size_t TScan::ParenCommentEnd(size_t i) const {
  // The closing "*)" is looked for from i + 2, so "(*)" does not close
  // itself: it opens a comment that runs to the end.
  for (size_t P = Find(')', i + 3); P != 0; P = Find(')', P + 1))
    if (Byte(P - 1) == '*')
      return P;
  return Len;
}

template <TScanMode Mode> void TScan::AfterIdentifier(size_t E) {
  if (E >= NextReport) {
    if constexpr (Mode == TScanMode::Helper)
      Record(E);
    else
      Report(PercentAt(E));
  }
}

template <TScanMode Mode> bool TScan::BeforeToken(size_t P) {
  if constexpr (Mode == TScanMode::Helper) {
    if (Marks->size() < Tuning::MarkedTokens) {
      // A translated text has no fixed length on the page: what is pending
      // is put first, so the mark's page offset is the token's own.
      if (Translated)
        WritePendingBefore(P);
      Marks->push_back({P, Writer.Written(), PendingPos(), Markup.StateKey(), InAsm, Ctx,
                        Conditions ? Conditions->MarkDepth() : uint8_t(0),
                        Conditions ? Conditions->MarkLevels() : 0});
    }
  } else if constexpr (Mode == TScanMode::Meet) {
    // Where a token of ours starts at a marked token of the helper's, in
    // the same markup state, everything after it is the same as the
    // helper's. Past the last mark they can no longer meet.
    const std::vector<TTokenMark> &Marked = *MeetingMarks;
    while (MarkIndex < Marked.size() && Marked[MarkIndex].Pos < P)
      ++MarkIndex;
    if (MarkIndex == Marked.size())
      return false;
    const TTokenMark &Mark = Marked[MarkIndex];
    if (Mark.Pos == P && Mark.Markup == Markup.StateKey() && Mark.InAsm == InAsm &&
        Mark.Context == Ctx &&
        (!Conditions || Conditions->AgreesWith(Mark.CondDepth, Mark.CondLevels, *MeetingLog, P))) {
      Met = true;
      return false;
    }
  }
  return true;
}

// Inline: the fast path looks at every symbol of the modern dialect.
inline void TScan::ModernSymbols(size_t P, size_t Length) {
  if (InAsm)
    return;
  const size_t End = P + Length;
  if (Ctx.Section == scHeading || Ctx.Section == scProperty) {
    for (size_t K = P; K < End && (Ctx.Section == scHeading || Ctx.Section == scProperty); ++K) {
      switch (Byte(K)) {
      case '(':
      case '[':
        Ctx.Depth = static_cast<uint8_t>(Ctx.Depth + (Ctx.Depth < 15));
        break;
      case ')':
      case ']':
        Ctx.Depth = static_cast<uint8_t>(Ctx.Depth - (Ctx.Depth > 0));
        break;
      case ';':
        if (Ctx.Depth == 0)
          Ctx.Section = Ctx.Section == scHeading ? scDirectives : scPropertyEnd;
        break;
      }
    }
  }
  switch (Byte(End - 1)) {
  case ';':
    Ctx.Prev = pvSemicolon;
    break;
  case ')':
  case ']':
    Ctx.Prev = pvValue;
    break;
  case '(':
    Ctx.Prev = pvOpen;
    break;
  case '.': // "a.b", but not the range of "0..Index"
    Ctx.Prev = Length > 1 && Byte(End - 2) == '.' ? pvOther : pvDot;
    break;
  default:
    Ctx.Prev = pvOther;
  }
}
