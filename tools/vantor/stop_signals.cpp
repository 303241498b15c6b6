#include "stop_signals.h"

#include <pthread.h>

namespace vantor::tool {

namespace {

constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t stopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : stopSignals) sigaddset(&set, signal);
  return set;
}

}  // namespace

void catchStopSignals(void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_mask = stopSignalSet();  // one handler at a time
  for (int signal : stopSignals) sigaction(signal, &action, nullptr);
}

StopSignalsHeld::StopSignalsHeld() {
  sigset_t held = stopSignalSet();
  pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

StopSignalsHeld::~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace vantor::tool
