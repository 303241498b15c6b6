// The stream: the buffer it asks for, the order of a start, what the feeder thread
// renders as the play cursor moves, the play-start reset, the volume mapping, and
// starts that fail. The device's cursor moves only by hand here, so every rendered
// block is one the test asked for.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

#include "stream_fixture.h"

namespace vantor::testing {
namespace {

class StreamTest : public StreamFixture {
 protected:
  std::vector<RecordedCall> callsNamed(const std::string& method) const {
    std::vector<RecordedCall> found;
    for (const RecordedCall& call : device.calls())
      if (call.method == method) found.push_back(call);
    return found;
  }

  // Puts the play cursor at offset and returns the blocks the feeder rendered for it:
  // every Lock from now until the poll after the one that first saw the new cursor.
  std::vector<int> blocksRenderedForCursor(DWORD offset) {
    std::size_t from = device.calls().size();
    EXPECT_TRUE(buffer()->setPlayCursor(offset));
    std::vector<int> blocks;
    bool settled = waitForCalls([&](const std::vector<RecordedCall>& calls) {
      blocks.clear();
      bool sawCursor = false;
      for (std::size_t i = from; i < calls.size(); ++i) {
        const RecordedCall& call = calls[i];
        if (call.method == "Lock") blocks.push_back(static_cast<int>(call.arguments[0] / blockBytes));
        if (call.method != "GetCurrentPosition") continue;
        if (sawCursor) return true;
        sawCursor = call.outputs.at(0) == offset;
      }
      return false;
    });
    EXPECT_TRUE(settled) << "the feeder never polled the cursor at " << offset << " twice";
    return blocks;
  }
};

std::vector<int> blockRange(int first, int last) {
  std::vector<int> blocks;
  for (int block = first; block != last; block = (block + 1) % blockCount) blocks.push_back(block);
  return blocks;
}

TEST_F(StreamTest, BufferIsLoopingStereoPcmWithTheFlagsOfTheOptions) {
  struct Case {
    int globalFocus, volumeControl;
    DWORD flags;
  };
  for (Case c : {Case{0, 0, 0x10008}, Case{1, 0, 0x18008}, Case{0, 1, 0x10088}, Case{2, 2, 0x18088}}) {
    SCOPED_TRACE(c.flags);
    device.clearCalls();
    ASSERT_TRUE(play(c.globalFocus, c.volumeControl));
    RecordedCall create = callsNamed("CreateSoundBuffer").at(0);
    EXPECT_EQ(create.arguments, (std::vector<std::int64_t>{0}));  // no outer object
    ASSERT_TRUE(create.hasDescription && create.hasFormat);
    DSBUFFERDESC expected = {sizeof(DSBUFFERDESC), c.flags, 353600, 0, create.description.lpwfxFormat, {}};
    EXPECT_EQ(std::memcmp(&create.description, &expected, sizeof expected), 0);
    WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    EXPECT_EQ(std::memcmp(&create.format, &pcm, sizeof pcm), 0);
  }
}

TEST_F(StreamTest, RingIsFilledSilencedAndStartedBeforeTheFeederPolls) {
  ASSERT_TRUE(play());
  ASSERT_TRUE(waitForCalls([](auto& calls) { return calls.back().method == "GetCurrentPosition"; }));
  std::vector<RecordedCall> calls = device.calls();

  std::vector<std::string> expected = {"CreateSoundBuffer"};
  for (int block = 0; block < blockCount; ++block) {
    expected.push_back("Lock");
    expected.push_back("Unlock");
  }
  expected.insert(expected.end(), {"SetVolume", "Play"});
  std::vector<std::string> names;
  for (const RecordedCall& call : calls) names.push_back(call.method);
  ASSERT_GT(names.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + expected.size()), expected);
  for (std::size_t i = expected.size(); i < names.size(); ++i) EXPECT_EQ(names[i], "GetCurrentPosition");

  for (int block = 0; block < blockCount; ++block) {
    const RecordedCall& lock = calls[1 + 2 * block];
    EXPECT_EQ(lock.arguments, (std::vector<std::int64_t>{block * blockBytes, blockBytes, 0}));
  }
  EXPECT_EQ(calls[expected.size() - 2].arguments, (std::vector<std::int64_t>{-10000}));
  EXPECT_EQ(calls[expected.size() - 1].arguments, (std::vector<std::int64_t>{0, 0, DSBPLAY_LOOPING}));
  EXPECT_EQ(calls.back().arguments, (std::vector<std::int64_t>{1, 0}));  // play cursor only

