// The order list, rows and ticks: natural advance, jumps, breaks, loops, delays,
// speed and tempo, and song references that lie outside the song.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "support/replay.h"
#include "support/song_builder.h"

namespace vantor::test {
namespace {

using Positions = std::vector<SongPosition>;

TEST(TickDriver, NaturalEndContinuesAtRestartPositionWhileBreakOnLastOrderGoesToZero) {
  SongBuilder builder;
  builder.speed(1).orders({0, 1, 2}).restartPosition(1).pattern(0, 2).pattern(1, 2).pattern(2, 2);
  Replay natural(builder.build());
  EXPECT_EQ(natural.playRows(8), (Positions{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {1, 0}, {1, 1}}));

  Replay broken(builder.pattern(2, 2).rows({"... .. .. D01"}).build());
  EXPECT_EQ(broken.playRows(7), (Positions{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {0, 1}, {1, 0}}));
}

TEST(TickDriver, RightmostPositionEffectOfARowWins) {
  SongBuilder builder;
  builder.channels(2).speed(1).orders({0, 1, 2, 3, 4, 5});
  Replay jumpThenBreak(SongBuilder(builder).pattern(0).rows({"... .. .. B05 | ... .. .. D10"}).build());
  EXPECT_EQ(jumpThenBreak.playRows(2), (Positions{{0, 0}, {5, 10}}));

  Replay breakThenJump(SongBuilder(builder).pattern(0).rows({"... .. .. D10 | ... .. .. B05"}).build());
  EXPECT_EQ(breakThenJump.playRows(2), (Positions{{0, 0}, {5, 0}}));

  // A jump beyond the song goes to order 0; a break row above 63 becomes row 0.
  Replay farJump(SongBuilder(builder).pattern(0, 4).rows({"... .. .. B09"}).build());
  EXPECT_EQ(farJump.playRows(3), (Positions{{0, 0}, {0, 0}, {0, 0}}));
  Replay farBreak(SongBuilder(builder).pattern(0, 4).rows({"... .. .. D64"}).build());
  EXPECT_EQ(farBreak.playRows(2), (Positions{{0, 0}, {1, 0}}));
}

// 63 is the highest break row kept: the last row of a 64-row pattern.
TEST(TickDriver, BreakToRow63StartsTheNextPatternThere) {
  Replay replay(SongBuilder().speed(1).orders({0, 1}).pattern(0, 2).rows({"... .. .. D63"}).build());
  EXPECT_EQ(replay.playRows(2), (Positions{{0, 0}, {1, 63}}));
}

TEST(TickDriver, PatternLoopPlaysItsRowsThreeTimes) {
  Replay replay(
      SongBuilder().speed(1).pattern(0, 10).row(4, "... .. .. E60").row(7, "... .. .. E62").build());
  std::vector<int> rows;
  for (SongPosition position : replay.playRows(18)) rows.push_back(position.row);
  EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5, 6, 7, 8, 9}));
}

TEST(TickDriver, PatternDelayLengthensTheRowAndArpeggioFollowsTheTickCounter) {
  Replay replay(SongBuilder()
                    .channels(2)
                    .speed(6)
                    .instrument()
                    .pattern(0, 4)
                    .rows({"C-4 01 .. 047 | ... .. .. EE2"})
                    .build());
  replay.tick();
  for (int tick = 1; tick < 18; ++tick) {
    replay.tick();
    ASSERT_EQ(replay.song().row, 0) << "tick " << tick;
    int expected = tick % 3 == 1 ? 4 * 64 : tick % 3 == 2 ? 7 * 64 : 0;
    EXPECT_EQ(replay.channel(0).periodOffset, expected) << "tick " << tick;
  }
  EXPECT_EQ(replay.song().tick, 0);
  replay.tick();
  EXPECT_EQ(replay.song().row, 1);
}

TEST(TickDriver, SpeedZeroMakesEveryTickARowTick) {
  Replay replay(SongBuilder().speed(6).pattern(0, 8).rows({"... .. .. F00"}).build());
  replay.tick(4);
  EXPECT_EQ(replay.song().row, 3);
  EXPECT_EQ(replay.song().tick, 0);
}

TEST(TickDriver, SpeedBelow32AndTempoFrom32) {
  Replay replay(
      SongBuilder().speed(6).bpm(125).pattern(0, 4).rows({"... .. .. F1F", "... .. .. F20"}).build());
  replay.tick();
  EXPECT_EQ(replay.song().speed, 31);
  replay.tick(30);
  EXPECT_EQ(replay.song().tick, 0);
  replay.tick();
  EXPECT_EQ(replay.song().row, 1);
  EXPECT_EQ(replay.song().speed, 31);
  EXPECT_EQ(replay.song().bpm, 32);
  EXPECT_EQ(replay.song().samplesPerTick, 110250 / 32);  // already for the tick that set it
}

TEST(TickDriver, BreakOrLoopRowBeyondTheTargetPatternBecomesRowZero) {
  Replay breakInto16Rows(
      SongBuilder().speed(1).orders({0, 1}).pattern(1, 16).pattern(0, 2).rows({"... .. .. D32"}).build());
  EXPECT_EQ(breakInto16Rows.playRows(3), (Positions{{0, 0}, {1, 0}, {1, 1}}));

  // The loop start row was taken in a longer pattern.
  Replay loop(SongBuilder()
                  .speed(1)
                  .orders({0, 1})
                  .pattern(0, 52)
                  .row(50, "... .. .. E60")
                  .pattern(1, 32)
                  .row(3, "... .. .. E61")
                  .build());
  Positions played = loop.playRows(61);
  EXPECT_EQ(
      Positions(played.begin() + 50, played.end()),
      (Positions{{0, 50}, {0, 51}, {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}}));
}

TEST(TickDriver, PatternsWithoutRowsOrOutsideTheSongPlayAsSixtyFourEmptyRows) {
  Song* song =
      SongBuilder().speed(1).orders({0, 1, 2}).restartPosition(300).pattern(0, 2).pattern(1, 0).build();
  song->orders[2] = 200;                                                               // no such pattern
  song->patterns[1].cells = static_cast<NoteCell*>(std::calloc(1, sizeof(NoteCell)));  // but no rows
  Replay replay(song);
  Positions played = replay.playRows(2 + 64 + 64 + 2);
  EXPECT_EQ(played[2], (SongPosition{1, 0}));
  EXPECT_EQ(played[65], (SongPosition{1, 63}));
  EXPECT_EQ(played[66], (SongPosition{2, 0}));
  EXPECT_EQ(played[129], (SongPosition{2, 63}));
  EXPECT_EQ(played[130], (SongPosition{0, 0}));  // restart position outside the song
}

}  // namespace
}  // namespace vantor::test
