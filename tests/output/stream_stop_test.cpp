// A stop never waits for a sleep or a time-out to run out. Under Windows' default
// timer each of them lasts up to a 15.625 ms tick, so a stop that waited for one would
// cost the game's thread a frame. Here the ticks are given by hand: nothing runs out
// unless a tick is given, so a stop that needs one stays blocked until a watchdog
// gives it, and the counts show it, whatever the feeder thread was doing.
#include <functional>

#include "platform/scheduling.h"
#include "stream_fixture.h"

namespace vantor::testing {
namespace {

using namespace std::chrono_literals;

class StreamStop : public StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    platform::setTimerModel(platform::TimerModel::windowsDefault);
    platform::setTimerTicksByHand(true);
  }

  void TearDown() override {
    platform::holdNewThreadsUntilWaitedFor(false);
    platform::setTimerTicksByHand(false);
    platform::setTimerModel(platform::TimerModel::precise);
    StreamFixture::TearDown();
  }

  struct StopCost {
    uint64_t sleepsOnThisThread;
    uint64_t runOut;  // on any thread
  };

  // Stops on this thread, the host's. A stop that waits for a tick gets one from the
  // watchdog after a while, so that it ends.
  StopCost stopAndCount() {
    uint64_t sleepsBefore = platform::sleepCallsOnThisThread();
    uint64_t runOutBefore = platform::timedWaitsRunOut();
    std::atomic<bool> stopped{false};
    std::thread watchdog([&] {
      auto start = std::chrono::steady_clock::now();
      while (!stopped) {
        if (std::chrono::steady_clock::now() - start > 200ms) platform::advanceTimerTick();
        std::this_thread::sleep_for(2ms);
      }
    });
    EXPECT_TRUE(stopSong(song));
    stopped = true;
    watchdog.join();
    return {platform::sleepCallsOnThisThread() - sleepsBefore, platform::timedWaitsRunOut() - runOutBefore};
  }

  // Until the feeder has polled the cursor and waits for its next poll.
  bool feederWaits() {
    return waitForCalls([](auto& calls) { return calls.back().method == "GetCurrentPosition"; }) &&
           waitForCalls([](auto&) { return platform::threadsInTimedWait() == 1; });
  }
};

TEST_F(StreamStop, NeverWaitsForASleepOrATimeOutToRunOut) {
  struct Phase {
    const char* feeder;
    std::function<void()> reach;
  };
  const Phase phases[] = {
      {"not yet started",
       [this] {
         platform::holdNewThreadsUntilWaitedFor(true);
         ASSERT_TRUE(play());
         platform::holdNewThreadsUntilWaitedFor(false);
       }},
      {"waiting for its next poll",
       [this] {
         ASSERT_TRUE(play());
         ASSERT_TRUE(feederWaits());
       }},
      {"rendering",
       [this] {
         ASSERT_TRUE(play());
         ASSERT_TRUE(feederWaits());
         tickLog.holdNextFeederTick = true;  // the tick lingers for 50 ms with renderBusy set
         ASSERT_TRUE(buffer()->setPlayCursor(3 * blockBytes));
         platform::advanceTimerTick();
         ASSERT_TRUE(waitForCalls([](auto&) { return tickLog.insideHeldTick.load(); }));
       }},
  };
  for (const Phase& phase : phases) {
    SCOPED_TRACE(phase.feeder);
    resetTickLog(std::this_thread::get_id());
    phase.reach();
    if (HasFatalFailure()) return;
    StopCost cost = stopAndCount();
    EXPECT_EQ(cost.sleepsOnThisThread, 0u) << "the host's thread slept";
    EXPECT_EQ(cost.runOut, 0u) << "the stop waited for a sleep or a time-out to run out";
    expectStopped();
  }
  // The held tick ended before the stop returned: the stop did not skip the render.
  EXPECT_TRUE(tickLog.heldTickFinished);
}

}  // namespace
}  // namespace vantor::testing
