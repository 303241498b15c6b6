// Replay state of one pattern track: note, instrument, pitch and volume with the
// per-tick offsets the effects lay over them, envelope cursors, fadeout,
// auto-vibrato, effect memories, oscillators and the pattern loop. Song channel i
// uses record i of one global table of 32 and drives voice i or its partner i+32.
#pragma once

#include <cstdint>

#include "loading/song.h"
#include "output/mixer.h"

namespace vantor {

struct EnvelopeState {
  int32_t tick;        // envelope time in ticks since the instrument reset
  int32_t point;       // index of the point the cursor reaches next
  int32_t fixedValue;  // current value, 16.16
  int32_t value;       // current value, integer: volume 0..64, panning 0..64 with 32 centre
  int32_t slope;       // per-tick increment of fixedValue on the current segment, 16.16
  uint8_t done;        // 1 once the last point has been reached
};

// What updateVoice must carry into the voice this tick (Channel::updateFlags).
constexpr uint8_t PitchChanged = 1;
constexpr uint8_t VolumeChanged = 2;
constexpr uint8_t PanningChanged = 4;
constexpr uint8_t Trigger = 8;
constexpr uint8_t Rewind = 32;

struct Channel {
  uint8_t note;  // 0-based, index into the instrument's keymap
  uint8_t updateFlags;
  Voice* voice;
  int32_t period;
  int32_t volume;   // 0..64 (Cxx may store up to 255)
  int32_t panning;  // 0..255, 128 centre
  int32_t volumeOffset;
  int32_t periodOffset;
  EnvelopeState volumeEnvelopeState;
  EnvelopeState panningEnvelopeState;
  int32_t fadeoutVolume;  // 65536 = full
  int32_t autoVibratoPos;
  int32_t autoVibratoSweepPos;
  uint8_t keyOff;
  uint8_t instrumentIndex;  // 0-based
  uint8_t realNote;         // note + the sample's relativeNote, kept in 8 bits
  int32_t notePeriod;
  uint8_t lastEffect;
  int32_t sampleOffsetMemory;  // units of 256 frames
  uint8_t portaDownMemory;
  uint8_t portaUpMemory;
  uint8_t extraFinePortaDownMemory;
  uint8_t extraFinePortaUpMemory;
  uint8_t volumeSlideMemory;  // shared by Axy, 5xy, 6xy
  uint8_t panningSlideMemory;
  uint8_t retrigVolumeChange;
  uint8_t retrigInterval;
  int32_t portaTarget;
  uint8_t portaSpeed;
  int8_t vibratoPos;  // -32..31
  uint8_t vibratoSpeed;
  uint8_t vibratoDepth;
  int8_t tremoloPos;  // -32..31
  uint8_t tremoloSpeed;
  uint8_t tremoloDepth;
  uint8_t tremorPos;
  uint8_t tremorOnTicks;
  uint8_t tremorOffTicks;
  int32_t loopRow;
  int32_t loopCount;
  uint8_t waveControl;  // low nibble vibrato waveform, high nibble tremolo waveform
  uint8_t fineVolumeSlideMemory;  // shared by EAx and EBx
  uint8_t finePortaUpMemory;
  uint8_t finePortaDownMemory;
};

constexpr int channelTableSize = 32;

extern Channel channels[channelTableSize];

// Clears the first channelCount records (at most 32) and puts channel i on voice i.
void resetChannels(int channelCount);

// The instrument reset: volume and panning from the sample, both envelope cursors
// restarted, key released state cleared, fadeout full, auto-vibrato restarted.
void resetChannelForInstrument(Channel& channel, const Sample& sample);

}  // namespace vantor
