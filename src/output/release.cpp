#include "output/release.h"

#include <cstdlib>

#include "output/renderer.h"

namespace vantor {

HANDLE feederThreadHandle = nullptr;
std::atomic<uint8_t> stopRequested{0};
std::atomic<uint8_t> renderBusy{0};

namespace {

void waitWhileRendering() {
  while (renderBusy.load() != 0) {
    Sleep(1);
    Sleep(0);
  }
}

}  // namespace

bool stopSong(Song* song) {
  if (song == nullptr) return false;
  stopRequested.store(1);
  waitWhileRendering();
  if (feederThreadHandle != nullptr) {
    WaitForSingleObject(feederThreadHandle, INFINITE);
    CloseHandle(feederThreadHandle);
    feederThreadHandle = nullptr;
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
