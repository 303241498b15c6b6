// How the stand-in times and schedules threads, and what tests and benchmarks may set.
//
// The timer model decides when Sleep(n) for n > 0, and a wait whose time-out runs out,
// end. Precise: after the time asked for, to the millisecond, as on Linux, under Wine
// and on Windows once a program has asked for a 1 ms timer. Windows' default: on the
// first tick of a 15.625 ms clock at or after that time, because the default timer of
// Windows wakes sleepers only on its clock interrupt; there Sleep(1) lasts up to a
// whole tick. A wait that its object ends earlier returns at once in either model.
//
// The model is precise unless the environment variable VANTOR_TIMER is "windows" when
// the stand-in first sleeps or waits; setTimerModel changes it at any time.
#pragma once

#include <cstdint>

namespace vantor::platform {

enum class TimerModel { precise, windowsDefault };

void setTimerModel(TimerModel model);
TimerModel timerModel();

// Windows' default model only: true makes the ticks come from advanceTimerTick alone,
// not from the clock, so a test decides whether a sleep or a time-out can run out at
// all. Every sleep and timed wait then ends on a tick given by hand (after as many
// ticks as its time spans, at least one).
void setTimerTicksByHand(bool byHand);
void advanceTimerTick();

// Sleep calls with n > 0 made by the calling thread, since it started.
uint64_t sleepCallsOnThisThread();
// Sleeps (n > 0) and timed waits (time-out neither 0 nor INFINITE) that ended because
// their time ran out, on any thread, since the process started.
uint64_t timedWaitsRunOut();
// Threads inside a sleep or a timed wait right now.
int threadsInTimedWait();

// While true, each thread created from now on waits before it runs its start routine
// until its handle is first waited for or closed: the creator goes on as if the system
// had not yet scheduled the new thread.
void holdNewThreadsUntilWaitedFor(bool hold);

}  // namespace vantor::platform
