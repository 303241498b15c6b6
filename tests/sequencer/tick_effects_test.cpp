// The effect ticks: slides, portamentos, arpeggio, retrigger, cut, tremor, global
// volume and panning slides, with their memories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sequencer/channel.h"
#include "sequencer/pitch.h"
#include "sequencer/saturating.h"
#include "support/replay.h"
#include "support/song_builder.h"

namespace vantor::test {
namespace {

// Plays one row and returns the ticks of the row on which channel 0 started its
// sample. Nothing mixes here, so only a start puts the voice back at position 0.
std::vector<int> noteStartTicks(Replay& replay) {
  std::vector<int> ticks;
  do {
    int tick = replay.song().tick;
    replay.voice(0).position = 1;
    replay.tick();
    if (replay.voice(0).position == 0) ticks.push_back(tick);
  } while (replay.song().tick != 0);
  return ticks;
}

TEST(TickEffects, ArpeggioShiftsByTickModuloThree) {
  Replay linear(SongBuilder().speed(6).instrument().pattern(0, 4).rows({"C-4 01 .. 007"}).build());
  std::vector<int> offsets;
  for (int tick = 0; tick < 6; ++tick) {
    linear.tick();
    offsets.push_back(linear.channel(0).periodOffset);
  }
  EXPECT_EQ(offsets, (std::vector<int>{0, 0, 448, 0, 0, 448}));

  Replay amiga(SongBuilder().amigaTable().instrument().pattern(0, 4).rows({"C-4 01 .. 070"}).build());
  amiga.tick(2);
  EXPECT_EQ(amiga.channel(0).periodOffset, amigaPeriod(55, 0) - amigaPeriod(48, 0));
  EXPECT_LT(amiga.channel(0).periodOffset, 0);
}

TEST(TickEffects, PortamentoUpStopsAt56OnBothTables) {
  for (bool linearTable : {true, false}) {
    SCOPED_TRACE(linearTable ? "linear" : "amiga");
    SongBuilder builder;
    if (!linearTable) builder.amigaTable();
    Replay replay(builder.instrument().pattern(0, 4).rows({"C-4 01 .. 1FF", "... .. .. 100"}).build());
    replay.tick(2);
    EXPECT_EQ(replay.channel(0).period, linearTable ? 4608 - 1020 : 1712 - 1020);
    replay.playRow();
    EXPECT_EQ(replay.channel(0).period, 56);
    replay.playRow();
    EXPECT_EQ(replay.channel(0).period, 56);
  }
}

TEST(TickEffects, PortamentoDownHasNoUpperStopButSaturates) {
  Replay replay(SongBuilder().instrument().pattern(0, 4).rows({"C-4 01 .. 2FF", "... .. .. 200"}).build());
  replay.playRow();
  EXPECT_EQ(replay.channel(0).period, 4608 + 5 * 1020);
  replay.channel(0).period = accumulatorLimit - 10;
  replay.playRow();
  EXPECT_EQ(replay.channel(0).period, accumulatorLimit);
}

TEST(TickEffects, RetriggersFallOnTheIntervalTicksOnlyAndR00Repeats) {
  Replay replay(SongBuilder()
                    .speed(6)
                    .instrument()
                    .pattern(0, 8)
                    .rows({"C-4 01 .. R03", "... .. .. R00", "... .. .. E93", "... .. .. E90"})
                    .build());
  EXPECT_EQ(noteStartTicks(replay), (std::vector<int>{0, 3}));  // the note, then the retrigger
  EXPECT_EQ(noteStartTicks(replay), (std::vector<int>{3}));
  EXPECT_EQ(noteStartTicks(replay), (std::vector<int>{3}));
  EXPECT_EQ(noteStartTicks(replay), (std::vector<int>{}));
}

TEST(TickEffects, MultiRetrigVolumeChanges) {
  const int expected[16] = {0, 40, 39, 37, 33, 25, 27, 20, 41, 42, 43, 45, 49, 57, 61, 64};
  for (int change = 1; change < 16; ++change) {
    std::string cell = "C-4 01 39 R" + std::string(1, "0123456789ABCDEF"[change]) + "3";
    SCOPED_TRACE(cell);
    Replay replay(SongBuilder().speed(6).instrument().pattern(0, 4).rows({cell}).build());
    replay.tick(3);
    EXPECT_EQ(replay.channel(0).volume, 41);
    replay.tick();
    EXPECT_EQ(replay.channel(0).volume, expected[change]);
  }
}

TEST(TickEffects, NoteCutSilencesFromItsTickAndEC0DoesNothing) {
  for (const char* cell : {"C-4 01 .. EC3", "C-4 01 .. EC0"}) {
    SCOPED_TRACE(cell);
    bool cuts = std::string(cell) == "C-4 01 .. EC3";
    Replay replay(SongBuilder().speed(6).instrument().pattern(0, 4).rows({cell}).build());
    for (int tick = 0; tick < 6; ++tick) {
      replay.tick();
      bool silent = cuts && tick >= 3;
      EXPECT_EQ(replay.channel(0).volume, silent ? 0 : 64) << "tick " << tick;
      EXPECT_EQ(replay.voice(0).volume, silent ? 0 : 127) << "tick " << tick;
    }
  }
}

TEST(TickEffects, GlobalVolumeSlideReachesVoicesAtTheirNextVolumeUpdate) {
  Replay replay(SongBuilder()
                    .speed(6)
                    .instrument()
                    .pattern(0, 4)
                    .rows({"C-4 01 .. H04", "... .. .. H00", "... .. .. HF0"})
                    .build());
  replay.playRow();
  EXPECT_EQ(replay.song().globalVolume, 44);
  EXPECT_EQ(replay.voice(0).volume, 127);
  replay.tick();
  EXPECT_EQ(replay.voice(0).volume, 87);
  replay.playRow();
  EXPECT_EQ(replay.song().globalVolume, 24);
  replay.playRow();
  EXPECT_EQ(replay.song().globalVolume, 64);
}

TEST(TickEffects, PanningSlideStopsAtTheEndsWhileVolumeColumnSlidesDoNot) {
  Replay replay(SongBuilder()
                    .speed(6)
                    .instrument()
                    .pattern(0, 8)
                    .rows({"C-4 01 .. 8F0", "... .. .. PF0", "... .. EF ...", "... .. .. 808",
                           "... .. .. P0F", "... .. DF ..."})
                    .build());
  replay.playRow();
  replay.playRow();
  EXPECT_EQ(replay.channel(0).panning, 255);
  replay.playRow();
  EXPECT_EQ(replay.channel(0).panning, 255 + 6 * 15);
  EXPECT_EQ(replay.voice(0).pan, 255);
  replay.playRow();
  replay.playRow();
  EXPECT_EQ(replay.channel(0).panning, 0);
  replay.playRow();
  EXPECT_EQ(replay.channel(0).panning, -6 * 15);
  EXPECT_EQ(replay.voice(0).pan, 0);
}

TEST(TickEffects, VolumeColumnVibratoWithVibratoEffectAdvancesThePhaseTwice) {
  Replay both(SongBuilder().instrument().pattern(0, 4).rows({"C-4 01 B4 482"}).build());
  both.tick(2);
  EXPECT_EQ(both.channel(0).vibratoPos, 16);
  both.tick();
  EXPECT_EQ(both.channel(0).vibratoPos, -32);

  Replay effectOnly(SongBuilder().instrument().pattern(0, 4).rows({"C-4 01 .. 482"}).build());
  effectOnly.tick(2);
  EXPECT_EQ(effectOnly.channel(0).vibratoPos, 8);
}

TEST(TickEffects, VolumeSlidesShareOneMemory) {
  Replay replay(SongBuilder()
                    .speed(6)
                    .instrument()
                    .pattern(0, 4)
                    .rows({"C-4 01 .. A02", "... .. .. 500", "... .. .. 600"})
                    .build());
  replay.playRow();
  EXPECT_EQ(replay.channel(0).volume, 54);
  replay.playRow();
  EXPECT_EQ(replay.channel(0).volume, 44);
  replay.playRow();
  EXPECT_EQ(replay.channel(0).volume, 34);
}

// From volume 16 at speed 6, A42 slides up by 4 on five ticks (36); down by 2 would give 6.
TEST(TickEffects, VolumeSlideWithBothNibblesSlidesUp) {
  Replay replay(SongBuilder().speed(6).instrument().pattern(0, 4).rows({"C-4 01 20 A42"}).build());
  replay.playRow();
  EXPECT_EQ(replay.channel(0).volume, 36);
}

TEST(TickEffects, TremorCountsTheRowTickAndZeroCountsSilence) {
  Replay replay(SongBuilder().speed(6).instrument().pattern(0, 4).rows({"C-4 01 .. T12"}).build());
  std::vector<int> offsets;
  for (int tick = 0; tick < 6; ++tick) {
    replay.tick();
    offsets.push_back(replay.channel(0).volumeOffset);
  }
  EXPECT_EQ(offsets, (std::vector<int>{0, 0, -64, -64, -64, 0}));

  Replay zero(SongBuilder().speed(6).instrument().pattern(0, 4).rows({"C-4 01 .. T00"}).build());
  for (int tick = 0; tick < 6; ++tick) {
    zero.tick();
    EXPECT_EQ(zero.channel(0).volumeOffset, -64) << "tick " << tick;
  }
}

TEST(TickEffects, FadeoutRunsOnEveryTickAfterKeyOff) {
  Replay replay(SongBuilder()
                    .speed(6)
                    .instrument()
                    .fadeout(1000)
                    .pattern(0, 4)
                    .rows({"C-4 01 .. ...", "=== .. .. ..."})
                    .build());
  replay.playRow();
  replay.playRow();
  EXPECT_EQ(replay.channel(0).keyOff, 1);
  EXPECT_EQ(replay.channel(0).fadeoutVolume, 65536 - 6 * 1000);
}

}  // namespace
}  // namespace vantor::test
