// Many starts and ends against a device whose cursor moves in real time, with the
// volume changing while the feeder thread renders, and ends that land in each phase of
// the feeder's loop: meant for the thread sanitizer, which must report nothing, and
// for a hang, which the test timeout would show.
#include <iostream>

#include "platform/scheduling.h"
#include "stream_fixture.h"

namespace vantor::testing {
namespace {

class StreamStress : public StreamFixture {};

TEST_F(StreamStress, PlayStopAndFreeCyclesWithARealTimeCursor) {
  constexpr int cycles = 200;
  constexpr int minimumVolumeChanges = 50;
  SoftwareDevice clockDevice{CursorMode::clock};
  tickLog.heldTickMilliseconds = 2;
  clockDevice.setRecording(false);
  auto started = std::chrono::steady_clock::now();
  long volumeChanges = 0;
  int cyclesWithConcurrentRendering = 0;
  // Where the feeder was when the stream was ended: not yet started, rendering, waiting.
  enum Phase { notStarted, rendering, waiting, elsewhere };
  int endsIn[4] = {};
  auto spinUntil = [](auto condition) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (!condition() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  };

  for (int cycle = 0; cycle < cycles; ++cycle) {
    Song* cycleSong = makeSong();
    auto aimedAt = static_cast<Phase>(cycle / 4 % 3);
    platform::holdNewThreadsUntilWaitedFor(aimedAt == notStarted);
    ASSERT_TRUE(playSong(cycleSong, &clockDevice, cycle % 2, 1));
    platform::holdNewThreadsUntilWaitedFor(false);
    // Move the cursor on, so that the feeder has blocks to catch up with at once.
    clockDevice.newestBuffer()->setPlayCursor((1 + cycle * 37 % (blockCount - 1)) * blockBytes);

    int ticksBefore = tickLog.feederTicks;
    // Until the feeder has rendered something, within a second or so.
    for (int i = 0; i < minimumVolumeChanges ||
                    (aimedAt != notStarted && tickLog.feederTicks == ticksBefore && i < 20000);
         ++i) {
      setSongVolume(cycleSong, static_cast<float>(i % 11) / 10.0f);
      ++volumeChanges;
      if (i >= minimumVolumeChanges) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    if (tickLog.feederTicks != ticksBefore) ++cyclesWithConcurrentRendering;
    if (aimedAt == rendering) {  // the next tick on the feeder lingers a little, renderBusy set
      tickLog.insideHeldTick = false;
      tickLog.holdNextFeederTick = true;
      clockDevice.newestBuffer()->setPlayCursor((1 + cycle * 53 % (blockCount - 1)) * blockBytes);
      spinUntil([] { return tickLog.insideHeldTick.load(); });
    } else if (aimedAt == waiting) {
      spinUntil([] { return platform::threadsInTimedWait() != 0; });
    }
    Phase found = aimedAt == notStarted                 ? notStarted
                  : renderBusy.load()                   ? rendering
                  : platform::threadsInTimedWait() != 0 ? waiting
                                                        : elsewhere;
    ++endsIn[found];

    switch (cycle % 4) {
      case 0:
        EXPECT_TRUE(stopSong(cycleSong));
        break;
      case 1:  // freeSong alone ends the stream
        break;
      case 2:  // a start while playing replaces the stream
        ASSERT_TRUE(playSong(cycleSong, &clockDevice, 0, 1));
        setSongVolume(cycleSong, 0.5f);
        break;
      case 3:  // the fixture's song is not the one playing
        EXPECT_TRUE(stopSong(song));
        break;
    }
    EXPECT_TRUE(freeSong(cycleSong));
    ASSERT_EQ(clockDevice.liveBufferCount(), 0);
    ASSERT_EQ(feederThreadHandle, nullptr);
  }

  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << cycles << " play/stop/free cycles, " << volumeChanges << " volume changes, "
            << cyclesWithConcurrentRendering << " cycles rendered while the volume changed, in " << seconds
            << " s; ended before the feeder ran " << endsIn[notStarted] << ", while it rendered "
            << endsIn[rendering] << ", while it waited " << endsIn[waiting] << ", elsewhere "
            << endsIn[elsewhere] << "\n";
  EXPECT_GE(volumeChanges, 10000);
  EXPECT_GT(cyclesWithConcurrentRendering, cycles / 3);
  EXPECT_GT(endsIn[rendering], 0);
  EXPECT_GT(endsIn[waiting], 0);
}

}  // namespace
}  // namespace vantor::testing
