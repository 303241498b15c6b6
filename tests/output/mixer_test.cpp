// Voice mixer: pass lengths to sample boundaries, loops, level ramps and the
// arithmetic of one frame. Expected values are worked out by hand from the mixing
// rules; levels of 255 give a gain of exactly 1, so most outputs are plain sample values.
#include "output/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace vantor {
namespace {

// A 32.32 position or step of `count` frames.
constexpr uint64_t frames(double count) {
  return static_cast<uint64_t>(static_cast<int64_t>(count * 4294967296.0));
}

// 1/255 as the single-precision constant the gains are built from.
constexpr double oneOver255 = 1.0f / 255.0f;

struct SampleFree {
  void operator()(Sample* sample) const {
    freeSampleData(sample->data);
    delete sample;
  }
};

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override { resetVoicePool(); }
  void TearDown() override { resetVoicePool(); }

  // A sample holding `values`; `spare` fills the values after them (index length on).
  Sample& makeSample(const std::vector<int16_t>& values, uint8_t loopMode, uint32_t loopStart,
                     uint32_t loopLength, std::vector<int16_t> spare = {}) {
    auto* sample = new Sample{};
    sample->length = static_cast<uint32_t>(values.size());
    sample->data = allocateSampleData(sample->length);
    std::memcpy(sample->data, values.data(), values.size() * sizeof(int16_t));
    std::copy(spare.begin(), spare.end(), sample->data + values.size());
    sample->loopMode = loopMode;
    sample->loopStart = loopStart;
    sample->loopLength = loopMode == LoopNone ? sample->length : loopLength;
    samples.emplace_back(sample);
    return *sample;
  }

  // Voice `slot` playing `sample` from `position` (32.32) with steady levels (no ramp).
  Voice& play(int slot, const Sample& sample, uint64_t position, uint64_t step, int level = 255,
              int direction = directionForward) {
    Voice& voice = voicePool[slot];
    voice.sample = &sample;
    voice.position = static_cast<int32_t>(position >> 32);
    voice.positionFrac = static_cast<uint32_t>(position);
    voice.stepInt = static_cast<int32_t>(step >> 32);
    voice.stepFrac = static_cast<uint32_t>(step);
    voice.direction = direction;
    voice.leftVolume = voice.rightVolume = voice.lastLeftVolume = voice.lastRightVolume = level;
    voice.currentLeft = voice.currentRight = level * 256;
    return voice;
  }

  // Mixes one slice into silence; returns the left channel (the right one is checked equal).
  std::vector<float> mixLeft(int frameCount) {
    std::vector<float> out(2 * frameCount, 0.0f);
    mixVoices(out.data(), frameCount);
    std::vector<float> left;
    for (int frame = 0; frame < frameCount; ++frame) {
      left.push_back(out[2 * frame]);
      EXPECT_EQ(out[2 * frame + 1], out[2 * frame]) << "frame " << frame;
    }
    return left;
  }

  static std::vector<int16_t> ramp(int count, int scale, int offset = 0) {
    std::vector<int16_t> values;
    for (int i = 0; i < count; ++i) values.push_back(static_cast<int16_t>(scale * (i + offset)));
    return values;
  }

  std::vector<std::unique_ptr<Sample, SampleFree>> samples;
};

void expectPosition(const Voice& voice, int32_t position, uint32_t fraction, int direction) {
  EXPECT_EQ(voice.position, position);
  EXPECT_EQ(voice.positionFrac, fraction);
  EXPECT_EQ(voice.direction, direction);
}

// Position 10.0, step 0.5, loop end 12: exactly 4 frames (10, 10.5, 11, 11.5) before
// the wrap. The value after the loop end is not the loop guard here, so a frame too
// many or too few shows.
TEST_F(MixerTest, PassToTheLoopEndCoversExactlyTheFramesBeforeIt) {
  Sample& sample = makeSample(ramp(12, 100), LoopForward, 4, 8, {7});
  play(0, sample, frames(10), frames(0.5));
  EXPECT_EQ(mixLeft(4), (std::vector<float>{1000, 1050, 1100, 553.5f}));
  expectPosition(voicePool[0], 4, 0, directionForward);
  EXPECT_EQ(mixLeft(2), (std::vector<float>{400, 450}));
  expectPosition(voicePool[0], 5, 0, directionForward);
}

