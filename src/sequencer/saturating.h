// Saturating arithmetic for the replay's unbounded accumulators. A channel that
// slides the same way for hours (2xx repeated across song loops, volume-column
// panning slides, an envelope that holds) must not overflow: periods and pannings
// stop at +-2^30, where the frequency is already at its floor or cap and the voice
// pan at 0 or 255, so what is heard does not change.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vantor {

// Bound of period and panning, in both directions.
constexpr int32_t accumulatorLimit = int32_t{1} << 30;

// value limited to -accumulatorLimit..accumulatorLimit.
constexpr int32_t saturateAccumulator(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, -accumulatorLimit, accumulatorLimit));
}

// value + amount limited to -accumulatorLimit..accumulatorLimit; for period and panning
// (use a negative amount to subtract). Never overflows, whatever the operands.
constexpr int32_t addSaturating(int32_t value, int32_t amount) {
  return saturateAccumulator(int64_t{value} + int64_t{amount});
}

// counter + 1, stopping at INT32_MAX; for tick counters such as the envelope tick.
constexpr int32_t incrementSaturating(int32_t counter) {
  return counter < std::numeric_limits<int32_t>::max() ? counter + 1 : counter;
}

}  // namespace vantor
