// Sharing the scan of a large text with a helper thread.
//
// The promise it rests on: two scans of one text under one scheme whose
// markups are in the same state (TMarkup::StateKey) at the same token
// start write the same page from there on, whatever each wrote before.
// So a helper may convert a later segment of the text on its own, from the
// markup's start state and from a token start it guesses (a line start);
// where the caller's own tokens reach one of the helper's token starts in
// the same markup state (and, in the modern dialect, both in an asm body
// or both outside one, in the same context and mode, with the same
// conditionals open and every symbol the helper reads after it read
// alike), the rest of the helper's page is the caller's. The modern
// dialect's helper starts a segment in the mode and with the symbols it
// guesses from the directives before it (TScan::GuessStartBetween): a
// guess decides only whether the two meet, never what the page is.
// Where they do not (a segment starting inside a comment or string, or a
// markup state that never agrees), the caller converts that segment
// itself. Progress reports are recorded by the helper and made by the
// caller in order, so the page, the reports and Stop are those of a scan
// by one thread.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "Scan.h"

/// What the helper made of one segment, the tokens after From up to To.
struct TSegment {
  size_t From = 0, To = 0;
  TByteBuffer *Page = nullptr;
  std::vector<TTokenMark> Marks;
  std::vector<TIdentMark> Idents;
  bool Failed = false; // no page: the caller converts the segment itself
  // The last position taken, which is before To when the helper yielded,
  // and the first source byte not yet put.
  size_t End = 0, EndPendingPos = 0;
  uint16_t EndMarkup = 0;
  bool EndInAsm = false;
  TModernContext EndContext;
  // Conditionals: what the helper read and changed, and its stack at the end.
  TConditionLog Log;
  std::vector<uint8_t> EndStack;
  uint64_t EndLine = 0; // numbered lines: the writer's TextLine at the end
};

/// Whether a text of Length bytes is shared with a helper under Split.
bool ShouldSplit(size_t Length, const TScanSplit &Split);

/// Scans Text with Scan, which is at its start, sharing it with a helper
/// thread that builds its segments' pages in Pages (kept by the caller
/// between runs, so that they are not faulted in anew) with a markup of its
/// own like Like, and its text translated by Translator when that is not null
/// (see TPageWriter::SetTextTranslator). With Conditions, the helper
/// follows them from the state at the start of a text, and the caller
/// meets it only where both would read what follows alike (see
/// TConditions::AgreesWith). Returns the position of the last byte taken: the
/// whole text, or less when Stop was asked for.
size_t ScanWithHelper(TScan &Scan, std::string_view Text, TPascalDialect Dialect,
                      const TModeOptions &Modes, const TMarkup &Like, const TScanSplit &Split, bool Streaming,
                      TByteBuffer (&Pages)[2], TFindPlainStarts FindPlainStarts,
                      const TTextTranslator *Translator, TScanControl &Control,
                      const TConditionOptions *Conditions = nullptr);
