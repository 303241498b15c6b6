#include "sequencer/pitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sequencer/saturating.h"

namespace vantor {
namespace {

Song songWithTable(uint16_t flags) {
  Song song{};
  song.flags = flags;
  return song;
}

const Song linearSong = songWithTable(LinearFrequencyTable);
const Song amigaSong = songWithTable(0);

TEST(NotePeriods, AmigaTable) {
  EXPECT_EQ(amigaPeriod(48, 0), 1712);
  EXPECT_EQ(amigaPeriod(36, 0), 3424);
  EXPECT_EQ(amigaPeriod(60, 0), 856);
  EXPECT_EQ(amigaPeriod(48, 127), 1616);
  EXPECT_EQ(amigaPeriod(48, -16), 1724);
  EXPECT_EQ(amigaPeriod(48, -128), 1813);
  // Note 0 bends a negative finetune with the semitone above (27595 with the one below).
  EXPECT_EQ(amigaPeriod(0, -16), 27584);
  EXPECT_EQ(amigaPeriod(255, 0), 0);
  EXPECT_EQ(notePeriod(amigaSong, 48, 0), 1712);
}

TEST(NotePeriods, LinearTableHalvesTheFinetuneTowardZero) {
  EXPECT_EQ(linearPeriod(48, 0), 4608);
  EXPECT_EQ(linearPeriod(48, -1), 4608);
  EXPECT_EQ(linearPeriod(48, -3), 4609);
  EXPECT_EQ(linearPeriod(48, 127), 4545);
  EXPECT_EQ(linearPeriod(0, -128), 7744);
  EXPECT_EQ(notePeriod(linearSong, 48, -3), 4609);
}

TEST(PlaybackFrequency, ReferencePitchesOfBothTables) {
  EXPECT_EQ(playbackFrequency(linearSong, 4608, 0), 8363);
  EXPECT_EQ(playbackFrequency(linearSong, 4608 - 768, 0), 16726);
  EXPECT_EQ(playbackFrequency(linearSong, 4608, 768), 16726);  // the offset raises the pitch
  EXPECT_EQ(playbackFrequency(amigaSong, 1712, 0), 8362);
  EXPECT_EQ(playbackFrequency(amigaSong, 856, 0), 16725);
  EXPECT_EQ(playbackFrequency(amigaSong, 1712, -856), 16725);  // and lowers the period
}

TEST(PlaybackFrequency, LimitedTo100HzAndTheLargestStepTheMixerTakes) {
  EXPECT_EQ(playbackFrequency(linearSong, 20000, 0), minimumFrequency);
  EXPECT_EQ(playbackFrequency(amigaSong, 143171, 0), minimumFrequency);  // 99 Hz
  EXPECT_EQ(playbackFrequency(amigaSong, -1712, 0), minimumFrequency);
  EXPECT_EQ(playbackFrequency(linearSong, -10000, 0), maximumFrequency);
  EXPECT_EQ(playbackFrequency(amigaSong, 1, 0), maximumFrequency);
  EXPECT_EQ(playbackFrequency(amigaSong, 5, -5), maximumFrequency);
  // The saturated extremes of a period.
  EXPECT_EQ(playbackFrequency(linearSong, accumulatorLimit, 0), minimumFrequency);
  EXPECT_EQ(playbackFrequency(linearSong, -accumulatorLimit, 0), maximumFrequency);
  EXPECT_EQ(playbackFrequency(amigaSong, accumulatorLimit, 0), minimumFrequency);
  EXPECT_EQ(playbackFrequency(linearSong, linearPeriod(255, 127), 15 * 64), maximumFrequency);
}

// The linear rule uses the single-precision octave step at its exact value with the
// arithmetic in double. Rounding the product to single precision instead changes the
// frequency by 1 Hz for some periods.
int32_t linearFrequencyInLongDouble(int period) {
  const long double octaveStep = 0.0013020833721384406L;  // 0.0013020834f exactly
  long double frequency = std::pow(2.0L, static_cast<long double>(4608 - period) * octaveStep) * 8363.0L;
  return static_cast<int32_t>(std::clamp(frequency, 100.0L, 11289599.0L));
}

TEST(PlaybackFrequency, LinearProductIsFormedInDoubleNotSingle) {
  for (int period : {3905, 2594, 2013, 1500, 1474, 1363}) {
    float singleProduct = static_cast<float>(4608 - period) * 0.0013020834f;
    auto fromSingle = static_cast<int32_t>(std::pow(2.0, static_cast<double>(singleProduct)) * 8363.0);
    ASSERT_NE(fromSingle, linearFrequencyInLongDouble(period)) << period;  // the case tells the two apart
  }
  for (int period = -9000; period <= 12000; ++period)
    ASSERT_EQ(playbackFrequency(linearSong, period, 0), linearFrequencyInLongDouble(period)) << period;
}

// Linear frequencies are remembered by their input: pitches that share a slot of the
// memory, asked for in turn and in every order, each give the value of the formula.
TEST(PlaybackFrequency, RememberedLinearFrequenciesMatchTheFormula) {
  auto formula = [](int32_t period, int32_t offset) {
    double exponent = (4608.0 - period) + offset;
    return static_cast<int32_t>(std::pow(2.0, exponent * static_cast<double>(0.0013020834f)) * 8363.0);
  };
  for (int round = 0; round < 3; ++round) {
    for (int32_t period : {4608, 4608 + 64, 4608 + 128, 4608 - 64 * 7, 100, 7000}) {
      for (int32_t offset : {0, -64, 64, 3}) {
        EXPECT_EQ(playbackFrequency(linearSong, period, offset), formula(period, offset))
            << "period " << period << ", offset " << offset;
      }
    }
  }
}

}  // namespace
}  // namespace vantor
