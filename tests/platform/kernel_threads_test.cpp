// Threads, events, waits and the timer model, handles and critical sections of the
// kernel stand-in.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/fault_injection.h"
#include "platform/scheduling.h"

namespace {

using namespace std::chrono_literals;

// What a test thread waits for and reports; outlives every thread that uses it.
struct Gate {
  std::atomic<bool> open{false};
  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};
};

DWORD WINAPI waitAtGate(LPVOID parameter) {
  auto* gate = static_cast<Gate*>(parameter);
  gate->started = true;
  while (!gate->open) std::this_thread::sleep_for(1ms);
  gate->finished = true;
  return 0;
}

HANDLE startThread(Gate& gate) { return CreateThread(nullptr, 0, waitAtGate, &gate, 0, nullptr); }

template <typename Condition>
bool eventually(Condition condition) {
  for (int i = 0; i < 5000 && !condition(); ++i) std::this_thread::sleep_for(1ms);
  return condition();
}

TEST(KernelThreads, InfiniteWaitJoinsAFinishedThreadAndTheHandleClosesOnce) {
  Gate gate;
  gate.open = true;
  HANDLE thread = startThread(gate);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(gate.finished);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(CloseHandle(thread));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(KernelThreads, TimedWaitTimesOutWhileTheThreadRunsThenSucceeds) {
  Gate gate;
  HANDLE thread = startThread(gate);
  ASSERT_NE(thread, nullptr);
  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 30ms);
  EXPECT_FALSE(gate.finished);
  gate.open = true;
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(gate.finished);
  CloseHandle(thread);
}

// As on Windows, a thread is waited for until it has ended: its last steps, the
// destruction of its thread-local objects among them, come before the wait returns.
std::atomic<bool> threadLocalDestroyed{false};

struct SlowThreadLocal {
  ~SlowThreadLocal() {
    std::this_thread::sleep_for(50ms);
    threadLocalDestroyed = true;
  }
};

DWORD WINAPI useSlowThreadLocal(LPVOID) {
  thread_local SlowThreadLocal object;
  static_cast<void>(object);
  return 0;
}

TEST(KernelThreads, TimedWaitReturnsOnceTheThreadHasEnded) {
  HANDLE thread = CreateThread(nullptr, 0, useSlowThreadLocal, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(threadLocalDestroyed);
  CloseHandle(thread);
}

TEST(KernelThreads, ClosingTheHandleOfARunningThreadLetsItFinishDetached) {
  Gate gate;
  HANDLE thread = startThread(gate);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(eventually([&] { return gate.started.load(); }));
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
  gate.open = true;
  EXPECT_TRUE(eventually([&] { return gate.finished.load(); }));
}

TEST(KernelThreads, PriorityIsKeptPerThreadAndOnlyKnownLevelsAreAccepted) {
  Gate gate;
  HANDLE thread = startThread(gate);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_NORMAL);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_FALSE(SetThreadPriority(thread, 7));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_ABOVE_NORMAL);
  gate.open = true;
  WaitForSingleObject(thread, INFINITE);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_LOWEST));  // an ended thread keeps its handle
  CloseHandle(thread);

  EXPECT_FALSE(SetThreadPriority(nullptr, THREAD_PRIORITY_NORMAL));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetThreadPriority(nullptr), THREAD_PRIORITY_ERROR_RETURN);
}