// A voice standing exactly on the loop end wraps before it plays: it plays the value
// at loopStart, not the one at the loop end.
TEST_F(MixerTest, VoiceExactlyOnTheLoopEndWrapsBeforePlaying) {
  Sample& sample = makeSample(ramp(12, 100), LoopForward, 4, 4);
  play(0, sample, frames(8), frames(1));
  EXPECT_EQ(mixLeft(1), (std::vector<float>{400}));
  expectPosition(voicePool[0], 5, 0, directionForward);
}

// A forward loop shorter than one step: the overshoot wraps by several loop lengths.
TEST_F(MixerTest, ForwardLoopShorterThanTheStepWrapsSeveralTimes) {
  Sample& sample = makeSample(ramp(12, 100), LoopForward, 10, 2, {1000});
  play(0, sample, frames(11), frames(7.5));
  EXPECT_EQ(mixLeft(4), (std::vector<float>{1100, 1050, 1000, 1050}));
  expectPosition(voicePool[0], 11, 0, directionForward);
}

// Landing exactly on the loop end comes back as loop end - 2^-32 moving backward;
// reaching loopStart mirrors forward again.
TEST_F(MixerTest, PingPongLoopReflectsAtBothEnds) {
  Sample& sample = makeSample(ramp(12, 100), LoopPingPong, 4, 8, {1100});
  play(0, sample, frames(10), frames(1));
  EXPECT_EQ(mixLeft(2), (std::vector<float>{1000, 1100}));
  expectPosition(voicePool[0], 11, 0xFFFFFFFFu, directionBackward);

  std::vector<float> backward = mixLeft(8);
  std::vector<float> expected = {1100, 1100, 1000, 900, 800, 700, 600, 500};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(backward[i], expected[i], 1e-3) << "frame " << i;
  expectPosition(voicePool[0], 4, 1, directionForward);

  EXPECT_EQ(mixLeft(2), (std::vector<float>{400, 500}));
}

TEST_F(MixerTest, SampleWithoutLoopStopsAfterItsLastFrame) {
  Sample& sample = makeSample(ramp(10, 100, 1), LoopNone, 0, 0);
  play(0, sample, frames(8), frames(0.75));
  // 9.5 interpolates halfway to the zero after the last value.
  EXPECT_EQ(mixLeft(6), (std::vector<float>{900, 975, 500, 0, 0, 0}));
  EXPECT_EQ(voicePool[0].sample, nullptr);
  expectPosition(voicePool[0], 0, 0, directionForward);
}

// A step of zero does not move, and a step below 2^-24 frame only toggles the lowest
// fraction bit, which every step clears; both count ceil(2^24 / (24932236 >> 8)) = 173
// frames to the end of a one-value sample, with no division by zero.
TEST_F(MixerTest, StepsTooSmallForTheDivisionReachTheBoundaryAfter173Frames) {
  for (uint64_t step : {uint64_t{0}, uint64_t{1}}) {
    Sample& sample = makeSample({500}, LoopNone, 0, 0);
    play(0, sample, 0, step);
    std::vector<float> left = mixLeft(200);
    std::vector<float> expected(200, 0.0f);
    std::fill(expected.begin(), expected.begin() + 173, 500.0f);
    EXPECT_EQ(left, expected) << "step " << step;
    EXPECT_EQ(voicePool[0].sample, nullptr);
  }
}

// t uses the fraction without its lowest bit, and each step clears that bit first.
TEST_F(MixerTest, LowestFractionBitTakesNoPart) {
  Sample& sample = makeSample({-32768, 32767, 0, 0}, LoopNone, 0, 0);
  play(0, sample, frames(0.5) + 1, frames(0.5) + 1);
  EXPECT_EQ(mixLeft(1), (std::vector<float>{-0.5f}));
  expectPosition(voicePool[0], 1, 1, directionForward);
}

