// vantor info tells a composer where a song sounds different from trackers. Each small
// song below uses one such construct, on channel 3 of order 1, and info names exactly
// that construct at its cell; a song of near misses names none.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

constexpr uint8_t C4 = 49, D4 = 51, E4 = 53;

struct PlacedCell {
  int row;
  int channel;
  xm::XmCell cell;
};

xm::XmInstrument loopingInstrument(int length) {
  std::vector<int> saw(length);
  for (int i = 0; i < length; ++i) saw[i] = (i * 8) % 256 - 128;
  xm::XmSample sample = xm::XmSample::eightBit(saw);
  sample.loop = xm::XmLoop::Forward;
  sample.loopLength = static_cast<uint32_t>(length);
  return xm::XmInstrument::withSample(sample);
}

// Five channels at speed 6; order 0 plays an empty pattern, order 1 the cells.
// Instrument 1 loops 64 values, instrument 2 loops 600, instrument 3 plays 16 once.
xm::XmModule songWith(const std::vector<PlacedCell>& cells) {
  xm::XmModule module;
  module.channelCount = 5;
  module.orders = {0, 1};
  module.patterns = {xm::XmPattern::empty(8, 5), xm::XmPattern::empty(8, 5)};
  for (const PlacedCell& placed : cells) module.patterns[1].at(placed.row, placed.channel) = placed.cell;
  module.instruments = {loopingInstrument(64), loopingInstrument(600),
                        xm::XmInstrument::withSample(xm::XmSample::eightBit(std::vector<int>(16, 100)))};
  return module;
}

// The lines under "sounds different from trackers:", or its one line when nothing is found.
std::vector<std::string> differenceLines(const std::string& info) {
  std::vector<std::string> lines;
  std::size_t at = info.find("sounds different from trackers:");
  if (at == std::string::npos) return lines;
  std::size_t end = info.find('\n', at);
  if (info.compare(at, end - at, "sounds different from trackers:") != 0) return {info.substr(at, end - at)};
  for (at = end + 1; info.compare(at, 2, "  ") == 0; at = end + 1) {
    end = info.find('\n', at);
    lines.push_back(info.substr(at + 2, end - at - 2));
  }
  return lines;
}

class TrackerDifferencesTest : public ::testing::Test {
 protected:
  std::vector<std::string> differencesOf(const xm::XmModule& module) {
    writeFile(directory_ / "song.xm", xm::buildXm(module));
    ToolRun info = runTool({"info", (directory_ / "song.xm").string()});
    EXPECT_EQ(info.exitCode, 0) << info.errors;
    return differenceLines(info.output);
  }

  TemporaryDirectory directory_;
};

TEST_F(TrackerDifferencesTest, EachConstructIsNamedAtItsCell) {
  struct Case {
    std::vector<PlacedCell> cells;
    std::function<void(xm::XmModule&)> change;
    std::string named;  // the start of the one line expected
  };
  const Case cases[] = {
      {{{0, 3, {C4, 1}}, {2, 3, {C4, 1, 0, 0x9, 0x01}}},  // 256 frames into a sample of 64
       nullptr,
       "9xx beyond the sample's loop end: 1 cell (order 1 row 2 channel 3) — "},
      {{{1, 3, {0, 0, 0, 0xE, 0x60}}, {2, 3, {0, 0, 0, 0xE, 0x61}}},
       nullptr,
       "E6x loop followed by the pattern's natural end: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF4}}},
       nullptr,
       "volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — "},
      // Counted on from the note, the fourth tick after it is tick 2 of row 1; vantor retriggers at tick 4.
      {{{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       nullptr,
       "Rxy on from row to row: 1 cell (order 1 row 1 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0x90}}},
       nullptr,
       "E90 without a note: 1 cell (order 1 row 2 channel 3) — "},
      // Volume 32 until the delayed note resets it to the sample's 64.
      {{{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       nullptr,
       "EDx without an instrument number: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1}}, {1, 3, {0, 0, 0, 0xE, 0x31}}, {2, 3, {E4, 0, 0, 0x3, 0x08}}},
       nullptr,
       "E3x (glissando) before a tone portamento: 1 cell (order 1 row 1 channel 3) — "},
      {{{0, 3, {C4, 1, 0, 0x15, 0x08}}},
       [](xm::XmModule& module) {
         module.instruments[0].panningEnvelope = {.points = {{0, 0}, {16, 64}}, .type = 1};
       },
       "Lxx with a panning envelope: 1 cell (order 1 row 0 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {0, 2}}},
       nullptr,
       "an instrument number without a note: 1 cell (order 1 row 2 channel 3) — "},
      {{},
       [](xm::XmModule& module) { module.instruments[1].samples[0].typeField = 0x21; },
       "stereo samples: 1 sample (instrument 2 sample 0) — "},
      {{}, [](xm::XmModule& module) { module.version = 0x0103; }, "XM version older than 1.04: 1.03 — "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    xm::XmModule module = songWith(c.cells);
    if (c.change) c.change(module);
    std::vector<std::string> lines = differencesOf(module);
    ASSERT_EQ(lines.size(), 1u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0].substr(0, c.named.size()), c.named);
  }
}

// Each construct's near miss: where trackers and vantor play alike.
TEST_F(TrackerDifferencesTest, NearMissesAreNotNamed) {
  xm::XmModule module = songWith({
      {0, 0, {C4, 2}},
      {2, 0, {C4, 2, 0, 0x9, 0x01}},  // 256 frames into a loop of 600
      {5, 0, {0, 0, 0, 0xE, 0x31}},   // glissando, but no tone portamento follows
      {0, 1, {0, 0, 0, 0xE, 0x60}},
      {1, 1, {0, 0, 0, 0xE, 0x61}},    // the loop starts at row 0
      {4, 1, {C4, 1, 0, 0x15, 0x08}},  // Lxx, and the instrument has no panning envelope
      {0, 2, {C4, 1, 0x30}},           // volume 32: a reset would change it
      {2, 2, {C4, 0, 0xF4}},           // Fx to the pitch that plays
      {4, 2, {D4, 1, 0, 0xE, 0xD2}},   // EDx with an instrument number
      {0, 3, {C4, 1, 0, 0x1B, 0x04}},  // Rxy on one row only
      {4, 3, {C4, 1, 0, 0xE, 0x90}},   // E90 with a note
      {6, 3, {0, 1}},                  // the instrument that plays, without a note
      {0, 4, {C4, 3}},
      {4, 4, {C4, 3, 0, 0x9, 0x01}},  // beyond the end, but the one-shot sample has ended
  });
  EXPECT_EQ(differencesOf(module),
            std::vector<std::string>{
                "sounds different from trackers: none — the song plays as trackers play it, as far as these "
                "rules go"});
}

}  // namespace
}  // namespace vantor::test
