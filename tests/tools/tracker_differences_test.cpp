// vantor info and check tell a composer where a song sounds different from trackers.
// Each rule has a small song that uses its construct, on channel 3 of order 1, where info
// names exactly that construct at its cell, and a near miss: the closest song that
// vantor and trackers play alike, where info names nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

constexpr uint8_t C4 = 49, D4 = 51, E4 = 53, C6 = 73, A7 = 94, B7 = 96, keyOff = 97;

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

// A rule's song where it is heard, named at one cell or for the file, and its near miss:
// the closest song where vantor and trackers play alike, named nowhere.
struct RuleCase {
  std::string named;  // the start of the one line expected
  std::vector<PlacedCell> heard;
  std::vector<PlacedCell> nearMiss;
  std::function<void(xm::XmModule&)> both;  // applied to both songs
  std::function<void(xm::XmModule&)> nearOnly = nullptr;
};

auto setSpeed(int speed) {
  return [speed](xm::XmModule& module) { module.defaultSpeed = static_cast<uint16_t>(speed); };
}

// The Amiga frequency table (flags 0) at a speed.
auto amigaTableAtSpeed(int speed) {
  return [speed](xm::XmModule& module) {
    module.flags = 0;
    module.defaultSpeed = static_cast<uint16_t>(speed);
  };
}

// Instrument `index` plays 600 values, the first `attack` of them once before the loop:
// at C-4, 120 last 14 ms; 60 last 7 ms, a start over before a listener tells where the
// sample started.
auto attackBeforeLoop(int index, uint32_t attack) {
  return [index, attack](xm::XmModule& module) {
    xm::XmSample& sample = module.instruments[static_cast<std::size_t>(index)].samples[0];
    sample = loopingInstrument(600).samples[0];
    sample.loopStart = attack;
    sample.loopLength = 600 - attack;
  };
}

// Instrument `index` plays 4000 values once (480 ms at C-4): a saw of 32, or noise (a
// drum's hiss, which has no pitch to hear out of tune), tuned by `finetune`.
auto playedOnce(int index, bool noise, int8_t finetune = 0) {
  return [index, noise, finetune](xm::XmModule& module) {
    std::vector<int> values(4000);
    uint32_t state = 12345;
    for (std::size_t i = 0; i < values.size(); ++i) {
      state = state * 1103515245u + 12345u;
      values[i] = noise ? static_cast<int>(state >> 24) - 128 : static_cast<int>(i % 32) * 8 - 128;
    }
    xm::XmSample sample = xm::XmSample::eightBit(values);
    sample.finetune = finetune;
    module.instruments[static_cast<std::size_t>(index)].samples[0] = sample;
  };
}

// At 90 bpm (a tick of 28 ms), where retriggers two ticks apart lie 56 ms apart; besides
// what `then` does to the song.
std::function<void(xm::XmModule&)> slowRetriggers(std::function<void(xm::XmModule&)> then, int bpm = 90) {
  return [then, bpm](xm::XmModule& module) {
    module.defaultBpm = static_cast<uint16_t>(bpm);
    if (then) then(module);
  };
}

// Instrument `index`'s volume envelope holds 64 for eight ticks, then falls to 16, where it
// sustains: a K00 that starts it again is 12 dB above trackers' release where it holds.
auto fallingToItsSustain(int index) {
  return [index](xm::XmModule& module) {
    module.instruments[static_cast<std::size_t>(index)].volumeEnvelope = {
        .points = {{0, 64}, {8, 64}, {10, 16}}, .sustainPoint = 2, .type = 3};
  };
}

// The same envelope starting at 16, where it holds: started again, it sounds as held.
auto startingWhereItHolds(int index) {
  return [index](xm::XmModule& module) {
    xm::XmEnvelope& envelope = module.instruments[static_cast<std::size_t>(index)].volumeEnvelope;
    envelope.points[0].y = 16;
    envelope.points[1].y = 16;
  };
}

// FastTracker 2 pads the song's title with spaces: twenty characters leave no zero byte.
constexpr const char* fastTrackerTitle = "a title of twenty ch";

