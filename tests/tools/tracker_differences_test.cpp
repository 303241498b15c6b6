// vantor info and check tell a composer where a song sounds different from trackers.
// Each small song below uses one such construct, on channel 3 of order 1, and info
// names exactly that construct at its cell; a song of near misses names none.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

constexpr uint8_t C4 = 49, D4 = 51, E4 = 53, B7 = 96, keyOff = 97;

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
// Instrument 1 loops 64 values, instrument 2 loops 600, instrument 3 plays 16 once,
// instrument 4 loops 64 values under a volume envelope that holds at its sustain.
xm::XmModule songWith(const std::vector<PlacedCell>& cells) {
  xm::XmModule module;
  module.channelCount = 5;
  module.orders = {0, 1};
  module.patterns = {xm::XmPattern::empty(8, 5), xm::XmPattern::empty(8, 5)};
  for (const PlacedCell& placed : cells) module.patterns[1].at(placed.row, placed.channel) = placed.cell;
  xm::XmInstrument enveloped = loopingInstrument(64);
  enveloped.volumeEnvelope = {.points = {{0, 64}, {4, 48}, {40, 0}}, .sustainPoint = 1, .type = 3};
  module.instruments = {loopingInstrument(64), loopingInstrument(600),
                        xm::XmInstrument::withSample(xm::XmSample::eightBit(std::vector<int>(16, 100))),
                        enveloped};
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

const std::vector<std::string> nothingFound = {
    "sounds different from trackers: none — the song plays as trackers play it, as far as these rules go"};

class TrackerDifferencesTest : public ::testing::Test {
 protected:
  std::string songFile(const xm::XmModule& module, const std::string& name = "song.xm") {
    writeFile(directory_ / name, xm::buildXm(module));
    return (directory_ / name).string();
  }

  std::vector<std::string> differencesOf(const xm::XmModule& module) {
    ToolRun info = runTool({"info", songFile(module)});
    EXPECT_EQ(info.exitCode, 0) << info.errors;
    return differenceLines(info.output);
  }

  TemporaryDirectory directory_;
};

struct Case {
  std::vector<PlacedCell> cells;
  std::function<void(xm::XmModule&)> change;
  std::string named;  // the start of the one line expected
};

TEST_F(TrackerDifferencesTest, EachConstructIsNamedAtItsCell) {
  auto speed = [](int speed) { return [speed](xm::XmModule& module) { module.defaultSpeed = speed; }; };
  const std::vector<Case> cases = {
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
      // Volume 32 until the delayed note sets the sample's 64.
      {{{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       nullptr,
       "EDx without an instrument number: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1}}, {1, 3, {0, 0, 0, 0xE, 0x31}}, {2, 3, {E4, 0, 0, 0x3, 0x08}}},
       nullptr,
       "E3x (glissando) before a tone portamento: 1 cell (order 1 row 1 channel 3) — "},
      {{{0, 3, {C4, 1, 0, 0x15, 0x08}}},
       [](xm::XmModule& module) {
         module.instruments[0].panningEnvelope = {.points = {{0, 0}, {16, 64}}, .type = 1};
         module.instruments[0].volumeEnvelope = {.points = {{0, 64}, {16, 64}}, .type = 3};
       },
       "Lxx with a panning envelope: 1 cell (order 1 row 0 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {0, 2}}},
       nullptr,
       "an instrument number without a note: 1 cell (order 1 row 2 channel 3) — "},
      {{},
       [](xm::XmModule& module) { module.instruments[1].samples[0].typeField = 0x21; },
       "stereo samples: 1 sample (instrument 2 sample 0) — "},
      {{}, [](xm::XmModule& module) { module.version = 0x0103; }, "XM version older than 1.04: 1.03 — "},
      {{},
       [](xm::XmModule& module) { module.patterns[1].headerLength = 10; },
       "a pattern header length other than 9, or a packed size other than its cells': pattern 1 of the file: "
       "header length 10 — "},
      // On ticks 1 and 2 trackers still sound, counting from the first effect tick.
      {{{0, 3, {C4, 1, 0, 0x1D, 0x11}}}, nullptr, "Txy (tremor): 1 cell (order 1 row 0 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {D4, 1, 0, 0xE, 0xD0}}}, nullptr, "ED0: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {D4, 1, 0, 0xE, 0xD8}}, {2, 4, {0, 0, 0, 0xE, 0xE1}}},
       nullptr,
       "EDx at or past the speed in a row that EEx lengthens: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       nullptr,
       "Kxx with xx above 0, instrument without volume envelope: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1, 0, 0x14, 0x00}}},
       nullptr,
       "K00 with a note, instrument without volume envelope: 1 cell (order 1 row 0 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {0, 1, 0, 0x14, 0x00}}},
       nullptr,
       "a key-off with an instrument number, instrument without volume envelope: 1 cell (order 1 row 2 "
       "channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {keyOff}}, {3, 3, {0, 0, 0x30}}},
       nullptr,
       "a volume after a key-off, instrument without volume envelope: 1 cell (order 1 row 3 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {keyOff, 0, 0, 0xE, 0xD2}}},
       nullptr,
       "a key-off with EDx, instrument without volume envelope: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0xC0}}}, nullptr, "EC0: 1 cell (order 1 row 2 channel 3) — "},
      // Trackers tune the note a semitone down.
      {{{0, 3, {C4, 1, 0, 0xE, 0x50}}},
       nullptr,
       "E5x (set finetune) with a note: 1 cell (order 1 row 0 channel 3) — "},
      // The sample's own finetune is a semitone down; E58 makes it 8 in vantor.
      {{{0, 3, {0, 0, 0, 0xE, 0x58}}, {2, 3, {C4, 1}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].finetune = -128; },
       "a note of a sample that E5x retuned earlier: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {B7, 1}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].relativeNote = 24; },
       "a note beyond C-0..A#9 through the sample's relative note: 1 cell (order 1 row 0 channel 3) — "},
      // Channel 2 takes G10 only on the next row's first tick.
      {{{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x10}}},
       nullptr,
       "Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2}}},
       nullptr,
       "a note after a 9xx that started no note: 1 cell (order 1 row 2 channel 3) — "},
      // At speed 2 vantor slides twice a row, trackers once: 34 against 49.
      {{{0, 3, {C4, 1}}, {1, 3, {0, 0, 0x6F}}},
       speed(2),
       "volume-column slide (6x, 7x, Dx, Ex): 1 cell (order 1 row 1 channel 3) — "},
      // A square tremolo at its full height where vantor's row starts; C30 ends it alike.
      {{{0, 3, {C4, 1, 0x30, 0xE, 0x72}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}, {2, 3, {0, 0, 0, 0xC, 0x30}}},
       nullptr,
       "7xy (tremolo): 1 cell (order 1 row 1 channel 3) — "},
      // A sine tremolo that starts at 0 and ends at its height, 64 against 32.
      {{{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}},
       nullptr,
       "7xy (tremolo) ending: 1 cell (order 1 row 1 channel 3) — "},
      {{{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0xE, 0xBF}}, {2, 3, {0, 0, 0, 0xE, 0xA0}}},
       nullptr,
       "EA0 or EB0 after a fine slide the other way: 1 cell (order 1 row 2 channel 3) — "},
      {{{0, 3, {C4, 1, 0, 0x0, 0x37}}},
       [](xm::XmModule& module) { module.tracker = "OpenMPT 1.31.06.00"; },
       "0xy (arpeggio) in a song OpenMPT saved: 1 cell (order 1 row 0 channel 3) — "},
      {{},
       [](xm::XmModule& module) {
         module.channelCount = 33;
         module.patterns = {xm::XmPattern::empty(8, 33), xm::XmPattern::empty(8, 33)};
       },
       "more than 32 channels: 33 in the file — "},
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
      {0, 0, {C4, 2, 0, 0x10, 0x30}},  // Gxx in the leftmost channel reaches every channel at once
      {2, 0, {C4, 2, 0, 0x9, 0x01}},   // 256 frames into a loop of 600, with its note
      {3, 0, {0, 0, 0x8F}},            // a fine volume-column slide, on the row tick in both
      {5, 0, {0, 0, 0, 0xE, 0x31}},    // glissando, but no tone portamento follows
      {6, 0, {0, 0, 0, 0xE, 0xD0}},    // ED0 on a row that changes nothing
      {0, 1, {0, 0, 0, 0xE, 0x60}},
      {1, 1, {0, 0, 0, 0xE, 0x61}},    // the loop starts at row 0
      {3, 1, {0, 0, 0, 0x1D, 0x11}},   // tremor on a channel that plays nothing
      {4, 1, {C4, 1, 0, 0x15, 0x08}},  // Lxx, and the instrument has no panning envelope
      {7, 1, {C4, 5, 0, 0x15, 0x08}},  // Lxx, the volume envelope without sustain: trackers leave both
      {5, 1, {0, 0, 0, 0x14, 0x01}},   // K01: one tick passes as a click
      {6, 1, {C4, 1, 0, 0xE, 0xD8}},   // EDx past the speed in a row without EEx: played by none
      {0, 2, {C4, 1, 0x30}},           // volume 32: a reset would change it
      {2, 2, {C4, 0, 0xF4}},           // Fx to the pitch that plays
      {3, 2, {0, 0, 0, 0xE, 0xB4}},
      {4, 2, {D4, 1, 0, 0xE, 0xD2}},   // EDx with an instrument number
      {5, 2, {0, 0, 0, 0xE, 0xB0}},    // EB0 after EBx
      {6, 2, {0, 0, 0, 0x0, 0x33}},    // arpeggio in a song that OpenMPT did not save
      {0, 3, {C4, 1, 0, 0x1B, 0x04}},  // Rxy on one row only
      {4, 3, {C4, 1, 0, 0xE, 0x90}},   // E90 with a note
      {5, 3, {C4, 1, 0, 0xE, 0x58}},   // E58 with a note: the sample's own tuning in both
      {6, 3, {0, 1}},                  // the instrument that plays, without a note
      {0, 4, {C4, 4, 0, 0x14, 0x00}},  // K00 with a note under a volume envelope
      {1, 4, {0, 4, 0, 0x14, 0x00}},   // and with its instrument number
      {2, 4, {keyOff, 0, 0, 0xE, 0xD2}},
      {3, 4, {0, 0, 0x30}},  // a volume after a key-off under a volume envelope
      {4, 4, {C4, 3}},
      {6, 4, {C4, 3, 0, 0x9, 0x01}},  // beyond the end, but the one-shot sample has ended
  });
  module.instruments.push_back(module.instruments[0]);
  module.instruments[4].panningEnvelope = {.points = {{0, 0}, {16, 64}}, .type = 1};
  module.instruments[4].volumeEnvelope = {.points = {{0, 64}, {16, 64}}, .type = 1};
  EXPECT_EQ(differencesOf(module), nothingFound);

  // A loop whose first row the next pattern does not have: both start that pattern at row 0.
  xm::XmModule shortNext = songWith({});
  shortNext.orders = {1, 0};
  shortNext.patterns[0] = xm::XmPattern::empty(4, 5);
  shortNext.patterns[1].at(5, 3) = {0, 0, 0, 0xE, 0x60};
  shortNext.patterns[1].at(6, 3) = {0, 0, 0, 0xE, 0x61};
  EXPECT_EQ(differencesOf(shortNext), nothingFound);

  // 32 channels are kept whole.
  module.channelCount = 32;
  module.patterns = {xm::XmPattern::empty(8, 32), xm::XmPattern::empty(8, 32)};
  EXPECT_EQ(differencesOf(module), nothingFound);
}

