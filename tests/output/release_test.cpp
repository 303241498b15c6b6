// Stopping and releasing: what stopSong ends and what it leaves alone, and freeSong
// waiting for the feeder thread before it frees, then freeing exactly what a song
// holds (run under the address sanitizer to see double frees and leaks).
#include <cstring>
#include <string>

#include "host/modproc.h"
#include "host/process_attach.h"
#include "loading/xm_loader.h"
#include "stream_fixture.h"

namespace vantor::testing {
namespace {

class StreamRelease : public StreamFixture {};

TEST_F(StreamRelease, StopWhenNothingPlaysOnlyRaisesTheStopRequest) {
  stopRequested.store(0);
  EXPECT_TRUE(stopSong(song));
  EXPECT_EQ(stopRequested.load(), 1);
  EXPECT_TRUE(device.calls().empty());
  expectStopped();
}

TEST_F(StreamRelease, StopWithAnySongEndsTheStreamAndLeavesVoicesAndChannels) {
  ASSERT_TRUE(play());
  auto* other = static_cast<Song*>(std::calloc(1, sizeof(Song)));
  EXPECT_TRUE(stopSong(other));
  std::free(other);
  expectStopped();
  std::vector<std::string> names = device.callNames();
  EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()),
            (std::vector<std::string>{"Stop", "Release"}));

  EXPECT_EQ(voicePool[0].sample, song->instruments[0].samples[0]);
  EXPECT_EQ(channels[0].voice, &voicePool[0]);
  EXPECT_EQ(stopRequested.load(), 1);  // until the next start
  ASSERT_TRUE(play());
  EXPECT_EQ(stopRequested.load(), 0);
}

TEST_F(StreamRelease, FreeingAPlayingSongEndsTheFeederBeforeFreeing) {
  ASSERT_TRUE(play());
  tickLog.holdNextFeederTick = true;
  buffer()->setPlayCursor(10 * blockBytes);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!tickLog.insideHeldTick && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(tickLog.insideHeldTick);

  EXPECT_TRUE(freeSong(song));
  song = nullptr;
  EXPECT_TRUE(tickLog.heldTickFinished);
  EXPECT_NE(tickLog.heldTickRow.load(), -1);
  expectStopped();
}

// As a load leaves a song that failed at its fifth instrument: patterns (one never
// filled), four instruments with 1, 3, 0 and 2 samples (one without data) and two
// untouched records. Unused slots borrow emptySample.
Song* partlyBuiltSong() {
  auto* song = static_cast<Song*>(std::calloc(1, sizeof(Song)));
  song->channelCount = 4;
  song->patternCount = 3;
  song->patterns = static_cast<Pattern*>(std::calloc(3, sizeof(Pattern)));
  for (int p : {0, 2}) {
    song->patterns[p].rowCount = 64;
    song->patterns[p].cells = static_cast<NoteCell*>(std::calloc(64 * 4, sizeof(NoteCell)));
  }
  song->instrumentCount = 6;
  song->instruments = static_cast<Instrument*>(std::calloc(6, sizeof(Instrument)));
  const uint32_t sampleCounts[] = {1, 3, 0, 2};
  for (int i = 0; i < 4; ++i) {
    Instrument& instrument = song->instruments[i];
    instrument.sampleCount = sampleCounts[i];
    for (uint32_t slot = 0; slot < instrumentSampleSlots; ++slot) {
      if (slot >= instrument.sampleCount) {
        instrument.samples[slot] = &emptySample;
        continue;
      }
      auto* sample = static_cast<Sample*>(std::calloc(1, sizeof(Sample)));
      sample->length = (i == 1 && slot == 1) ? 0 : 100;
      sample->data = allocateSampleData(sample->length);
      instrument.samples[slot] = sample;
    }
  }
  return song;
}

TEST_F(StreamRelease, FreeingAnySongEndsPlaybackAndReleasesExactlyWhatItHolds) {
  Sample emptyBefore = emptySample;
  for (bool bare : {false, true}) {
    SCOPED_TRACE(bare ? "a bare song" : "a partly built song");
    ASSERT_TRUE(play());
    Song* other = bare ? static_cast<Song*>(std::calloc(1, sizeof(Song))) : partlyBuiltSong();
    EXPECT_TRUE(freeSong(other));
    expectStopped();
  }
  EXPECT_EQ(std::memcmp(&emptySample, &emptyBefore, sizeof(Sample)), 0);
  EXPECT_TRUE(play());  // the playing song was not the one freed
}

// A load that fails releases its partly built song through freeSong, so it ends
// playback as freeing any song does: whether the source cannot be opened or the
// loader refuses its bytes.
TEST_F(StreamRelease, AFailedLoadEndsPlayback) {
  static const uint8_t notASong[] = "plain text, not an XM module, long enough for a header";
  for (bool opens : {false, true}) {
    SCOPED_TRACE(opens ? "bytes the loader refuses" : "a source that cannot be opened");
    ASSERT_TRUE(play());
    if (opens) {
      memoryBlock = {notASong, sizeof notASong, 0};
      setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
    }
    EXPECT_EQ(loadSong(opens ? "memory" : "/nonexistent/vantor/song.xm", nullptr), nullptr);
    memoryBlock = {};
    registerSources();
    expectStopped();
  }
}

}  // namespace
}  // namespace vantor::testing

namespace vantor::testing {
namespace {

// The library's unload (a detach without the reserved pointer) frees the song the
// commands hold, but only while nothing plays: a feeder thread may not be waited for
// there and still reads the song. The end of the process (a reserved pointer) touches
// nothing.
TEST_F(StreamRelease, DetachFreesTheLoadedSongOnlyAtAnUnloadWithNothingPlaying) {
  struct Case {
    bool playing;
    bool processEnds;
    bool freed;
  };
  int endOfProcess = 0;
  for (const Case& c : {Case{false, false, true}, Case{true, false, false}, Case{false, true, false}}) {
    loadedSong = song;
    if (c.playing) {
      ASSERT_TRUE(play());
      device.clearCalls();
    }
    DllMain(nullptr, DLL_PROCESS_DETACH, c.processEnds ? &endOfProcess : nullptr);
    EXPECT_EQ(loadedSong == nullptr, c.freed) << c.playing << c.processEnds;
    if (c.playing) {
      EXPECT_TRUE(waitForCalls([](const std::vector<RecordedCall>& calls) { return !calls.empty(); }))
          << "the feeder goes on polling";
    }
    if (c.freed) song = makeSong();  // the fixture frees its own song at the end
    loadedSong = nullptr;
    stopSong(song);
  }
}

}  // namespace
}  // namespace vantor::testing
