// The per-channel oscillators and slides that effects lay over pitch and volume:
// vibrato, tremolo, tremor, tone portamento and the instrument's auto-vibrato.
//
// periodOffset has opposite senses on the two frequency tables (added to the pitch on
// the linear table, to the period on the Amiga table); these routines write the same
// value on both.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "sequencer/envelopes.h"
#include "sequencer/saturating.h"

namespace vantor {

namespace {

// Slightly below pi/64, so that the sine peaks at 255 rather than 256 once floored.
constexpr double oscillatorAngleStep = 0.049087375;
constexpr double oscillatorScale = 256.0;
// The auto-vibrato's step is a single-precision constant; its exact value is used.
constexpr double autoVibratoAngleStep = static_cast<double>(0.024543688f);
constexpr double autoVibratoScale = 64.0;

enum class Waveform { Sine, Ramp, Square };

int sineMagnitude(int phase) {
  return static_cast<int>(std::floor(oscillatorScale * std::sin(2 * std::abs(phase) * oscillatorAngleStep)));
}

// The same values for every phase an oscillator takes, worked out once.
constexpr int oscillatorPhases = 64;
struct SineMagnitudes {
  int values[oscillatorPhases];
  SineMagnitudes() {
    for (int i = 0; i < oscillatorPhases; ++i) values[i] = sineMagnitude(i - oscillatorPhases / 2);
  }
};

// Magnitude 0..255 of a vibrato or tremolo oscillator at phase -32..31.
int oscillatorMagnitude(int phase, Waveform waveform) {
  switch (waveform) {
    case Waveform::Sine: {
      static const SineMagnitudes table;
      int index = phase + oscillatorPhases / 2;
      return index >= 0 && index < oscillatorPhases ? table.values[index] : sineMagnitude(phase);
    }
    case Waveform::Ramp: {
      // A non-negative modulo: negative phases fall from 255.
      int magnitude = (phase * 8) & 255;
      return phase < 0 ? 255 - magnitude : magnitude;
    }
    case Waveform::Square:
      break;
  }
  return 255;
}

// Vibrato: 0 sine, 1 ramp, 2 and 3 square.
Waveform vibratoWaveform(uint8_t waveControl) {
  switch (waveControl & 3) {
    case 0:
      return Waveform::Sine;
    case 1:
      return Waveform::Ramp;
    default:
      return Waveform::Square;
  }
}

// Tremolo: 0 sine, 1 ramp, 2 square, and 3 a sine again (unlike vibrato).
Waveform tremoloWaveform(uint8_t waveControl) {
  switch ((waveControl >> 4) & 3) {
    case 1:
      return Waveform::Ramp;
    case 2:
      return Waveform::Square;
    default:
      return Waveform::Sine;
  }
}

int autoVibratoSine(int phase) {
  return static_cast<int>(autoVibratoScale * std::sin(phase * autoVibratoAngleStep));
}

// The same values for every phase the auto-vibrato takes, worked out once.
constexpr int autoVibratoPhases = 256;
struct AutoVibratoSines {
  int values[autoVibratoPhases];
  AutoVibratoSines() {
    for (int i = 0; i < autoVibratoPhases; ++i) values[i] = autoVibratoSine(i);
  }
};

// Auto-vibrato value -64..64 at phase 0..255.
int autoVibratoValue(int phase, uint8_t type) {
  switch (type) {
    case 0: {
      static const AutoVibratoSines table;
      return phase >= 0 && phase < autoVibratoPhases ? table.values[phase] : autoVibratoSine(phase);
    }
    case 1:
      return phase < 128 ? 64 : -64;
    case 2:  // ramp down: 0 at 0, -64 at 127, 64 at 128, back toward 0
      return (128 - ((phase + 128) & 255)) >> 1;
    case 3:  // ramp up: 0 at 0, 63 at 127, 64 at 128, then -64 rising to -1
      return (128 - ((384 - phase) & 255)) >> 1;
    default:
      return 0;
  }
}

}  // namespace

void advancePhase(int8_t& phase, uint8_t speed) {
  // Cycles through -32..31, 64 steps per period. Reduced modulo 64, which is the same
  // as subtracting 64 once for every speed an effect can give (at most 15), and keeps
  // the phase in range for any speed.
  phase = static_cast<int8_t>(((phase + 32 + speed) & 63) - 32);
}

void applyVibrato(Channel& channel) {
  int magnitude = oscillatorMagnitude(channel.vibratoPos, vibratoWaveform(channel.waveControl));
  int depth = ((magnitude * channel.vibratoDepth) >> 5) & ~3;
  channel.periodOffset = channel.vibratoPos >= 0 ? -depth : depth;
  channel.updateFlags |= PitchChanged;
}

void applyTremolo(Channel& channel) {
  int magnitude = oscillatorMagnitude(channel.tremoloPos, tremoloWaveform(channel.waveControl));
  int depth = (magnitude * channel.tremoloDepth) >> 6;
  // The offset never takes the volume outside 0..64.
  if (channel.tremoloPos >= 0) {
    if (channel.volume + depth > 64) depth = 64 - channel.volume;
    channel.volumeOffset = depth;
  } else {
    if (channel.volume - depth < 0) depth = channel.volume;
    channel.volumeOffset = -depth;
  }
  advancePhase(channel.tremoloPos, channel.tremoloSpeed);
  channel.updateFlags |= VolumeChanged;
}

void applyTremor(Channel& channel) {
  // Sounds for tremorOnTicks ticks, then is silent for tremorOffTicks, counting every
  // tick including row ticks. Both counts 0 silence the channel on every tick.
  if (channel.tremorPos >= channel.tremorOnTicks) channel.volumeOffset = -channel.volume;
  ++channel.tremorPos;
  if (channel.tremorPos >= channel.tremorOnTicks + channel.tremorOffTicks) channel.tremorPos = 0;
  channel.updateFlags |= VolumeChanged;
}

void applyTonePortamento(Channel& channel) {
  int32_t speed = channel.portaSpeed * 4;
  if (channel.period < channel.portaTarget) {
    channel.period = std::min(addSaturating(channel.period, speed), channel.portaTarget);
  } else if (channel.period > channel.portaTarget) {
    channel.period = std::max(addSaturating(channel.period, -speed), channel.portaTarget);
  }
  channel.updateFlags |= PitchChanged;
}

void applyAutoVibrato(Channel& channel, const Instrument& instrument) {
  int depth = autoVibratoValue(channel.autoVibratoPos, instrument.vibratoType) * instrument.vibratoDepth;
  // The sweep grows the depth linearly from 0 over vibratoSweep ticks after each
  // instrument reset; a sweep of 0 gives full depth at once.
  if (instrument.vibratoSweep != 0) depth = (channel.autoVibratoSweepPos * depth) / instrument.vibratoSweep;
  channel.periodOffset += depth >> 6;

  channel.autoVibratoSweepPos = std::min<int32_t>(channel.autoVibratoSweepPos + 1, instrument.vibratoSweep);
  channel.autoVibratoPos += instrument.vibratoRate;
  if (channel.autoVibratoPos > 255) channel.autoVibratoPos -= 256;
  channel.updateFlags |= PitchChanged;
}

}  // namespace vantor
