// Sleeping, yielding and the timer model: every limited wait of the stand-in ends here.
#include <sched.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/scheduling.h"
#include "platform/timed_wait.h"

namespace vantor::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Windows' default clock interrupt: 64 per second.
constexpr auto tickLength = std::chrono::microseconds(15625);

constexpr int modelUnset = -1;
std::atomic<int> chosenModel{modelUnset};
std::atomic<bool> ticksByHand{false};
std::atomic<uint64_t> ticksGivenByHand{0};
std::atomic<uint64_t> runOutCount{0};
std::atomic<int> waitingCount{0};
thread_local uint64_t sleepCallCount = 0;

TimerModel modelFromEnvironment() {
  const char* setting = std::getenv("VANTOR_TIMER");
  return setting != nullptr && std::strcmp(setting, "windows") == 0 ? TimerModel::windowsDefault
                                                                    : TimerModel::precise;
}

// The first tick at or after the moment the time asked for has passed. The ticks lie
// on a fixed grid of the clock, as the interrupts of a real clock do.
Clock::time_point tickAtOrAfter(Clock::time_point moment) {
  auto sinceEpoch = std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch());
  auto ticks = (sinceEpoch + tickLength - std::chrono::nanoseconds(1)) / tickLength;
  return Clock::time_point(std::chrono::duration_cast<Clock::duration>(ticks * tickLength));
}

// How many ticks given by hand a wait of that many milliseconds spans: at least one.
uint64_t ticksSpanned(DWORD milliseconds) {
  uint64_t micros = uint64_t{milliseconds} * 1000;
  uint64_t length = static_cast<uint64_t>(tickLength.count());
  return micros <= length ? 1 : (micros + length - 1) / length;
}

bool waitForTime(std::unique_lock<std::mutex>& lock, std::condition_variable& signal, DWORD milliseconds,
                 const std::function<bool()>& ready) {
  auto asked = std::chrono::milliseconds(milliseconds);
  if (timerModel() == TimerModel::precise) return signal.wait_for(lock, asked, ready);
  if (!ticksByHand.load()) return signal.wait_until(lock, tickAtOrAfter(Clock::now() + asked), ready);
  // The hand-given ticks wake nobody: the waiter looks at the count every millisecond.
  uint64_t lastTick = ticksGivenByHand.load() + ticksSpanned(milliseconds);
  while (!ready()) {
    if (ticksGivenByHand.load() >= lastTick) return false;
    signal.wait_for(lock, std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

void setTimerModel(TimerModel model) { chosenModel = static_cast<int>(model); }

TimerModel timerModel() {
  int model = chosenModel.load();
  if (model == modelUnset) {
    int fromEnvironment = static_cast<int>(modelFromEnvironment());
    chosenModel.compare_exchange_strong(model, fromEnvironment);
    model = chosenModel.load();
  }
  return static_cast<TimerModel>(model);
}

void setTimerTicksByHand(bool byHand) { ticksByHand = byHand; }
void advanceTimerTick() { ++ticksGivenByHand; }

uint64_t sleepCallsOnThisThread() { return sleepCallCount; }
uint64_t timedWaitsRunOut() { return runOutCount.load(); }
int threadsInTimedWait() { return waitingCount.load(); }

bool waitUntilReady(std::unique_lock<std::mutex>& lock, std::condition_variable& signal, DWORD milliseconds,
                    const std::function<bool()>& ready) {
  if (milliseconds == 0) return ready();
  if (milliseconds == INFINITE) {
    signal.wait(lock, ready);
    return true;
  }
  ++waitingCount;
  bool readyInTime = waitForTime(lock, signal, milliseconds, ready);
  --waitingCount;
  if (!readyInTime) ++runOutCount;
  return readyInTime;
}

}  // namespace vantor::platform

using namespace vantor::platform;

// Sleep(0) gives up the rest of the time slice, as on Windows; anything longer is a
// wait that nothing ends early.
void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  ++sleepCallCount;
  std::mutex mutex;
  std::condition_variable neverSignalled;
  std::unique_lock lock(mutex);
  waitUntilReady(lock, neverSignalled, milliseconds, [] { return false; });
}

// The scheduler does not tell whether another thread ran; it is reported that one did.
BOOL SwitchToThread() {
  sched_yield();
  return TRUE;
}
