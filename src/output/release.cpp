#include "output/release.h"

#include "output/renderer.h"

namespace vantor {

HANDLE feederThreadHandle = nullptr;
HANDLE feederWakeEvent = nullptr;
std::atomic<uint8_t> stopRequested{0};
std::atomic<uint8_t> renderBusy{0};

namespace {

// A render takes a small fraction of a millisecond, while a sleep lasts up to a
// 15.625 ms tick of Windows' default timer: the host's thread yields instead.
void waitWhileRendering() {
  while (renderBusy.load() != 0) SwitchToThread();
}

}  // namespace

bool stopSong(Song* song) {
  if (song == nullptr) return false;
  stopRequested.store(1);
  // The event stays set: a feeder that is rendering, or has not run yet, finds it set
  // at its next wait (if it has not seen the flag first) and ends at once.
  if (feederWakeEvent != nullptr) SetEvent(feederWakeEvent);
  waitWhileRendering();
  if (feederThreadHandle != nullptr) {
    WaitForSingleObject(feederThreadHandle, INFINITE);
    CloseHandle(feederThreadHandle);
    feederThreadHandle = nullptr;
  }
  if (feederWakeEvent != nullptr) {
    CloseHandle(feederWakeEvent);
    feederWakeEvent = nullptr;
  }
  endRing();
  return true;
}

bool freeSong(Song* song) {
  if (song == nullptr) return false;
  waitWhileRendering();
  // Freeing any song ends playback, whichever song is playing.
  stopSong(song);
  return freeSongRecords(song);
}

}  // namespace vantor
