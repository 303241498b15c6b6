#include <gtest/gtest.h>

#include <vector>

#include "sequencer/envelopes.h"

namespace vantor {
namespace {

int vibratoOffset(uint8_t waveControl, int phase, uint8_t depth) {
  Channel channel{};
  channel.waveControl = waveControl;
  channel.vibratoPos = static_cast<int8_t>(phase);
  channel.vibratoDepth = depth;
  applyVibrato(channel);
  EXPECT_EQ(channel.updateFlags, PitchChanged);
  EXPECT_EQ(channel.vibratoPos, phase);  // the phase is advanced by the caller
  return channel.periodOffset;
}

TEST(Vibrato, SquareAtFullDepthSwingsBy116AroundTheNote) {
  for (uint8_t square : {2, 3}) {
    int8_t phase = 0;
    for (int tick = 0; tick < 64; ++tick) {
      EXPECT_EQ(vibratoOffset(square, phase, 15), phase >= 0 ? -116 : 116) << int{phase};
      advancePhase(phase, 5);
    }
  }
}

TEST(Vibrato, SineIsFlooredAndRampFallsFrom255ForNegativePhases) {
  EXPECT_EQ(vibratoOffset(0, 16, 8), -60);  // peak 255, not 256
  EXPECT_EQ(vibratoOffset(0, -16, 8), 60);
  EXPECT_EQ(vibratoOffset(0, 8, 15), -84);
  EXPECT_EQ(vibratoOffset(0, 0, 15), 0);
  EXPECT_EQ(vibratoOffset(1, 20, 15), -72);
  EXPECT_EQ(vibratoOffset(1, -20, 15), 72);
}

TEST(Oscillators, PhaseCyclesThroughMinus32To31) {
  int8_t phase = 31;
  advancePhase(phase, 1);
  EXPECT_EQ(phase, -32);
  advancePhase(phase, 15);
  EXPECT_EQ(phase, -17);
  for (int tick = 0; tick < 200; ++tick) {
    advancePhase(phase, 13);
    ASSERT_GE(phase, -32);
    ASSERT_LE(phase, 31);
  }
}

TEST(Tremolo, NeverTakesTheVolumeOutside0To64) {
  for (int waveform = 0; waveform < 4; ++waveform)
    for (int depth = 0; depth < 16; ++depth)
      for (int speed : {1, 3, 8, 15})
        for (int volume = 0; volume <= 64; ++volume) {
          Channel channel{};
          channel.waveControl = static_cast<uint8_t>(waveform << 4);
          channel.tremoloDepth = static_cast<uint8_t>(depth);
          channel.tremoloSpeed = static_cast<uint8_t>(speed);
          channel.volume = volume;
          for (int tick = 0; tick < 64; ++tick) {
            applyTremolo(channel);
            ASSERT_GE(channel.volume + channel.volumeOffset, 0);
            ASSERT_LE(channel.volume + channel.volumeOffset, 64);
          }
        }
}

TEST(Tremolo, WaveformThreeIsASineAndThePhaseAdvances) {
  Channel channel{};
  channel.waveControl = 0x30;
  channel.tremoloPos = 8;
  channel.tremoloSpeed = 4;
  channel.tremoloDepth = 15;
  applyTremolo(channel);
  EXPECT_EQ(channel.volumeOffset, 42);  // floor(256 sin(pi/4)) * 15 >> 6; a square gives 59
  EXPECT_EQ(channel.tremoloPos, 12);
  EXPECT_EQ(channel.updateFlags, VolumeChanged);
}

std::vector<int> tremorOffsets(uint8_t onTicks, uint8_t offTicks, int ticks) {
  Channel channel{};
  channel.volume = 40;
  channel.tremorOnTicks = onTicks;
  channel.tremorOffTicks = offTicks;
  std::vector<int> offsets;
  for (int tick = 0; tick < ticks; ++tick) {
    channel.volumeOffset = 0;
    applyTremor(channel);
    offsets.push_back(channel.volumeOffset);
  }
  return offsets;
}

TEST(Tremor, SoundsForTheOnTicksThenFallsSilentForTheOffTicks) {
  EXPECT_EQ(tremorOffsets(3, 2, 10), (std::vector<int>{0, 0, 0, -40, -40, 0, 0, 0, -40, -40}));
  EXPECT_EQ(tremorOffsets(0, 0, 6), std::vector<int>(6, -40));
}

TEST(TonePortamento, SlidesToTheTargetWithoutPassingIt) {
  Channel channel{};
  channel.period = 1000;
  channel.portaTarget = 900;
  channel.portaSpeed = 8;
  std::vector<int> periods;
  for (int tick = 0; tick < 5; ++tick) {
    applyTonePortamento(channel);
    periods.push_back(channel.period);
  }
  EXPECT_EQ(periods, (std::vector<int>{968, 936, 904, 900, 900}));

  channel.portaTarget = 950;
  applyTonePortamento(channel);
  EXPECT_EQ(channel.period, 932);

  channel.portaSpeed = 0;
  channel.updateFlags = 0;
  applyTonePortamento(channel);
  EXPECT_EQ(channel.period, 932);
  EXPECT_EQ(channel.updateFlags, PitchChanged);
}

std::vector<int> autoVibratoOffsets(uint8_t type, uint8_t depth, uint8_t sweep, uint8_t rate, int ticks) {
  Instrument instrument{};
  instrument.vibratoType = type;
  instrument.vibratoDepth = depth;
  instrument.vibratoSweep = sweep;
  instrument.vibratoRate = rate;
  Channel channel{};
  std::vector<int> offsets;
  for (int tick = 0; tick < ticks; ++tick) {
    channel.periodOffset = 0;
    applyAutoVibrato(channel, instrument);
    offsets.push_back(channel.periodOffset);
  }
  return offsets;
}

TEST(AutoVibrato, SweepGrowsTheDepthLinearly) {
  EXPECT_EQ(autoVibratoOffsets(1, 16, 4, 0, 7), (std::vector<int>{0, 4, 8, 12, 16, 16, 16}));
  EXPECT_EQ(autoVibratoOffsets(1, 16, 0, 0, 3), (std::vector<int>{16, 16, 16}));
  for (uint8_t type = 0; type < 4; ++type)
    EXPECT_EQ(autoVibratoOffsets(type, 0, 0, 7, 100), std::vector<int>(100, 0));
  EXPECT_EQ(autoVibratoOffsets(9, 64, 0, 7, 100), std::vector<int>(100, 0));
}

TEST(AutoVibrato, WaveformsAtTheirTurningPoints) {
  // At depth 64 the offset is the waveform's value itself.
  Instrument instrument{};
  instrument.vibratoDepth = 64;
  auto valueAt = [&](uint8_t type, int phase) {
    instrument.vibratoType = type;
    Channel channel{};
    channel.autoVibratoPos = phase;
    applyAutoVibrato(channel, instrument);
    return channel.periodOffset;
  };
  // The single-precision angle step falls just short of pi/2, and the value is truncated.
  EXPECT_EQ(valueAt(0, 64), 63);
  EXPECT_EQ(valueAt(0, 192), -63);
  EXPECT_EQ(valueAt(1, 127), 64);
  EXPECT_EQ(valueAt(1, 128), -64);
  EXPECT_EQ(valueAt(2, 0), 0);
  EXPECT_EQ(valueAt(2, 127), -64);
  EXPECT_EQ(valueAt(2, 128), 64);
  EXPECT_EQ(valueAt(3, 127), 63);
  EXPECT_EQ(valueAt(3, 128), 64);
  EXPECT_EQ(valueAt(3, 129), -64);

  Channel channel{};
  instrument.vibratoRate = 200;
  applyAutoVibrato(channel, instrument);
  applyAutoVibrato(channel, instrument);
  EXPECT_EQ(channel.autoVibratoPos, 144);
}

}  // namespace
}  // namespace vantor