  // Every tick so far ran on this thread: the fill is done before the thread starts.
  EXPECT_GT(tickLog.fillTicks.load(), 0);
  EXPECT_EQ(tickLog.feederTicks.load(), 0);
  EXPECT_EQ(GetThreadPriority(feederThreadHandle), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(stopRequested.load(), 0);
}

TEST_F(StreamTest, FeederRendersExactlyTheBlocksTheCursorHasLeft) {
  ASSERT_TRUE(play());
  struct Move {
    DWORD cursor;
    std::vector<int> rendered;
  };
  const Move moves[] = {
      {0, {}},                                  // in block 0: nothing has been left yet
      {blockBytes + blockBytes / 2, {0}},       // inside block 1: block 0 again
      {37 * blockBytes, blockRange(1, 37)},     // at the first byte of block 37
      {ringBytes - 4, blockRange(37, 99)},      // the last frame of the ring
      {3 * blockBytes + 8, blockRange(99, 3)},  // round the end of the ring
      {4 * blockBytes - 4, {}},                 // still in block 3
      {2 * blockBytes, blockRange(3, 2)},       // nearly a whole lap
  };
  for (const Move& move : moves) {
    SCOPED_TRACE(move.cursor);
    EXPECT_EQ(blocksRenderedForCursor(move.cursor), move.rendered);
  }
  EXPECT_GT(tickLog.feederTicks.load(), 0);
  EXPECT_EQ(tickLog.ticksWithWrongBusyFlag.load(), 0);
}

TEST_F(StreamTest, PlayStartResetsVoicesReplayStateAndChannels) {
  for (int channelCount : {4, 40}) {
    SCOPED_TRACE(channelCount);
    stopSong(song);
    tickLog.firstTickSeen = false;
    song->channelCount = static_cast<int16_t>(channelCount);
    song->row = 7, song->orderPosition = 3, song->tick = 2, song->speed = 1, song->globalVolume = 5;
    song->nextRow = 5, song->nextOrderPosition = 2, song->patternDelayTicks = 4, song->tickSamplesLeft = 100;
    song->globalVolumeSlideMemory = 9;
    setBpm(song, 32);
    for (Voice& voice : voicePool) voice.sample = &emptySample, voice.index = -1, voice.stepInt = 9;
    std::memset(channels, 0x5A, sizeof channels);

    ASSERT_TRUE(play());
    // The first tick comes before any frame; the slide memory is kept from earlier plays.
    const Song& first = tickLog.firstTick;
    EXPECT_EQ(std::tuple(first.row, first.orderPosition, first.tick, first.speed, first.globalVolume),
              std::tuple(0, 0, 0, 3, 64));
    EXPECT_EQ(std::tuple(first.nextRow, first.nextOrderPosition, first.patternDelayTicks, first.bpm,
                         first.samplesPerTick, first.tickSamplesLeft, first.globalVolumeSlideMemory),
              std::tuple(-1, -1, 0, 125, 882, 0, 9));

    // Voices 64 and up are never mixed, so they show the reset as it was made.
    for (int slot : {64, 200, 255})
      EXPECT_EQ(std::tuple(voicePool[slot].index, voicePool[slot].stepInt, voicePool[slot].sample),
                std::tuple(slot, 1, nullptr));
    int cleared = std::min(channelCount, channelTableSize);
    for (int i = 0; i < cleared; ++i) {
      EXPECT_EQ(channels[i].voice, &voicePool[i]);
      EXPECT_EQ(channels[i].period, 0);
    }
    if (cleared < channelTableSize) {
      EXPECT_EQ(channels[cleared].period, 0x5A5A5A5A);
    }
  }
}

TEST_F(StreamTest, EveryStartRendersTheSameAudibleRingIntoAFreshBuffer) {
  ASSERT_TRUE(play());
  std::vector<std::uint8_t> first = buffer()->contents();
  for (int block = 0; block < blockCount; ++block) {
    auto begin = first.begin() + block * blockBytes;
    EXPECT_TRUE(std::any_of(begin, begin + blockBytes, [](std::uint8_t byte) { return byte != 0; }))
        << "block " << block << " is silent";
  }

  ASSERT_TRUE(play());  // while playing: starts over
  EXPECT_EQ(device.createdBufferCount(), 2);
  EXPECT_EQ(device.liveBufferCount(), 1);
  EXPECT_TRUE(buffer()->contents() == first);

  ASSERT_TRUE(blocksRenderedForCursor(50 * blockBytes).size() == 50);  // the song moves on
  stopSong(song);
  ASSERT_TRUE(play());
  EXPECT_EQ(device.createdBufferCount(), 3);
  EXPECT_TRUE(buffer()->contents() == first);
}

TEST_F(StreamTest, VolumeIsLinearInDecibelsAndNaNLeavesItAlone) {
  ASSERT_TRUE(play());
  EXPECT_EQ(buffer()->volume(), -10000);  // silent until the host sets a volume
  constexpr float infinity = std::numeric_limits<float>::infinity();
  struct Case {
    float volume;
    LONG expected;
  };
  for (Case c : {Case{2.0f, 0}, Case{-1.0f, -10000}, Case{0.25f, -7500}, Case{0.999f, -9}, Case{0.5f, -5000},
                 Case{1.0f, 0}, Case{0.0f, -10000}, Case{infinity, 0}, Case{-infinity, -10000}}) {
    setSongVolume(song, c.volume);
    EXPECT_EQ(buffer()->volume(), c.expected) << c.volume;
  }

  setSongVolume(song, 0.25f);
  device.clearCalls();
  setSongVolume(song, std::numeric_limits<float>::quiet_NaN());
  EXPECT_TRUE(callsNamed("SetVolume").empty());
  EXPECT_EQ(buffer()->volume(), -7500);

  // Without volume control the same calls are made and the song plays at full level.
  ASSERT_TRUE(play(0, 0));
  setSongVolume(song, 0.25f);
  EXPECT_EQ(callsNamed("SetVolume").size(), 2u);
  EXPECT_EQ(buffer()->volume(), 0);
}

TEST_F(StreamTest, FailedStartsLeaveThePlayerStoppedAndTheSongPlayable) {
  struct Case {
    const char* what;
    std::function<void(SoftwareDevice&)> arrange;
    bool deviceGiven = true;
  };
  const Case cases[] = {
      {"no sources", [](SoftwareDevice&) { setFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr); }},
      {"no device", [](SoftwareDevice&) {}, false},
      {"CreateSoundBuffer",
       [](SoftwareDevice& d) { d.injectFaults({.createSoundBuffer = DSERR_OUTOFMEMORY}); }},
      {"mix buffer", [](SoftwareDevice&) { failNextMixBufferAllocation(); }},
      {"Play", [](SoftwareDevice& d) { d.injectFaults({.play = DSERR_BUFFERLOST}); }},
      {"CreateEvent", [](SoftwareDevice&) { platform::failNextCreateEvent(); }},
      {"CreateThread", [](SoftwareDevice&) { platform::failNextCreateThread(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(play());  // an earlier stream, which the failed start must end
    c.arrange(device);
    EXPECT_FALSE(playSong(song, c.deviceGiven ? &device : nullptr, 0, 1));
    expectStopped();
    EXPECT_EQ(stopRequested.load(), 1);

    // Nothing was taken from the song: with the fault gone it plays again.
    registerSources();
    device.injectFaults({});
    EXPECT_TRUE(play());
    EXPECT_EQ(device.liveBufferCount(), 1);
    EXPECT_NE(feederThreadHandle, nullptr);
    stopSong(song);
  }
}

TEST_F(StreamTest, NullArgumentsChangeNothing) {
  ASSERT_TRUE(play());
  device.clearCalls();
  stopRequested.store(0);
  EXPECT_FALSE(playSong(nullptr, &device, 0, 1));
  EXPECT_FALSE(stopSong(nullptr));
  EXPECT_FALSE(freeSong(nullptr));
  setSongVolume(nullptr, 0.5f);
  EXPECT_TRUE(callsNamed("CreateSoundBuffer").empty() && callsNamed("SetVolume").empty());
  EXPECT_EQ(stopRequested.load(), 0);
  EXPECT_EQ(device.liveBufferCount(), 1);
  EXPECT_NE(feederThreadHandle, nullptr);
}

}  // namespace
}  // namespace vantor::testing
