// The one place where the stand-in blocks for a limited time, so that every sleep and
// timed wait follows the timer model (scheduling.h) and is counted.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace vantor::platform {

// With lock held on the mutex that guards what ready() reads, waits on signal until
// ready() holds or the time-out runs out; 0 only tests ready(), INFINITE waits as long
// as it takes. Returns ready().
bool waitUntilReady(std::unique_lock<std::mutex>& lock, std::condition_variable& signal, DWORD milliseconds,
                    const std::function<bool()>& ready);

}  // namespace vantor::platform
