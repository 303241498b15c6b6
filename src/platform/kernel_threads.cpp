// Threads map onto POSIX threads. A thread handle is signalled when the thread's
// start routine has returned; waiting on it joins the thread, and closing a handle
// that was never joined detaches it. Events are a flag under a mutex.
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>

#include "platform/fault_injection.h"
#include "platform/kernel_object.h"
#include "platform/scheduling.h"
#include "platform/timed_wait.h"

namespace vantor::platform {

namespace {

std::atomic<bool> createThreadMustFail{false};
std::atomic<bool> createEventMustFail{false};
std::atomic<bool> holdNewThreads{false};

// Shared by the handle and the running thread, so either may go first.
struct ThreadState {
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  std::mutex mutex;
  std::condition_variable finishedSignal;
  bool finished = false;
  bool held = false;  // waits to run its routine until the handle is waited for or closed
  std::condition_variable releasedSignal;
  pid_t systemId = 0;
  int priority = THREAD_PRIORITY_NORMAL;
};

bool isPriorityLevel(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
      return true;
    default:
      return false;
  }
}

// The scheduler has no exact equivalent of the levels, and an unprivileged process
// cannot raise a thread above normal: the nice value is a hint whose failure is
// ignored, while the level itself is kept and reported back.
void applyPriority(pid_t systemId, int priority) {
  setpriority(PRIO_PROCESS, static_cast<id_t>(systemId), -priority);
}

class ThreadObject final : public KernelObject {
 public:
  explicit ThreadObject(std::shared_ptr<ThreadState> state) : state_(std::move(state)) {}

  ~ThreadObject() override {
    release();
    std::lock_guard lock(joinMutex_);
    if (running_ && !joined_) pthread_detach(thread_);
  }

  // Starts the thread; false (with an errno code in error) when the system refuses.
  bool start(int& error, SIZE_T stackSize) {
    auto* held = new (std::nothrow) std::shared_ptr<ThreadState>(state_);
    if (held == nullptr) {
      error = ENOMEM;
      return false;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0) pthread_attr_setstacksize(&attributes, stackSize);
    error = pthread_create(&thread_, &attributes, runThread, held);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
      delete held;
      return false;
    }
    running_ = true;
    return true;
  }

  DWORD wait(DWORD milliseconds) override {
    release();
    // A wait without a time-out joins at once: the system wakes the joiner when the
    // thread has ended, one wake-up instead of one for the routine's return and one
    // for the thread's last steps.
    if (milliseconds == INFINITE) {
      join();
      return WAIT_OBJECT_0;
    }
    {
      std::unique_lock lock(state_->mutex);
      if (!waitUntilReady(lock, state_->finishedSignal, milliseconds, [this] { return state_->finished; }))
        return WAIT_TIMEOUT;
    }
    // The start routine has returned; joining only waits for the thread's last steps.
    join();
    return WAIT_OBJECT_0;
  }

  void setPriority(int priority) {
    std::lock_guard lock(state_->mutex);
    state_->priority = priority;
    // A finished thread's system id may already belong to another thread.
    if (state_->systemId != 0 && !state_->finished) applyPriority(state_->systemId, priority);
  }

  int priority() const {
    std::lock_guard lock(state_->mutex);
    return state_->priority;
  }

  static void* runThread(void* argument);

 private:
  void join() {
    std::lock_guard lock(joinMutex_);
    if (!joined_) {
      pthread_join(thread_, nullptr);
      joined_ = true;
    }
  }

  // A held thread goes on to its routine.
  void release() {
    {
      std::lock_guard lock(state_->mutex);
      state_->held = false;
    }
    state_->releasedSignal.notify_all();
  }

  std::shared_ptr<ThreadState> state_;
  std::mutex joinMutex_;
  pthread_t thread_{};
  bool running_ = false;
  bool joined_ = false;
};