// Where the two trackers' players follow the tracker that saved the song, a rule is named
// only for the songs whose tracker both play otherwise.
TEST_F(TrackerDifferencesTest, RulesThatFollowTheSongsTrackerAreNamedForItsSongsOnly) {
  struct Case {
    std::vector<PlacedCell> cells;
    const char* namedFor;  // the tracker whose songs hear it
    std::string named;
  };
  const Case cases[] = {
      {{{0, 3, {C4, 1}}, {2, 3, {D4, 1, 0, 0xE, 0xD8}}, {2, 4, {0, 0, 0, 0xE, 0xE1}}},
       "OpenMPT 1.31.06.00",
       "EDx at or past the speed in a row that EEx lengthens: 1 cell"},
      {{{0, 3, {C4, 1}}, {2, 3, {keyOff, 1}}},
       "OpenMPT 1.31.06.00",
       "a key-off with an instrument number, instrument without volume envelope: 1 cell"},
      {{{0, 3, {C4, 1, 0, 0x0, 0x37}}},
       "OpenMPT 1.31.06.00",
       "0xy (arpeggio) in a song OpenMPT saved: 1 cell"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    xm::XmModule module = songWith(c.cells);
    module.tracker = c.namedFor;
    std::vector<std::string> lines = differencesOf(module);
    ASSERT_EQ(lines.size(), 1u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0].substr(0, c.named.size()), c.named);
    module.tracker = "FastTracker v2.00";
    EXPECT_EQ(differencesOf(module), nothingFound);
  }
}