std::vector<RuleCase> ruleCases() {
  xm::XmCell E60{0, 0, 0, 0xE, 0x60}, E61{0, 0, 0, 0xE, 0x61}, E31{0, 0, 0, 0xE, 0x31},
      E30{0, 0, 0, 0xE, 0x30};
  return {
      {"9xx beyond the sample's loop end: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {C4, 1, 0, 0x9, 0x01}}},  // 256 frames into a sample of 64
       {{0, 3, {C4, 2}}, {2, 3, {C4, 2, 0, 0x9, 0x01}}},  // into a loop of 600
       nullptr},
      {"E6x loop followed by the pattern's natural end: 1 cell (order 1 row 2 channel 3) — ",
       {{1, 3, E60}, {2, 3, E61}},
       {{0, 3, E60}, {1, 3, E61}},  // the loop starts at row 0
       nullptr},
      // Trackers take four ticks to slide to E-4 at F1's speed, 70 ms; at F4's, one.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1}}},
       {{0, 3, {C4, 1}}, {2, 3, {C4, 0, 0xF1}}},  // to the pitch that plays
       nullptr},
      // Nor where the note before plays an empty sample: nothing sounds to slide.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1}}},
       {{0, 3, {C4, 5}}, {2, 3, {E4, 0, 0xF1}}},
       [](xm::XmModule& module) {
         module.instruments.push_back(xm::XmInstrument::withSample(xm::XmSample::eightBit({})));
       }},
      // F4 reaches E-4 in one tick: at 50 bpm that lasts 50 ms, at 51 bpm 49 ms.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF4}}},
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF4}}},
       [](xm::XmModule& module) { module.defaultBpm = 50; },
       [](xm::XmModule& module) { module.defaultBpm = 51; }},
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1}}},
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF4}}},
       nullptr},
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1}}},
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1}}},
       playedOnce(0, false),
       playedOnce(0, true)},  // noise slides unheard
      // F0 with no speed remembered: trackers never slide, so 10 periods (16 cents) from an
      // X2A are heard even at 255 bpm, ten ticks of 9.8 ms; X29's 9 periods (14 cents) are not.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {1, 3, {0, 0, 0, 0x21, 0x2A}}, {2, 3, {C4, 0, 0xF0}}},
       {{0, 3, {C4, 1}}, {1, 3, {0, 0, 0, 0x21, 0x29}}, {2, 3, {C4, 0, 0xF0}}},
       [](xm::XmModule& module) { module.defaultBpm = 255; }},
      // Counted on from the note, the fourth tick after it is tick 2 of row 1; vantor retriggers at tick 4,
      // 56 ms later at 90 bpm (a restart less than 50 ms apart is not told from it).
      // Instrument 1's sample starts with 14 ms before its loop, which each retrigger plays.
      {"Rxy on from row to row: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}},
       slowRetriggers(attackBeforeLoop(0, 120))},
      {"Rxy on from row to row: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       slowRetriggers(attackBeforeLoop(0, 120)), slowRetriggers(nullptr, 110)},  // 45 ms apart
      // At speed 3 trackers retrigger every second tick on, vantor at each row's tick 2: trackers
      // alone at row 2's tick 0 are heard (their next lone one is 56 ms later), while row 1's
      // and row 3's lone ones are matched a tick later.
      {"Rxy on from row to row: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x02}}, {1, 3, {0, 0, 0, 0x1B, 0x02}}, {2, 3, {0, 0, 0, 0x1B, 0x02}},
        {3, 3, {0, 0, 0, 0x1B, 0x02}}},
       {{0, 3, {C4, 1, 0, 0x1B, 0x02}}, {1, 3, {0, 0, 0, 0x1B, 0x02}}},
       [](xm::XmModule& module) {
         slowRetriggers(attackBeforeLoop(0, 120))(module);
         module.defaultSpeed = 3;
       }},
      // The count waits over row 1, which has no Rxy: tick 1 of row 0 to 4, tick 5 and
      // row 2's first three make the next four, so trackers retrigger at its tick 2, vantor at
      // tick 4. A note in row 2 starts the count again.
      {"Rxy on from row to row: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {2, 3, {0, 0, 0, 0x1B, 0x04}}},
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {2, 3, {C4, 1, 0, 0x1B, 0x04}}},
       slowRetriggers(attackBeforeLoop(0, 120))},
      // Without a note in row 0 xmp starts no count (it never retriggers there), openmpt123
      // counts from row 0: the players disagree, and nothing is named.
      {"Rxy on from row to row: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {2, 3, {0, 0, 0, 0x1B, 0x04}}},
       {{0, 3, {0, 0, 0, 0x1B, 0x04}}, {2, 3, {0, 0, 0, 0x1B, 0x04}}},
       [](xm::XmModule& module) {
         slowRetriggers(attackBeforeLoop(0, 120))(module);
         module.patterns[0].at(7, 3) = {C4, 1};  // the note plays on into order 1
       }},
      // Instrument 4's envelope restarts with each retrigger. After a key-off the released
      // note's restart is left out (generated songs sound alike there in all three).
      {"Rxy on from row to row: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4, 0, 0x1B, 0x04}}, {2, 3, {0, 0, 0, 0x1B, 0x04}}},
       {{0, 3, {C4, 4, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x14, 0x00}}, {2, 3, {0, 0, 0, 0x1B, 0x04}}},
       slowRetriggers(nullptr)},
      // Trackers finish the interval of 5 they started before they take y = 6: with the count
      // at 3 after row 0 they retrigger at tick 2 of row 2, four ticks before vantor, 56 ms at
      // 179 bpm (counted to 6 it would be tick 3, 42 ms); at 215 bpm four ticks last 47 ms.
      {"Rxy on from row to row: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x05}}, {2, 3, {0, 0, 0, 0x1B, 0x06}}},
       {{0, 3, {C4, 1, 0, 0x1B, 0x05}}, {2, 3, {0, 0, 0, 0x1B, 0x06}}},
       [](xm::XmModule& module) {
         slowRetriggers(attackBeforeLoop(0, 120), 179)(module);
         module.defaultSpeed = 8;
       },
       slowRetriggers(nullptr, 215)},
      // A retrigger starts instrument 4's volume envelope again; without the envelope the
      // sample, one loop from its start, only jumps in phase.
      {"Rxy on from row to row: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 4, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       {{0, 3, {C4, 4, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       slowRetriggers(nullptr), [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.type = 0; }},
      // After a key-off each retrigger starts the note's fade again, also once an instrument
      // number has given the note its volume back; without the key-off it only jumps in phase.
      {"Rxy on from row to row: 2 cells (order 1 row 2 channel 3, order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x02}}, {1, 3, {keyOff, 0, 0, 0x1B, 0x02}}, {2, 3, {0, 1, 0, 0x1B, 0x02}},
        {3, 3, {0, 0, 0, 0x1B, 0x02}}},
       {{0, 3, {C4, 1, 0, 0x1B, 0x02}}, {1, 3, {0, 0, 0, 0x1B, 0x02}}, {2, 3, {0, 1, 0, 0x1B, 0x02}},
        {3, 3, {0, 0, 0, 0x1B, 0x02}}},
       [](xm::XmModule& module) { module.instruments[0].fadeout = 4000; }},
      // From a sample that loops from its start a retrigger only jumps in phase; one that
      // lowers the volume (R14) is heard all the same.
      {"Rxy on from row to row: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x14}}, {1, 3, {0, 0, 0, 0x1B, 0x14}}},
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       slowRetriggers(nullptr)},
      {"E90 without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0x90}}},
       {{0, 3, {C4, 1}}, {2, 3, {C4, 1, 0, 0xE, 0x90}}},
       nullptr},
      // A pattern played at two orders: each order's cell is named on its own.
      {"E90 without a note: 2 cells (order 0 row 2 channel 3, order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0x90}}},
       {{0, 3, {C4, 1}}, {2, 3, {C4, 1, 0, 0xE, 0x90}}},
       [](xm::XmModule& module) { module.orders = {1, 1}; }},
      // Volume 32 until the delayed note sets the sample's 64.
      {"EDx without an instrument number: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 1, 0, 0xE, 0xD2}}},
       nullptr},
      // From 52 the sample's 64 is 1.8 dB louder: not heard.
      {"EDx without an instrument number: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 1, 0x44}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       nullptr},
      // A volume column of 0F sets nothing; one of 50 sets the sample's 64 itself.
      {"EDx without an instrument number: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0x0F, 0xE, 0xD2}}},
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0x50, 0xE, 0xD2}}},
       nullptr},
      // Under G00 (from the leftmost channel, at once) every channel is silent in both.
      {"EDx without an instrument number: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       {{0, 0, {0, 0, 0, 0x10, 0x00}}, {0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       nullptr},
      {"E3x (glissando) before a tone portamento: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {1, 3, E31}, {2, 3, {E4, 0, 0, 0x3, 0x08}}},
       {{0, 3, {C4, 1}}, {1, 3, E31}, {2, 3, {E4, 0, 0, 0x4, 0x08}}},  // no tone portamento follows
       nullptr},
      {"Lxx with a panning envelope: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x15, 0x08}}},
       {{0, 3, {C4, 1, 0, 0x15, 0x08}}},
       [](xm::XmModule& module) {
         module.instruments[0].panningEnvelope = {.points = {{0, 0}, {16, 64}}, .type = 1};
         module.instruments[0].volumeEnvelope = {.points = {{0, 64}, {16, 64}}, .type = 3};
       },
       // Without a sustain point, trackers leave the panning envelope alone too.
       [](xm::XmModule& module) { module.instruments[0].volumeEnvelope.type = 1; }},
      {"Lxx to the first point of a volume envelope that sustains there: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x15, 0x00}}},
       {{0, 3, {C4, 1, 0, 0x15, 0x00}}},
       [](xm::XmModule& module) {
         module.instruments[0].volumeEnvelope = {.points = {{0, 64}, {20, 0}}, .sustainPoint = 0, .type = 3};
       },
       // A sustain point further on holds in both.
       [](xm::XmModule& module) {
         module.instruments[0].volumeEnvelope = {
             .points = {{0, 64}, {10, 32}, {20, 0}}, .sustainPoint = 1, .type = 3};
       }},
      // Instrument 4's sample at the right edge lies a quarter of the range (64 steps) from the
      // playing 191; from 192, less.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 4}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 4}}},
       [](xm::XmModule& module) {
         module.instruments[0].samples[0].panning = 191;
         module.instruments[3].samples[0].panning = 255;
       },
       [](xm::XmModule& module) { module.instruments[0].samples[0].panning = 192; }},
      // Instrument 4's sample at volume 16 is heard against trackers' 64; at 64, only its
      // envelope differs, and one player takes it as vantor does.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 4}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 4}}},
       [](xm::XmModule& module) { module.instruments[3].samples[0].volume = 16; },
       [](xm::XmModule& module) { module.instruments[3].samples[0].volume = 64; }},
      // Beside as loud a note in channel 0, instrument 4's sample volume of 36 against the
      // playing 60 moves channel 3's share of the mix from a half to a quarter, though the
      // mix moves by 1.7 dB only; at 48 its share moves to two fifths.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 0, {C4, 1}}, {2, 3, {0, 4}}},
       {{0, 3, {C4, 1}}, {2, 0, {C4, 1}}, {2, 3, {0, 4}}},
       [](xm::XmModule& module) {
         module.instruments[0].samples[0].volume = 60;
         module.instruments[3].samples[0].volume = 36;
         module.instruments[3].volumeEnvelope.type = 0;
       },
       [](xm::XmModule& module) { module.instruments[3].samples[0].volume = 48; }},
      // Channel 3 at 13 against trackers' 27 stays 6 dB apart while 12 dB below two loud
      // channels beside it (27/64 squared is more than a sixteenth of 2); a third loud one
      // takes it below 12 dB, where its change is lost among them.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 0, {C4, 2}}, {2, 1, {C4, 2}}, {2, 3, {0, 4}}},
       {{0, 3, {C4, 1}}, {2, 0, {C4, 2}}, {2, 1, {C4, 2}}, {2, 2, {C4, 2}}, {2, 3, {0, 4}}},
       [](xm::XmModule& module) {
         module.instruments[0].samples[0].volume = 27;
         module.instruments[3].samples[0].volume = 13;
         module.instruments[3].volumeEnvelope.type = 0;
       }},
      // With a key-off in the row, vantor fades at instrument 5's rate, trackers at 4's: 8 ticks
      // to silence against 64. Near miss: rates a tick apart, until a new note a row later ends
      // the fade in both.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {keyOff, 5}}},
       {{0, 3, {C4, 4}}, {2, 3, {keyOff, 5}}, {3, 3, {C4, 4}}},
       [](xm::XmModule& module) {
         module.instruments[3].fadeout = 4095;
         module.instruments.push_back(module.instruments[3]);
         module.instruments[4].fadeout = 512;
       },
       [](xm::XmModule& module) { module.instruments[4].fadeout = 3900; }},
      {"stereo samples: 1 sample (instrument 2 sample 0) — ",
       {},
       {},
       [](xm::XmModule& module) { module.instruments[1].samples[0].typeField = 0x21; },
       [](xm::XmModule& module) { module.instruments[1].samples[0].typeField = 0x01; }},
      // The first three are listed.
      {"stereo samples: 4 samples (instrument 1 sample 0, instrument 2 sample 0, instrument 3 sample 0, ...) — ",
       {},
       {},
       [](xm::XmModule& module) {
         for (xm::XmInstrument& instrument : module.instruments) instrument.samples[0].typeField = 0x20;
       },
       [](xm::XmModule& module) {
         for (xm::XmInstrument& instrument : module.instruments) instrument.samples[0].typeField.reset();
       }},
      {"XM version older than 1.04: 1.03 — ",
       {},
       {},
       [](xm::XmModule& module) { module.version = 0x0103; },
       [](xm::XmModule& module) { module.version = 0x0104; }},
      {"a pattern header length other than 9, or a packed size other than its cells': pattern 1 of the file: "
       "header length 10 — ",
       {},
       {},
       [](xm::XmModule& module) { module.patterns[1].headerLength = 10; },
       // An empty pattern stored without data is laid out right too.
       [](xm::XmModule& module) {
         module.patterns[1].headerLength = 9;
         module.patterns[0] = xm::XmPattern::withoutData(8);
       }},
      // At speed 5 trackers count the effect ticks on, on, off, off and stay silent after
      // the row, where vantor sounds again; at speed 6 both end the row sounding, and
      // trackers' gate, a tick later, sounds as long.
      {"Txy (tremor): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x11}}},
       {{0, 3, {0, 0, 0, 0x1D, 0x11}}},  // on a channel that plays nothing
       setSpeed(5)},
      {"Txy (tremor): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x11}}},
       {{0, 3, {C4, 1, 0, 0x1D, 0x11}}},
       setSpeed(5), setSpeed(6)},
      // T30 at speed 6 rests on tick 4 in vantor, on tick 5 in trackers (they count the
      // effect ticks only): a gate a tick apart, sounding in each in turn, is not told apart
      // where the next row's note sounds in both. Without it trackers stay silent.
      {"Txy (tremor): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x30}}},
       {{0, 3, {C4, 1, 0, 0x1D, 0x30}}, {1, 3, {C4, 1}}},
       nullptr},
      // T00 before any other Txy silences vantor's note on every tick, where trackers sound
      // every other tick (after the row's first two): at 255 bpm never for 25 ms in a row,
      // but over a tenth of a second half the time against none.
      {"Txy (tremor): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x00}}},
       {{0, 3, {C4, 1, 0x10, 0x1D, 0x00}}},  // at volume 0
       [](xm::XmModule& module) { module.defaultBpm = 255; }},
      // T12 then T21 at speed 4 and 180 bpm: vantor sounds again two ticks (28 ms) before
      // trackers do, though over a tenth of a second both sound about as long.
      {"Txy (tremor): 2 cells (order 1 row 0 channel 3, order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x12}}, {1, 3, {0, 0, 0, 0x1D, 0x21}}},
       {{0, 3, {C4, 1, 0x10, 0x1D, 0x12}}, {1, 3, {0, 0, 0, 0x1D, 0x21}}},  // at volume 0
       [](xm::XmModule& module) {
         module.defaultSpeed = 4;
         module.defaultBpm = 180;
       }},
      // T44 then T32 at speed 8 and 166 bpm: trackers' silence that T44 began lasts its five
      // effect ticks, three of them into the next row, and T32 changes only the phases after
      // it; vantor sounds again three ticks (45 ms) before trackers do. The note after ends
      // the tremor in both.
      {"Txy (tremor): 2 cells (order 1 row 0 channel 3, order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x44}}, {1, 3, {0, 0, 0, 0x1D, 0x32}}, {2, 3, {C4, 1}}},
       {{0, 3, {C4, 1, 0x10, 0x1D, 0x44}}, {1, 3, {0, 0, 0, 0x1D, 0x32}}, {2, 3, {C4, 1}}},  // at volume 0
       [](xm::XmModule& module) {
         module.defaultSpeed = 8;
         module.defaultBpm = 166;
       }},
      // At 250 bpm a tick lasts 441 frames and the tenth of a second looked at holds ten.
      // T19 at speed 14 sounds on ticks 0-1 and 12-13 in vantor, 0-2 and 13 in trackers:
      // over the ten ticks up to 12, vantor sounds on one, trackers on none. T18's lone ticks
      // apart (2, 11 and 13) weigh the same in both over the ten up to each.
      {"Txy (tremor): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x19}}},
       {{0, 3, {C4, 1, 0, 0x1D, 0x18}}},
       [](xm::XmModule& module) {
         module.defaultSpeed = 14;
         module.defaultBpm = 250;
       }},
      // The first tremor where the song starts with it: the share is taken over the ticks
      // played so far, and at speed 6 vantor's silent tick 2 leaves it two of three against
      // trackers' three.
      {"Txy (tremor): 1 cell (order 0 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x11}}},
       {{0, 3, {C4, 1, 0, 0x1D, 0x11}}},
       [](xm::XmModule& module) {
         module.orders = {1};
         module.defaultSpeed = 5;
       },
       setSpeed(6)},
      {"ED0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0x30, 0xE, 0xD0}}},
       {{0, 3, {C4, 3}}, {2, 3, {0, 0, 0x30, 0xE, 0xD0}}},
       nullptr,
       // The one-shot sample plays on, but only its silent tail.
       [](xm::XmModule& module) {
         std::vector<int> attack(4000, 0);
         for (int i = 0; i < 40; ++i) attack[i] = i % 2 ? 100 : -100;
         module.instruments[2].samples[0].values = attack;
       }},
      // An instrument number alone gives the playing note its volume at once, a tick early.
      {"ED0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x20}}, {2, 3, {0, 1, 0, 0xE, 0xD0}}},
       {{0, 3, {C4, 3, 0x20}}, {2, 3, {0, 3, 0, 0xE, 0xD0}}},  // whose sample has ended
       nullptr},
      {"EDx at or past the speed in a row that EEx lengthens: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {D4, 1, 0, 0xE, 0xD8}}, {2, 4, {0, 0, 0, 0xE, 0xE1}}},
       {{0, 3, {C4, 1}}, {2, 3, {D4, 1, 0, 0xE, 0xD8}}},  // played by none without the EEx
       nullptr},
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 1}}, {1, 3, {keyOff}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},  // released already
       nullptr},
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 1}}, {2, 3, {keyOff, 0, 0, 0x14, 0x03}}},  // the row's own key-off note releases it
       nullptr},
      // Under instrument 4's envelope the release falls from 48 to 0 in 36 ticks: starting it 3
      // ticks (53 ms) early is heard, 2 ticks (35 ms) not.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x02}}},
       nullptr},
      // K01 starts a release that falls from 64 to 0 in 20 ticks one tick early: at 50 bpm for
      // 50 ms, heard; at 51 bpm for 49 ms.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x01}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x01}}},
       [](xm::XmModule& module) {
         module.defaultBpm = 50;
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {20, 0}}, .sustainPoint = 0, .type = 3};
       },
       [](xm::XmModule& module) { module.defaultBpm = 51; }},
      // The same where the envelope sustains at its first point: 64 there, 0 20 ticks later.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x02}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {20, 0}}, .sustainPoint = 0, .type = 3};
       }},
      // One tick of the note at volume 8 is heard alone, not under three loud channels.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0x18, 0x14, 0x01}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0x18, 0x14, 0x01}}, {2, 0, {C4, 1}}, {2, 1, {C4, 1}}, {2, 2, {C4, 1}}},
       nullptr},
      // A volume before the row's Kxx is not one after a key-off: Kxx alone is named.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0x30, 0x14, 0x02}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0x30, 0x14, 0x02}}},
       nullptr},
      // Nor where the release takes seconds to fall.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       nullptr,
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.points[2].x = 400; }},
      // At 4 bpm a tick lasts 0.6 s, one tick in a second: a fadeout of 16384 (a step of 32768
      // of 65536) halves the note within it, one of 10000 only in the second tick (the envelope
      // falls for seconds).
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       [](xm::XmModule& module) {
         module.defaultBpm = 4;
         module.instruments[3].volumeEnvelope.points[2].x = 400;
         module.instruments[3].fadeout = 16384;
       },
       [](xm::XmModule& module) { module.instruments[3].fadeout = 10000; }},
      // Trackers' key-off of the playing note takes the instrument number's volume and sounds on.
      {"K00 with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {D4, 1, 0, 0x14, 0x00}}},
       {{2, 3, {D4, 1, 0, 0x14, 0x00}}},  // nothing plays before, in either
       nullptr},
      // Under a volume envelope the K00 with a note is named by this rule alone.
      {"K00 with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {D4, 4, 0, 0x14, 0x00}}},
       {{0, 3, {C4, 4}}, {2, 3, {D4, 4}}},
       nullptr},
      {"a key-off with an instrument number, instrument without volume envelope: 1 cell (order 1 row 2 "
       "channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 1, 0, 0x14, 0x00}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 4, 0, 0x14, 0x00}}},  // under a volume envelope
       nullptr,
       // that holds one level, so that restarting it is not heard either
       [](xm::XmModule& module) {
         for (xm::XmEnvelopePoint& point : module.instruments[3].volumeEnvelope.points) point.y = 48;
       }},
      {"a volume after a key-off, instrument without volume envelope: 1 cell (order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {keyOff}}, {3, 3, {0, 0, 0x30}}},
       {{0, 3, {C4, 4}}, {2, 3, {keyOff}}, {3, 3, {0, 0, 0x30}}},  // under a volume envelope
       nullptr},
      {"a key-off with EDx, instrument without volume envelope: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {keyOff, 0, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 4}}, {2, 3, {keyOff, 0, 0, 0xE, 0xD2}}},
       nullptr},
      // ED6 at speed 6: no delayed tick comes, and trackers play the note on where vantor has
      // silenced it. Near miss: a note released a row before.
      {"a key-off with EDx, instrument without volume envelope: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {keyOff, 0, 0, 0xE, 0xD6}}},
       {{0, 3, {C4, 1}}, {1, 3, {keyOff}}, {2, 3, {keyOff, 0, 0, 0xE, 0xD6}}},
       nullptr},
      {"EC0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0xC0}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0xC1}}},
       nullptr},
      // Trackers tune the note a semitone down; E58 is the sample's own tuning.
      {"E5x (set finetune) with a note: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0xE, 0x50}}},
       {{0, 3, {C4, 1, 0, 0xE, 0x58}}},
       nullptr},
      // The sample's own finetune is a semitone down; E58 makes it 8 in vantor, 6 cents below
      // the note: heard where the own tuning is far from it.
      {"a note of a sample that E5x retuned earlier: 2 cells (order 1 row 0 channel 3, order 1 row 2 channel "
       "3) — ",
       {{0, 3, {0, 0, 0, 0xE, 0x58}}, {2, 3, {C4, 1}}},
       {{0, 3, {0, 0, 0, 0xE, 0x58}}, {2, 3, {C4, 1}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].finetune = -128; },
       [](xm::XmModule& module) { module.instruments[0].samples[0].finetune = 0; }},
      // The same, of a sample played once: a tone is heard a semitone apart, noise is not.
      {"a note of a sample that E5x retuned earlier: 2 cells (order 1 row 0 channel 3, order 1 row 2 channel "
       "3) — ",
       {{0, 3, {0, 0, 0, 0xE, 0x58}}, {2, 3, {C4, 1}}},
       {{0, 3, {0, 0, 0, 0xE, 0x58}}, {2, 3, {C4, 1}}},
       playedOnce(0, false, -128),
       playedOnce(0, true, -128)},
      {"a note beyond C-0..A#9 through the sample's relative note: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {B7, 1}}},
       {{0, 3, {B7, 1}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].relativeNote = 24; },
       [](xm::XmModule& module) { module.instruments[0].samples[0].relativeNote = 23; }},
      // Channel 2 takes G10 only on the next row's first tick; from the leftmost channel, at once.
      {"Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x10}}},
       {{0, 2, {C4, 1}}, {2, 0, {0, 0, 0, 0x10, 0x10}}},
       nullptr},
      // Under a volume envelope the late step, a tick of 62 ms at 40 bpm, is Gxx's alone, not a
      // held voice of EDx's.
      {"Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 2, {C4, 4}}, {2, 3, {0, 0, 0, 0x10, 0x10}}},
       {{0, 2, {C4, 4}}, {2, 0, {0, 0, 0, 0x10, 0x10}}},
       [](xm::XmModule& module) { module.defaultBpm = 40; }},
      // Notes in channels 0 and 1 keep the old global volume for the row, 4 dB each; together
      // they move the mix by 3 dB, beside channel 4's note that takes the new one. G30 moves
      // it by 1.8 dB.
      {"Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — ",
       {{2, 0, {C4, 1}}, {2, 1, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x28}}, {2, 4, {C4, 1}}},
       {{2, 0, {C4, 1}}, {2, 1, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x30}}, {2, 4, {C4, 1}}},
       nullptr},
      // A step is heard by how far and how long: late for 40 ms at speed 2, one of 18 dB is
      // heard, one of 3.1 dB is not (it would need 3.2 dB); for a row of 6 ticks at 255 bpm
      // (59 ms), one of 2.9 dB is.
      {"Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x08}}},
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x2D}}},
       setSpeed(2)},
      {"Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x2E}}},
       {{0, 2, {C4, 1}}, {2, 0, {0, 0, 0, 0x10, 0x2E}}},
       [](xm::XmModule& module) { module.defaultBpm = 255; }},
      // Nor where the step is too small to hear: 60 against 64.
      {"Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x10}}},
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x3C}}},
       nullptr},
      // Nor where the note has gone quiet: a sample that does not loop, loud for 64 frames and
      // just under -40 dB after (327 of 32768), plays only its quiet tail by row 2, near its end
      // (the loud start is not looked at again, as it would be in a loop).
      {"Gxx or Hxy (global volume): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x10}}},
       {{0, 2, {C4, 1}}, {2, 3, {0, 0, 0, 0x10, 0x10}}},
       nullptr,
       [](xm::XmModule& module) {
         std::vector<int> struck(3000, 327);
         std::fill_n(struck.begin(), 64, 25600);
         module.instruments[0] = xm::XmInstrument::withSample(xm::XmSample::sixteenBits(struck));
       }},
      // H00 in channel 3 slides by channel 0's H04 in vantor, by its own amount in trackers:
      // none, or, after its own H04, the same. Instrument 4's envelope moves on every tick,
      // so that vantor's voice takes each new global volume at once.
      {"Hxy or H00 after an Hxy in another channel: 2 cells (order 1 row 1 channel 0, order 1 row 1 channel "
       "3) — ",
       {{0, 2, {C4, 4}}, {1, 0, {0, 0, 0, 0x11, 0x04}}, {1, 3, {0, 0, 0, 0x11, 0x00}}},
       {{0, 2, {C4, 4}},
        {0, 3, {0, 0, 0, 0x11, 0x04}},
        {1, 0, {0, 0, 0, 0x11, 0x04}},
        {1, 3, {0, 0, 0, 0x11, 0x00}}},
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.type = 1; }},
      // The same from an Hxy to the right of the H00: vantor's memory is the row's last.
      {"Hxy or H00 after an Hxy in another channel: 2 cells (order 1 row 1 channel 3, order 1 row 1 channel "
       "0) — ",
       {{0, 2, {C4, 4}}, {1, 0, {0, 0, 0, 0x11, 0x00}}, {1, 3, {0, 0, 0, 0x11, 0x04}}},
       {{0, 2, {C4, 4}},
        {0, 0, {0, 0, 0, 0x11, 0x04}},
        {1, 0, {0, 0, 0, 0x11, 0x00}},
        {1, 3, {0, 0, 0, 0x11, 0x04}}},
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.type = 1; }},
      // Nor where the two amounts lie close: after channel 3's own H02, trackers slide by 3 + 2
      // a tick where vantor slides by 3 + 3, and end at 29 against 24, 1.6 dB apart; from
      // none, at 49 against 34.
      {"Hxy or H00 after an Hxy in another channel: 2 cells (order 1 row 1 channel 0, order 1 row 1 channel "
       "3) — ",
       {{0, 2, {C4, 4}}, {1, 0, {0, 0, 0, 0x11, 0x03}}, {1, 3, {0, 0, 0, 0x11, 0x00}}},
       {{0, 2, {C4, 4}},
        {0, 3, {0, 0, 0, 0x11, 0x02}},
        {1, 0, {0, 0, 0, 0x11, 0x03}},
        {1, 3, {0, 0, 0, 0x11, 0x00}}},
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.type = 1; }},
      // H80 beside H05 slides down by 5 in vantor too, the row's last amount: 14 against
      // trackers' 59. Near miss: the same amount in both.
      {"Hxy or H00 after an Hxy in another channel: 2 cells (order 1 row 1 channel 3, order 1 row 1 channel "
       "0) — ",
       {{0, 2, {C4, 4}}, {1, 0, {0, 0, 0, 0x11, 0x80}}, {1, 3, {0, 0, 0, 0x11, 0x05}}},
       {{0, 2, {C4, 4}}, {1, 0, {0, 0, 0, 0x11, 0x05}}, {1, 3, {0, 0, 0, 0x11, 0x05}}},
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.type = 1; }},
      // At speed 8 from G04, channel 3's H10 takes both to 11. Then H40 beside H00: vantor slides
      // by 8 a tick, trackers by 4 + 1, to 64 against 46. H20 beside it: to 39 against 32, not
      // heard. G50 then sets 64 in both, and the H09 after it slides both alike.
      {"Hxy or H00 after an Hxy in another channel: 2 cells (order 1 row 1 channel 0, order 1 row 1 channel "
       "3) — ",
       {{0, 2, {C4, 4}}, {0, 0, {0, 0, 0, 0x10, 0x04}}, {0, 3, {0, 0, 0, 0x11, 0x10}},
        {1, 0, {0, 0, 0, 0x11, 0x40}}, {1, 3, {0, 0, 0, 0x11, 0x00}}, {2, 0, {0, 0, 0, 0x10, 0x50}},
        {3, 0, {0, 0, 0, 0x11, 0x09}}},
       {{0, 2, {C4, 4}}, {0, 0, {0, 0, 0, 0x10, 0x04}}, {0, 3, {0, 0, 0, 0x11, 0x10}},
        {1, 0, {0, 0, 0, 0x11, 0x20}}, {1, 3, {0, 0, 0, 0x11, 0x00}}, {2, 0, {0, 0, 0, 0x10, 0x50}},
        {3, 0, {0, 0, 0, 0x11, 0x09}}},
       [](xm::XmModule& module) {
         module.defaultSpeed = 8;
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {200, 0}}, .type = 1};
       }},
      {"a note after a 9xx that started no note: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2}}},
       {{0, 3, {C4, 2}}, {1, 3, {C4, 2, 0, 0x9, 0x01}}, {2, 3, {C4, 2}}},
       attackBeforeLoop(1, 120)},
      // A sample played once is heard from another frame all the same; the near miss starts
      // the note at an offset past its end, which it does not reach.
      {"a note after a 9xx that started no note: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2}}},
       {{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x03}}, {2, 3, {C4, 2}}},
       [](xm::XmModule& module) { module.instruments[1].samples[0].loop = xm::XmLoop::None; }},
      // Nor a start too quiet to stand out: at volume 2 beside two loud notes, 36 dB below them.
      {"a note after a 9xx that started no note: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 0, {C4, 1}}, {0, 1, {C4, 1}}, {0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2, 0x50}}},
       {{0, 0, {C4, 1}}, {0, 1, {C4, 1}}, {0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2, 0x12}}},
       attackBeforeLoop(1, 120)},
      // A start of 7 ms is over before a listener tells where the sample started.
      {"a note after a 9xx that started no note: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2}}},
       {{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2}}},
       attackBeforeLoop(1, 120), attackBeforeLoop(1, 60)},
      // At C-6 the attack of 500 frames lasts 15 ms, all of it left out from 512 on; from 256
      // on only its first 8 ms are, and the rest of it plays in both.
      {"a note after a 9xx that started no note: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C6, 2}}, {1, 3, {0, 0, 0, 0x9, 0x02}}, {2, 3, {C6, 2}}},
       {{0, 3, {C6, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C6, 2}}},
       attackBeforeLoop(1, 500)},
      // At speed 2 vantor slides twice a row, trackers once: 34 against 49.
      {"volume-column slide (6x, 7x, Dx, Ex): 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1}}, {1, 3, {0, 0, 0x6F}}},
       {{0, 3, {C4, 1}}, {1, 3, {0, 0, 0x8F}}},  // a fine slide, on the row tick in both
       setSpeed(2)},
      // From 4, 61 is a step ahead in vantor: 2 against 3. Near misses: with A0F both reach 0 on
      // the same tick (15 against 16 before); 800 sets the panning in both after D1's step.
      {"volume-column slide (6x, 7x, Dx, Ex): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x14}}, {2, 3, {0, 0, 0x61}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0x61, 0xA, 0x0F}}},
       nullptr},
      {"volume-column slide (6x, 7x, Dx, Ex): 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x14}}, {2, 3, {0, 0, 0x61}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0xD1, 0x8, 0x00}}},
       nullptr},
      // At speed 2, C40 brings the two together after 61's step, at either edge of the panning;
      // the 6F after it is named alone.
      {"volume-column slide (6x, 7x, Dx, Ex): 2 cells (order 1 row 3 channel 3, order 1 row 3 channel 4) — ",
       {{0, 3, {C4, 1, 0, 0x8, 0xFF}}, {1, 3, {0, 0, 0x61}}, {2, 3, {0, 0, 0, 0xC, 0x40}}, {3, 3, {0, 0, 0x6F}},
        {0, 4, {C4, 1, 0, 0x8, 0x00}}, {1, 4, {0, 0, 0x61}}, {2, 4, {0, 0, 0, 0xC, 0x40}}, {3, 4, {0, 0, 0x6F}}},
       {{0, 3, {C4, 1, 0, 0x8, 0xFF}}, {1, 3, {0, 0, 0x61}}, {2, 3, {0, 0, 0, 0xC, 0x40}},
        {0, 4, {C4, 1, 0, 0x8, 0x00}}, {1, 4, {0, 0, 0x61}}, {2, 4, {0, 0, 0, 0xC, 0x40}}},
       setSpeed(2)},
      // From volume 2, two 61 rows part the two by 1 under channel 0's loud note, unheard, and
      // bring them together at 0; the 74 slides after channel 0 falls silent are named alone.
      {"volume-column slide (6x, 7x, Dx, Ex): 1 cell (order 1 row 4 channel 3) — ",
       {{0, 0, {C4, 1}}, {3, 0, {0, 0, 0x10}}, {0, 3, {C4, 1, 0x12}}, {1, 3, {0, 0, 0x61}}, {2, 3, {0, 0, 0x61}},
        {4, 3, {0, 0, 0x74}}},
       {{0, 0, {C4, 1}}, {3, 0, {0, 0, 0x10}}, {0, 3, {C4, 1, 0x12}}, {1, 3, {0, 0, 0x61}}, {2, 3, {0, 0, 0x61}}},
       setSpeed(2)},
      // A square tremolo at its full height where vantor's row starts, 64 against 32, for a
      // row tick of 62 ms at 40 bpm; C30 ends it alike. At 125 bpm the tick's 20 ms is too
      // short to tell a level by.
      {"7xy (tremolo): 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0x30, 0xE, 0x72}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}, {2, 3, {0, 0, 0, 0xC, 0x30}}},
       {{0, 3, {C4, 1, 0x30, 0xE, 0x72}}, {1, 3, {0, 0, 0, 0x7, 0x41}}, {2, 3, {0, 0, 0, 0xC, 0x30}}},
       [](xm::XmModule& module) { module.defaultBpm = 40; }},
      {"7xy (tremolo): 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0x30, 0xE, 0x72}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}, {2, 3, {0, 0, 0, 0xC, 0x30}}},
       {{0, 3, {C4, 1, 0x30, 0xE, 0x72}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}, {2, 3, {0, 0, 0, 0xC, 0x30}}},
       [](xm::XmModule& module) { module.defaultBpm = 40; },
       [](xm::XmModule& module) { module.defaultBpm = 125; }},
      // At 125 bpm the ticks apart add up over a run of tremolo rows: rows 2 to 4 start 6 to
      // 10 dB apart, 60 ms in all; rows 2 and 3 alone, 40 ms.
      {"7xy (tremolo): 3 cells (order 1 row 2 channel 3, order 1 row 3 channel 3, order 1 row 4 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0x7, 0x88}}, {2, 3, {0, 0, 0, 0x7, 0x88}},
        {3, 3, {0, 0, 0, 0x7, 0x88}}, {4, 3, {0, 0, 0, 0x7, 0x88}}, {5, 3, {0, 0, 0, 0xC, 0x30}}},
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0x7, 0x88}}, {2, 3, {0, 0, 0, 0x7, 0x88}},
        {3, 3, {0, 0, 0, 0x7, 0x88}}, {4, 3, {0, 0, 0, 0xC, 0x30}}},
       nullptr},
      // A sine tremolo that starts at 0 and ends at its height, 64 against 32.
      {"7xy (tremolo) ending: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}},
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}, {2, 3, {0, 0, 0x30}}},
       nullptr},
      // Named from the EBF that set the memory the EA0 repeats.
      {"EA0 or EB0 after a fine slide the other way: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel "
       "3) — ",
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0xE, 0xBF}}, {2, 3, {0, 0, 0, 0xE, 0xA0}}},
       // A new note sets the volume again after 20 ms: too short a step to tell.
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0xE, 0xBF}}, {2, 3, {0, 0, 0, 0xE, 0xA0}}, {3, 3, {C4, 1}}},
       setSpeed(2),
       [](xm::XmModule& module) { module.defaultBpm = 255; }},
      // At bpm 60 a tick lasts 42 ms; at 125, 20 ms.
      {"0xy (arpeggio): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x0, 0x37}}},
       {{0, 3, {C4, 1, 0, 0x0, 0x37}}},
       [](xm::XmModule& module) {
         module.tracker = "OpenMPT 1.31.06.00";
         module.defaultBpm = 60;
       },
       [](xm::XmModule& module) { module.defaultBpm = 125; }},
      // Orders that agree on every tick of the row: at speed 2 both play x on its second tick;
      // at speed 4, 07 plays the note, 7, the note in both (37 plays 3 first in vantor).
      {"0xy (arpeggio): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x0, 0x37}}},
       {{0, 3, {C4, 1, 0, 0x0, 0x37}}},
       [](xm::XmModule& module) {
         module.tracker = "OpenMPT 1.31.06.00";
         module.defaultBpm = 60;
         module.defaultSpeed = 3;
       },
       setSpeed(2)},
      {"0xy (arpeggio): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x0, 0x37}}},
       {{0, 3, {C4, 1, 0, 0x0, 0x07}}},
       [](xm::XmModule& module) {
         module.tracker = "OpenMPT 1.31.06.00";
         module.defaultBpm = 60;
         module.defaultSpeed = 4;
       }},
      // At speed 1 with EE1 the row has one effect tick, x in vantor, the note in trackers.
      {"0xy (arpeggio): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x0, 0x30}}, {0, 4, {0, 0, 0, 0xE, 0xE1}}},
       {{0, 3, {C4, 1, 0, 0x0, 0x30}}},
       [](xm::XmModule& module) {
         module.tracker = "OpenMPT 1.31.06.00";
         module.defaultBpm = 60;
         module.defaultSpeed = 1;
       }},
      // B-7 and 3 semitones is two above C-8; A-7 and 3 reaches it.
      {"0xy (arpeggio) reaching above C-8: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {B7, 1, 0, 0x0, 0x30}}},
       {{0, 3, {A7, 1, 0, 0x0, 0x30}}},
       nullptr},
      // 1xx with 4 moves the note by 80 periods of 64 to a semitone: 25 cents off; with 0x10, 5 semitones.
      {"0xy (arpeggio) after a portamento that ended between semitones: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1, 0x04}}, {1, 3, {0, 0, 0, 0x0, 0x70}}},
       {{0, 3, {C4, 1, 0, 0x1, 0x10}}, {1, 3, {0, 0, 0, 0x0, 0x70}}},
       nullptr},
      // Trackers slide back to E-4, the last tone portamento's note; vantor stays on C-4.
      {"a tone portamento without a note after a note played without one: 2 cells (order 1 row 1 channel 3, "
       "order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1}}, {1, 3, {E4, 0, 0, 0x3, 0x01}}, {2, 3, {C4, 1}}, {3, 3, {0, 0, 0, 0x3, 0x01}}},
       {{0, 3, {C4, 1}}, {1, 3, {E4, 0, 0, 0x3, 0x01}}, {3, 3, {0, 0, 0, 0x3, 0x01}}},
       nullptr},
      // Where no note has played on the channel, the E-4 with 301 starts none and leaves
      // trackers no target: they stay on C-4 with vantor.
      {"a tone portamento without a note after a note played without one: 2 cells (order 1 row 1 channel 3, "
       "order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1}}, {1, 3, {E4, 1, 0, 0x3, 0x01}}, {2, 3, {C4, 1}}, {3, 3, {0, 0, 0, 0x3, 0x01}}},
       {{1, 3, {E4, 1, 0, 0x3, 0x01}}, {2, 3, {C4, 1}}, {3, 3, {0, 0, 0, 0x3, 0x01}}},
       nullptr},
      // The 902 beside the volume column's Fx starts no note; where it does, both keep it.
      {"900 after a 9xx on a row that started no note: 2 cells (order 1 row 1 channel 3, order 1 row 2 "
       "channel 3) — ",
       {{0, 3, {C4, 2}}, {1, 3, {C4, 0, 0xF4, 0x9, 0x02}}, {2, 3, {C4, 2, 0, 0x9, 0x00}}},
       {{0, 3, {C4, 2}}, {1, 3, {C4, 2, 0, 0x9, 0x02}}, {2, 3, {C4, 2, 0, 0x9, 0x00}}},
       attackBeforeLoop(1, 120)},
      // Instrument 2's sample lies an octave higher; vantor restarts it at instrument 1's pitch.
      {"EDx with an instrument number of another tuning, without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 2, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 1, 0, 0xE, 0xD2}}},
       [](xm::XmModule& module) { module.instruments[1].samples[0].relativeNote = 12; }},
      // After ED1 at speed 6, vantor's voice holds 64 for the row while trackers' envelope falls
      // to 0 in two ticks; one that holds for six ticks and then falls is a tick late only.
      {"EDx under a volume envelope: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {C4, 4, 0, 0xE, 0xD1}}},
       {{0, 3, {C4, 4}}, {2, 3, {C4, 4, 0, 0xE, 0xD1}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {2, 0}}, .type = 1};
       },
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {6, 64}, {30, 0}}, .type = 1};
       }},
      // A first note with ED1 at speed 3: trackers' envelope falls 64, 48, 32, 16, 0 from the
      // delayed tick, vantor's a tick later, 16 against none at the end; one that holds for
      // six ticks first is a tick late where it holds.
      {"EDx under a volume envelope: 1 cell (order 1 row 2 channel 3) — ",
       {{2, 3, {C4, 4, 0, 0xE, 0xD1}}},
       {{2, 3, {C4, 4, 0, 0xE, 0xD1}}},
       [](xm::XmModule& module) {
         module.defaultSpeed = 3;
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {4, 0}}, .type = 1};
       },
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {6, 64}, {30, 0}}, .type = 1};
       }},
      // The sample's first 14 ms play once before its loop: vantor plays them again; a
      // sample that is one loop from its start only shifts its phase.
      {"a key-off with EDx, instrument with a volume envelope: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {keyOff, 0, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 4}}, {2, 3, {keyOff, 0, 0, 0xE, 0xD2}}},
       attackBeforeLoop(3, 120), attackBeforeLoop(3, 0)},
      // C0 pans hard left from the centre; C8 stays near it.
      {"a key-off with EDx and a panning in the volume column: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {keyOff, 0, 0xC0, 0xE, 0xD2}}},
       {{0, 3, {C4, 4}}, {2, 3, {keyOff, 0, 0xC8, 0xE, 0xD2}}},
       nullptr},
      // Trackers release the envelope where it holds, at 16; vantor starts it again at 64 for
      // eight ticks. Near miss: an envelope that starts where it holds.
      {"K00 with an instrument number, instrument with a volume envelope: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 4, 0, 0x14, 0x00}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 4, 0, 0x14, 0x00}}},
       fallingToItsSustain(3), startingWhereItHolds(3)},
      // Near misses where the construct is there but nothing is heard: the playing note silent,
      // the pitch already reached, an offset past the new sample, the volume unchanged.
      {"EC0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0xC0}}},
       {{0, 3, {C4, 1, 0x10}}, {2, 3, {0, 0, 0, 0xE, 0xC0}}},
       setSpeed(1)},  // a row of one tick: the row tick alone
      {"E90 without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0x90}}},
       {{2, 3, {0, 0, 0, 0xE, 0x90}}},  // on a channel that has played nothing
       nullptr},
      {"9xx beyond the sample's loop end: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {C4, 1, 0, 0x9, 0x01}}},
       {{0, 3, {C4, 1}}, {2, 3, {C4, 1, 0x10, 0x9, 0x01}}},
       nullptr},
      {"E3x (glissando) before a tone portamento: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {1, 3, E31}, {2, 3, {E4, 0, 0, 0x3, 0x08}}},
       {{0, 3, {C4, 1}}, {1, 3, E31}, {2, 3, {C4, 0, 0, 0x3, 0x08}}},
       nullptr},
      {"E3x (glissando) before a tone portamento: 2 cells (order 1 row 1 channel 3, order 1 row 3 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {1, 3, E31}, {3, 3, {E4, 0, 0, 0x3, 0x08}}},
       {{0, 3, {C4, 1}}, {1, 3, E31}, {2, 3, E30}, {3, 3, {E4, 0, 0, 0x3, 0x08}}},  // E30 switches it off
       nullptr},
      {"a note after a 9xx that started no note: 2 cells (order 1 row 1 channel 3, order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 2}}},
       {{0, 3, {C4, 2}}, {1, 3, {0, 0, 0, 0x9, 0x01}}, {2, 3, {C4, 1}}},  // 256 frames: past a sample of 64
       attackBeforeLoop(1, 120)},
      {"a volume after a key-off, instrument without volume envelope: 1 cell (order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {keyOff}}, {3, 3, {0, 0, 0x11}}},
       {{0, 3, {C4, 1}}, {2, 3, {keyOff}}, {3, 3, {0, 0, 0x10}}},
       nullptr},
      // At volume 1 under a global volume of 41 the note lies just above -40 dB (41 / 4096);
      // under 40, just below.
      {"a key-off with an instrument number, instrument without volume envelope: 1 cell (order 1 row 2 "
       "channel 3) — ",
       {{0, 0, {0, 0, 0, 0x10, 0x29}}, {0, 3, {C4, 1}}, {2, 3, {0, 1, 0, 0x14, 0x00}}},
       {{0, 0, {0, 0, 0, 0x10, 0x28}}, {0, 3, {C4, 1}}, {2, 3, {0, 1, 0, 0x14, 0x00}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].volume = 1; }},
      {"EDx without an instrument number: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 1}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}},  // at the sample's volume already
       nullptr},
      // Once parted, the next delayed note is named too, though vantor's volume stays at 64.
      {"EDx without an instrument number: 2 cells (order 1 row 2 channel 3, order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}, {3, 3, {D4, 0, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 1}}, {2, 3, {D4, 0, 0, 0xE, 0xD2}}, {3, 3, {D4, 0, 0, 0xE, 0xD2}}},
       nullptr},
      {"7xy (tremolo) ending: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0x7, 0x4F}}},
       {{0, 3, {C4, 1, 0x30}}, {1, 3, {0, 0, 0, 0x7, 0x41}}},  // a shallow one
       nullptr},
      // At speed 6 the second EB0 parts the mix from trackers' by 2.5 dB (64 against 34): named
      // from the EAF whose amount it repeats. After an EBF of their own, trackers repeat 15 too.
      {"EA0 or EB0 after a fine slide the other way: 3 cells (order 1 row 1 channel 3, order 1 row 2 channel "
       "3, "
       "order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1}},
        {1, 3, {0, 0, 0, 0xE, 0xAF}},
        {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xE, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0xE, 0xBF}},
        {1, 3, {0, 0, 0, 0xE, 0xAF}},
        {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xE, 0xB0}}},
       nullptr},
      // Each slide row takes vantor one step further (12 against 10 at speed 6); by row 4 the
      // mix has moved 2.5 dB, and the slides are named from the first. A volume set in the
      // middle brings the two together again.
      {"volume-column slide (6x, 7x, Dx, Ex): 5 cells (order 1 row 1 channel 3, order 1 row 2 channel 3, "
       "order 1 row 3 channel 3, ...) — ",
       {{0, 3, {C4, 1}},
        {1, 3, {0, 0, 0x62}},
        {2, 3, {0, 0, 0x62}},
        {3, 3, {0, 0, 0x62}},
        {4, 3, {0, 0, 0x62}},
        {5, 3, {0, 0, 0x62}}},
       {{0, 3, {C4, 1}},
        {1, 3, {0, 0, 0x62}},
        {2, 3, {0, 0, 0x62}},
        {3, 3, {0, 0, 0x40}},
        {4, 3, {0, 0, 0x62}},
        {5, 3, {0, 0, 0x62}}},
       nullptr},
      // At speed 2, A80's memory slides trackers up 8 and the column down 4 on the effect tick:
      // 4 a row, where vantor's row tick takes the 4 back. With A02 trackers slide down 3 a row and
      // vantor 4, 1.5 dB apart after seven rows.
      {"volume-column slide (6x, 7x, Dx, Ex): 7 cells (order 1 row 1 channel 3, order 1 row 2 channel 3, "
       "order 1 row 3 channel 3, ...) — ",
       {{0, 3, {C4, 1, 0x30}},
        {1, 3, {0, 0, 0x64, 0xA, 0x80}},
        {2, 3, {0, 0, 0x64, 0xA, 0x80}},
        {3, 3, {0, 0, 0x64, 0xA, 0x80}},
        {4, 3, {0, 0, 0x64, 0xA, 0x80}},
        {5, 3, {0, 0, 0x64, 0xA, 0x80}},
        {6, 3, {0, 0, 0x64, 0xA, 0x80}},
        {7, 3, {0, 0, 0x64, 0xA, 0x80}}},
       {{0, 3, {C4, 1}},
        {1, 3, {0, 0, 0x61, 0xA, 0x02}},
        {2, 3, {0, 0, 0x61, 0xA, 0x02}},
        {3, 3, {0, 0, 0x61, 0xA, 0x02}},
        {4, 3, {0, 0, 0x61, 0xA, 0x02}},
        {5, 3, {0, 0, 0x61, 0xA, 0x02}},
        {6, 3, {0, 0, 0x61, 0xA, 0x02}},
        {7, 3, {0, 0, 0x61, 0xA, 0x02}}},
       setSpeed(2)},
      // Trackers slide to E-4 at F1's speed, 128 periods a tick (F1 and 3xx each slide once);
      // vantor at 304's, 32. With 310 the two speeds are one.
      {"volume-column tone portamento (Fx) with 3xx in the same cell: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1, 0x3, 0x04}}},
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1, 0x3, 0x10}}},
       nullptr},
      // Two F1 slides of 64 periods reach D-4, 128 away, on the first effect tick, as 3FF does.
      {"volume-column tone portamento (Fx) with 3xx in the same cell: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {E4, 0, 0xF1, 0x3, 0x04}}},
       {{0, 3, {C4, 1}}, {2, 3, {D4, 0, 0xF1, 0x3, 0xFF}}},
       nullptr},
      // The speeds part silently on a slide to the note that plays; the 300 after it slides
      // with them, and both cells are named. A 310 gives the speed again.
      {"volume-column tone portamento (Fx) with 3xx in the same cell: 2 cells (order 1 row 1 channel 3, "
       "order 1 "
       "row 3 channel 3) — ",
       {{0, 3, {C4, 1}}, {1, 3, {C4, 0, 0xF1, 0x3, 0x04}}, {3, 3, {E4, 0, 0, 0x3, 0x00}}},
       {{0, 3, {C4, 1}}, {1, 3, {C4, 0, 0xF1, 0x3, 0x04}}, {3, 3, {E4, 0, 0, 0x3, 0x10}}},
       nullptr},
      // C7F plays 6 dB louder than trackers' 64; C50 2 dB, too little to hear. Nor is either
      // construct of a volume slide named at a cell of the song (order 0 row 0 holds a bass note).
      {"Cxx above 64: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0xC, 0x7F}}},
       {{0, 3, {C4, 1, 0, 0xC, 0x50}}},
       nullptr,
       [](xm::XmModule& module) {
         module.patterns[0].at(0, 0) = {25, 2};
       }},
      // C50's 2 dB are heard a row later, where A0F takes trackers' 64 to silence a tick
      // before vantor's 80.
      {"Cxx above 64: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0xC, 0x50}}, {1, 3, {0, 0, 0, 0xA, 0x0F}}},
       {{0, 3, {C4, 1, 0, 0xC, 0x40}}, {1, 3, {0, 0, 0, 0xA, 0x0F}}},
       nullptr},
      // Under instrument 4's envelope, released from 48 to 24 within the second: half, heard;
      // to 25, not.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope.points = {{0, 64}, {4, 48}, {20, 24}, {400, 0}};
       },
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.points[2].y = 25; }},
      // Instrument 2 takes the auto-vibrato of instrument 1 at another rate: another shape;
      // at the same rate, the same.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 2}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 2}}},
       [](xm::XmModule& module) {
         for (xm::XmInstrument& instrument : module.instruments) {
           instrument.vibratoDepth = 8;
           instrument.vibratoRate = 20;
         }
         module.instruments[1].vibratoRate = 40;
       },
       [](xm::XmModule& module) { module.instruments[1].vibratoRate = 20; }},
      // At depth 4 the two swings lie at most 8 periods apart, 12.5 cents: not told apart.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 2}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 2}}},
       [](xm::XmModule& module) {
         for (xm::XmInstrument& instrument : module.instruments) {
           instrument.vibratoDepth = 8;
           instrument.vibratoRate = 20;
         }
         module.instruments[1].vibratoRate = 40;
       },
       [](xm::XmModule& module) {
         for (xm::XmInstrument& instrument : module.instruments) instrument.vibratoDepth = 4;
       }},
      // ED0 holds back a note of instrument 2 on a channel that has not played; without an
      // instrument number, trackers play it at the channel's volume 0.
      {"ED0: 1 cell (order 1 row 2 channel 3) — ",
       {{2, 3, {D4, 2, 0, 0xE, 0xD0}}},
       {{2, 3, {D4, 0, 0, 0xE, 0xD0}}},
       nullptr},
      {"ED0: 1 cell (order 1 row 2 channel 3) — ",
       {{2, 3, {D4, 2, 0, 0xE, 0xD0}}},
       {{0, 0, {0, 0, 0, 0x10, 0x00}}, {2, 3, {D4, 2, 0, 0xE, 0xD0}}},  // under G00
       nullptr},
      // Channel 3 has had no instrument number: trackers have nothing to play, vantor plays D-4
      // with instrument 1 at volume 0 until the instrument number gives it the sample's 64.
      // After an instrument number alone, trackers play the note with it too.
      {"a note or retrigger on a channel that has had no instrument number: 1 cell (order 1 row 1 channel 3) "
       "— ",
       {{1, 3, {D4}}, {2, 3, {0, 1}}},
       {{0, 3, {0, 1}}, {1, 3, {D4}}, {2, 3, {0, 1}}},
       nullptr},
      // A retrigger on a channel that has played nothing starts instrument 1 in vantor; after
      // a note of instrument 1, it starts that note again in both.
      {"a note or retrigger on a channel that has had no instrument number: 1 cell (order 1 row 1 channel 3) "
       "— ",
       {{1, 3, {0, 0, 0, 0x1B, 0x84}}, {2, 3, {0, 1}}},
       {{0, 3, {C4, 1}}, {1, 3, {0, 0, 0, 0x1B, 0x84}}, {2, 3, {0, 1}}},
       nullptr},
      // Without a note trackers play on: vantor's restart is heard where the sample's first
      // 14 ms play once before its loop, not where the sample is one loop from its start.
      {"9xx beyond the sample's loop end: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0x9, 0x03}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0x9, 0x03}}},
       attackBeforeLoop(0, 120), attackBeforeLoop(0, 0)},
      // A retrigger of a note at volume 0 starts nothing that is heard.
      {"E90 without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0, 0xE, 0x90}}},
       {{0, 3, {C4, 1, 0x10}}, {2, 3, {0, 0, 0, 0xE, 0x90}}},
       nullptr},
      {"Rxy on from row to row: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       {{0, 3, {C4, 1, 0x10, 0x1B, 0x04}}, {1, 3, {0, 0, 0, 0x1B, 0x04}}},
       slowRetriggers(attackBeforeLoop(0, 120))},
      // Instrument 2's sample lies hard left: heard, but not where G00 has silenced the song.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 2}}},
       {{0, 3, {C4, 1}}, {1, 0, {0, 0, 0, 0x10, 0x00}}, {2, 3, {0, 2}}},
       [](xm::XmModule& module) { module.instruments[1].samples[0].panning = 0; }},
      {"E5x (set finetune) with a note: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0xE, 0x50}}},
       {{0, 3, {C4, 1, 0x10, 0xE, 0x50}}},  // a note at volume 0
       nullptr},
      // At speed 3, y plays on the row's third tick: B-7 and 3 reaches above C-8, A-7 and 3 not.
      // A#7 and 3 semitones lie one above C-8, 2 on it. At speed 1 the x never plays.
      {"0xy (arpeggio) reaching above C-8: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {B7 - 1, 1, 0, 0x0, 0x03}}},
       {{0, 3, {B7 - 1, 1, 0, 0x0, 0x30}}},
       nullptr, setSpeed(1)},
      {"0xy (arpeggio) reaching above C-8: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {B7, 1, 0, 0x0, 0x03}}},
       {{0, 3, {A7, 1, 0, 0x0, 0x03}}},
       setSpeed(3)},
      // A note at volume 1 beside one at 10 lies 20 dB under it, its pitch still followed;
      // beside 11, not.
      {"0xy (arpeggio) reaching above C-8: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 0, {C4, 1, 0x1A}}, {0, 3, {B7, 1, 0x11, 0x0, 0x30}}},
       {{0, 0, {C4, 1, 0x1B}}, {0, 3, {B7, 1, 0x11, 0x0, 0x30}}},
       nullptr},
      // At speed 2 only x plays, on the row's second tick.
      {"0xy (arpeggio) reaching above C-8: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {B7 - 1, 1, 0, 0x0, 0x30}}},
       {{0, 3, {B7 - 1, 1, 0, 0x0, 0x03}}},
       setSpeed(2)},
      // E50 tunes the note 128 finetune steps down in trackers; the sample's own -108 lies 15.6
      // cents from it, -110 14.1.
      {"E5x (set finetune) with a note: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0xE, 0x50}}},
       {{0, 3, {C4, 1, 0, 0xE, 0x50}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].finetune = -108; },
       [](xm::XmModule& module) { module.instruments[0].samples[0].finetune = -110; }},
      // C-0 with the relative note -1 lies below the range; with 0, on its edge.
      {"a note beyond C-0..A#9 through the sample's relative note: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {1, 1}}},
       {{0, 3, {1, 1}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].relativeNote = -1; },
       [](xm::XmModule& module) { module.instruments[0].samples[0].relativeNote = 0; }},
      // A note without an instrument number plays at the channel's volume in trackers: at 1 it
      // is heard, at 0 not. ED0 likewise.
      {"a note beyond C-0..A#9 through the sample's relative note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x11}}, {2, 3, {B7, 0}}},
       {{0, 3, {C4, 1, 0x10}}, {2, 3, {B7, 0}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].relativeNote = 24; }},
      {"ED0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x11}}, {2, 3, {D4, 0, 0, 0xE, 0xD0}}},
       {{0, 3, {C4, 1, 0x10}}, {2, 3, {D4, 0, 0, 0xE, 0xD0}}},
       nullptr},
      // ED0 holds the voice through the row while the envelope falls beneath it (64 to 0 in 20
      // ticks); where it holds still at its sustain point, nothing moves.
      {"EDx under a volume envelope: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 4}}, {1, 3, {0, 0, 0, 0xE, 0xD0}}},
       {{0, 3, {C4, 4}}, {1, 3, {0, 0, 0, 0xE, 0xD0}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {20, 0}}, .type = 1};
       },
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {
             .points = {{0, 64}, {2, 48}, {40, 0}}, .sustainPoint = 1, .type = 3};
       }},
      // With instrument 2's number, vantor tunes C-4 an octave up by its sample's relative note;
      // trackers slide the sample that plays, tuned as it is, and stay, however fast the slide.
      // Tuned alike, nothing.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {C4, 2, 0xFE}}},
       {{0, 3, {C4, 1}}, {2, 3, {C4, 2, 0xFE}}},
       [](xm::XmModule& module) { module.instruments[1].samples[0].relativeNote = 12; },
       [](xm::XmModule& module) { module.instruments[1].samples[0].relativeNote = 0; }},
      // F4 beside 108, before any tone portamento with a note: trackers slide up by 108 alone,
      // 160 periods by the row's end; vantor's F4 pulls back to C-4. Near miss: after F4 with
      // C-4, trackers' target is C-4 too.
      {"a tone portamento without a note after a note played without one: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0xF4, 0x1, 0x08}}},
       {{0, 3, {C4, 1}}, {1, 3, {C4, 0, 0xF4}}, {2, 3, {0, 0, 0xF4, 0x1, 0x08}}},
       nullptr},
      // B0 leaves vantor's vibrato still where trackers swing by 4F's depth, 116 periods.
      // Near miss: after 41, a swing of 4 periods.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x4F}}, {1, 3, {0, 0, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x41}}, {1, 3, {0, 0, 0xB0}}},
       nullptr},
      // Nor where the note is more than 20 dB below the rest (at 6, beside 60 and 6: their power
      // is 101 times its own): its pitch is not followed.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x4F}}, {1, 3, {0, 0, 0xB0}}},
       {{0, 0, {C4, 2, 0x4C}}, {0, 1, {C4, 2, 0x16}}, {0, 3, {C4, 1, 0x16, 0x4, 0x4F}}, {1, 3, {0, 0, 0xB0}}},
       nullptr},
      // On the Amiga table a depth of 1 swings C-6's short period by 28 cents; C-4's by 7. The
      // 441 row lasts one tick (F02), too short for its own vibrato to be heard.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 0, {0, 0, 0, 0xF, 0x02}}, {1, 0, {0, 0, 0, 0xF, 0x06}}, {0, 3, {C6, 1, 0, 0x4, 0x41}},
        {1, 3, {0, 0, 0xB0}}},
       {{0, 0, {0, 0, 0, 0xF, 0x02}}, {1, 0, {0, 0, 0, 0xF, 0x06}}, {0, 3, {C4, 1, 0, 0x4, 0x41}},
        {1, 3, {0, 0, 0xB0}}},
       amigaTableAtSpeed(6)},
      // A later 41 leaves trackers' depth at 1 too.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x48}}, {2, 3, {0, 0, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x48}}, {1, 3, {0, 0, 0, 0x4, 0x41}}, {2, 3, {0, 0, 0xB0}}},
       nullptr},
      // Only the effect ticks vibrate: 422 at speed 4 leaves the B0 row at phase 22 of 64,
      // near the swing's peak (12 periods at depth 2), but its own ticks play 24 to 28, 8
      // periods; at depth 3, 16.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 4 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x23}}, {1, 3, {0, 0, 0, 0x4, 0x23}}, {2, 3, {0, 0, 0, 0x4, 0x23}},
        {3, 3, {0, 0, 0, 0x4, 0x23}}, {4, 3, {0, 0, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x22}}, {1, 3, {0, 0, 0, 0x4, 0x22}}, {2, 3, {0, 0, 0, 0x4, 0x22}},
        {3, 3, {0, 0, 0, 0x4, 0x22}}, {4, 3, {0, 0, 0xB0}}},
       setSpeed(4)},
      // At speed 5 a vibrato of speed 1 reaches a third of its swing by the B0's last tick:
      // 12 periods at depth 3, 19 cents; 8 at depth 2.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x13}}, {1, 3, {0, 0, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x12}}, {1, 3, {0, 0, 0xB0}}},
       setSpeed(5)},
      // At speed 4 it reaches phase 5 of 64: 8 periods at depth 3 (12 cents), 12 at depth 4.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x14}}, {1, 3, {0, 0, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x13}}, {1, 3, {0, 0, 0xB0}}},
       setSpeed(4)},
      // At speed 2 the B0 row vibrates for one tick: at 50 bpm 50 ms, at 51 bpm 49 ms, too short
      // to follow.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x4F}}, {1, 3, {0, 0, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x4F}}, {1, 3, {0, 0, 0xB0}}},
       [](xm::XmModule& module) {
         module.defaultSpeed = 2;
         module.defaultBpm = 50;
       },
       [](xm::XmModule& module) { module.defaultBpm = 51; }},
      // At speed 3 trackers end the row one 103 step, 12 periods, further up than vantor: 19
      // cents; a 102 step, 8 periods, 13 cents.
      {"a tone portamento without a note after a note played without one: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0xF4, 0x1, 0x03}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0xF4, 0x1, 0x02}}},
       setSpeed(3)},
      // Without an instrument number neither sets a volume: the 16 that plays stays in both.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0x20}}, {2, 3, {C4, 2, 0xF1}}},
       {{0, 3, {C4, 1, 0x20}}, {2, 3, {C4, 0, 0xF1}}},
       [](xm::XmModule& module) { module.instruments[1].samples[0].volume = 32; }},
      // At the top of the Amiga table a period is 17 cents: after 101 trackers stay a step
      // above the note, where vantor slides back to it; without the 101 both stay on it.
      {"a tone portamento without a note after a note played without one: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {A7, 1}}, {1, 3, {0, 0, 0, 0x1, 0x01}}, {2, 3, {0, 0, 0, 0x3, 0x08}}},
       {{0, 3, {A7, 1}}, {2, 3, {0, 0, 0, 0x3, 0x08}}},
       [](xm::XmModule& module) {
         module.flags = 0;
         module.instruments[0].samples[0].relativeNote = 4;
         module.instruments[0].samples[0].finetune = 8;
       }},
      // The same down, by 2xx.
      {"a tone portamento without a note after a note played without one: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0xF4, 0x2, 0x03}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 0, 0xF4, 0x2, 0x02}}},
       setSpeed(3)},
      // A depth given in the volume column, B8 beside 440's speed; B1's swing is 4 periods.
      {"B0 in the volume column after a vibrato with a depth: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0xB8, 0x4, 0x40}}, {1, 3, {0, 0, 0xB0}}},
       {{0, 3, {C4, 1, 0xB1, 0x4, 0x40}}, {1, 3, {0, 0, 0xB0}}},
       nullptr},
      // Instrument 4 loops 64, 32, 64 and sustains where the loop ends; after the key-off
      // trackers leave the loop there and fall to 0, vantor loops on. Near miss: a sustain
      // point inside the loop, left by both.
      {"a key-off under a volume envelope whose loop ends at its sustain point: 1 cell (order 1 row 2 "
       "channel 3) "
       "— ",
       {{0, 3, {C4, 4}}, {2, 3, {keyOff}}},
       {{0, 3, {C4, 4}}, {2, 3, {keyOff}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {6, 32}, {12, 64}, {30, 0}},
                                                 .sustainPoint = 2,
                                                 .loopStart = 0,
                                                 .loopEnd = 2,
                                                 .type = 7};
       },
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.sustainPoint = 1; }},
      // After the key-off vantor loops back to 64 where trackers stay at the sustain's 0; a new
      // note restarts the envelope in both.
      {"a key-off under a volume envelope whose loop ends at its sustain point: 1 cell (order 1 row 2 "
       "channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {keyOff}}},
       {{0, 3, {C4, 4}}, {2, 3, {C4, 4}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {
             .points = {{0, 64}, {6, 32}, {12, 0}, {30, 0}}, .sustainPoint = 2, .loopEnd = 2, .type = 7};
       }},
      // After a loop that holds 64, trackers fall from its end to 0 in 36 ticks, heard before
      // the song ends; falling in 388, they stay within 2.5 dB of vantor's loop until then.
      {"a key-off under a volume envelope whose loop ends at its sustain point: 1 cell (order 1 row 2 "
       "channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {keyOff}}},
       {{0, 3, {C4, 4}}, {2, 3, {keyOff}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {.points = {{0, 64}, {6, 64}, {12, 64}, {48, 0}, {1000, 0}},
                                                 .sustainPoint = 2,
                                                 .loopStart = 0,
                                                 .loopEnd = 2,
                                                 .type = 7};
       },
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.points[3].x = 400; }},
      // Instrument 2's number sets vantor's volume from its sample, 32, where trackers set the
      // playing sample's 64: 6 dB. Near miss: 52, under 2 dB.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {C4, 2, 0xF1}}},
       {{0, 3, {C4, 1}}, {2, 3, {C4, 2, 0xF1}}},
       [](xm::XmModule& module) { module.instruments[1].samples[0].volume = 32; },
       [](xm::XmModule& module) { module.instruments[1].samples[0].volume = 52; }},
      // EB0 with no amount in either memory moves nothing: CFF's volume, 12 dB above trackers'
      // 64, is Cxx's difference alone, and nothing is named at order 0 row 0 channel 0.
      {"Cxx above 64: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0xC, 0xFF}}, {2, 3, {0, 0, 0, 0xE, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0xC, 0x40}}, {2, 3, {0, 0, 0, 0xE, 0xB0}}},
       nullptr},
      // Before any tone portamento with a note, trackers have no target: after X1F has moved
      // the pitch 23 cents up they stay there, where vantor slides back to C-4; after X19, 14
      // cents up, too little to hear.
      {"a tone portamento without a note after a note played without one: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {1, 3, {0, 0, 0, 0x21, 0x1F}}, {2, 3, {0, 0, 0, 0x3, 0x05}}},
       {{0, 3, {C4, 1}}, {1, 3, {0, 0, 0, 0x21, 0x19}}, {2, 3, {0, 0, 0, 0x3, 0x05}}},
       nullptr},
      // At bpm 172 a tick lasts 15 ms: vantor's slide of 14 reaches 0 on the row's fifth tick,
      // while trackers' still sounds at 5, before the steps apart have lasted 50 ms.
      // Ex slides the panning right: at speed 2 by 30 a row in vantor, 15 in trackers, from
      // hard left; 75 apart after five rows is heard, 60 after four is not.
      {"volume-column slide (6x, 7x, Dx, Ex): 5 cells (order 1 row 1 channel 3, order 1 row 2 channel 3, "
       "order 1 row 3 channel 3, ...) — ",
       {{0, 3, {C4, 1, 0xC0}}, {1, 3, {0, 0, 0xEF}}, {2, 3, {0, 0, 0xEF}}, {3, 3, {0, 0, 0xEF}},
        {4, 3, {0, 0, 0xEF}}, {5, 3, {0, 0, 0xEF}}},
       {{0, 3, {C4, 1, 0xC0}}, {1, 3, {0, 0, 0xEF}}, {2, 3, {0, 0, 0xEF}}, {3, 3, {0, 0, 0xEF}},
        {4, 3, {0, 0, 0xEF}}},
       setSpeed(2)},
      {"volume-column slide (6x, 7x, Dx, Ex): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0x6E}}},
       {{0, 3, {C4, 1, 0x8E}}},  // a fine slide, on the row tick in both
       [](xm::XmModule& module) {
         module.defaultSpeed = 7;
         module.defaultBpm = 172;
         module.instruments[0].samples[0].volume = 61;
       }},
      // A08 after a key-off sets no volume: the note stays silent in both.
      {"a volume after a key-off, instrument without volume envelope: 1 cell (order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {keyOff}}, {3, 3, {0, 0, 0, 0xC, 0x20}}},
       {{0, 3, {C4, 1}}, {2, 3, {keyOff}}, {3, 3, {0, 0, 0, 0xA, 0x08}}},
       nullptr},
      // Instrument 2's sample lies an octave higher: with the note written, both tune it alike.
      {"EDx with an instrument number of another tuning, without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 2, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 1}}, {2, 3, {C4, 2, 0, 0xE, 0xD2}}},
       [](xm::XmModule& module) { module.instruments[1].samples[0].relativeNote = 12; }},
      // Without a sustain point only the fadeout parts the two: K06 at speed 6 releases in
      // vantor alone, 3072 a tick, heard as the note plays on; where the next row's note
      // replaces it, the fadeouts lie 2.5 dB apart on the row's last tick only (18 ms).
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x06}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x06}}, {3, 3, {C4, 4}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope.type = 1;
         module.instruments[3].fadeout = 1536;
       }},
      // In the song's last row, with no row after it: 8000 a tick lies 2.5 dB apart from the
      // row's third tick on (80 ms), named there; 3072 on its last only.
      {"Kxx with xx above 0: 1 cell (order 1 row 7 channel 3) — ",
       {{5, 3, {C4, 4}}, {7, 3, {0, 0, 0, 0x14, 0x06}}},
       {{5, 3, {C4, 4}}, {7, 3, {0, 0, 0, 0x14, 0x06}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope.type = 1;
         module.instruments[3].fadeout = 4000;
       },
       [](xm::XmModule& module) { module.instruments[3].fadeout = 1536; }},
      // Without a sustain point the key-off changes nothing in the envelope, and without a
      // fadeout nothing at all, however fast the envelope falls.
      {"Kxx with xx above 0: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 0, 0, 0x14, 0x03}}},
       nullptr,
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.type = 1; }},
      // Beside a volume-column tone portamento too: both players keep the envelope where it
      // holds (behaviour/ft2_envelope_reset.xm row 27, channel 0 alone: 20 dB below vantor's
      // restart for 100 ms).
      {"K00 with an instrument number, instrument with a volume envelope: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 1}}, {2, 3, {0, 1, 0xF1, 0x14, 0x00}}},
       {{0, 3, {C4, 1}}, {2, 3, {0, 1, 0xF1, 0x14, 0x00}}},
       fallingToItsSustain(0), startingWhereItHolds(0)},
      // The restarted envelope holds trackers' 16 for six ticks and rises to 64 only in the row
      // after the K00, which is followed too; started where it holds, nothing.
      {"K00 with an instrument number, instrument with a volume envelope: 1 cell (order 1 row 2 channel 3) "
       "— ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 4, 0, 0x14, 0x00}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 4, 0, 0x14, 0x00}}},
       [](xm::XmModule& module) {
         module.instruments[3].volumeEnvelope = {
             .points = {{0, 16}, {6, 16}, {8, 64}, {12, 16}}, .sustainPoint = 3, .type = 3};
       },
       [](xm::XmModule& module) { module.instruments[3].volumeEnvelope.points[2].y = 16; }},
      // At the top of the Amiga table vantor drops the period's fraction: realNote 97 lies at
      // 100.99 and plays at 100, 17 cents sharp; with finetune 8 it lies at 100.63, 11 cents.
      // The 102 after it slides away from the note's period, which only the note's own is judged by.
      {"a note at the top of the Amiga frequency table: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {A7, 1}}, {1, 3, {0, 0, 0, 0x1, 0x02}}},
       {{0, 3, {A7, 1}}, {1, 3, {0, 0, 0, 0x1, 0x02}}},
       [](xm::XmModule& module) {
         module.flags = 0;
         module.instruments[0].samples[0].relativeNote = 4;
       },
       [](xm::XmModule& module) { module.instruments[0].samples[0].finetune = 8; }},
      // 1FF from C-4 on the Amiga table passes period 56 on the row's second effect tick:
      // vantor's note sounds on at the stop, trackers' falls silent; the 101 of the note
      // before is not named. Near miss: instrument 3's sample has ended before, in both.
      {"1xx past period 56 on the Amiga frequency table: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1, 0x01}}, {2, 3, {C4, 1, 0, 0x1, 0xFF}}},
       {{0, 3, {C4, 3, 0, 0x1, 0x01}}, {2, 3, {C4, 3, 0, 0x1, 0xFF}}},
       [](xm::XmModule& module) { module.flags = 0; }},
      // At speed 3, 180 carries C-4 from 1712 to 688 in row 0 and past 56 in row 1: named from
      // row 0. 120 in row 1 ends at 432.
      {"1xx past period 56 on the Amiga frequency table: 2 cells (order 1 row 0 channel 3, order 1 row 1 "
       "channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1, 0x80}}, {1, 3, {0, 0, 0, 0x1, 0x80}}},
       {{0, 3, {C4, 1, 0, 0x1, 0x80}}, {1, 3, {0, 0, 0, 0x1, 0x20}}},
       amigaTableAtSpeed(3)},
      // At speed 3, 1D0 takes C-4 from period 1712 past 56 on its second tick; 1CF lands on 56
      // in both, and the note sounds on there alike.
      {"1xx past period 56 on the Amiga frequency table: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1, 0xD0}}},
       {{0, 3, {C4, 1, 0, 0x1, 0xCF}}},
       amigaTableAtSpeed(3)},
      // On the Amiga table vantor's vibrato rises where trackers' falls: 4x8 lies 50 cents either
      // way at C-4 and is heard; 4x1, a few cents, is not; on the linear table the two agree.
      {"vibrato (4xy, 6xy, Bx) on the Amiga frequency table: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x48}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x41}}},
       [](xm::XmModule& module) { module.flags = 0; }},
      {"vibrato (4xy, 6xy, Bx) on the Amiga frequency table: 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x4, 0x48}}},
       {{0, 3, {C4, 1, 0, 0x4, 0x48}}},
       [](xm::XmModule& module) { module.flags = 0; },
       [](xm::XmModule& module) { module.flags = 1; }},
      // The volume column's vibrato: A8 sets the speed, B8 vibrates.
      {"vibrato (4xy, 6xy, Bx) on the Amiga frequency table: 1 cell (order 1 row 1 channel 3) — ",
       {{0, 3, {C4, 1, 0xA8}}, {1, 3, {0, 0, 0xB8}}},
       {{0, 3, {C4, 1, 0xA8}}, {1, 3, {0, 0, 0xB8}}},
       [](xm::XmModule& module) { module.flags = 0; },
       [](xm::XmModule& module) { module.flags = 1; }},
      // On the Amiga table G-3 lies 129 periods above G#3: F2 slides there in two ticks, 59 ms
      // at 75 bpm; F3 in one.
      {"volume-column tone portamento (Fx) with a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {44, 1}}, {2, 3, {45, 0, 0xF2}}},
       {{0, 3, {44, 1}}, {2, 3, {45, 0, 0xF3}}},
       [](xm::XmModule& module) {
         module.flags = 0;
         module.defaultBpm = 75;
       }},
      // The key-off a row after the instrument number fades at instrument 5's rate in vantor
      // too; after a new note of instrument 4 between them, at 4's in both.
      {"an instrument number without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 4}}, {2, 3, {0, 5}}, {3, 3, {keyOff}}},
       {{0, 3, {C4, 4}}, {2, 3, {0, 5}}, {3, 3, {C4, 4}}, {4, 3, {keyOff}}},
       [](xm::XmModule& module) {
         module.instruments[3].fadeout = 4095;
         module.instruments.push_back(module.instruments[3]);
         module.instruments[4].fadeout = 512;
       }},
      // The EB0 parts the two by too little to hear (49 against 64); C20 then sets 32 in both.
      // EB0 parts the two by 2 (61 against 59), too little to hear; EAF takes both to 64, where
      // they agree, and the two EB0 after it are named from the EAF, not from the first part.
      {"EA0 or EB0 after a fine slide the other way: 3 cells (order 1 row 3 channel 3, order 1 row 4 channel "
       "3, order 1 row 5 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0xE, 0xB3}}, {1, 3, {0, 0, 0, 0xE, 0xA1}}, {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xE, 0xAF}}, {4, 3, {0, 0, 0, 0xE, 0xB0}}, {5, 3, {0, 0, 0, 0xE, 0xB0}}},
       {{0, 3, {C4, 1, 0, 0xE, 0xB3}}, {1, 3, {0, 0, 0, 0xE, 0xA1}}, {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xE, 0xAF}}, {4, 3, {0, 0, 0, 0xE, 0xB0}}},  // one EB0 after the EAF: 1.9 dB
       nullptr},
      // From 16: EB4, EA2, then EB0 parts the two (12 against 10); a second EB0 takes them to 10
      // against 6, heard; EB3 in its place to 9 against 7, not heard, and EBF after it to 0 in both.
      {"EA0 or EB0 after a fine slide the other way: 3 cells (order 1 row 1 channel 3, order 1 row 2 channel "
       "3, order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1, 0x20, 0xE, 0xB4}}, {1, 3, {0, 0, 0, 0xE, 0xA2}}, {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xE, 0xB0}}},
       {{0, 3, {C4, 1, 0x20, 0xE, 0xB4}}, {1, 3, {0, 0, 0, 0xE, 0xA2}}, {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xE, 0xB3}}, {4, 3, {0, 0, 0, 0xE, 0xBF}}},
       nullptr},
      {"EA0 or EB0 after a fine slide the other way: 3 cells (order 1 row 1 channel 3, order 1 row 2 channel "
       "3, "
       "order 1 row 3 channel 3) — ",
       {{0, 3, {C4, 1}},
        {1, 3, {0, 0, 0, 0xE, 0xAF}},
        {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xE, 0xB0}}},
       {{0, 3, {C4, 1}},
        {1, 3, {0, 0, 0, 0xE, 0xAF}},
        {2, 3, {0, 0, 0, 0xE, 0xB0}},
        {3, 3, {0, 0, 0, 0xC, 0x20}}},
       nullptr},
      // ED8 never comes at speed 6, in either: the new sample's tuning is never heard.
      {"EDx with an instrument number of another tuning, without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 2}}, {2, 3, {0, 1, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 2}}, {2, 3, {0, 1, 0, 0xE, 0xD8}}},
       [](xm::XmModule& module) { module.instruments[0].samples[0].relativeNote = 12; }},
      // Nor where the new instrument's sample is empty: nothing plays at either pitch.
      {"EDx with an instrument number of another tuning, without a note: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 2}}, {2, 3, {0, 1, 0, 0xE, 0xD2}}},
       {{0, 3, {C4, 2}}, {2, 3, {0, 5, 0, 0xE, 0xD2}}},
       [](xm::XmModule& module) {
         module.instruments[0].samples[0].relativeNote = 12;
         module.instruments.push_back(xm::XmInstrument::withSample(xm::XmSample::eightBit({})));
         module.instruments[4].samples[0].relativeNote = 12;
       }},
      // The tremor on a note at volume 0 is heard nowhere; the instrument number gives it the
      // sample's volume again and restarts the count, and TF0 sounds through the row in both.
      {"Txy (tremor): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x11}}},
       {{0, 3, {C4, 1, 0x10, 0x1D, 0x11}}, {2, 3, {0, 1}}, {3, 3, {0, 0, 0, 0x1D, 0xF0}}},
       setSpeed(5)},
      // T10 at volume 0 leaves trackers' count in a sounding phase; the next note's instrument
      // number starts the count again from silence, so TFF sounds through its row in both.
      {"Txy (tremor): 1 cell (order 1 row 0 channel 3) — ",
       {{0, 3, {C4, 1, 0, 0x1D, 0x11}}},
       {{0, 3, {C4, 1, 0x10, 0x1D, 0x10}}, {2, 3, {C4, 1, 0, 0x1D, 0xFF}}},
       setSpeed(5)},
      // Cxx with a key-off note: trackers set the volume after the key-off, vantor keeps silent.
      {"a volume after a key-off, instrument without volume envelope: 1 cell (order 1 row 2 channel 3) — ",
       {{0, 3, {C4, 1}}, {2, 3, {keyOff, 0, 0, 0xC, 0x20}}},
       {{0, 3, {C4, 1}}, {2, 3, {keyOff, 0, 0, 0xC, 0x00}}},
       nullptr},
      // At a speed of 0 the whole song runs otherwise: its K03 is not named on its own.
      {"a default speed of 0: in the header — ",
       {{0, 3, {C4, 1, 0, 0x14, 0x03}}},
       {{0, 3, {C4, 1}}},
       setSpeed(0),
       setSpeed(6)},
      {"more than 32 channels: 33 in the file — ",
       {},
       {},
       [](xm::XmModule& module) {
         module.channelCount = 33;
         module.patterns = {xm::XmPattern::empty(8, 33), xm::XmPattern::empty(8, 33)};
       },
       [](xm::XmModule& module) {
         module.channelCount = 32;
         module.patterns = {xm::XmPattern::empty(8, 32), xm::XmPattern::empty(8, 32)};
       }},
  };
}

