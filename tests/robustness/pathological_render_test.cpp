// Whatever a song holds, one block costs bounded time: songs built to be as hard as
// the format allows (every tick a row, the shortest ticks, loops and jumps that never
// end, huge patterns, extreme pitches) render many blocks each. The time is measured
// against a busy but ordinary song rendered the same way; the bound is a hang guard
// (ten times that, plus slack for a loaded machine), not a performance target.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "offline_render.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using namespace xm;
using test::renderOffline;
using test::RenderResult;

constexpr int blocksPerSong = 500;  // 10 s of song
constexpr int fullChannels = 32;
constexpr uint16_t fastestDefaultBpm = 32767;  // 3 frames per tick
constexpr uint16_t bpmStoredAsMinusOne = 0xFFFF;

XmCell effectCell(uint8_t effect, uint8_t parameter) { return {.effect = effect, .effectParam = parameter}; }
XmCell noteCell(uint8_t note, uint8_t effect = 0, uint8_t parameter = 0) {
  return {.note = note, .instrument = 1, .volume = 0x50, .effect = effect, .effectParam = parameter};
}

std::vector<int> saw(int length) {
  std::vector<int> values;
  for (int i = 0; i < length; ++i) values.push_back(i * 255 / length - 128);
  return values;
}

XmInstrument loopedInstrument(XmLoop loop, uint32_t loopStart, uint32_t loopLength, int length) {
  XmSample sample = XmSample::eightBit(saw(length));
  sample.loop = loop;
  sample.loopStart = loopStart;
  sample.loopLength = loopLength;
  return XmInstrument::withSample(sample);
}

// Every channel starts a note on every row.
XmModule busySong(uint16_t channels, uint16_t rows) {
  XmModule module;
  module.channelCount = channels;
  XmPattern pattern = XmPattern::empty(rows, channels);
  for (int row = 0; row < rows; ++row) {
    for (int channel = 0; channel < channels; ++channel) {
      pattern.at(row, channel) = noteCell(static_cast<uint8_t>(1 + (row * 7 + channel * 5) % 96));
    }
  }
  module.patterns.push_back(pattern);
  module.instruments.push_back(loopedInstrument(XmLoop::Forward, 16, 200, 256));
  return module;
}

// The yardstick: 32 channels with a new note on every row at the fastest Fxx tempo.
XmModule referenceSong() {
  XmModule module = busySong(fullChannels, 64);
  module.defaultSpeed = 1;
  module.defaultBpm = 255;
  return module;
}

// Speed 0 makes every tick a row tick, and the highest default BPM the shortest tick.
XmModule everyTickARowAtTheShortestTick() {
  XmModule module = busySong(fullChannels, 64);
  module.defaultSpeed = 0;
  module.defaultBpm = fastestDefaultBpm;
  return module;
}

// F00 with pattern delays, note delays, retriggers and cuts on every channel; speed
// and tempo switch between their extremes row by row.
XmModule speedZeroWithDelaysAndTempoExtremes() {
  XmModule module = busySong(fullChannels, 16);
  module.defaultBpm = fastestDefaultBpm;
  XmPattern& pattern = module.patterns[0];
  const uint8_t tempos[] = {0x00, 0x20, 0xFF, 0x01, 0x00, 0xFF, 0x20, 0x00};
  for (int row = 0; row < 16; ++row) {
    pattern.at(row, 0) = effectCell(0x0F, tempos[row % 8]);
    pattern.at(row, 1) = effectCell(0x0E, 0xEF);
    pattern.at(row, 2) = noteCell(49, 0x0E, 0xD1);
    pattern.at(row, 3) = noteCell(49, 0x1B, 0x01);
    pattern.at(row, 4) = noteCell(49, 0x0E, 0x91);
    pattern.at(row, 5) = noteCell(49, 0x0E, 0xC0);
    pattern.at(row, 6) = noteCell(49, 0x14, 0x00);
  }
  return module;
}

