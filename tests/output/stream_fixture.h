// A small song built in memory for the stream tests, and a fixture that plays it on
// a software sound device. The song has one instrument whose looping sample is a
// synthesized saw wave; its tick handler is a miniature sequencer that restarts the
// note on voice 0 at every row, with a pitch and level that depend on the row, so
// that anything the play start fails to reset changes the rendered bytes. It also
// notes which thread renders and whether that thread has raised renderBusy.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "loading/byte_source.h"
#include "loading/song.h"
#include "output/mixer.h"
#include "output/release.h"
#include "output/renderer.h"
#include "output/stream.h"
#include "platform/fault_injection.h"
#include "platform/software_device.h"
#include "sequencer/channel.h"
#include "support/song_builder.h"

namespace vantor::testing {

using platform::CursorMode;
using platform::RecordedCall;
using platform::SoftwareBuffer;
using platform::SoftwareDevice;

constexpr DWORD blockBytes = blockFrames * bytesPerFrame;

// What the tick handler saw. Written by whichever thread renders; the counters are
// atomic because the test thread reads them while the feeder thread runs.
struct TickLog {
  std::thread::id fillThread{};
  std::atomic<int> fillTicks{0};
  std::atomic<int> feederTicks{0};
  std::atomic<int> ticksWithWrongBusyFlag{0};  // busy during the fill, or not busy on the feeder
  Song firstTick{};                            // the song as the first tick of a play found it
  bool firstTickSeen = false;
  // Set by a test: the next feeder tick announces itself, lingers, then touches the song.
  std::atomic<bool> holdNextFeederTick{false};
  std::atomic<int> heldTickMilliseconds{50};
  std::atomic<bool> insideHeldTick{false};
  std::atomic<bool> heldTickFinished{false};
  std::atomic<int> heldTickRow{-1};
};
inline TickLog tickLog;

inline void resetTickLog(std::thread::id fillThread) {
  tickLog.fillThread = fillThread;
  tickLog.fillTicks = 0;
  tickLog.feederTicks = 0;
  tickLog.ticksWithWrongBusyFlag = 0;
  tickLog.firstTick = Song{};
  tickLog.firstTickSeen = false;
  tickLog.holdNextFeederTick = false;
  tickLog.heldTickMilliseconds = 50;
  tickLog.insideHeldTick = false;
  tickLog.heldTickFinished = false;
  tickLog.heldTickRow = -1;
}

inline void testTick(Song* song) {
  bool onFillThread = std::this_thread::get_id() == tickLog.fillThread;
  if (renderBusy.load() != (onFillThread ? 0 : 1)) ++tickLog.ticksWithWrongBusyFlag;
  (onFillThread ? tickLog.fillTicks : tickLog.feederTicks)++;
  if (!tickLog.firstTickSeen) {
    tickLog.firstTick = *song;
    tickLog.firstTickSeen = true;
  }
  if (!onFillThread && tickLog.holdNextFeederTick.exchange(false)) {
    tickLog.insideHeldTick = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(tickLog.heldTickMilliseconds.load()));
    tickLog.heldTickRow = song->row;  // reading a freed song here would show
    tickLog.heldTickFinished = true;
  }

  if (song->tick == 0) {
    Voice& voice = *channels[0].voice;
    const Sample* sample = song->instruments[0].samples[0];
    voice.sample = sample;
    voice.position = 0;
    voice.positionFrac = 0;
    voice.direction = directionForward;
    voice.stepInt = 1 + song->row % 3;
    voice.stepFrac = 0x40000000u * static_cast<uint32_t>(song->row % 4);
    voice.leftVolume = 40 + song->row * 23 % 200;
    voice.rightVolume = 255 - voice.leftVolume;
    voice.currentLeft = voice.currentRight = voice.rampRemaining = 0;
  }
  if (++song->tick >= song->speed) {
    song->tick = 0;
    ++song->row;
  }
}

// Built as the loader allocates, so freeSong releases it; the test tick drives it.
inline Song* makeSong() {
  Song* song = test::SongBuilder()
                   .channels(2)
                   .speed(3)
                   .instrument({{.length = 64, .loopLength = 64, .loopMode = LoopForward}})
                   .build();
  song->tickHandler = testTick;
  return song;
}

// Playing only asks whether a byte source is registered.
inline void registerSources() { setFileCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell); }

class StreamFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    registerSources();
    resetTickLog(std::this_thread::get_id());
    song = makeSong();
  }

  void TearDown() override {
    if (song != nullptr) freeSong(song);
    device.injectFaults({});
    platform::failNextCreateThread(false);
    platform::failNextCreateEvent(false);
    failNextMixBufferAllocation(false);
  }

  bool play(int globalFocus = 0, int volumeControl = 1) {
    return playSong(song, &device, globalFocus, volumeControl);
  }

  SoftwareBuffer* buffer() const { return device.newestBuffer().get(); }

  // Waits, for at most a few seconds, until the calls recorded so far satisfy condition.
  bool waitForCalls(const std::function<bool(const std::vector<RecordedCall>&)>& condition) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (condition(device.calls())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  void expectStopped() const {
    EXPECT_EQ(feederThreadHandle, nullptr);
    EXPECT_EQ(soundBuffer, nullptr);
    EXPECT_EQ(currentSong, nullptr);
    EXPECT_EQ(mixBuffer.allocation, nullptr);
    EXPECT_EQ(blockIndex, 0);
    EXPECT_EQ(device.liveBufferCount(), 0);
  }

  SoftwareDevice device{CursorMode::manual};
  Song* song = nullptr;
};

}  // namespace vantor::testing
