#include "output/renderer.h"

namespace vantor {

// samplesPerTick = (1000 / (bpm x 0.4)) x mixRate x 0.001 in double with the two
// single-precision constants, truncated: floor(110250 / bpm) for bpm 1..32767.
void setBpm(Song* song, int bpm) {
  constexpr double beatsToTicks = 0.4f;
  constexpr double millisecondsToSeconds = 0.001f;
  song->bpm = bpm;
  double frames = 0.0;
  if (bpm > 0) frames = (1000.0 / (bpm * beatsToTicks)) * mixRate * millisecondsToSeconds;
  // A tick must last at least one frame, or the renderer would never move on.
  song->samplesPerTick = frames >= 1.0 ? static_cast<int32_t>(frames) : 1;
}

}  // namespace vantor
