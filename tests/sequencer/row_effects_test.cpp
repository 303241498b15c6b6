// The row tick: notes and instruments, the volume column and the first-tick part of
// the effects.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sequencer/channel.h"
#include "support/replay.h"
#include "support/song_builder.h"

namespace vantor::test {
namespace {

constexpr int fullVoiceVolume = 127;  // channel, envelope, fadeout and global volume all full

TEST(RowEffects, GlobalVolumeReachesChannelsToItsRightAtOnceAndThoseToItsLeftLater) {
  Replay replay(SongBuilder()
                    .channels(3)
                    .instrument()
                    .pattern(0, 4)
                    .rows({"C-4 01 .. ... | C-4 01 .. G20 | C-4 01 .. ..."})
                    .build());
  replay.tick();
  EXPECT_EQ(replay.voice(0).volume, fullVoiceVolume);
  EXPECT_EQ(replay.voice(1).volume, 63);
  EXPECT_EQ(replay.voice(2).volume, 63);
  replay.playRow();
  EXPECT_EQ(replay.voice(0).volume, fullVoiceVolume);
  replay.tick();
  EXPECT_EQ(replay.voice(0).volume, 63);
}

TEST(RowEffects, SetVolumeIsNotClampedButASlideStopsAt64) {
  Replay replay(SongBuilder().instrument().pattern(0, 4).rows({"C-4 01 .. C50", "... .. .. A10"}).build());
  replay.tick();
  EXPECT_EQ(replay.channel(0).volume, 80);
  replay.playRow();
  replay.tick();
  EXPECT_EQ(replay.channel(0).volume, 80);
  replay.tick();
  EXPECT_EQ(replay.channel(0).volume, 64);
}

TEST(RowEffects, TonePortamentoKeepsTheSoundAndResetsOnlyWithAnInstrumentNumber) {
  SongBuilder builder;
  builder.instrument({{.panning = 200}}).pattern(0, 4);
  for (bool withInstrument : {false, true}) {
    SCOPED_TRACE(withInstrument ? "with instrument" : "without instrument");
    Replay replay(SongBuilder(builder)
                      .rows({"C-4 01 20 840", withInstrument ? "D-4 01 .. 302" : "D-4 .. .. 302"})
                      .build());
    replay.playRow();
    Voice* playing = replay.channel(0).voice;
    replay.tick();
    EXPECT_EQ(replay.channel(0).voice, playing);  // not restarted
    EXPECT_EQ(replay.channel(0).note, 48);
    EXPECT_EQ(replay.channel(0).period, 4608);
    EXPECT_EQ(replay.channel(0).portaTarget, 4480);
    EXPECT_EQ(replay.channel(0).volume, withInstrument ? 64 : 16);
    EXPECT_EQ(replay.channel(0).panning, withInstrument ? 200 : 64);
    replay.tick();
    EXPECT_EQ(replay.channel(0).period, 4600);
  }
}

TEST(RowEffects, VolumeColumnTonePortamentoTakesThePitchAtOnceWithoutRestart) {
  Replay replay(SongBuilder().instrument().pattern(0, 4).rows({"C-4 01 .. ...", "D-4 01 F2 ..."}).build());
  replay.playRow();
  Voice* playing = replay.channel(0).voice;
  replay.tick();
  EXPECT_EQ(replay.channel(0).voice, playing);
  EXPECT_EQ(replay.channel(0).period, 4480);
  EXPECT_EQ(replay.channel(0).portaSpeed, 32);
}

TEST(RowEffects, InstrumentBeyondTheSongCutsTheSound) {
  Replay replay(SongBuilder().instrument().pattern(0, 4).rows({"C-4 01 .. ...", "C-4 05 .. ..."}).build());
  replay.playRow();
  Voice& first = replay.voice(0);
  replay.tick();
  EXPECT_EQ(first.volume, 0);  // ramps out
  EXPECT_EQ(replay.voice(0).sample, &emptySample);
  EXPECT_EQ(replay.voice(0).volume, 0);
}

TEST(RowEffects, NoteDelayAtOrBeyondTheRowLengthNeverPlays) {
  for (const char* cell : {"C-4 01 40 ED0", "C-4 01 40 ED6"}) {
    SCOPED_TRACE(cell);
    Replay replay(SongBuilder().speed(6).instrument().pattern(0, 4).rows({cell}).build());
    replay.playRow();
    replay.tick();
    EXPECT_EQ(voicePool[0].sample, nullptr);
    EXPECT_EQ(voicePool[32].sample, nullptr);
    EXPECT_EQ(replay.channel(0).volume, 0);
  }
}

TEST(RowEffects, NoteDelayStartsNoteInstrumentAndVolumeColumnAtItsTick) {
  Replay replay(SongBuilder()
                    .speed(6)
                    .instrument()
                    .instrument({{.volume = 40, .panning = 50}})
                    .pattern(0, 4)
                    .rows({"C-4 01 .. ...", "E-4 02 30 ED3"})
                    .build());
  replay.playRow();
  Voice* first = replay.channel(0).voice;
  for (int tick = 0; tick < 3; ++tick) {
    replay.tick();
    EXPECT_EQ(replay.channel(0).voice, first) << "tick " << tick;
    EXPECT_EQ(first->volume, fullVoiceVolume) << "tick " << tick;
    EXPECT_EQ(first->pan, 128) << "tick " << tick;
    EXPECT_EQ(replay.channel(0).period, 4608) << "tick " << tick;
  }
  replay.tick();
  EXPECT_NE(replay.channel(0).voice, first);
  EXPECT_EQ(replay.channel(0).period, 4352);
  EXPECT_EQ(replay.channel(0).volume, 32);
  EXPECT_EQ(replay.channel(0).panning, 50);
  EXPECT_EQ(replay.voice(0).pan, 50);
}

TEST(RowEffects, KeyOffEffectReleasesOnTheRowTickWhateverItsParameter) {
  for (int param = 0; param <= 0xFF; ++param) {
    char cell[16];
    std::snprintf(cell, sizeof cell, "C-4 01 .. K%02X", param);
    Replay replay(SongBuilder().instrument().pattern(0, 4).rows({cell}).build());
    replay.tick();
    ASSERT_EQ(replay.channel(0).keyOff, 1) << cell;
    ASSERT_EQ(replay.channel(0).volumeEnvelopeState.value, 0) << cell;  // no volume envelope: silent
  }
}

TEST(RowEffects, SampleOffsetBeyondTheSampleCancelsTheNoteAndRewinds) {
  Replay replay(SongBuilder()
                    .instrument({{.length = 1024}})
                    .pattern(0, 4)
                    .rows({"C-4 01 .. ...", "C-4 01 .. 904", "C-4 01 .. 902"})
                    .build());
  replay.playRow();
  Voice& playing = replay.voice(0);
  playing.position = 500;
  playing.positionFrac = 77;
  replay.playRow();
  EXPECT_EQ(&replay.voice(0), &playing);
  EXPECT_EQ(playing.position, 0);
  EXPECT_EQ(playing.positionFrac, 0u);
  EXPECT_EQ(replay.channel(0).sampleOffsetMemory, 4);

  replay.tick();  // an offset inside the sample starts the new note there
  EXPECT_NE(&replay.voice(0), &playing);
  EXPECT_EQ(replay.voice(0).position, 512);
}

TEST(RowEffects, EnvelopePositionPlacesTheVolumeEnvelopeOnly) {
  EnvelopePlan falling = {.points = {{0, 64}, {10, 32}, {20, 0}}};
  Replay replay(SongBuilder()
                    .channels(2)
                    .instrument()
                    .volumeEnvelope(falling)
                    .panningEnvelope(falling)
                    .instrument()
                    .pattern(0, 4)
                    .rows({"C-4 01 .. ... | C-4 02 .. ...", "... .. .. L05 | ... .. .. L05"})
                    .build());
  replay.playRow();
  replay.tick();
  const Channel& placed = replay.channel(0);
  EXPECT_EQ(placed.volumeEnvelopeState.tick, 5);
  EXPECT_EQ(placed.volumeEnvelopeState.point, 1);
  EXPECT_EQ(placed.volumeEnvelopeState.value, 48);
  EXPECT_EQ(placed.panningEnvelopeState.tick, 7);              // stepped on, not placed
  EXPECT_EQ(replay.channel(1).volumeEnvelopeState.value, 64);  // instrument without envelope
}

TEST(RowEffects, SetFinetuneChangesTheSampleButNeverTheSharedEmptySample) {
  Song* song =
      SongBuilder().channels(2).instrument().pattern(0, 4).rows({"C-4 05 .. E5F | C-4 01 .. E5F"}).build();
  Sample* own = song->instruments[0].samples[0];
  Replay replay(song);
  replay.tick();
  EXPECT_EQ(emptySample.finetune, 0);
  EXPECT_EQ(own->finetune, 15);
}

TEST(RowEffects, NotesBeyondTheKeymapActAsNoNote) {
  Song* song = SongBuilder()
                   .instrument({{.volume = 48}})
                   .pattern(0, 4)
                   .rows({"C-4 01 20 840", "... 01 30 ..."})
                   .build();
  cellAt(*song, 0, 1, 0).note = 120;
  Replay replay(song);
  replay.playRow();
  Voice* playing = replay.channel(0).voice;
  replay.tick();
  EXPECT_EQ(replay.channel(0).voice, playing);  // no trigger
  EXPECT_EQ(replay.channel(0).note, 48);
  EXPECT_EQ(replay.channel(0).period, 4608);
  EXPECT_EQ(replay.channel(0).volume, 32);  // instrument reset, then the volume column
  EXPECT_EQ(replay.channel(0).panning, 128);
}

TEST(RowEffects, TremoloOffsetStaysInTheVolumeWhenTheTremoloEnds) {
  Replay replay(SongBuilder().instrument().pattern(0, 4).rows({"C-4 01 30 748", "... .. .. ..."}).build());
  replay.tick(6);
  int lastOffset = replay.channel(0).volumeOffset;
  EXPECT_GT(lastOffset, 0);
  replay.tick();
  EXPECT_EQ(replay.channel(0).volume, 32 + lastOffset);
  EXPECT_EQ(replay.channel(0).volumeOffset, 0);
}

// Row-tick and first effect-tick results of each volume-column range, from a sample
// of volume 32, centred.
TEST(RowEffects, VolumeColumnRanges) {
  struct Case {
    const char* volumeColumn;
    int volumeAfterRowTick;
    int volumeAfterEffectTick;
    int panningAfterEffectTick;
  };
  const Case cases[] = {
      {"10", 0, 0, 128},   {"50", 64, 64, 128}, {"51", 32, 32, 128}, {"05", 32, 32, 128},
      {"63", 29, 26, 128}, {"73", 35, 38, 128}, {"83", 29, 29, 128}, {"93", 35, 35, 128},
      {"C4", 32, 32, 64},  {"D3", 32, 32, 122}, {"E3", 32, 32, 134},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volumeColumn);
    std::string cell = std::string("C-4 01 ") + c.volumeColumn;
    Replay replay(SongBuilder().instrument({{.volume = 32}}).pattern(0, 4).rows({cell}).build());
    replay.tick();
    EXPECT_EQ(replay.channel(0).volume, c.volumeAfterRowTick);
    replay.tick();
    EXPECT_EQ(replay.channel(0).volume, c.volumeAfterEffectTick);
    EXPECT_EQ(replay.channel(0).panning, c.panningAfterEffectTick);
  }
}

TEST(RowEffects, VolumeColumnVibratoSpeedAndDepthAreStoredEvenWhenZero) {
  Replay replay(SongBuilder()
                    .instrument()
                    .pattern(0, 4)
                    .rows({"C-4 01 .. 486", "... .. A0 ...", "... .. B0 ..."})
                    .build());
  replay.tick();
  EXPECT_EQ(replay.channel(0).vibratoSpeed, 8);
  EXPECT_EQ(replay.channel(0).vibratoDepth, 6);
  replay.playRow();
  replay.tick();
  EXPECT_EQ(replay.channel(0).vibratoSpeed, 0);
  replay.playRow();
  replay.tick();
  EXPECT_EQ(replay.channel(0).vibratoDepth, 0);
}

}  // namespace
}  // namespace vantor::test