// A loop from 0: a backward voice landing exactly on 0 mirrors to -2^-32 and reads
// the spare value before data[0]; a forward voice stopping 100 units short of the
// loop end wraps exactly once, to -1, then plays on.
TEST_F(MixerTest, LoopsFromZeroReadTheSpareValueBeforeTheData) {
  Sample& pingPong = makeSample(ramp(10, 100, 1), LoopPingPong, 0, 10, {1000});
  play(0, pingPong, frames(3), frames(1), 255, directionBackward);
  EXPECT_EQ(mixLeft(3), (std::vector<float>{400, 300, 200}));
  expectPosition(voicePool[0], -1, 0xFFFFFFFFu, directionForward);
  std::vector<float> forward = mixLeft(2);
  EXPECT_NEAR(forward[0], 100, 1e-3);
  EXPECT_NEAR(forward[1], 200, 1e-3);

  Sample& loop = makeSample(ramp(8, 100, 1), LoopForward, 0, 8, {100});
  play(1, loop, frames(7) + 0xFFFFFF9Cu, frames(1));
  voicePool[0].sample = nullptr;
  std::vector<float> wrapped = mixLeft(3);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(wrapped[i], 100 * (i + 1), 1e-3) << "frame " << i;
  expectPosition(voicePool[1], 2, 0xFFFFFF9Cu, directionForward);
}

// D = 2^32 + 256 and S = 2^31 + 255 give a reduced count of 3 frames where 2 reach the
// end; a 2-frame slice leaves the position past the end, and the next slice stops
// the voice at once instead of playing on past the data.
TEST_F(MixerTest, PositionLeftPastTheEndIsHandledAtOnce) {
  Sample& sample = makeSample(ramp(10, 100, 1), LoopNone, 0, 0);
  play(0, sample, frames(9) - 256, frames(0.5) + 255);
  std::vector<float> left = mixLeft(2);
  EXPECT_NEAR(left[0], 1000, 1e-3);
  EXPECT_NEAR(left[1], 500, 1e-3);
  expectPosition(voicePool[0], 10, 253, directionForward);
  EXPECT_EQ(mixLeft(2), std::vector<float>(2, 0.0f));
  EXPECT_EQ(voicePool[0].sample, nullptr);
}

// Positions on the wrong side of their boundary are brought back by the loop rule
// at once; a position that no rule brings back stops the voice before it reads.
TEST_F(MixerTest, PositionsBeyondTheirBoundaryAreBroughtBackOrStopped) {
  // Backward at 0 below a ping-pong loop 100..110: mirrored into the loop, then it
  // plays forward from just below loopStart.
  Sample& pingPong = makeSample(ramp(120, 10), LoopPingPong, 100, 10, {1190});
  play(0, pingPong, 0, frames(1), 255, directionBackward);
  EXPECT_NEAR(mixLeft(1)[0], 1000, 1e-3);
  expectPosition(voicePool[0], 100, 0xFFFFFFFEu, directionForward);
  voicePool[0].sample = nullptr;

  // Forward far past a loop 4..12: whole loop lengths off (1000 is 8 modulo the loop).
  Sample& loop = makeSample(ramp(12, 100), LoopForward, 4, 8, {400});
  play(1, loop, frames(1000), frames(1));
  EXPECT_EQ(mixLeft(1), (std::vector<float>{800}));
  expectPosition(voicePool[1], 9, 0, directionForward);

  // Backward below a forward loop 10..12: one loop length back, then forward.
  Sample& shortLoop = makeSample(ramp(12, 100), LoopForward, 10, 2, {1000});
  play(1, shortLoop, frames(9), frames(1), 255, directionBackward);
  EXPECT_EQ(mixLeft(1), (std::vector<float>{700}));
  expectPosition(voicePool[1], 8, 0, directionForward);
  voicePool[1].sample = nullptr;

  // Forward before the data, backward far past it: stopped, nothing read.
  play(2, loop, frames(-5), frames(1));
  play(3, pingPong, frames(1000), frames(1), 255, directionBackward);
  EXPECT_EQ(mixLeft(4), std::vector<float>(4, 0.0f));
  EXPECT_EQ(voicePool[2].sample, nullptr);
  EXPECT_EQ(voicePool[3].sample, nullptr);
}