void* ThreadObject::runThread(void* argument) {
  auto* held = static_cast<std::shared_ptr<ThreadState>*>(argument);
  std::shared_ptr<ThreadState> state = std::move(*held);
  delete held;
  {
    std::unique_lock lock(state->mutex);
    state->releasedSignal.wait(lock, [&] { return !state->held; });
    state->systemId = static_cast<pid_t>(syscall(SYS_gettid));
    if (state->priority != THREAD_PRIORITY_NORMAL) applyPriority(state->systemId, state->priority);
  }
  // ExitThread leaves the routine by unwinding the stack, which passes this too.
  struct Finish {
    ThreadState& state;
    ~Finish() {
      {
        std::lock_guard lock(state.mutex);
        state.finished = true;
      }
      state.finishedSignal.notify_all();
    }
  } finish{*state};
  state->start(state->parameter);
  return nullptr;
}

ThreadObject* threadObject(HANDLE handle) { return dynamic_cast<ThreadObject*>(kernelObject(handle)); }

// Closing the handle of an event that a thread still waits for is the caller's error,
// as it would end that wait on a freed object.
class EventObject final : public KernelObject {
 public:
  EventObject(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

  DWORD wait(DWORD milliseconds) override {
    std::unique_lock lock(mutex_);
    if (!waitUntilReady(lock, signal_, milliseconds, [this] { return signalled_; })) return WAIT_TIMEOUT;
    // An auto-reset event lets one waiter through for each SetEvent.
    if (!manualReset_) signalled_ = false;
    return WAIT_OBJECT_0;
  }

  void set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    signal_.notify_all();
  }

  void reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }

 private:
  const bool manualReset_;
  std::mutex mutex_;
  std::condition_variable signal_;
  bool signalled_;
};

EventObject* eventObject(HANDLE handle) { return dynamic_cast<EventObject*>(kernelObject(handle)); }

std::shared_ptr<ThreadState> newThreadState() {
  try {
    return std::make_shared<ThreadState>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

void failNextCreateThread(bool fail) { createThreadMustFail = fail; }
void failNextCreateEvent(bool fail) { createEventMustFail = fail; }
void holdNewThreadsUntilWaitedFor(bool hold) { holdNewThreads = hold; }

}  // namespace vantor::platform

using namespace vantor::platform;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (start == nullptr || (creationFlags & CREATE_SUSPENDED) != 0) {
    // Suspended threads are not needed by the library and not offered.
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (createThreadMustFail.exchange(false)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::shared_ptr<ThreadState> state = newThreadState();
  auto* object = state ? new (std::nothrow) ThreadObject(state) : nullptr;
  if (object == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  state->start = start;
  state->parameter = parameter;
  state->held = holdNewThreads.load();
  int error = 0;
  if (!object->start(error, stackSize)) {
    delete object;
    setLastErrorFromErrno(error == EAGAIN ? ENOMEM : error);
    return nullptr;
  }
  if (threadId) *threadId = static_cast<DWORD>(reinterpret_cast<uintptr_t>(object));
  return handleOf(object);
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
  ThreadObject* object = threadObject(thread);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!isPriorityLevel(priority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  object->setPriority(priority);
  return TRUE;
}

int GetThreadPriority(HANDLE thread) {
  ThreadObject* object = threadObject(thread);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return THREAD_PRIORITY_ERROR_RETURN;
  }
  return object->priority();
}

// Only unnamed events: a name would share the event between processes.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (createEventMustFail.exchange(false)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* object = new (std::nothrow) EventObject(manualReset != FALSE, initialState != FALSE);
  if (object == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return handleOf(object);
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateEventA(attributes, manualReset, initialState, nullptr);
}

BOOL SetEvent(HANDLE event) {
  EventObject* object = eventObject(event);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  EventObject* object = eventObject(event);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  KernelObject* target = kernelObject(object);
  if (target == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return target->wait(milliseconds);
}

BOOL CloseHandle(HANDLE object) {
  KernelObject* target = kernelObject(object);
  if (target == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete target;
  return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&section->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

void EnterCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_lock(&section->mutex); }

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  return pthread_mutex_trylock(&section->mutex) == 0 ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_unlock(&section->mutex); }

void DeleteCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_destroy(&section->mutex); }

void AcquireSRWLockExclusive(PSRWLOCK lock) { pthread_mutex_lock(&lock->mutex); }

void ReleaseSRWLockExclusive(PSRWLOCK lock) { pthread_mutex_unlock(&lock->mutex); }

// The exit code is not kept: nothing here asks for it.
void ExitThread(DWORD) { pthread_exit(nullptr); }
