// Threads, waits, handles and critical sections of the kernel stand-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/fault_injection.h"

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
