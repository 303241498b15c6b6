// The mixer's inner loops with the processor's vector instructions, where it has them:
// four frames at a time (AVX2) or eight (AVX-512). They do exactly the arithmetic of
// the one-frame loops, in the same order, so the output is the same to the bit; only
// the work is shared out over vector lanes.
#pragma once

#include <cstdint>

namespace vantor {

enum class MixKernel {
  Portable,  // one frame at a time, in plain C++
  Vector,    // four frames at a time, where the processor has AVX2
  Wide,      // eight frames at a time, where the processor has AVX-512
};

// The kernel the mixer uses: by default the widest the processor has.
MixKernel activeMixKernel();

// Chooses the kernel (tests compare them); false, and nothing changes, when the
// processor cannot run it.
bool useMixKernel(MixKernel kernel);

// The loops below are only to be called while activeMixKernel() is not Portable. In
// both, frame j of the pass reads its data at at + j x step (both with the lowest bit
// clear) and adds its products into out[2j] (left) and out[2j + 1] (right); gains are
// times 2^-31, matching a value interpolated times 2^31.

// Frames at constant gains; with an odd number of frames the last one is mixed at
// lastLeft and lastRight.
void mixConstantFrames(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, double left,
                       double right, double lastLeft, double lastRight);

// Frames along a ramp: frame j at leftStart + j x leftIncrement and rightStart + j x
// rightIncrement. Only where these equal the gains that adding the increment frame by
// frame gives (see rampSumsAreExact in the mixer).
void mixRampFrames(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, double leftStart,
                   double leftIncrement, double rightStart, double rightIncrement);

}  // namespace vantor
