// Many starts and ends against a device whose cursor moves in real time, with the
// volume changing while the feeder thread renders: meant for the thread sanitizer,
// which must report nothing, and for a hang, which the test timeout would show.
#include <iostream>

#include "stream_fixture.h"

namespace vantor::testing {
namespace {

class StreamStress : public StreamFixture {};

TEST_F(StreamStress, PlayStopAndFreeCyclesWithARealTimeCursor) {
  constexpr int cycles = 200;
  constexpr int minimumVolumeChanges = 50;
  SoftwareDevice clockDevice{CursorMode::clock};
  clockDevice.setRecording(false);
  auto started = std::chrono::steady_clock::now();
  long volumeChanges = 0;
  int cyclesWithConcurrentRendering = 0;

  for (int cycle = 0; cycle < cycles; ++cycle) {
    Song* cycleSong = makeSong();
    ASSERT_TRUE(playSong(cycleSong, &clockDevice, cycle % 2, 1));
    // Move the cursor on, so that the feeder has blocks to catch up with at once.
    clockDevice.newestBuffer()->setPlayCursor((1 + cycle * 37 % (blockCount - 1)) * blockBytes);

    int ticksBefore = tickLog.feederTicks;
    // Until the feeder has rendered something, within a second or so.
    for (int i = 0; i < minimumVolumeChanges || (tickLog.feederTicks == ticksBefore && i < 20000); ++i) {
      setSongVolume(cycleSong, static_cast<float>(i % 11) / 10.0f);
      ++volumeChanges;
      if (i >= minimumVolumeChanges) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    if (tickLog.feederTicks != ticksBefore) ++cyclesWithConcurrentRendering;

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
            << " s\n";
  EXPECT_GE(volumeChanges, 10000);
  EXPECT_GT(cyclesWithConcurrentRendering, cycles / 2);
}

}  // namespace
}  // namespace vantor::testing
