// How a conversion may use the machine: the instruction set of the plain-
// token search and the sharing of a large text with a helper thread. The
// options travel with the converter (TTessaline::SetScanOptions); no
// choice among them changes a page, its progress reports or Stop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Tuning.h"

/// The instruction sets the search for plain tokens comes in.
enum class TPlainSearch : uint8_t {
  Scalar, // plain C++, on every processor
  SSE2,   // x86 and x86-64
  AVX2,   // x86-64 processors that have it, checked when a run starts
};

/// How a conversion shares a large text with a second thread: texts of at
/// least MinText bytes go in rounds of 2 * Segment bytes (smaller when the
/// page streams to a sink). The calling thread converts the first part of
/// each round and a helper thread the rest; the page, the progress reports
/// and Stop are those of a conversion by one thread (see ScanSplit.h).
/// Segment 0 keeps every text on the calling thread. Tests shrink both to
/// exercise the meeting points, and set HelperPart to have the helper end
/// every segment after that many bytes, as when the caller comes to it
/// early (0: at the segment's end).
struct TScanSplit {
  size_t Segment = Tuning::SplitSegment;
  size_t MinText = Tuning::SplitMinText;
  size_t HelperPart = 0;
};

struct TScanOptions {
  /// The widest instruction set the plain-token search may use; the scan
  /// takes the widest the processor has up to it.
  TPlainSearch WidestSearch = TPlainSearch::AVX2;
  TScanSplit Split;
};
