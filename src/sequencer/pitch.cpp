// Notes to periods and periods to playback frequencies.
//
// Linear table: 64 period units per semitone, 768 per octave, period 4608 is 8363 Hz.
// Amiga table: the frequency is inversely proportional to the period; note 48 is
// period 1712. Constants keep the precision they were defined with: a
// single-precision constant is used at its exact single value, and the arithmetic
// around it is done in double.
#include "sequencer/pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "sequencer/saturating.h"

namespace vantor {

namespace {

constexpr double twelfth = static_cast<double>(0.083333336f);
constexpr double amigaBase = 13.375;
constexpr double octaveStep = static_cast<double>(0.0013020834f);
constexpr double linearCentre = static_cast<double>(4608.0f);
constexpr double linearBaseFrequency = 8363.0;
// Not 8363 x 1712 = 14317456: period 1712 plays at 8362 Hz.
constexpr int64_t amigaClock = 14317056;

// The Amiga period k semitones above the bottom of the table, truncated. Limited so
// that no note, however far outside the keyboard, converts an out-of-range double.
int64_t amigaTablePeriod(int64_t semitones) {
  double period = std::pow(2.0, static_cast<double>(semitones) * twelfth) * amigaBase;
  return static_cast<int64_t>(std::min(period, static_cast<double>(accumulatorLimit)));
}

bool linearTable(const Song& song) { return (song.flags & LinearFrequencyTable) != 0; }

// 2^(exponent x octaveStep) x 8363 for a whole-numbered exponent. pow is the costliest
// step of a pitch update, and the auto-vibrato asks for an update on every tick, mostly
// of the pitch of the tick before; so results are remembered by their exact input, in
// a small table. Only the thread that renders asks, one at a time, as for the channels
// and voices. (Storage per thread would be allocated anew for each feeder thread, and
// in some Windows builds never freed.)
double linearFrequency(double exponent) {
  struct Remembered {
    bool filled;
    double exponent;
    double frequency;
  };
  constexpr int slots = 64;
  static Remembered remembered[slots] = {};
  Remembered& slot = remembered[static_cast<uint64_t>(static_cast<int64_t>(exponent)) % slots];
  if (!slot.filled || slot.exponent != exponent) {
    slot = {true, exponent, std::pow(2.0, exponent * octaveStep) * linearBaseFrequency};
  }
  return slot.frequency;
}

}  // namespace

int32_t amigaPeriod(int note, int finetune) {
  int64_t base = amigaTablePeriod(132 - int64_t{note});
  int64_t fine = finetune;
  // A negative finetune bends toward the semitone below, except on note 0.
  if (fine < 0 && note != 0) {
    int64_t lower = amigaTablePeriod(133 - int64_t{note});
    return saturateAccumulator(base + (-fine * (base - lower)) / -128);
  }
  int64_t upper = amigaTablePeriod(131 - int64_t{note});
  return saturateAccumulator(base + ((base - upper) * fine) / -128);
}

int32_t linearPeriod(int note, int finetune) {
  return saturateAccumulator(7680 - int64_t{note} * 64 - finetune / 2);
}

int32_t notePeriod(const Song& song, int realNote, int finetune) {
  return linearTable(song) ? linearPeriod(realNote, finetune) : amigaPeriod(realNote, finetune);
}

int32_t playbackFrequency(const Song& song, int32_t period, int32_t periodOffset) {
  // Computed and limited in double before the conversion: an extreme period would
  // otherwise give a frequency outside the integer range, and a step the mixer cannot
  // take.
  double frequency;
  if (linearTable(song)) {
    // Exact in double: a whole number far below 2^53.
    frequency = linearFrequency((linearCentre - period) + periodOffset);
  } else {
    int64_t sum = int64_t{period} + periodOffset;
    // A period of 0 is an infinitely high pitch.
    if (sum == 0) return maximumFrequency;
    frequency = static_cast<double>(amigaClock / sum);
  }
  frequency =
      std::clamp(frequency, static_cast<double>(minimumFrequency), static_cast<double>(maximumFrequency));
  return static_cast<int32_t>(frequency);
}

}  // namespace vantor
