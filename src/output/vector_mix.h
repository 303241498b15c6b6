// The mixer's inner loop at constant gains, four frames at a time with the processor's
// vector instructions (AVX2), where the processor has them. It does exactly the
// arithmetic of the one-frame loop in the same order, so the output is the same to the
// bit; only the work is shared out over vector lanes.
#pragma once

#include <cstdint>

namespace vantor {

enum class MixKernel {
  Portable,  // one frame at a time, in plain C++
  Vector,    // four frames at a time, where the processor allows it
};

// The kernel the mixer uses; Vector by default where the processor has AVX2.
MixKernel activeMixKernel();

// Chooses the kernel (tests compare the two); false, and nothing changes, when the
// processor cannot run it.
bool useMixKernel(MixKernel kernel);

// Adds 4 x groups frames at constant gains into out (interleaved left, right). Frame j
// reads its data at at + j x step (both with the lowest bit clear); leftGain and
// rightGain are the gains times 2^-31, matching a value interpolated times 2^31. Only
// to be called when activeMixKernel() is Vector.
void mixFourFramesAtATime(float* out, int groups, const int16_t* data, uint64_t at, uint64_t step,
                          double leftGain, double rightGain);

}  // namespace vantor