// The loader's rules name the file: a packed size that does not match the cells, and
// an instrument of more than 16 samples, which the loader refuses.
TEST_F(TrackerDifferencesTest, TheLoadersRulesNameTheFile) {
  xm::XmModule module = songWith({});
  module.patterns[0].packedSizeField = 41;  // its 40 cells take 40 bytes
  EXPECT_EQ(
      differencesOf(module)[0].substr(0, 128),
      "a pattern header length other than 9, or a packed size other than its cells': pattern 0 of the file: "
      "packed size 41 for 40 bytes");

  xm::XmModule refused = songWith({});
  refused.instruments[0].samples.assign(17, refused.instruments[0].samples[0]);
  std::string song = songFile(refused);
  ToolRun check = runTool({"check", song});
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_NE(check.errors.find(song + ": not loaded: the loader refuses '" + song + "': refused: "),
            std::string::npos)
      << check.errors;
  EXPECT_NE(check.errors.find(
                song + ": an instrument holds at most 16 samples here; trackers that write more play them"),
            std::string::npos)
      << check.errors;
}

// info shows how many cells, and the first three of them.
TEST_F(TrackerDifferencesTest, InfoShowsTheFirstThreeCells) {
  auto retriggersWithoutNote = [&](int rows) {
    std::vector<PlacedCell> cells = {{0, 3, {C4, 1}}};
    for (int row = 1; row <= rows; ++row) cells.push_back({row, 3, {0, 0, 0, 0xE, 0x90}});
    std::vector<std::string> lines = differencesOf(songWith(cells));
    return lines.size() == 1 ? lines[0].substr(0, lines[0].find(" — ")) : testing::PrintToString(lines);
  };
  EXPECT_EQ(retriggersWithoutNote(3),
            "E90 without a note: 3 cells (order 1 row 1 channel 3, order 1 row 2 channel 3, order 1 row 3 "
            "channel 3)");
  EXPECT_EQ(retriggersWithoutNote(4),
            "E90 without a note: 4 cells (order 1 row 1 channel 3, order 1 row 2 channel 3, order 1 row 3 "
            "channel 3, "
            "...)");
}

