#include "sequencer/envelopes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace vantor {
namespace {

class EnvelopeTest : public ::testing::Test {
 protected:
  // Exactly the record's 20 point slots on the heap, so a read beyond them is reported.
  std::vector<EnvelopePoint> slots = std::vector<EnvelopePoint>(envelopePointSlots);
  Envelope envelope{};
  Channel channel{};
  EnvelopeState& cursor = channel.volumeEnvelopeState;

  void use(std::vector<EnvelopePoint> points, uint8_t type, int sustain = 0, int loopStart = 0,
           int loopEnd = 0) {
    std::fill(slots.begin(), slots.end(), EnvelopePoint{0, 0});
    std::copy(points.begin(), points.end(), slots.begin());
    envelope = {slots.data(),
                static_cast<uint8_t>(points.size()),
                static_cast<uint8_t>(sustain),
                static_cast<uint8_t>(loopStart),
                static_cast<uint8_t>(loopEnd),
                type};
    Sample sample{};
    resetChannelForInstrument(channel, sample);
  }
  int step() {
    channel.updateFlags = 0;
    stepEnvelope(channel, cursor, envelope, VolumeChanged);
    EXPECT_EQ(channel.updateFlags, VolumeChanged);
    return cursor.value;
  }
  int steps(int count) {
    for (int i = 1; i < count; ++i) step();
    return step();
  }
};

TEST_F(EnvelopeTest, SustainPointHoldsWhileTheKeyIsDownThenTheEnvelopeEnds) {
  use({{0, 64}, {10, 32}, {20, 0}}, EnvelopeOn | EnvelopeSustain, 1);
  EXPECT_EQ(step(), 64);
  EXPECT_EQ(steps(5), 48);  // slope -32*65536/10 truncated toward zero; flooring would give 47
  EXPECT_EQ(steps(5), 32);
  EXPECT_EQ(steps(500), 32);
  EXPECT_EQ(cursor.tick, 10);
  EXPECT_EQ(cursor.done, 0);

  channel.keyOff = 1;
  EXPECT_EQ(step(), 32);
  EXPECT_EQ(steps(5), 16);
  EXPECT_EQ(steps(4), 3);
  EXPECT_EQ(cursor.done, 0);
  EXPECT_EQ(step(), 0);
  EXPECT_EQ(cursor.done, 1);
}

TEST_F(EnvelopeTest, SustainOnTheLastPointEndsInsteadOfHolding) {
  use({{0, 64}, {10, 0}}, EnvelopeOn | EnvelopeSustain, 1);
  EXPECT_EQ(steps(11), 0);
  EXPECT_EQ(cursor.done, 1);
}

TEST_F(EnvelopeTest, LoopEndingOnTheLastPointKeepsLoopingAfterKeyOff) {
  use({{0, 0}, {10, 64}, {20, 0}}, EnvelopeOn | EnvelopeLoop, 0, 1, 2);
  std::vector<int> values;
  for (int i = 0; i < 200; ++i) {
    if (i == 50) channel.keyOff = 1;
    values.push_back(step());
  }
  EXPECT_EQ(cursor.done, 0);
  EXPECT_EQ(values[10], 64);
  EXPECT_EQ(values[15], 32);
  for (int i = 10; i + 10 < 200; ++i) EXPECT_EQ(values[i], values[i + 10]) << i;

  // A loop from a point to itself changes nothing.
  use({{0, 0}, {10, 64}, {20, 0}}, EnvelopeOn | EnvelopeLoop, 0, 1, 1);
  EXPECT_EQ(steps(21), 0);
  EXPECT_EQ(cursor.done, 1);
}

TEST_F(EnvelopeTest, PointsWhoseXDoesNotIncreaseHoldTheValueForGood) {
  use({{0, 0}, {10, 32}, {5, 64}}, EnvelopeOn);
  EXPECT_EQ(steps(11), 32);
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(step(), 32) << i;

  use({{0, 0}, {10, 32}, {10, 64}}, EnvelopeOn);
  EXPECT_EQ(steps(1000), 32);

  // The tick of a held envelope stops at the largest value instead of overflowing.
  cursor.tick = INT_MAX - 1;
  EXPECT_EQ(steps(3), 32);
  EXPECT_EQ(cursor.tick, INT_MAX);
}

TEST_F(EnvelopeTest, ValuesAboveTheTopReadAs64) {
  use({{0, 40000}, {10, 0}}, EnvelopeOn);
  EXPECT_EQ(step(), 64);
  EXPECT_EQ(steps(5), 32);
}

TEST_F(EnvelopeTest, CountsAndIndexesBeyondTheSlotsStayInsideTheRecord) {
  use({{0, 64}, {10, 32}, {20, 48}}, EnvelopeOn);
  std::vector<int> threePoints;
  for (int i = 0; i < 300; ++i) threePoints.push_back(step());

  use({{0, 64}, {10, 32}, {20, 48}}, EnvelopeOn | EnvelopeSustain);
  envelope.pointCount = 200;
  envelope.sustainPoint = 240;
  for (int i = 0; i < 300; ++i) ASSERT_EQ(step(), threePoints[i]) << i;

  // A loop back to a slot beyond the record finds (0, 0) there and holds silence.
  use({{0, 64}, {10, 32}, {20, 48}}, EnvelopeOn | EnvelopeLoop, 0, 250, 1);
  envelope.pointCount = 200;
  EXPECT_EQ(steps(11), 0);
  EXPECT_EQ(steps(100), 0);

  // Placement past the last of 20 points looks at the slot after it.
  std::vector<EnvelopePoint> rising;
  for (int i = 0; i < envelopePointSlots; ++i) rising.push_back({static_cast<uint16_t>(i * 10), 20});
  rising.back().y = 33;
  use(rising, EnvelopeOn);
  setEnvelopePosition(cursor, envelope, 255);
  EXPECT_EQ(cursor.value, 33);
  EXPECT_EQ(cursor.done, 1);
}

TEST_F(EnvelopeTest, PlacementStartsInsideTheSegmentThatHoldsThePosition) {
  use({{0, 64}, {10, 32}, {20, 0}}, EnvelopeOn | EnvelopeSustain, 1);
  setEnvelopePosition(cursor, envelope, 5);
  EXPECT_EQ(cursor.value, 48);
  EXPECT_EQ(cursor.tick, 5);
  EXPECT_EQ(cursor.done, 0);
  EXPECT_EQ(step(), 44);

  // On a point's x the cursor ends the segment leading to it: the next step reaches the
  // point and its sustain.
  setEnvelopePosition(cursor, envelope, 10);
  EXPECT_EQ(cursor.value, 32);
  EXPECT_EQ(steps(20), 32);
  EXPECT_EQ(cursor.tick, 10);

  setEnvelopePosition(cursor, envelope, 25);
  EXPECT_EQ(cursor.value, 0);
  EXPECT_EQ(cursor.done, 1);

  // A position before the first point does not extrapolate beyond 0..64.
  use({{100, 64}, {200, 0}}, EnvelopeOn);
  setEnvelopePosition(cursor, envelope, 5);
  EXPECT_EQ(cursor.value, 64);
  use({{100, 0}, {200, 64}}, EnvelopeOn);
  setEnvelopePosition(cursor, envelope, 5);
  EXPECT_EQ(cursor.value, 0);
}

}  // namespace
}  // namespace vantor
