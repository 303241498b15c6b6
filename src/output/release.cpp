#include "output/release.h"

#include <cstdlib>

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
  if (soundBuffer != nullptr) {
    soundBuffer->Stop();
    soundBuffer->Release();
    soundBuffer = nullptr;
  }
  freeMixBuffer();
  currentSong = nullptr;
  blockIndex = 0;
  return true;
}

bool freeSong(Song* song) {
  if (song == nullptr) return false;
  waitWhileRendering();
  // Freeing any song ends playback, whichever song is playing.
  stopSong(song);
  if (song->instruments != nullptr) {
    for (int i = 0; i < song->instrumentCount; ++i) {
      Instrument& instrument = song->instruments[i];
      for (uint32_t slot = 0; slot < instrument.sampleCount && slot < instrumentSampleSlots; ++slot) {
        Sample* sample = instrument.samples[slot];
        if (sample == nullptr) continue;
        freeSampleData(sample->data);
        std::free(sample);
      }
    }
    std::free(song->instruments);
  }
  if (song->patterns != nullptr) {
    for (int p = 0; p < song->patternCount; ++p) std::free(song->patterns[p].cells);
    std::free(song->patterns);
  }
  std::free(song);
  return true;
}

}  // namespace vantor