// check: one line per finding in the form editors read, the songs that do not load with
// the reason, a summary; every song is read, and the exit code says whether anything
// was found.
TEST_F(TrackerDifferencesTest, CheckListsEveryFindingAndEverySongThatDoesNotLoad) {
  std::string missing = (directory_ / "missing.xm").string();
  std::string offset = songFile(
      songWith({{0, 3, {C4, 1}}, {2, 3, {C4, 1, 0, 0x9, 0x01}}, {4, 3, {C4, 1, 0, 0x9, 0x01}}}), "offset.xm");
  xm::XmModule stereo = songWith({});
  stereo.instruments[1].samples[0].typeField = 0x21;
  std::string stereoFile = songFile(stereo, "stereo.xm");
  std::string clean = songFile(songWith({{0, 3, {C4, 1}}}), "clean.xm");

  ToolRun run = runTool({"check", missing, offset, stereoFile, clean});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, offset +
                            ":1:2:3: 9xx beyond the sample's loop end: vantor restarts the playing sample; "
                            "trackers are silent\n" +
                            offset +
                            ":1:4:3: 9xx beyond the sample's loop end: vantor restarts the playing sample; "
                            "trackers are silent\n" +
                            stereoFile +
                            ": stereo samples (1 sample (instrument 2 sample 0)): vantor plays both channels "
                            "one after the other "
                            "as one mono sample; trackers play them in stereo\n"
                            "4 songs checked: 3 findings in 2 songs, 1 song not loaded\n");
  EXPECT_EQ(run.errors, missing + ": not loaded: cannot read '" + missing + "': No such file or directory\n");

  // A song that does not load fails the check even where the others are clean.
  EXPECT_EQ(runTool({"check", missing, clean}).exitCode, 1);
  ToolRun nothing = runTool({"check", clean, "--demo"});
  EXPECT_EQ(nothing.exitCode, 0) << nothing.output << nothing.errors;
  EXPECT_EQ(nothing.output, "2 songs checked: nothing sounds different from trackers\n");

  for (const std::vector<std::string>& usage :
       {std::vector<std::string>{"check"}, {"check", clean, "--seconds", "1"}}) {
    ToolRun wrong = runTool(usage);
    EXPECT_EQ(wrong.exitCode, 2) << testing::PrintToString(usage);
    EXPECT_TRUE(wrong.output.empty()) << wrong.output;
  }
}

}  // namespace
}  // namespace vantor::test
