// The voice mixer. Each active voice is added into the slice in passes: a pass runs
// until the voice's next sample boundary, the end of its level ramp or the end of the
// slice, whichever comes first. The boundary is found once per pass by one division,
// so the inner loops never test a boundary per frame.
//
// The work is cut down without changing a bit of the output: the gains are formed once
// for all the passes of a slice that no ramp runs through; a pass of a voice whose
// levels are 0 only moves the position on; the interpolation is done in integers, where
// it is exact, as it is in the doubles it stands for; and the frames of a pass, at
// constant gains or along a ramp, go four or eight at a time through the vector loops
// where the processor has them.
//
// Positions and steps are 32.32 fixed point. A position is kept in a uint64_t whose
// high word is the signed frame index; all position arithmetic is modular, and a
// position is read as signed wherever its side of a boundary matters.
#include "output/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "output/vector_mix.h"

namespace vantor {

namespace {

// 1/255 as the single-precision constant it is; the arithmetic around it is double.
constexpr float oneOver255f = 1.0f / 255.0f;
constexpr double oneOver255 = oneOver255f;
constexpr double levelScale = 255.0 * 256.0;  // a gain of 1 is level 255, kept times 256

// A step of zero never reaches a boundary; the frames to the boundary are counted as
// if the step were this (the voice itself does not move). Steps below 2^-24 frame,
// which the division's 8-bit reduction turns into zero, are counted the same way.
constexpr uint64_t zeroStepStandIn = 24932236;

// The boundary division keeps 8 integer bits of the step. The sequencer keeps steps
// below 256 frames; anything larger plays at the largest step the division holds.
constexpr uint64_t largestStep = (uint64_t{256} << 32) - 1;

// Distances of 2^24 frames or more are not divided: the pass runs to the slice's end.
constexpr uint64_t farDistance = uint64_t{1} << 56;

// Longest pass, so that even a huge slice cannot step past a boundary 2^24 frames
// away. It is even, so splitting a slice here leaves the odd-last-frame rule alone.
constexpr int longestPass = 1 << 16;

// Spare values around the sample data: one before data[0], eight after `length`.
constexpr int64_t lowestReadableIndex = -1;
constexpr int64_t spareValuesAfter = 8;

uint64_t playPosition(const Voice& voice) {
  return (uint64_t{static_cast<uint32_t>(voice.position)} << 32) | voice.positionFrac;
}

void storePosition(Voice& voice, uint64_t position) {
  voice.position = static_cast<int32_t>(position >> 32);
  voice.positionFrac = static_cast<uint32_t>(position);
}

int64_t frameIndexOf(uint64_t position) { return static_cast<int64_t>(position) >> 32; }

uint64_t stepOf(const Voice& voice) {
  uint64_t step = (uint64_t{static_cast<uint32_t>(voice.stepInt)} << 32) | voice.stepFrac;
  return std::min(step, largestStep);
}

int64_t loopEndOf(const Sample& sample) { return int64_t{sample.loopStart} + sample.loopLength; }

void stopVoice(Voice& voice) {
  voice.sample = nullptr;
  voice.position = 0;
  voice.positionFrac = 0;
}

// Distance from the position to the boundary in the voice's direction. A position
// already at or beyond the boundary gives 0, so the boundary is handled at once; the
// reduced division below can leave a position a hair past it.
uint64_t distanceToBoundary(const Voice& voice, const Sample& sample, uint64_t position, bool forward) {
  uint64_t distance;
  if (forward) {
    int64_t loopEnd = loopEndOf(sample);
    int64_t limit = voice.position <= loopEnd ? loopEnd : int64_t{sample.length};
    distance = (static_cast<uint64_t>(limit) << 32) - position;
  } else {
    distance = position - (uint64_t{sample.loopStart} << 32);
  }
  return static_cast<int64_t>(distance) < 0 ? 0 : distance;
}

// The frames until the boundary are ceil(D' / S') on values reduced by 8 bits: exact
// or one off either way, which the boundary handling and the zero-distance rule absorb.
uint64_t reducedStepOf(uint64_t step) {
  uint64_t reducedStep = step >> 8;
  return reducedStep == 0 ? zeroStepStandIn >> 8 : reducedStep;
}

// Whether every frame index the pass interpolates from lies inside the sample's
// storage. Only a voice in a state the sequencer never produces fails this. Lowering
// the position's lowest bit each frame only moves it backward, so the bounds allow
// for one unit per frame on that side.
bool passStaysInside(const Sample& sample, uint64_t position, uint64_t step, bool forward, int frames) {
  int64_t first = frameIndexOf(position);
  uint64_t fraction = static_cast<uint32_t>(position);
  uint64_t steps = static_cast<uint64_t>(frames - 1);
  int64_t lowest = first;
  int64_t highest = first;
  if (forward) {
    highest = first + static_cast<int64_t>((fraction + steps * step) >> 32);
  } else {
    lowest = first + ((static_cast<int64_t>(fraction) - static_cast<int64_t>(steps * (step + 1))) >> 32);
  }
  return lowest >= lowestReadableIndex && highest + 1 < int64_t{sample.length} + spareValuesAfter;
}

// Gains of a level (255 = 1) and of a level kept times 256. They are formed in single
// precision: each product is exact before its one rounding, so this equals the double
// product rounded to float. Written in double, GCC 12's vectoriser was seen to reuse
// the unrounded double in place of the rounded gain.
float gainOfLevel(int32_t level) { return static_cast<float>(level) * oneOver255f; }

float gainOfLevelTimes256(int32_t levelTimes256) {
  return static_cast<float>(levelTimes256) * (1.0f / 256.0f) * oneOver255f;
}

struct Ramp {
  int frames;  // frames the ramp still runs from this pass on; 0 or less: none
  double leftIncrement;
  double rightIncrement;
};

float rampIncrement(int64_t levelDifference) {
  if (levelDifference == 0) return 0.0f;
  return static_cast<float>(static_cast<double>(levelDifference) * oneOver255 *
                            static_cast<double>(rampScale));
}

// Continues the running ramp while the targets stay as they were when it was
// computed; otherwise starts a fresh ramp of rampLength frames from the level
// reached so far (levels are compared on their whole part).
Ramp rampForPass(Voice& voice) {
  if (voice.rampRemaining != 0 && voice.leftVolume == voice.lastLeftVolume &&
      voice.rightVolume == voice.lastRightVolume) {
    return {voice.rampRemaining, voice.leftStep, voice.rightStep};
  }
  voice.lastLeftVolume = voice.leftVolume;
  voice.lastRightVolume = voice.rightVolume;
  int64_t leftDifference = int64_t{voice.leftVolume} - (static_cast<uint32_t>(voice.currentLeft) >> 8);
  int64_t rightDifference = int64_t{voice.rightVolume} - (static_cast<uint32_t>(voice.currentRight) >> 8);
  voice.leftStep = rampIncrement(leftDifference);
  voice.rightStep = rampIncrement(rightDifference);
  if (leftDifference == 0 && rightDifference == 0) return {0, 0.0, 0.0};
  voice.rampRemaining = rampLength;
  return {rampLength, voice.leftStep, voice.rightStep};
}

// A gain back on the level scale times 256, rounded to nearest (ties to even).
int32_t levelOf(double gain) {
  double level = gain * levelScale;
  if (!(level > INT32_MIN)) return level < 0.0 ? INT32_MIN : 0;  // NaN gives 0
  if (level >= INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(std::nearbyint(level));
}

int32_t levelTimes256(int32_t level) { return static_cast<int32_t>(static_cast<uint32_t>(level) << 8); }

// The position after `frames` steps. Every step first clears the fraction's lowest
// bit, which only ever takes away the step's own lowest bit again: after the first step
// a position is the cleared start, plus the cleared step for each further step, plus
// the whole step once.
uint64_t advanceBy(uint64_t position, uint64_t signedStep, int frames) {
  if (frames <= 0) return position;
  uint64_t evenStep = signedStep & ~uint64_t{1};
  return (position & ~uint64_t{1}) + static_cast<uint64_t>(frames - 1) * evenStep + signedStep;
}

// Where the frames of a pass read their data. The positions visited differ from the
// cleared start plus whole cleared steps only in their lowest bit, and that bit takes
// no part in the interpolation; so frame j reads at start + j x step, both cleared.
struct Walk {
  uint64_t start;
  uint64_t step;
};

Walk walkOf(uint64_t position, uint64_t signedStep) {
  return {position & ~uint64_t{1}, signedStep & ~uint64_t{1}};
}

// 2^31 times the linear interpolation between the frame at the position and the next
// one, s0 + (s1 - s0) x t with t = (fraction >> 1) x 2^-31. Both of its double
// operations are exact (the product has at most 48 significant bits, the sum too), so
// the interpolated value is exactly this integer times 2^-31, and the integer, below
// 2^48, converts to double exactly.
double interpolatedTimes2p31(const int16_t* data, uint64_t position) {
  const int16_t* frame = data + frameIndexOf(position);
  int64_t first = frame[0];
  int64_t difference = int64_t{frame[1]} - first;
  int64_t fraction = static_cast<uint32_t>(position) >> 1;
  return static_cast<double>(first * (int64_t{1} << 31) + difference * fraction);
}

constexpr double twoToMinus31 = 0x1p-31;

// Passes shorter than this stay in the one-frame loops: setting up a vector loop costs
// more than the few frames it would share out (voices near their boundary on every
// frame, at extreme pitches on tiny loops, make many such passes).
constexpr int shortestVectorPass = 4;

// Adds one frame: each side is the value times its gain in double, rounded to float.
// `value` and the gains may carry a power of two between them: scaling by it is exact,
// so the rounded products are the same.
void addFrame(float* out, double value, double leftGain, double rightGain) {
  out[0] += static_cast<float>(value * leftGain);
  out[1] += static_cast<float>(value * rightGain);
}

// Frames at constant gains, two per iteration; an odd last frame is mixed with the
// gains of the current levels, which equal the targets once a ramp has ended.
uint64_t mixConstant(float* out, int frames, const int16_t* data, uint64_t position, uint64_t signedStep,
                     float leftGain, float rightGain, float currentLeftGain, float currentRightGain) {
  Walk walk = walkOf(position, signedStep);
  double left = leftGain * twoToMinus31;
  double right = rightGain * twoToMinus31;
  double lastLeft = currentLeftGain * twoToMinus31;
  double lastRight = currentRightGain * twoToMinus31;
  if (frames >= shortestVectorPass && activeMixKernel() != MixKernel::Portable) {
    mixConstantFrames(out, frames, data, walk.start, walk.step, left, right, lastLeft, lastRight);
    return advanceBy(position, signedStep, frames);
  }
  uint64_t at = walk.start;
  int frame = 0;
  for (; frame + 1 < frames; frame += 2) {
    addFrame(out + 2 * frame, interpolatedTimes2p31(data, at), left, right);
    at += walk.step;
    addFrame(out + 2 * frame + 2, interpolatedTimes2p31(data, at), left, right);
    at += walk.step;
  }
  if (frame < frames) addFrame(out + 2 * frame, interpolatedTimes2p31(data, at), lastLeft, lastRight);
  return advanceBy(position, signedStep, frames);
}

// Whether adding a ramp's increment frame by frame in double, as the one-frame loop
// does, gives exactly start + j x increment for every frame j of a pass, so that the
// vector loops may form each frame's gains on their own. It does when start and
// increment are whole multiples of 2^-48 and no sum reaches 16 in size: every sum is
// then such a multiple below 2^52 of them, which a double holds exactly, and so is
// each product j x increment. Gains of levels 0..255 always qualify.
bool rampSumsAreExact(double start, double increment, int frames) {
  if (!(std::fabs(start) + frames * std::fabs(increment) < 16.0)) return false;  // NaN too
  // Both are below 16 in size here (frames >= 1), so times 2^48 they fit an int64.
  auto onGrid = [](double value) {
    double scaled = value * 0x1p48;
    return static_cast<double>(static_cast<int64_t>(scaled)) == scaled;
  };
  return onGrid(start) && onGrid(increment);
}

// Frames along a ramp: each frame uses the gains reached so far, then moves them on.
uint64_t mixRamp(float* out, int frames, const int16_t* data, uint64_t position, uint64_t signedStep,
                 double& leftGain, double& rightGain, const Ramp& ramp) {
  if (frames <= 0) return position;
  Walk walk = walkOf(position, signedStep);
  if (frames >= shortestVectorPass && activeMixKernel() != MixKernel::Portable && rampSumsAreExact(leftGain, ramp.leftIncrement, frames) &&
      rampSumsAreExact(rightGain, ramp.rightIncrement, frames)) {
    mixRampFrames(out, frames, data, walk.start, walk.step, leftGain * twoToMinus31,
                  ramp.leftIncrement * twoToMinus31, rightGain * twoToMinus31,
                  ramp.rightIncrement * twoToMinus31);
    leftGain += frames * ramp.leftIncrement;
    rightGain += frames * ramp.rightIncrement;
    return advanceBy(position, signedStep, frames);
  }
  uint64_t at = walk.start;
  for (int frame = 0; frame < frames; ++frame) {
    addFrame(out + 2 * frame, interpolatedTimes2p31(data, at) * twoToMinus31, leftGain, rightGain);
    leftGain += ramp.leftIncrement;
    rightGain += ramp.rightIncrement;
    at += walk.step;
  }
  return advanceBy(position, signedStep, frames);
}

// Forward loop: back by one loop length, and further back by whole loop lengths while
// still at or past the loop end. The comparison is signed: a pass that stopped a hair before
// the loop end lands a hair before loopStart (data[-1] for a loop from 0, a spare
// value). The voice plays on forward whatever way it came.
int32_t wrappedIndex(const Sample& sample, int32_t index) {
  int64_t position = int64_t{index} - sample.loopLength;
  if (position >= loopEndOf(sample))
    position = sample.loopStart + (position - sample.loopStart) % sample.loopLength;
  return static_cast<int32_t>(position);
}

void wrapForward(Voice& voice, const Sample& sample) {
  voice.position = wrappedIndex(sample, voice.position);
  voice.direction = directionForward;
}

// Ping-pong loop: mirror the position about the end it ran into (less 2^-32) and turn
// round, until it lies on the playable side of the other end. Two mirrors in a row
// move a far-out position two loop lengths closer; whole rounds of those are skipped
// first so a position far outside costs no more than one close by.
void mirrorPingPong(Voice& voice, const Sample& sample) {
  uint64_t loopStart = uint64_t{sample.loopStart} << 32;
  uint64_t loopEnd = static_cast<uint64_t>(loopEndOf(sample)) << 32;
  uint64_t twoLoops = uint64_t{sample.loopLength} << 33;
  uint64_t position = playPosition(voice);
  bool forward = voice.direction == directionForward;
  if (forward && static_cast<int64_t>(position) > static_cast<int64_t>(loopEnd)) {
    uint64_t rounds = (position - loopEnd) / twoLoops;
    if (rounds > 1) position -= (rounds - 1) * twoLoops;
  } else if (!forward && static_cast<int64_t>(position) < static_cast<int64_t>(loopStart)) {
    uint64_t rounds = (loopStart - position) / twoLoops;
    if (rounds > 1) position += (rounds - 1) * twoLoops;
  }
  for (;;) {
    if (!forward) {
      position = 2 * loopStart - 1 - position;
      forward = true;
      if (frameIndexOf(position) < loopEndOf(sample)) break;
    }
    position = 2 * loopEnd - 1 - position;
    forward = false;
    if (frameIndexOf(position) >= int64_t{sample.loopStart}) break;
  }
  storePosition(voice, position);
  voice.direction = forward ? directionForward : directionBackward;
}

void handleBoundary(Voice& voice, const Sample& sample) {
  // A loop of no length cannot be played; the loader never makes one.
  if ((sample.loopMode & LoopForward) && sample.loopLength > 0) {
    wrapForward(voice, sample);
  } else if ((sample.loopMode & LoopPingPong) && sample.loopLength > 0) {
    mirrorPingPong(voice, sample);
  } else {
    stopVoice(voice);
  }
}

// How far a pass goes: to the boundary, or through `available` frames (at most
// longestPass) when the boundary lies further.
struct PassLength {
  int frames;
  bool reachesBoundary;
};

PassLength passLength(const Voice& voice, const Sample& sample, uint64_t position, uint64_t step,
                      bool forward, int available) {
  int frames = std::min(available, longestPass);
  uint64_t distance = distanceToBoundary(voice, sample, position, forward);
  if (distance >= farDistance) return {frames, false};
  uint64_t reducedDistance = distance >> 8;
  uint64_t reducedStep = reducedStepOf(step);
  // ceil(D' / S') <= frames exactly when D' <= S' x frames (below 2^48, no overflow),
  // so a pass that ends with the slice needs no division.
  if (reducedDistance > reducedStep * static_cast<uint64_t>(frames)) return {frames, false};
  return {static_cast<int>((reducedDistance + reducedStep - 1) / reducedStep), true};
}

// One pass along a running ramp: to the ramp's end, the boundary or the end of the
// slice, whichever comes first. Returns the frames it covered.
int mixRampPass(Voice& voice, float* out, int available, const Ramp& ramp) {
  const Sample& sample = *voice.sample;
  uint64_t position = playPosition(voice);
  uint64_t step = stepOf(voice);
  bool forward = voice.direction == directionForward;
  PassLength pass = passLength(voice, sample, position, step, forward, available);
  int frames = std::min(pass.frames, ramp.frames);
  if (frames > 0 && !passStaysInside(sample, position, step, forward, frames)) {
    stopVoice(voice);
    return frames;
  }

  double leftLevel = gainOfLevelTimes256(voice.currentLeft);
  double rightLevel = gainOfLevelTimes256(voice.currentRight);
  uint64_t signedStep = forward ? step : ~step + 1;
  position = mixRamp(out, frames, sample.data, position, signedStep, leftLevel, rightLevel, ramp);
  voice.currentLeft = levelOf(leftLevel);
  voice.currentRight = levelOf(rightLevel);
  voice.rampRemaining -= frames;
  if (voice.rampRemaining == 0) {
    voice.leftStep = 0.0f;
    voice.rightStep = 0.0f;
    voice.currentLeft = levelTimes256(voice.leftVolume);
    voice.currentRight = levelTimes256(voice.rightVolume);
  }
  storePosition(voice, position);
  // A pass that the ramp cut short has not reached the boundary.
  if (pass.reachesBoundary && frames == pass.frames) handleBoundary(voice, sample);
  return frames;
}

// The passes of a silent voice on a forward loop (a note faded out that plays on
// unheard), up to the last boundary the slice reaches: the same arithmetic as the
// passes below, with nothing to mix and the position kept in a register. A voice can
// spend many short passes like this in a slice. It stops before any pass of another
// kind (no boundary before the slice ends, a position past the loop end, a pass that
// would read outside the sample), which the passes below then take, and returns the
// frames it covered.
int moveSilentlyAroundForwardLoop(Voice& voice, const Sample& sample, uint64_t step, int frameCount) {
  if (!(sample.loopMode & LoopForward) || sample.loopLength == 0 || voice.direction != directionForward)
    return 0;
  const int64_t loopEnd = loopEndOf(sample);
  const uint64_t end = static_cast<uint64_t>(loopEnd) << 32;
  const uint64_t reducedStep = reducedStepOf(step);
  uint64_t position = playPosition(voice);
  int written = 0;
  while (written < frameCount) {
    if (frameIndexOf(position) > loopEnd) break;
    uint64_t distance = end - position;
    if (static_cast<int64_t>(distance) < 0) distance = 0;
    if (distance >= farDistance) break;
    uint64_t reducedDistance = distance >> 8;
    int available = std::min(frameCount - written, longestPass);
    if (reducedDistance > reducedStep * static_cast<uint64_t>(available)) break;
    int frames = static_cast<int>((reducedDistance + reducedStep - 1) / reducedStep);
    if (frames > 0 && !passStaysInside(sample, position, step, true, frames)) break;
    position = advanceBy(position, step, frames);
    written += frames;
    uint32_t wrapped = static_cast<uint32_t>(wrappedIndex(sample, static_cast<int32_t>(position >> 32)));
    position = (uint64_t{wrapped} << 32) | static_cast<uint32_t>(position);
  }
  storePosition(voice, position);
  return written;
}

// Passes at constant gains up to the end of the slice (or just one pass). Nothing
// that sets a gain changes between them: the targets change only between slices, and
// the current levels only in ramp passes. So the gains are formed once, and a pass
// costs little more than finding its boundary. Returns the frames covered.
int mixSteadyPasses(Voice& voice, float* out, int frameCount, bool onePass) {
  const Sample& sample = *voice.sample;
  const uint64_t step = stepOf(voice);
  const float leftGain = gainOfLevel(voice.leftVolume);
  const float rightGain = gainOfLevel(voice.rightVolume);
  const float currentLeftGain = gainOfLevelTimes256(voice.currentLeft);
  const float currentRightGain = gainOfLevelTimes256(voice.currentRight);
  // Whether every frame would add a zero (an odd last frame is mixed at the current
  // levels). Then the voice only moves on: leaving out the addition of a zero can change
  // no more than the sign of a zero in the mix, which the conversion to 16-bit does not see.
  const bool silentPairs = leftGain == 0.0f && rightGain == 0.0f;
  const bool silentLastFrame = currentLeftGain == 0.0f && currentRightGain == 0.0f;

  int written = 0;
  if (!onePass && silentPairs && silentLastFrame) {
    written = moveSilentlyAroundForwardLoop(voice, sample, step, frameCount);
    if (written == frameCount) return written;
  }
  do {
    uint64_t position = playPosition(voice);
    bool forward = voice.direction == directionForward;
    PassLength pass = passLength(voice, sample, position, step, forward, frameCount - written);
    if (pass.frames > 0 && !passStaysInside(sample, position, step, forward, pass.frames)) {
      stopVoice(voice);
      return written;
    }
    uint64_t signedStep = forward ? step : ~step + 1;
    if (silentPairs && (pass.frames % 2 == 0 || silentLastFrame)) {
      position = advanceBy(position, signedStep, pass.frames);
    } else {
      position = mixConstant(out + 2 * written, pass.frames, sample.data, position, signedStep, leftGain,
                             rightGain, currentLeftGain, currentRightGain);
    }
    written += pass.frames;
    storePosition(voice, position);
    if (pass.reachesBoundary) handleBoundary(voice, sample);
  } while (!onePass && written < frameCount && voice.sample != nullptr);
  return written;
}

void mixVoice(Voice& voice, float* out, int frameCount) {
  int written = 0;
  while (written < frameCount && voice.sample != nullptr) {
    Ramp ramp = rampForPass(voice);
    if (ramp.frames > 0) {
      written += mixRampPass(voice, out + 2 * written, frameCount - written, ramp);
    } else {
      // Without a ramp the gains stay as they are to the end of the slice, unless a
      // ramp is still counted down: its targets changed back to the levels reached,
      // and it runs on from the next pass (see rampForPass).
      written += mixSteadyPasses(voice, out + 2 * written, frameCount - written, voice.rampRemaining != 0);
    }
  }
}

}  // namespace

void mixVoices(float* out, int frameCount) {
  if (frameCount < 1) return;
  for (int slot = 0; slot < mixedVoiceCount; ++slot) {
    Voice& voice = voicePool[slot];
    if (voice.sample == nullptr || voice.sample->data == nullptr) continue;
    mixVoice(voice, out, frameCount);
  }
}

}  // namespace vantor