TEST(KernelThreads, HandlesThatWereNeverHandedOutAreRefused) {
  int notAnObject = 0;
  for (HANDLE bogus :
       {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, static_cast<HANDLE>(&notAnObject)}) {
    EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(bogus));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

// Puts the timer model back to precise ticks from the clock when a test ends.
struct TimerModelScope {
  explicit TimerModelScope(bool ticksByHand) {
    vantor::platform::setTimerModel(vantor::platform::TimerModel::windowsDefault);
    vantor::platform::setTimerTicksByHand(ticksByHand);
  }
  ~TimerModelScope() {
    vantor::platform::setTimerTicksByHand(false);
    vantor::platform::setTimerModel(vantor::platform::TimerModel::precise);
  }
};

// With the ticks given by hand nothing runs out between ticks: a sleep or a time-out
// ends on a tick and is counted, while SetEvent ends a wait at once and is not.
TEST(KernelThreads, UnderWindowsTicksSleepsAndTimeOutsEndOnATickAndEventsAtOnce) {
  using namespace vantor::platform;
  TimerModelScope scope(true);
  uint64_t ownSleeps = sleepCallsOnThisThread();
  HANDLE autoReset = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE manualReset = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(autoReset, nullptr);
  ASSERT_NE(manualReset, nullptr);

  struct Case {
    const char* what;
    std::function<DWORD()> block;  // on a thread of its own
    std::function<void()> end;     // what the test does once that thread blocks
    DWORD result;
    uint64_t runOut;
  };
  const Case cases[] = {
      {"Sleep(1)",
       [] {
         Sleep(1);
         return DWORD{0};
       },
       advanceTimerTick, 0, 1},
      {"time-out", [&] { return WaitForSingleObject(autoReset, 5); }, advanceTimerTick, WAIT_TIMEOUT, 1},
      {"SetEvent", [&] { return WaitForSingleObject(autoReset, 5); }, [&] { SetEvent(autoReset); },
       WAIT_OBJECT_0, 0},
      {"manual SetEvent", [&] { return WaitForSingleObject(manualReset, 20000); },
       [&] { SetEvent(manualReset); }, WAIT_OBJECT_0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint64_t runOutBefore = timedWaitsRunOut();
    std::atomic<bool> done{false};
    DWORD result = 0;
    std::thread blocked([&] {
      result = c.block();
      done = true;
    });
    ASSERT_TRUE(eventually([] { return threadsInTimedWait() == 1; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(done) << "it ended without a tick or a signal";
    c.end();
    blocked.join();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(timedWaitsRunOut() - runOutBefore, c.runOut);
  }
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_TIMEOUT) << "an auto-reset event let two waits through";
  EXPECT_EQ(WaitForSingleObject(manualReset, 0), WAIT_OBJECT_0) << "a manual-reset event reset itself";
  ResetEvent(manualReset);
  EXPECT_EQ(WaitForSingleObject(manualReset, 0), WAIT_TIMEOUT);
  EXPECT_EQ(sleepCallsOnThisThread(), ownSleeps) << "another thread's Sleep was counted here";
  CloseHandle(autoReset);
  CloseHandle(manualReset);
}

// With the clock, Sleep(1) ends on the next 15.625 ms tick: two in a row, the second
// starting on a tick, span a whole tick (precise ones take 2 ms).
TEST(KernelThreads, UnderWindowsTicksTwoShortSleepsSpanATick) {
  TimerModelScope scope(false);
  uint64_t ownSleeps = vantor::platform::sleepCallsOnThisThread();
  auto before = std::chrono::steady_clock::now();
  Sleep(1);
  Sleep(1);
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::microseconds(15625));
  EXPECT_EQ(vantor::platform::sleepCallsOnThisThread() - ownSleeps, 2u);
}

TEST(KernelThreads, AHeldThreadRunsOnlyOnceItsHandleIsWaitedFor) {
  Gate gate;
  gate.open = true;
  vantor::platform::holdNewThreadsUntilWaitedFor(true);
  HANDLE thread = startThread(gate);
  vantor::platform::holdNewThreadsUntilWaitedFor(false);
  ASSERT_NE(thread, nullptr);
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(gate.started);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(gate.finished);
  CloseHandle(thread);
}

// A level set before the thread runs reaches the system as the thread starts, as the
// nice value -level, so far as the system lets it: what setpriority gives a thread of
// the test is the measure.
int niceOfThisThread() { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); }

std::atomic<int> niceAtStart{0};

DWORD WINAPI recordNice(LPVOID) {
  niceAtStart = niceOfThisThread();
  return 0;
}

TEST(KernelThreads, ALevelSetBeforeTheThreadRunsReachesTheSystem) {
  int allowed = 0;
  std::thread([&] {
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -THREAD_PRIORITY_IDLE);
    allowed = niceOfThisThread();
  }).join();
  vantor::platform::holdNewThreadsUntilWaitedFor(true);
  HANDLE thread = CreateThread(nullptr, 0, recordNice, nullptr, 0, nullptr);
  vantor::platform::holdNewThreadsUntilWaitedFor(false);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_IDLE));
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(niceAtStart, allowed);
  CloseHandle(thread);
}

TEST(KernelThreads, CriticalSectionIsRecursiveAndHeldUntilTheLastLeave) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  std::atomic<bool> otherEntered{false};
  std::thread other([&] {
    EnterCriticalSection(&section);
    otherEntered = true;
    LeaveCriticalSection(&section);
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(otherEntered);
  LeaveCriticalSection(&section);
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(otherEntered) << "one Leave released a section entered twice";
  LeaveCriticalSection(&section);
  other.join();
  EXPECT_TRUE(otherEntered);
  DeleteCriticalSection(&section);
}

TEST(KernelThreads, InjectedFailureRefusesOnlyTheNextThread) {
  Gate gate;
  gate.open = true;
  vantor::platform::failNextCreateThread();
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(startThread(gate), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(gate.started) << "the refused thread ran";

  HANDLE thread = startThread(gate);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);

  vantor::platform::failNextCreateThread();
  vantor::platform::failNextCreateThread(false);
  thread = startThread(gate);
  EXPECT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

}  // namespace
