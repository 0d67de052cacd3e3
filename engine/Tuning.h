// The converter's tuning constants, in one place, each with the reason for
// its size. None of them changes a page: they only decide how the work is
// done. The figures behind them are in the benchmark (bench/run) and in
// the commit messages that set them.
#pragma once

#include <cstddef>

namespace Tuning {

/// Texts from this size on are shared with a helper thread: below it the
/// thread costs more to start and to meet than it saves.
inline constexpr size_t SplitMinText = size_t(1) << 20;
/// Half a round of a shared text: large enough that meeting the helper
/// (a few hundred tokens) is rare work, small enough that the last round,
/// which the caller converts alone, is short.
inline constexpr size_t SplitSegment = size_t(4) << 20;
/// Rounds shrink by this factor when the page streams to a sink: the
/// caller also hands the page over, so its last part should be shorter.
inline constexpr size_t StreamingRoundDivisor = 4;
/// The caller's share of a round, in per cent, as it also copies the
/// helper's pages (and, when streaming, hands the whole page to the sink).
inline constexpr size_t CallerShare = 45;
inline constexpr size_t StreamingCallerShare = 25;
/// Tokens a helper marks at the start of each segment: the caller meets
/// them within a token or two when it meets them at all, and the markup
/// states agree a few hundred tokens later; marking keeps the helper off
/// the fast path, so there are not many more.
inline constexpr size_t MarkedTokens = 1024;

/// The page buffer is reserved for the source plus this fraction of it
/// (and PageReserveExtra bytes): most pages come out larger than their
/// source by less than that, and reserving it up front saves the copies
/// of growth.
inline constexpr size_t PageReserveDivisor = 3;
inline constexpr size_t PageReserveExtra = 4096;

} // namespace Tuning
