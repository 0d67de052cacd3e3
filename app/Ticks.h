// A monotonic millisecond clock for timing conversions, replaceable so a
// test can make a run last exactly as long as it needs.
#pragma once

#include <cstdint>
#include <functional>

/// Milliseconds from an arbitrary start; never goes back.
int64_t TickCount();
/// The clock TickCount reads; tests may replace it.
std::function<int64_t()> &TickSource();
