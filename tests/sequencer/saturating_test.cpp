#include "sequencer/saturating.h"

#include <gtest/gtest.h>

#include <climits>

namespace vantor {
namespace {

TEST(Saturating, PeriodPushedPastTheLimitStaysThere) {
  int32_t period = accumulatorLimit - 10;
  for (int tick = 0; tick < 10000; ++tick) period = addSaturating(period, 255 * 4);
  EXPECT_EQ(period, accumulatorLimit);
  for (int tick = 0; tick < 10000; ++tick) period = addSaturating(period, -15 * 4);
  EXPECT_EQ(period, accumulatorLimit - 600000);

  int32_t panning = -accumulatorLimit + 3;
  panning = addSaturating(panning, -15);
  EXPECT_EQ(panning, -accumulatorLimit);
  EXPECT_EQ(addSaturating(INT_MAX, INT_MAX), accumulatorLimit);
  EXPECT_EQ(addSaturating(INT_MIN, INT_MIN), -accumulatorLimit);
}

TEST(Saturating, TickCounterStopsAtTheLargestValue) {
  EXPECT_EQ(incrementSaturating(41), 42);
  EXPECT_EQ(incrementSaturating(INT_MAX - 1), INT_MAX);
  EXPECT_EQ(incrementSaturating(INT_MAX), INT_MAX);
}

}  // namespace
}  // namespace vantor