TEST_F(TrackerDifferencesTest, EachRuleIsNamedWhereItIsHeardAndNotInItsNearMiss) {
  for (const RuleCase& c : ruleCases()) {
    SCOPED_TRACE(c.named);
    xm::XmModule heard = songWith(c.heard);
    if (c.both) c.both(heard);
    std::vector<std::string> lines = differencesOf(heard);
    EXPECT_EQ(lines.size(), 1u) << testing::PrintToString(lines);  // every row is tried
    if (!lines.empty()) {
      EXPECT_EQ(lines[0].substr(0, c.named.size()), c.named);
    }

    xm::XmModule nearMiss = songWith(c.nearMiss);
    if (c.both) c.both(nearMiss);
    if (c.nearOnly) c.nearOnly(nearMiss);
    EXPECT_EQ(differencesOf(nearMiss), nothingFound) << "near miss";

    // Every rule reads every channel: a passage of channel 3 alone, moved to the first
    // channel, is named there.
    std::size_t at = c.named.find("channel 3");
    auto onChannel3 = [](const PlacedCell& placed) { return placed.channel == 3; };
    if (at == std::string::npos || !std::all_of(c.heard.begin(), c.heard.end(), onChannel3)) continue;
    std::vector<PlacedCell> moved = c.heard;
    for (PlacedCell& placed : moved) placed.channel = 0;
    xm::XmModule first = songWith(moved);
    if (c.both) c.both(first);
    std::string named = c.named;
    for (; at != std::string::npos; at = named.find("channel 3", at)) named.replace(at, 9, "channel 0");
    lines = differencesOf(first);
    EXPECT_TRUE(lines.size() == 1 && lines[0].starts_with(named))
        << "on channel 0: " << testing::PrintToString(lines);
  }
}