// Pattern loops nested across channels, loops that restart each other for ever, and
// loops in the same row as jumps and breaks, over several orders.
XmModule loopsAndJumpsInEveryCombination() {
  XmModule module;
  module.channelCount = 8;
  module.defaultSpeed = 1;
  module.defaultBpm = fastestDefaultBpm;
  module.orders = {0, 1, 2, 1, 0};
  module.restartPosition = 3;
  XmPattern nested = XmPattern::empty(8, 8);
  nested.at(0, 0) = effectCell(0x0E, 0x60);
  nested.at(1, 1) = effectCell(0x0E, 0x60);
  nested.at(2, 1) = effectCell(0x0E, 0x6F);
  nested.at(3, 0) = effectCell(0x0E, 0x6F);
  nested.at(4, 2) = effectCell(0x0E, 0x60);
  nested.at(5, 3) = effectCell(0x0E, 0x62);
  nested.at(5, 2) = effectCell(0x0E, 0x61);  // restarts channel 3's loop every time
  nested.at(6, 4) = effectCell(0x0E, 0x6F);
  nested.at(6, 5) = effectCell(0x0B, 0x01);
  nested.at(7, 6) = effectCell(0x0D, 0x99);  // row 99 does not exist
  nested.at(7, 7) = effectCell(0x0E, 0x6F);
  XmPattern sameRow = XmPattern::empty(4, 8);
  sameRow.at(0, 0) = effectCell(0x0E, 0x60);
  sameRow.at(1, 0) = effectCell(0x0E, 0x61);
  sameRow.at(1, 1) = effectCell(0x0B, 0x02);
  sameRow.at(1, 2) = effectCell(0x0D, 0x03);
  sameRow.at(2, 3) = effectCell(0x0E, 0x60);
  sameRow.at(3, 3) = effectCell(0x0E, 0x6F);
  sameRow.at(3, 4) = effectCell(0x0D, 0x02);
  XmPattern selfJump = XmPattern::empty(2, 8);  // jumps to itself: an endless row pair
  selfJump.at(0, 0) = effectCell(0x0E, 0x60);
  selfJump.at(1, 0) = effectCell(0x0E, 0x6F);
  selfJump.at(1, 1) = effectCell(0x0B, 0x02);
  selfJump.at(1, 2) = effectCell(0x0F, 0x00);
  module.patterns = {nested, sameRow, selfJump};
  return module;
}

// Two patterns of 65535 rows over the full order table, with breaks into rows far
// down and jumps back, walked at one row per 3-frame tick.
XmModule hugePatterns() {
  XmModule module;
  module.channelCount = 4;
  module.defaultSpeed = 0;
  module.defaultBpm = fastestDefaultBpm;
  module.orders.assign(256, 0);
  for (int position = 1; position < 256; position += 2) module.orders[position] = 1;
  module.restartPosition = 255;
  XmPattern first = XmPattern::empty(65535, 4);
  first.at(0, 0) = noteCell(49);
  first.at(100, 1) = effectCell(0x0D, 0x63);
  first.at(65534, 2) = effectCell(0x0E, 0x6F);
  XmPattern second = XmPattern::empty(65535, 4);
  second.at(10, 0) = effectCell(0x0B, 0xFF);
  module.patterns = {first, second};
  module.instruments.push_back(loopedInstrument(XmLoop::PingPong, 0, 1, 1));
  return module;
}