// Steps of 256 frames or more play at the largest step the boundary division holds.
TEST_F(MixerTest, HugeStepsPlayAtTheLargestSupportedStep) {
  for (int32_t stepInt : {256, 1000, -1}) {
    Sample& sample = makeSample(ramp(1000, 1, 1), LoopNone, 0, 0);
    play(0, sample, 0, uint64_t{static_cast<uint32_t>(stepInt)} << 32);
    std::vector<float> left = mixLeft(8);
    std::vector<float> expected = {1, 257, 513, 769, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(left[i], expected[i], 1e-3) << "step " << stepInt;
    EXPECT_EQ(voicePool[0].sample, nullptr);
  }
}

// A slice longer than the longest pass, on a sample of more than 2^24 frames at
// nearly 256 frames a frame: the first pass stops short of the far loop end, the next
// reaches it, and the voice loops instead of stopping at a pass that would read past the data.
TEST_F(MixerTest, LongSliceIsSplitBeforeAFarBoundary) {
  auto* sample = new Sample{};
  sample->length = sample->loopLength = (uint32_t{1} << 24) + 64;
  sample->data = allocateSampleData(sample->length);
  sample->loopMode = LoopForward;
  samples.emplace_back(sample);
  play(0, *sample, 0, frames(255));
  std::vector<float> out(2 << 17);
  mixVoices(out.data(), 1 << 17);
  EXPECT_EQ(voicePool[0].sample, sample);
}

// 0 to 255 on the left at 44100 Hz: the increment is 1/128 exactly, the 128 ramp
// frames use gains 0, 1/128, ..., 127/128, then 1.
TEST_F(MixerTest, RampFromSilenceToFullRisesByOneIn128PerFrame) {
  Sample& sample = makeSample(std::vector<int16_t>(1000, 1000), LoopNone, 0, 0);
  Voice& voice = play(0, sample, 0, frames(1));
  voice.currentLeft = voice.currentRight = 0;
  voice.rightVolume = 0;
  std::vector<float> out(400, 0.0f);
  mixVoices(out.data(), 200);
  for (int frame = 0; frame < 200; ++frame) {
    EXPECT_EQ(out[2 * frame], frame < 128 ? 1000.0f * frame / 128 : 1000.0f) << "frame " << frame;
    EXPECT_EQ(out[2 * frame + 1], 0.0f);
  }
  EXPECT_EQ(voice.currentLeft, 255 * 256);
  EXPECT_EQ(voice.currentRight, 0);
  EXPECT_EQ(voice.leftStep, 0.0f);
  EXPECT_EQ(voice.rampRemaining, 0);
}

// A ramp keeps its course across slices and across the passes that loop boundaries
// cut it into; between passes its level is kept in the voice.
TEST_F(MixerTest, RampRunsOnAcrossSlicesAndLoopWraps) {
  Sample& sample = makeSample(std::vector<int16_t>(16, 1000), LoopForward, 0, 16, {1000});
  Voice& voice = play(0, sample, 0, frames(1));
  voice.currentLeft = voice.currentRight = 0;
  std::vector<float> left = mixLeft(50);
  EXPECT_EQ(voice.leftStep, 1.0f / 128);
  EXPECT_EQ(voice.rampRemaining, 78);
  EXPECT_EQ(voice.currentLeft, 50 * 255 * 2);
  std::vector<float> rest = mixLeft(150);
  left.insert(left.end(), rest.begin(), rest.end());
  for (int frame = 0; frame < 200; ++frame) {
    EXPECT_NEAR(left[frame], frame < 128 ? 1000.0 * frame / 128 : 1000.0, 1e-3) << "frame " << frame;
  }
}

// A target change while a ramp runs starts a fresh ramp of 128 frames from the level
// reached (127 of 255 on its whole part after half the ramp), not from the old start.
TEST_F(MixerTest, TargetChangeMidRampRestartsFromTheLevelReached) {
  Sample& sample = makeSample(std::vector<int16_t>(1000, 1000), LoopNone, 0, 0);
  Voice& voice = play(0, sample, 0, frames(1));
  voice.currentLeft = voice.currentRight = 0;
  mixLeft(64);
  EXPECT_EQ(voice.currentLeft, 32640);
  voice.leftVolume = voice.rightVolume = 0;
  std::vector<float> left = mixLeft(200);
  double increment = static_cast<float>(-127.0 * oneOver255 / 128);
  for (int frame = 0; frame < 200; ++frame) {
    double expected = frame < 128 ? 1000.0 * (0.5 + frame * increment) : 0.0;
    EXPECT_NEAR(left[frame], expected, 1e-3) << "frame " << frame;
  }
  EXPECT_EQ(voice.currentLeft, 0);
  EXPECT_NE(voice.sample, nullptr);  // silent, but still playing its sample
}

// Whatever rounding the ramp went through, its end leaves the current levels at the
// targets x 256.
TEST_F(MixerTest, RampEndsExactlyOnTheTargets) {
  Sample& sample = makeSample(std::vector<int16_t>(1000, 1000), LoopNone, 0, 0);
  Voice& voice = play(0, sample, 0, frames(1));
  voice.currentLeft = voice.currentRight = 0;
  voice.leftVolume = 100;
  voice.rightVolume = 37;
  std::vector<float> out(2 * 200, 0.0f);
  for (int slice = 0; slice < 10; ++slice) mixVoices(out.data() + 40 * slice, 20);
  EXPECT_EQ(voice.currentLeft, 25600);
  EXPECT_EQ(voice.currentRight, 37 * 256);
  EXPECT_EQ(voice.rampRemaining, 0);
  float fullGain = static_cast<float>(100 * oneOver255);
  EXPECT_EQ(out[2 * 199], static_cast<float>(1000.0 * fullGain));
}

// Without a ramp, frames go in pairs at the target gains; an odd last frame uses the
// gains of the current levels, which differ here in their fraction only.
TEST_F(MixerTest, OddLastFrameUsesTheCurrentLevels) {
  Sample& sample = makeSample(std::vector<int16_t>(100, 1000), LoopNone, 0, 0);
  Voice& voice = play(0, sample, 0, frames(1), 100);
  voice.currentLeft = 100 * 256 + 200;
  std::vector<float> out(6, 0.0f);
  mixVoices(out.data(), 3);
  auto frameValue = [](double gain) { return static_cast<float>(1000.0 * static_cast<float>(gain)); };
  float target = frameValue(100 * oneOver255);
  float current = frameValue((100 * 256 + 200) / 256.0 * oneOver255);
  EXPECT_EQ(out, (std::vector<float>{target, target, target, target, current, target}));
  EXPECT_NE(target, current);
}

TEST_F(MixerTest, OnlyTheFirst64VoicesAreMixed) {
  Sample& sample = makeSample(std::vector<int16_t>(100, 1000), LoopForward, 0, 100, {1000});
  for (int slot : {64, 100, 255}) play(slot, sample, frames(3), frames(1));
  Voice before[voicePoolSize];
  std::memcpy(before, voicePool, sizeof voicePool);
  EXPECT_EQ(mixLeft(10), std::vector<float>(10, 0.0f));
  EXPECT_EQ(std::memcmp(before, voicePool, sizeof voicePool), 0);
}

TEST_F(MixerTest, SliceOfNoFramesChangesNothing) {
  Sample& sample = makeSample(std::vector<int16_t>(100, 1000), LoopNone, 0, 0);
  Voice& voice = play(5, sample, frames(99.5), frames(1));
  voice.leftVolume = 7;  // a ramp would start on the next frame
  Voice before[voicePoolSize];
  std::memcpy(before, voicePool, sizeof voicePool);
  float out[2] = {3.0f, 4.0f};
  mixVoices(out, 0);
  mixVoices(out, -3);
  EXPECT_EQ(std::memcmp(before, voicePool, sizeof voicePool), 0);
  EXPECT_EQ(out[0], 3.0f);
  EXPECT_EQ(out[1], 4.0f);
}

}  // namespace
}  // namespace vantor
