// The mixer's shortcuts must not change a bit: the vector loop against the one-frame
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

// Random voices on forward and ping-pong loops, with random levels (ramping or not),
// steps, directions and slice lengths: both loops give the same floats and positions.
TEST_F(MixKernelTest, VectorLoopGivesTheSameBitsAsTheOneFrameLoop) {
  if (!useMixKernel(MixKernel::Vector)) GTEST_SKIP() << "no vector loop on this processor";
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
      bool steady = dice() % 2 == 0;
      voice.lastLeftVolume = steady ? voice.leftVolume : 0;
      voice.lastRightVolume = steady ? voice.rightVolume : 0;
      voice.currentLeft = steady ? voice.leftVolume * 256 : 0;
      voice.currentRight = steady ? voice.rightVolume * 256 : 0;
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
      bits.push_back(static_cast<uint32_t>(voicePool[slot].position));
      bits.push_back(voicePool[slot].positionFrac);
    }
    return bits;
  };
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    EXPECT_EQ(render(MixKernel::Vector, seed), render(MixKernel::Portable, seed)) << "seed " << seed;
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

}  // namespace
}  // namespace vantor