// Pitches at both ends of both tables: the lowest and highest notes pushed further
// by relative note, finetune, slides without limit, arpeggio and vibrato, on samples
// whose loops are one value long (a boundary on every frame).
XmModule extremePitches(uint16_t flags) {
  XmModule module;
  module.flags = flags;
  module.channelCount = fullChannels;
  module.defaultSpeed = 31;
  module.defaultBpm = fastestDefaultBpm;
  XmInstrument forward = loopedInstrument(XmLoop::Forward, 0, 1, 1);
  forward.samples[0].relativeNote = 127;
  forward.samples[0].finetune = 127;
  forward.vibratoDepth = 15;
  forward.vibratoRate = 63;
  XmInstrument pingPong = loopedInstrument(XmLoop::PingPong, 1, 1, 3);
  pingPong.samples[0].relativeNote = -128;
  pingPong.samples[0].finetune = -128;
  module.instruments = {forward, pingPong};
  const XmCell cells[] = {noteCell(96, 0x01, 0xFF), noteCell(1, 0x02, 0xFF),  noteCell(96, 0x00, 0xFF),
                          noteCell(1, 0x00, 0xFF),  noteCell(96, 0x04, 0xFF), noteCell(1, 0x0E, 0x2F),
                          noteCell(96, 0x0E, 0x1F), noteCell(96, 0x21, 0x1F), noteCell(1, 0x21, 0x2F),
                          noteCell(96, 0x09, 0xFF), noteCell(1, 0x03, 0xFF),  noteCell(96, 0x0E, 0x5F)};
  XmPattern pattern = XmPattern::empty(4, fullChannels);
  for (int channel = 0; channel < fullChannels; ++channel) {
    XmCell cell = cells[channel % 12];
    cell.instrument = static_cast<uint8_t>(1 + channel % 2);
    pattern.at(0, channel) = cell;
    // The slides keep going in the rows that follow, without a new note.
    for (int row = 1; row < 4; ++row) pattern.at(row, channel) = effectCell(cell.effect, cell.effectParam);
  }
  module.patterns.push_back(pattern);
  return module;
}

// Envelopes whose points run backwards and hold values out of range, with loops and
// sustain beyond the points, moved about by Lxx on every row.
XmModule hostileEnvelopes() {
  XmModule module = busySong(fullChannels, 8);
  module.defaultSpeed = 1;
  module.defaultBpm = bpmStoredAsMinusOne;
  XmInstrument& instrument = module.instruments[0];
  instrument.volumeEnvelope = {.points = {{0, 40000}, {65535, 64}, {10, 0}, {0, 65535}},
                               .pointCountField = 200,
                               .sustainPoint = 250,
                               .loopStart = 3,
                               .loopEnd = 1,
                               .type = 7};
  instrument.panningEnvelope = {
      .points = {{65535, 0}, {0, 255}}, .pointCountField = 12, .loopStart = 0, .loopEnd = 11, .type = 5};
  instrument.fadeout = 0xFFFF;
  for (int row = 0; row < 8; ++row)
    module.patterns[0].at(row, 1) = effectCell(0x15, static_cast<uint8_t>(row * 37));
  return module;
}

struct PathologicalCase {
  const char* name;
  XmModule module;
};

TEST(PathologicalRender, EveryBlockTakesBoundedTimeWhateverTheSongHolds) {
  const RenderResult reference = renderOffline("reference", buildXm(referenceSong()), blocksPerSong, 600.0);
  ASSERT_TRUE(reference.loaded);
  ASSERT_GT(reference.nonZeroValues, 0);
  const double bound = 10.0 * reference.seconds + 2.0;

  const std::vector<PathologicalCase> cases = {
      {"every tick a row at the shortest tick", everyTickARowAtTheShortestTick()},
      {"speed 0 with delays and tempo extremes", speedZeroWithDelaysAndTempoExtremes()},
      {"loops and jumps in every combination", loopsAndJumpsInEveryCombination()},
      {"huge patterns", hugePatterns()},
      {"extreme pitches, linear table", extremePitches(1)},
      {"extreme pitches, Amiga table", extremePitches(0)},
      {"hostile envelopes", hostileEnvelopes()},
  };
  for (const PathologicalCase& song : cases) {
    SCOPED_TRACE(song.name);
    RenderResult result = renderOffline(song.name, buildXm(song.module), blocksPerSong, 10.0 * bound + 60.0);
    ASSERT_TRUE(result.loaded);
    EXPECT_GT(result.rowTicks, 0);
    EXPECT_LT(result.seconds, bound) << "reference " << reference.seconds << " s";
    std::printf("%-40s %8.3f s  slowest block %6.2f ms  rows %7d  (reference %.3f s)\n", song.name,
                result.seconds, result.slowestBlock * 1000.0, result.rowTicks, reference.seconds);
  }
}

}  // namespace
}  // namespace vantor
