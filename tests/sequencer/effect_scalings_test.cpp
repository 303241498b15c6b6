// How far each effect moves what it changes, where it stops, and which parameter of 0
// repeats the last one: one table of short patterns at speed 6 (five effect ticks a
// row) on the linear table, where C-4 is period 4608 and D-4 period 4480.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "support/replay.h"
#include "support/song_builder.h"

namespace vantor::test {
namespace {

int period(Replay& replay) { return replay.channel(0).period; }
int volume(Replay& replay) { return replay.channel(0).volume; }
int panning(Replay& replay) { return replay.channel(0).panning; }
int globalVolume(Replay& replay) { return replay.song().globalVolume; }
int startPosition(Replay& replay) { return replay.voice(0).position; }
// Speed and depth as the hexadecimal digits of a parameter.
int vibrato(Replay& replay) { return replay.channel(0).vibratoSpeed << 4 | replay.channel(0).vibratoDepth; }
int tremolo(Replay& replay) { return replay.channel(0).tremoloSpeed << 4 | replay.channel(0).tremoloDepth; }
int waveforms(Replay& replay) { return replay.channel(0).waveControl; }
int tremor(Replay& replay) { return replay.channel(0).tremorOnTicks << 4 | replay.channel(0).tremorOffTicks; }

TEST(EffectScalings, EachEffectMovesByItsStepStopsAtItsLimitAndRepeatsOnZero) {
  struct Case {
    const char* rule;
    std::vector<std::string_view> rows;  // each played whole
    int (*read)(Replay&);
    int expected;
  };
  const Case cases[] = {
      {"E1x: 4 units on the row tick, E10 again", {"C-4 01 .. E13", "... .. .. E10"}, period, 4608 - 24},
      {"E2x: 4 units on the row tick, E20 again", {"C-4 01 .. E23", "... .. .. E20"}, period, 4608 + 24},
      {"X1y: 1 unit on the row tick, X10 again", {"C-4 01 .. X13", "... .. .. X10"}, period, 4608 - 6},
      {"X2y: 1 unit on the row tick, X20 again", {"C-4 01 .. X23", "... .. .. X20"}, period, 4608 + 6},
      {"3xx: 4 units a tick, 300 again", {"C-4 01 .. ...", "D-4 .. .. 302", "... .. .. 300"}, period, 4528},
      {"volume column F0 keeps the speed", {"C-4 01 .. ...", "D-4 .. .. 302", "... .. F0 ..."}, period, 4528},
      {"5xy keeps the speed of 3xx", {"C-4 01 .. ...", "D-4 .. .. 302", "... .. .. 500"}, period, 4528},
      {"Axy stops at 0", {"C-4 01 14 A0F"}, volume, 0},
      {"A00 repeats the slide", {"C-4 01 .. A01", "... .. .. A00"}, volume, 54},
      {"EAx stops at 64, EB0 slides by the same", {"C-4 01 4C EA8", "... .. .. EB0"}, volume, 56},
      {"EBx stops at 0", {"C-4 01 14 EB8"}, volume, 0},
      {"Rxy's volume change stops at 0", {"C-4 01 1A R53"}, volume, 0},
      {"R00 repeats the volume change", {"C-4 01 .. R13", "... .. .. R00"}, volume, 62},
      {"Gxx stops at 64", {"C-4 01 .. G50"}, globalVolume, 64},
      {"Hxy stops at 0", {"C-4 01 .. G05", "... .. .. H0F"}, globalVolume, 0},
      {"E8x: 16 a step", {"C-4 01 .. E8F"}, panning, 240},
      {"P00 repeats the slide", {"C-4 01 .. P02", "... .. .. P00"}, panning, 128 - 20},
      {"900 repeats the offset, in 256 frames", {"C-4 01 .. 902", "C-4 01 .. 900"}, startPosition, 512},
      {"4xy keeps a 0 nibble",
       {"C-4 01 .. 486", "... .. .. 400", "... .. .. 4A0", "... .. .. 403"},
       vibrato,
       0xA3},
      {"7xy keeps a 0 nibble",
       {"C-4 01 .. 786", "... .. .. 700", "... .. .. 7A0", "... .. .. 703"},
       tremolo,
       0xA3},
      {"T00 keeps the counts", {"C-4 01 .. T12", "... .. .. T00"}, tremor, 0x23},
      {"E4x replaces the vibrato waveform only",
       {"C-4 01 .. E77", "... .. .. E43", "... .. .. E44"},
       waveforms,
       0x74},
      {"E7x replaces the tremolo waveform only",
       {"C-4 01 .. E45", "... .. .. E73", "... .. .. E74"},
       waveforms,
       0x45},
  };
  for (const Case& c : cases) {
    Replay replay(SongBuilder().speed(6).instrument().pattern(0, 8).rows(c.rows).build());
    for (std::size_t row = 0; row < c.rows.size(); ++row) replay.playRow();
    EXPECT_EQ(c.read(replay), c.expected) << c.rule;
  }
}

}  // namespace
}  // namespace vantor::test
