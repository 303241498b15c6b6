// The mixer's shortcuts must not change a bit: the vector loops against the one-frame
// loop on random voices, and a silent voice (levels 0, no ramp), which only moves on,
// against the same voice moved frame by frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "output/mixer.h"
#include "output/vector_mix.h"

namespace vantor {
namespace {

struct SampleData {
  Sample sample{};
  explicit SampleData(const std::vector<int16_t>& values, uint8_t loopMode, uint32_t loopStart,
                      uint32_t loopLength) {
    sample.length = static_cast<uint32_t>(values.size());
    sample.data = allocateSampleData(sample.length);
    std::memcpy(sample.data, values.data(), values.size() * sizeof(int16_t));
    sample.loopMode = loopMode;
    sample.loopStart = loopStart;
    sample.loopLength = loopLength;
    // The guard value after the loop, as the loader writes it.
    sample.data[loopStart + loopLength] =
        sample.data[loopMode == LoopForward ? loopStart : loopStart + loopLength - 1];
  }
  ~SampleData() { freeSampleData(sample.data); }
};

class MixKernelTest : public ::testing::Test {
 protected:
  void SetUp() override { resetVoicePool(); }
  void TearDown() override {
    useMixKernel(initial);
    resetVoicePool();
  }
  MixKernel initial = activeMixKernel();
};

// Random voices on forward and ping-pong loops, with random levels, steps, directions
// and slice lengths (so passes end in part groups of every size): each vector loop
// gives the same floats and positions as the one-frame loop. Levels are steady, ramping,
// or held a fraction above their targets without a ramp (an odd last frame then mixes
// at other gains than the rest), and some ramps are left counting with nothing to do.
TEST_F(MixKernelTest, VectorLoopsGiveTheSameBitsAsTheOneFrameLoop) {
  std::mt19937 random(11);
  std::vector<int16_t> values(5000);
  for (auto& value : values) value = static_cast<int16_t>(static_cast<int>(random() % 65536) - 32768);
  SampleData forward(values, LoopForward, 700, 3300);
  SampleData pingPong(values, LoopPingPong, 10, 37);

  auto setUpVoices = [&](uint32_t seed) {
    std::mt19937 dice(seed);
    resetVoicePool();
    for (int slot = 0; slot < mixedVoiceCount; ++slot) {
      Voice& voice = voicePool[slot];
      bool loopsForward = dice() % 2 == 0;
      voice.sample = loopsForward ? &forward.sample : &pingPong.sample;
      voice.position = static_cast<int32_t>(loopsForward ? 700 + dice() % 3000 : 10 + dice() % 37);
      voice.positionFrac = static_cast<uint32_t>(dice());
      voice.stepInt = static_cast<int32_t>(dice() % 5);
      voice.stepFrac = static_cast<uint32_t>(dice());
      voice.direction = loopsForward || dice() % 2 == 0 ? directionForward : directionBackward;
      voice.leftVolume = static_cast<int32_t>(dice() % 256);
      voice.rightVolume = static_cast<int32_t>(dice() % 256);
      if (dice() % 3 == 0) voice.rightVolume = voice.leftVolume;  // centred: one product serves both sides
      switch (dice() % 4) {
        case 0:  // steady
          voice.lastLeftVolume = voice.leftVolume;
          voice.lastRightVolume = voice.rightVolume;
          voice.currentLeft = voice.leftVolume * 256;
          voice.currentRight = voice.rightVolume * 256;
          break;
        case 1:  // ramps in from silence
          break;
        case 2: {  // a fraction above the targets on the left, the right or both, no ramp
          voice.lastLeftVolume = voice.leftVolume;
          voice.lastRightVolume = voice.rightVolume;
          uint32_t sides = 1 + dice() % 3;
          voice.currentLeft = voice.leftVolume * 256 + static_cast<int32_t>(sides & 1 ? 1 + dice() % 255 : 0);
          voice.currentRight =
              voice.rightVolume * 256 + static_cast<int32_t>(sides & 2 ? 1 + dice() % 255 : 0);
          break;
        }
        default:  // a ramp still counting whose targets came back to the levels reached
          voice.currentLeft = voice.leftVolume * 256 + static_cast<int32_t>(dice() % 256);
          voice.currentRight = voice.rightVolume * 256 + static_cast<int32_t>(dice() % 256);
          voice.rampRemaining = static_cast<int32_t>(1 + dice() % rampLength);
          voice.lastLeftVolume = 255 - voice.leftVolume;
          break;
      }
    }
  };
  auto render = [&](MixKernel kernel, uint32_t seed) {
    EXPECT_TRUE(useMixKernel(kernel));
    setUpVoices(seed);
    std::mt19937 slices(seed + 1);
    std::vector<float> out(2 * 2000, 0.0f);
    for (int done = 0; done < 2000;) {
      int frames = std::min(2000 - done, static_cast<int>(slices() % 300));
      mixVoices(out.data() + 2 * done, frames);
      done += frames;
    }
    std::vector<uint32_t> bits(out.size());
    std::memcpy(bits.data(), out.data(), out.size() * sizeof(float));
    for (int slot = 0; slot < mixedVoiceCount; ++slot) {
      const Voice& voice = voicePool[slot];
      for (int32_t field : {voice.position, static_cast<int32_t>(voice.positionFrac), voice.currentLeft,
                            voice.currentRight, voice.rampRemaining})
        bits.push_back(static_cast<uint32_t>(field));
    }
    return bits;
  };
  int compared = 0;
  for (MixKernel kernel : {MixKernel::Vector, MixKernel::Wide}) {
    if (!useMixKernel(kernel)) continue;
    ++compared;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
      EXPECT_EQ(render(kernel, seed), render(MixKernel::Portable, seed))
          << "kernel " << static_cast<int>(kernel) << ", seed " << seed;
    }
  }
  // Every loop up to the processor's widest is compared: none is refused where it runs.
  EXPECT_EQ(compared, static_cast<int>(initial));
  if (compared == 0) GTEST_SKIP() << "no vector loop on this processor";
}

// The vector loops form a ramp's gains as start + j x increment, which equals adding the
// increment frame by frame only while each sum is exact. A voice may hold any increment:
// here one of 2^22 + 1/2 units of the start gain's last place, so that every
// frame-by-frame sum is a tie that rounds down, and after 64 frames that loss carries
// the gain across the midpoint between two floats. The vector loops must leave such a
// ramp to the one-frame loop.
TEST_F(MixKernelTest, RampsWhoseSumsRoundAreMixedFrameByFrame) {
  std::vector<int16_t> values(1000, 16384);  // a power of two: each frame adds the gain as a float
  SampleData sample(values, LoopForward, 0, 1000);
  const float start = 255.0f * (1.0f / 255.0f);  // the gain of currentLeft 255 x 256, as the mixer forms it
  ASSERT_EQ(start, 1.0f);                        // a float whose last bit is 0: ties round down to it
  const float increment = static_cast<float>((0x1p22 + 0.5) * 0x1p-52);  // exact in a float

  auto render = [&](MixKernel kernel) {
    EXPECT_TRUE(useMixKernel(kernel));
    resetVoicePool();
    Voice& voice = voicePool[0];
    voice.sample = &sample.sample;
    voice.position = 100;
    voice.stepInt = 1;
    voice.direction = directionForward;
    voice.leftVolume = voice.lastLeftVolume = 255;
    voice.rightVolume = voice.lastRightVolume = 255;
    voice.currentLeft = voice.currentRight = 255 * 256;
    voice.leftStep = voice.rightStep = increment;  // a ramp that runs on with this increment
    voice.rampRemaining = rampLength;
    std::vector<float> out(2 * rampLength, 0.0f);
    mixVoices(out.data(), rampLength);
    return out;
  };
  std::vector<float> oneFrame = render(MixKernel::Portable);
  ASSERT_EQ(oneFrame[2 * 64], 16384.0f);  // frame by frame the gain has not left 1.0f yet
  for (MixKernel kernel : {MixKernel::Vector, MixKernel::Wide}) {
    if (!useMixKernel(kernel)) continue;
    EXPECT_EQ(render(kernel), oneFrame) << "kernel " << static_cast<int>(kernel);
  }
}

// A pass of five frames, 12 frames apart, that ends on the sample's last value: the
// lanes after the last frame of its part group read nothing past the data (which the
// address sanitizer sees), and each vector loop mixes what the one-frame loop does.
TEST_F(MixKernelTest, PartGroupAtTheSampleEndReadsOnlyItsOwnFrames) {
  std::vector<int16_t> values(49);
  for (int i = 0; i < 49; ++i) values[i] = static_cast<int16_t>(100 * i);
  SampleData sample(values, LoopNone, 0, 49);
  auto render = [&](MixKernel kernel) {
    EXPECT_TRUE(useMixKernel(kernel));
    resetVoicePool();
    Voice& voice = voicePool[0];
    voice.sample = &sample.sample;
    voice.stepInt = 12;
    voice.direction = directionForward;
    voice.leftVolume = voice.lastLeftVolume = voice.rightVolume = voice.lastRightVolume = 255;
    voice.currentLeft = voice.currentRight = 255 * 256;
    std::vector<float> out(2 * 6, 0.0f);
    mixVoices(out.data(), 6);
    return out;
  };
  std::vector<float> oneFrame = render(MixKernel::Portable);
  EXPECT_EQ(oneFrame[2 * 4], 4800.0f);
  for (MixKernel kernel : {MixKernel::Vector, MixKernel::Wide}) {
    if (!useMixKernel(kernel)) continue;
    EXPECT_EQ(render(kernel), oneFrame) << "kernel " << static_cast<int>(kernel);
  }
}

// A voice at level 0 that does not ramp adds nothing and is only moved on; odd steps,
// backward voices and odd slice lengths end where a frame-by-frame walk ends, and the
// mix keeps what it held (a negative zero included: no zero is added to it).
TEST_F(MixKernelTest, SilentVoiceMovesAsIfEveryFrameWereMixed) {
  std::vector<int16_t> values(4000, 1000);
  SampleData sample(values, LoopPingPong, 0, 4000);
  for (int direction : {directionForward, directionBackward}) {
    for (uint32_t stepFrac : {0x12345679u, 0x80000000u, 0xFFFFFFFFu}) {
      resetVoicePool();
      Voice& voice = voicePool[0];
      voice.sample = &sample.sample;
      voice.position = 2000;
      voice.positionFrac = 0x0000F00Du;
      voice.stepInt = 1;
      voice.stepFrac = stepFrac;
      voice.direction = direction;

      uint64_t step = (uint64_t{1} << 32) | stepFrac;
      uint64_t signedStep = direction == directionForward ? step : ~step + 1;
      uint64_t expected = (uint64_t{2000} << 32) | 0x0000F00Du;
      std::vector<float> out(2 * 301, -0.0f);
      out[10] = 5.0f;
      mixVoices(out.data(), 301);
      for (int frame = 0; frame < 301; ++frame) expected = (expected & ~uint64_t{1}) + signedStep;

      EXPECT_EQ(voice.position, static_cast<int32_t>(expected >> 32));
      EXPECT_EQ(voice.positionFrac, static_cast<uint32_t>(expected));
      EXPECT_EQ(out[10], 5.0f);
      EXPECT_TRUE(std::signbit(out[11]) && out[11] == 0.0f);
    }
  }
}

// A silent voice on a forward loop goes round it in a loop of its own; it must end each
// slice where the same voice, audible, ends it: on a one-value loop at a large step
// (several loop lengths per frame), on a loop from 0 (a pass that stops a hair short
// wraps to -1), from a position past the loop end (which plays on to the sample's end
// first), and on a long loop at a small step.
TEST_F(MixKernelTest, SilentVoiceGoesRoundAForwardLoopAsAnAudibleOneDoes) {
  std::vector<int16_t> values(600);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i * 37 % 2000);
  SampleData oneValue(values, LoopForward, 599, 1);
  SampleData fromZero(values, LoopForward, 0, 7);
  SampleData middle(values, LoopForward, 100, 300);
  SampleData shortLoop(values, LoopForward, 100, 50);
  struct Case {
    const Sample* sample;
    int32_t position;
    uint32_t positionFrac;
    int32_t stepInt;
    uint32_t stepFrac;
  };
  const std::vector<Case> cases = {{&oneValue.sample, 590, 0x9000'0000u, 6, 0x1234'5677u},
                                   {&fromZero.sample, 3, 0xFFFF'FF00u, 0, 0x9E37'79B9u},
                                   {&fromZero.sample, 6, 0xFFFF'FFFFu, 1, 0x0000'00FFu},
                                   {&shortLoop.sample, 457, 0x4000'0000u, 2, 0x7000'0001u},
                                   {&middle.sample, 120, 0x0000'0001u, 0, 0x0100'0003u}};
  for (const Case& c : cases) {
    resetVoicePool();
    for (int slot : {0, 1}) {
      Voice& voice = voicePool[slot];
      voice.sample = c.sample;
      voice.position = c.position;
      voice.positionFrac = c.positionFrac;
      voice.stepInt = c.stepInt;
      voice.stepFrac = c.stepFrac;
      voice.direction = directionForward;
    }
    Voice& silent = voicePool[0];
    Voice& audible = voicePool[1];
    audible.leftVolume = audible.lastLeftVolume = 200;
    audible.currentLeft = 200 * 256;
    std::vector<float> out(2 * 1000);
    std::mt19937 slices(c.position);
    for (int slice = 0; slice < 40; ++slice) {
      // The first slice ends before the voice past the loop end reaches the sample's end.
      int frames = slice == 0 ? 10 : 1 + static_cast<int>(slices() % 1000);
      mixVoices(out.data(), frames);
      ASSERT_EQ(silent.position, audible.position) << "position " << c.position << ", slice " << slice;
      ASSERT_EQ(silent.positionFrac, audible.positionFrac)
          << "position " << c.position << ", slice " << slice;
      ASSERT_EQ(silent.direction, audible.direction);
      ASSERT_EQ(silent.sample, audible.sample);
    }
  }
}

}  // namespace
}  // namespace vantor
