// Four frames at a time: the four positions sit in the lanes of one vector; the two
// sample values each frame interpolates between are fetched as one 32-bit word per
// frame (a gather instruction was slower on the machines measured); the interpolation
// is done in double, where each of its operations is exact, and the products with the
// gains are rounded to double and then to float exactly as in the one-frame loop. No
// fused multiply-add is used (it would round once where the one-frame loop rounds twice).
#include "output/vector_mix.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VANTOR_VECTOR_MIX 1
#include <immintrin.h>
#endif

namespace vantor {

namespace {

#if VANTOR_VECTOR_MIX
bool processorHasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();  // this may run before the library's own constructors
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#else
bool processorHasAvx2() { return false; }
#endif

MixKernel chosenKernel = processorHasAvx2() ? MixKernel::Vector : MixKernel::Portable;

}  // namespace

MixKernel activeMixKernel() { return chosenKernel; }

bool useMixKernel(MixKernel kernel) {
  if (kernel == MixKernel::Vector && !processorHasAvx2()) return false;
  chosenKernel = kernel;
  return true;
}

#if VANTOR_VECTOR_MIX

// The value at the position's frame index in the low half, the next one in the high half.
inline int32_t wordAt(const int16_t* data, uint64_t position) {
  int32_t word;
  std::memcpy(&word, data + (static_cast<int64_t>(position) >> 32), sizeof word);
  return word;
}

__attribute__((target("avx2"))) void mixFourFramesAtATime(float* out, int groups, const int16_t* data,
                                                          uint64_t at, uint64_t step, double leftGain,
                                                          double rightGain) {
  // Fractions (low words) to the low half, frame indexes (high words) to the high half.
  const __m256i wordOrder = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);  // fractions first
  __m256i positions =
      _mm256_setr_epi64x(static_cast<long long>(at), static_cast<long long>(at + step),
                         static_cast<long long>(at + 2 * step), static_cast<long long>(at + 3 * step));
  const __m256i fourSteps = _mm256_set1_epi64x(static_cast<long long>(4 * step));
  const __m256d twoTo31 = _mm256_set1_pd(0x1p31);
  const __m256d left = _mm256_set1_pd(leftGain);
  const __m256d right = _mm256_set1_pd(rightGain);

  for (int group = 0; group < groups; ++group, out += 8) {
    __m256i halves = _mm256_permutevar8x32_epi32(positions, wordOrder);
    __m128i fractions = _mm_srli_epi32(_mm256_castsi256_si128(halves), 1);
    __m128i pairs = _mm_setr_epi32(wordAt(data, at), wordAt(data, at + step), wordAt(data, at + 2 * step),
                                   wordAt(data, at + 3 * step));
    at += 4 * step;
    __m128i first = _mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16);
    __m128i difference = _mm_sub_epi32(_mm_srai_epi32(pairs, 16), first);
    // first x 2^31 + difference x fraction: below 2^49, every operation exact.
    __m256d value =
        _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(first), twoTo31),
                      _mm256_mul_pd(_mm256_cvtepi32_pd(difference), _mm256_cvtepi32_pd(fractions)));
    __m128 lefts = _mm256_cvtpd_ps(_mm256_mul_pd(value, left));
    __m128 rights = _mm256_cvtpd_ps(_mm256_mul_pd(value, right));
    _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_unpacklo_ps(lefts, rights)));
    _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), _mm_unpackhi_ps(lefts, rights)));
    positions = _mm256_add_epi64(positions, fourSteps);
  }
}

#else

void mixFourFramesAtATime(float*, int, const int16_t*, uint64_t, uint64_t, double, double) {}

#endif

}  // namespace vantor
