// The voice mixer: adds the sounding voices into 32-bit float stereo frames.
// Pitch is a 32.32 step per output frame with linear interpolation of the 16-bit
// sample data; loops are none, forward or ping-pong; each side's level is an integer
// 0..255 reached through a linear ramp of rampLength frames, so level changes,
// note starts and note ends do not click.
#pragma once

#include <cstdint>

#include "loading/song.h"

namespace vantor {

struct Voice {
  int32_t index;        // own slot in voicePool; the partner is index+32 below 32, else index-32
  int32_t volume;       // final volume, 255 = unit gain; written and read by the sequencer only
  int32_t pan;          // final pan 0..255; sequencer only
  uint32_t startOffset; // frame at which the next trigger starts the sample
  const Sample* sample; // null: idle
  int32_t leftVolume;   // target level 0..255 of the left (first) sample of each frame
  int32_t rightVolume;  // target level 0..255 of the right (second) sample of each frame
  int32_t position;     // integer part of the play position (frame index into sample data)
  uint32_t positionFrac;
  uint32_t stepFrac;
  int32_t stepInt;
  int32_t direction;  // 1 forward; anything else backward (the mixer writes 2)
  int32_t lastLeftVolume;
  int32_t lastRightVolume;
  int32_t currentLeft;   // current level x 256
  int32_t currentRight;  // current level x 256
  float leftStep;        // gain added per frame while a ramp runs
  float rightStep;
  int32_t rampRemaining;  // frames left in the current ramp; 0: none
};

constexpr int voicePoolSize = 256;
constexpr int mixedVoiceCount = 64;  // only the first 64 records are ever mixed
constexpr int directionForward = 1;
constexpr int directionBackward = 2;

extern Voice voicePool[voicePoolSize];

// Ramp length in frames and its reciprocal; fixed by the mix rate (128 at 44100 Hz).
constexpr int rampLength = 44100 * 128 / 44100;
constexpr float rampScale = 1.0f / static_cast<float>(rampLength);

// Clears the pool and gives every record its slot number and a step of 1.0.
void resetVoicePool();

// Adds the next frameCount frames of every active voice among the first 64 into
// out[0 .. 2*frameCount-1] (interleaved left, right), advancing the voices. Reads
// stay within a sample's storage (one spare value before data[0], eight after
// `length`) whatever a voice holds: a position at or past its boundary is wrapped,
// mirrored or stopped at once, a voice that would read outside its sample stops, and
// steps of 256 frames or more play at the largest step below 256 frames.
void mixVoices(float* out, int frameCount);

}  // namespace vantor
