#include "loading/song.h"

#include <cstdlib>

namespace vantor {

Sample emptySample = {
    .data = nullptr,
    .length = 0,
    .loopStart = 0,
    .loopLength = 0,
    .volume = 0,
    .finetune = 0,
    .panning = 128,
    .bitsPerSample = 8,
    .loopMode = LoopNone,
    .relativeNote = 0,
};

Instrument emptyInstrument = {};

namespace {
// Values kept after the last one: the loop guard and the interpolation neighbours.
constexpr std::size_t spareValuesAfter = 8;
// A zero value before data[0], read by interpolation a hair before a loop that starts at 0.
constexpr std::size_t spareValuesBefore = 1;
}  // namespace

int16_t* allocateSampleData(uint32_t length) {
  if (length == 0) return nullptr;
  std::size_t values = std::size_t{length} + spareValuesAfter + spareValuesBefore;
  auto* storage = static_cast<int16_t*>(std::calloc(values, sizeof(int16_t)));
  return storage ? storage + spareValuesBefore : nullptr;
}

void freeSampleData(int16_t* data) {
  if (data) std::free(data - spareValuesBefore);
}

bool freeSongRecords(Song* song) {
  if (song == nullptr) return false;
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
