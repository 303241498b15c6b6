// The signals that stop the tool: Ctrl-C (SIGINT), SIGTERM, and SIGHUP when its
// terminal goes away. After one of them the tool exits with 128 + its number.
#pragma once

#include <signal.h>

namespace vantor::tool {

// Runs handler for each of the three signals from now on.
void catchStopSignals(void (*handler)(int signal));

// Holds the three signals back on the calling thread while it lives: a handler that
// comes during a step of several calls runs after the step, not in its middle.
class StopSignalsHeld {
 public:
  StopSignalsHeld();
  ~StopSignalsHeld();
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace vantor::tool