// A note before any instrument number plays nothing in trackers, so the E-4 with 301
// after it starts no note there either and leaves them no target: only the silent note's
// own rule is named, not the 301 of row 3.
TEST_F(TrackerDifferencesTest, ATonePortamentoAfterANoteBeforeAnyInstrumentGivesTrackersNoTarget) {
  std::vector<std::string> lines = differencesOf(songWith(
      {{0, 3, {C4, 0}}, {1, 3, {E4, 1, 0, 0x3, 0x01}}, {2, 3, {C4, 1}}, {3, 3, {0, 0, 0, 0x3, 0x01}}}));
  ASSERT_EQ(lines.size(), 1u) << testing::PrintToString(lines);
  EXPECT_TRUE(lines[0].starts_with("a note or retrigger on a channel that has had no instrument number"));
}

// A loop whose first row the next pattern does not have: both start that pattern at row 0.
TEST_F(TrackerDifferencesTest, ALoopBeforeAPatternTooShortForItsRowIsNotNamed) {
  xm::XmModule shortNext = songWith({});
  shortNext.orders = {1, 0};
  shortNext.patterns[0] = xm::XmPattern::empty(4, 5);
  shortNext.patterns[1].at(5, 3) = {0, 0, 0, 0xE, 0x60};
  shortNext.patterns[1].at(6, 3) = {0, 0, 0, 0xE, 0x61};
  EXPECT_EQ(differencesOf(shortNext), nothingFound);
}

// Where the two trackers' players follow the tracker that saved the song, a rule is named
// only for the songs whose tracker both play otherwise. A program that writes FastTracker
// 2's name with a title padded with zero bytes is played by one of them as vantor plays it.
TEST_F(TrackerDifferencesTest, RulesThatFollowTheSongsTrackerAreNamedForItsSongsOnly) {
  struct Case {
    std::vector<PlacedCell> cells;
    std::string named;
    const char* notFor;  // the tracker whose songs do not hear it
    std::string notForTitle;
  };
  const Case cases[] = {
      {{{0, 3, {C4, 1}}, {2, 3, {D4, 1, 0, 0xE, 0xD8}}, {2, 4, {0, 0, 0, 0xE, 0xE1}}},
       "EDx at or past the speed in a row that EEx lengthens: 1 cell",
       "FastTracker v2.00",
       "a zero-padded title"},
      {{{0, 3, {C4, 1}}, {2, 3, {keyOff, 1}}},
       "a key-off with an instrument number, instrument without volume envelope: 1 cell",
       "FastTracker v2.00",
       "a zero-padded title"},
      // Other trackers' arpeggios are played by one player as vantor plays them.
      {{{0, 3, {C4, 1, 0, 0x0, 0x37}}}, "0xy (arpeggio): 1 cell", "MilkyTracker", fastTrackerTitle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    xm::XmModule module = songWith(c.cells);
    module.tracker = "FastTracker v2.00";
    module.name = fastTrackerTitle;
    module.defaultBpm = 60;
    std::vector<std::string> lines = differencesOf(module);
    ASSERT_EQ(lines.size(), 1u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0].substr(0, c.named.size()), c.named);
    module.tracker = c.notFor;
    module.name = c.notForTitle;
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
  // A pattern of 256 rows, whose count takes both bytes, is read whole.
  xm::XmModule longPattern = songWith({});
  longPattern.patterns[0] = xm::XmPattern::empty(256, 5);
  EXPECT_EQ(differencesOf(longPattern), nothingFound);

  xm::XmModule refused = songWith({});
  refused.instruments[0].samples.assign(17, refused.instruments[0].samples[0]);
  std::string song = songFile(refused);
  ToolRun check = runTool({"check", song});
  EXPECT_EQ(check.exitCode, 1);
  // Every one of the loader's reasons, in full.
  EXPECT_NE(
      check.errors.find(song + ": not loaded: the loader refuses '" + song +
                        "': refused: an instrument declares more than 16 samples; refused at instrument 1\n"),
      std::string::npos)
      << check.errors;
  EXPECT_NE(check.errors.find(
                song + ": an instrument with more than 16 samples: vantor refuses the whole file; trackers "
                       "that write more play them (keep every instrument at 16 samples or fewer)"),
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
                            "trackers are silent (without a note in the row, they play on)\n" +
                            offset +
                            ":1:4:3: 9xx beyond the sample's loop end: vantor restarts the playing sample; "
                            "trackers are silent (without a note in the row, they play on)\n" +
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

  for (const std::vector<std::string>& usage : {std::vector<std::string>{"check"},
                                                {"check", clean, "--seconds", "1"},
                                                {"check", clean, "--markdown"},
                                                {"check", "--list-rules", clean}}) {
    ToolRun wrong = runTool(usage);
    EXPECT_EQ(wrong.exitCode, 2) << testing::PrintToString(usage);
    EXPECT_TRUE(wrong.output.empty()) << wrong.output;
  }
}

}  // namespace
}  // namespace vantor::test
