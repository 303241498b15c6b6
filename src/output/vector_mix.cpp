// Four or eight frames at a time: the frames' positions sit in the lanes of a vector;
// the two sample values each frame interpolates between are fetched as one 32-bit word
// per frame (a gather instruction was slower on the machines measured); the
// interpolation is exact (in double, or in 64-bit integers converted once), and the
// products with the gains are rounded to double and then to float exactly as in the
// one-frame loops. A product that is rounded is never fused with an addition (it would
// round once where the one-frame loop rounds twice): the products that meet an addition
// (the interpolation, a ramp's gains) are exact, so fusing them could change nothing.
//
// A pass whose frame count is not a multiple of the lane count ends with a part group:
// its spare lanes read the part group's first frame again, so no lane reads where the
// pass does not, and only the pass's own frames are added into the mix.
#include "output/vector_mix.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VANTOR_VECTOR_MIX 1
// GCC 12's AVX-512 intrinsics hand a deliberately undefined vector to their masked
// forms as the unused source, which -Wmaybe-uninitialized reports where they inline.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif
// The eight-frame loop is built for 64-bit processors, and not for Windows, whose
// 64-bit calling convention GCC cannot give the 64-byte aligned stack its vectors
// may be kept in.
#if VANTOR_VECTOR_MIX && defined(__x86_64__) && !defined(_WIN32)
#define VANTOR_WIDE_MIX 1
#endif

namespace vantor {

namespace {

// Each asked once; this may run before the library's own constructors.
#if VANTOR_VECTOR_MIX
bool processorHasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#else
bool processorHasAvx2() { return false; }
#endif

#if VANTOR_WIDE_MIX
bool processorHasAvx512() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("avx512f") != 0 &&
           __builtin_cpu_supports("avx512dq") != 0;
  }();
  return has;
}
#else
bool processorHasAvx512() { return false; }
#endif

MixKernel widestKernel() {
  if (processorHasAvx512()) return MixKernel::Wide;
  return processorHasAvx2() ? MixKernel::Vector : MixKernel::Portable;
}

MixKernel chosenKernel = widestKernel();

#if VANTOR_VECTOR_MIX

// The value at the position's frame index in the low half, the next one in the high half.
inline int32_t wordAt(const int16_t* data, uint64_t position) {
  int32_t word;
  std::memcpy(&word, data + (static_cast<int64_t>(position) >> 32), sizeof word);
  return word;
}

// A pass's gains at constant levels, times 2^-31: every frame at left and right, but an
// odd last frame at lastLeft and lastRight.
struct ConstantGains {
  double left, right, lastLeft, lastRight;
  int frames;  // in the pass
  // Gains of lane `lane` of the group that starts at frame `first`.
  double leftOf(int first, int lane) const { return first + lane == oddLastFrame() ? lastLeft : left; }
  double rightOf(int first, int lane) const { return first + lane == oddLastFrame() ? lastRight : right; }
  int oddLastFrame() const { return frames % 2 != 0 ? frames - 1 : -1; }
};

// A ramp's gains, times 2^-31: frame j at start + j x increment.
struct RampGains {
  double leftStart, leftIncrement, rightStart, rightIncrement;
};

#endif

}  // namespace

MixKernel activeMixKernel() { return chosenKernel; }

bool useMixKernel(MixKernel kernel) {
  if (kernel == MixKernel::Vector && !processorHasAvx2()) return false;
  if (kernel == MixKernel::Wide && !processorHasAvx512()) return false;
  chosenKernel = kernel;
  return true;
}

#if VANTOR_VECTOR_MIX

// ---- Four frames at a time (AVX2) ---------------------------------------------------

// Every function from here to the matching pop may use these instructions.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace {
namespace four {

constexpr int lanes = 4;

// The positions of four frames: lane j at at + j x step.
inline __m256i positionsFrom(uint64_t at, uint64_t step) {
  return _mm256_setr_epi64x(static_cast<long long>(at), static_cast<long long>(at + step),
                            static_cast<long long>(at + 2 * step), static_cast<long long>(at + 3 * step));
}

// The interpolated values of the four frames, times 2^31: first x 2^31 + difference x
// fraction, below 2^49 in size, every operation exact. `pairs` holds each frame's two
// sample values.
inline __m256d valuesAt(__m256i positions, __m128i pairs) {
  // Fractions (low words) to the low half, frame indexes (high words) to the high half.
  const __m256i wordOrder = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  __m256i halves = _mm256_permutevar8x32_epi32(positions, wordOrder);
  __m128i fractions = _mm_srli_epi32(_mm256_castsi256_si128(halves), 1);
  __m128i first = _mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16);
  __m128i difference = _mm_sub_epi32(_mm_srai_epi32(pairs, 16), first);
  return _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(first), _mm256_set1_pd(0x1p31)),
                       _mm256_mul_pd(_mm256_cvtepi32_pd(difference), _mm256_cvtepi32_pd(fractions)));
}

// The four frames' sides, interleaved as in the mix: frames 0 and 1, then 2 and 3.
struct Sides {
  __m128 low, high;
};

// With equal gains on both sides (a centred voice) one product serves both.
template <bool centred>
inline Sides sidesOf(__m256d values, __m256d left, __m256d right) {
  __m128 lefts = _mm256_cvtpd_ps(_mm256_mul_pd(values, left));
  __m128 rights = centred ? lefts : _mm256_cvtpd_ps(_mm256_mul_pd(values, right));
  return {_mm_unpacklo_ps(lefts, rights), _mm_unpackhi_ps(lefts, rights)};
}

inline void addGroup(float* out, Sides sides) {
  _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), sides.low));
  _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), sides.high));
}

// The first `frames` frames of a part group, each added as the one-frame loop adds it.
inline void addPart(float* out, Sides sides, int frames) {
  alignas(16) float values[2 * lanes];
  _mm_store_ps(values, sides.low);
  _mm_store_ps(values + 4, sides.high);
  for (int i = 0; i < 2 * frames; ++i) out[i] += values[i];
}

inline __m256d laneNumbers() { return _mm256_setr_pd(0, 1, 2, 3); }

template <bool centred, typename GainsOf>
void mixFrames(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, GainsOf gainsOf) {
  __m256i positions = positionsFrom(at, step);
  const __m256i groupStep = _mm256_set1_epi64x(static_cast<long long>(lanes * step));
  int frame = 0;
  for (; frame + lanes <= frames; frame += lanes, out += 2 * lanes) {
    __m128i pairs = _mm_setr_epi32(wordAt(data, at), wordAt(data, at + step), wordAt(data, at + 2 * step),
                                   wordAt(data, at + 3 * step));
    auto [left, right] = gainsOf(frame, lanes);
    addGroup(out, sidesOf<centred>(valuesAt(positions, pairs), left, right));
    at += lanes * step;
    positions = _mm256_add_epi64(positions, groupStep);
  }
  int rest = frames - frame;
  if (rest == 0) return;
  uint64_t second = rest > 1 ? at + step : at;
  uint64_t third = rest > 2 ? at + 2 * step : at;
  positions = _mm256_setr_epi64x(static_cast<long long>(at), static_cast<long long>(second),
                                 static_cast<long long>(third), static_cast<long long>(at));
  __m128i pairs =
      _mm_setr_epi32(wordAt(data, at), wordAt(data, second), wordAt(data, third), wordAt(data, at));
  auto [left, right] = gainsOf(frame, rest);
  addPart(out, sidesOf<centred>(valuesAt(positions, pairs), left, right), rest);
}

struct Gains {
  __m256d left, right;
};

template <bool centred>
void mixConstant(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step,
                 const ConstantGains& g) {
  const Gains steady{_mm256_set1_pd(g.left), _mm256_set1_pd(g.right)};
  const bool lastFrameSteady = g.lastLeft == g.left && g.lastRight == g.right;
  mixFrames<centred>(out, frames, data, at, step, [&](int first, int count) {
    if (count == lanes || lastFrameSteady) return steady;
    return Gains{
        _mm256_setr_pd(g.leftOf(first, 0), g.leftOf(first, 1), g.leftOf(first, 2), g.leftOf(first, 3)),
        _mm256_setr_pd(g.rightOf(first, 0), g.rightOf(first, 1), g.rightOf(first, 2), g.rightOf(first, 3))};
  });
}

template <bool centred>
void mixRamp(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, const RampGains& g) {
  const __m256d leftStart = _mm256_set1_pd(g.leftStart);
  const __m256d leftIncrement = _mm256_set1_pd(g.leftIncrement);
  const __m256d rightStart = _mm256_set1_pd(g.rightStart);
  const __m256d rightIncrement = _mm256_set1_pd(g.rightIncrement);
  mixFrames<centred>(out, frames, data, at, step, [&](int first, int) {
    __m256d frameNumbers = _mm256_add_pd(_mm256_set1_pd(first), laneNumbers());
    return Gains{_mm256_add_pd(leftStart, _mm256_mul_pd(frameNumbers, leftIncrement)),
                 _mm256_add_pd(rightStart, _mm256_mul_pd(frameNumbers, rightIncrement))};
  });
}

}  // namespace four
}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // VANTOR_VECTOR_MIX

#if VANTOR_WIDE_MIX

// ---- Eight frames at a time (AVX-512) -------------------------------------------------

// Every function from here to the matching pop may use these instructions.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512dq"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512dq")
#endif

namespace {
namespace eight {

constexpr int lanes = 8;

inline __m512i positionsFrom(const uint64_t (&at)[lanes]) {
  return _mm512_setr_epi64(static_cast<long long>(at[0]), static_cast<long long>(at[1]),
                           static_cast<long long>(at[2]), static_cast<long long>(at[3]),
                           static_cast<long long>(at[4]), static_cast<long long>(at[5]),
                           static_cast<long long>(at[6]), static_cast<long long>(at[7]));
}

inline __m256i pairsAt(const int16_t* data, const uint64_t (&at)[lanes]) {
  return _mm256_setr_epi32(wordAt(data, at[0]), wordAt(data, at[1]), wordAt(data, at[2]), wordAt(data, at[3]),
                           wordAt(data, at[4]), wordAt(data, at[5]), wordAt(data, at[6]),
                           wordAt(data, at[7]));
}

// As in the four-frame loop, first x 2^31 + difference x fraction, but formed in 64-bit
// integers (exact, below 2^49) and converted once (exact, below 2^53): fewer conversions
// for the same values.
inline __m512d valuesAt(__m512i positions, __m256i pairs) {
  __m512i fractions = _mm512_srli_epi64(_mm512_and_si512(positions, _mm512_set1_epi64(0xFFFFFFFF)), 1);
  __m256i first = _mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16);
  __m256i difference = _mm256_sub_epi32(_mm256_srai_epi32(pairs, 16), first);
  __m512i value = _mm512_add_epi64(_mm512_slli_epi64(_mm512_cvtepi32_epi64(first), 31),
                                   _mm512_mul_epi32(_mm512_cvtepi32_epi64(difference), fractions));
  return _mm512_cvtepi64_pd(value);
}

struct Gains {
  __m512d left, right;
};

// The eight frames' sides, interleaved as in the mix. With equal gains on both sides
// (a centred voice) one product serves both.
template <bool centred>
inline __m512 sidesOf(__m512d values, const Gains& gains) {
  __m256 lefts = _mm512_cvtpd_ps(_mm512_mul_pd(values, gains.left));
  if constexpr (centred) {
    const __m512i twice = _mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
    return _mm512_permutexvar_ps(twice, _mm512_castps256_ps512(lefts));
  } else {
    const __m512i interleave = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    __m256 rights = _mm512_cvtpd_ps(_mm512_mul_pd(values, gains.right));
    return _mm512_permutex2var_ps(_mm512_castps256_ps512(lefts), interleave, _mm512_castps256_ps512(rights));
  }
}

inline __m512d laneNumbers() { return _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7); }

template <bool centred, typename GainsOf>
void mixFrames(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, GainsOf gainsOf) {
  uint64_t lane[lanes];
  for (int j = 0; j < lanes; ++j) lane[j] = at + static_cast<uint64_t>(j) * step;
  __m512i positions = positionsFrom(lane);
  const __m512i groupStep = _mm512_set1_epi64(static_cast<long long>(lanes * step));
  int frame = 0;
  for (; frame + lanes <= frames; frame += lanes, out += 2 * lanes) {
    __m256i pairs = _mm256_setr_epi32(wordAt(data, at), wordAt(data, at + step), wordAt(data, at + 2 * step),
                                      wordAt(data, at + 3 * step), wordAt(data, at + 4 * step),
                                      wordAt(data, at + 5 * step), wordAt(data, at + 6 * step),
                                      wordAt(data, at + 7 * step));
    __m512 sides = sidesOf<centred>(valuesAt(positions, pairs), gainsOf(frame, lanes));
    _mm512_storeu_ps(out, _mm512_add_ps(_mm512_loadu_ps(out), sides));
    at += lanes * step;
    positions = _mm512_add_epi64(positions, groupStep);
  }
  int rest = frames - frame;
  if (rest == 0) return;
  // The part group: its spare lanes take the group's first position, and a masked load
  // and store add only the pass's own values (masked-off values are never accessed).
  const __mmask8 usedLanes = static_cast<__mmask8>((1u << rest) - 1);
  const __mmask16 usedValues = static_cast<__mmask16>((1u << (2 * rest)) - 1);
  for (int j = 0; j < lanes; ++j) lane[j] = j < rest ? at + static_cast<uint64_t>(j) * step : at;
  positions = _mm512_mask_blend_epi64(usedLanes, _mm512_set1_epi64(static_cast<long long>(at)), positions);
  __m512 sides = sidesOf<centred>(valuesAt(positions, pairsAt(data, lane)), gainsOf(frame, rest));
  _mm512_mask_storeu_ps(out, usedValues, _mm512_add_ps(_mm512_maskz_loadu_ps(usedValues, out), sides));
}

template <bool centred>
void mixConstant(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step,
                 const ConstantGains& g) {
  const Gains steady{_mm512_set1_pd(g.left), _mm512_set1_pd(g.right)};
  const bool lastFrameSteady = g.lastLeft == g.left && g.lastRight == g.right;
  mixFrames<centred>(out, frames, data, at, step, [&](int first, int count) {
    if (count == lanes || lastFrameSteady) return steady;
    alignas(64) double left[lanes];
    alignas(64) double right[lanes];
    for (int j = 0; j < lanes; ++j) {
      left[j] = g.leftOf(first, j);
      right[j] = g.rightOf(first, j);
    }
    return Gains{_mm512_load_pd(left), _mm512_load_pd(right)};
  });
}

template <bool centred>
void mixRamp(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, const RampGains& g) {
  const __m512d leftStart = _mm512_set1_pd(g.leftStart);
  const __m512d leftIncrement = _mm512_set1_pd(g.leftIncrement);
  const __m512d rightStart = _mm512_set1_pd(g.rightStart);
  const __m512d rightIncrement = _mm512_set1_pd(g.rightIncrement);
  mixFrames<centred>(out, frames, data, at, step, [&](int first, int) {
    __m512d frameNumbers = _mm512_add_pd(_mm512_set1_pd(first), laneNumbers());
    return Gains{_mm512_add_pd(leftStart, _mm512_mul_pd(frameNumbers, leftIncrement)),
                 _mm512_add_pd(rightStart, _mm512_mul_pd(frameNumbers, rightIncrement))};
  });
}

}  // namespace eight
}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // VANTOR_WIDE_MIX

void mixConstantFrames(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, double left,
                       double right, double lastLeft, double lastRight) {
  if (frames <= 0) return;
#if VANTOR_VECTOR_MIX
  ConstantGains gains{left, right, lastLeft, lastRight, frames};
  bool centred = left == right && lastLeft == lastRight;
#if VANTOR_WIDE_MIX
  if (chosenKernel == MixKernel::Wide) {
    if (centred) return eight::mixConstant<true>(out, frames, data, at, step, gains);
    return eight::mixConstant<false>(out, frames, data, at, step, gains);
  }
#endif
  if (centred) return four::mixConstant<true>(out, frames, data, at, step, gains);
  four::mixConstant<false>(out, frames, data, at, step, gains);
#else
  (void)out, (void)data, (void)at, (void)step, (void)left, (void)right, (void)lastLeft, (void)lastRight;
#endif
}

void mixRampFrames(float* out, int frames, const int16_t* data, uint64_t at, uint64_t step, double leftStart,
                   double leftIncrement, double rightStart, double rightIncrement) {
  if (frames <= 0) return;
#if VANTOR_VECTOR_MIX
  RampGains gains{leftStart, leftIncrement, rightStart, rightIncrement};
  bool centred = leftStart == rightStart && leftIncrement == rightIncrement;
#if VANTOR_WIDE_MIX
  if (chosenKernel == MixKernel::Wide) {
    if (centred) return eight::mixRamp<true>(out, frames, data, at, step, gains);
    return eight::mixRamp<false>(out, frames, data, at, step, gains);
  }
#endif
  if (centred) return four::mixRamp<true>(out, frames, data, at, step, gains);
  four::mixRamp<false>(out, frames, data, at, step, gains);
#else
  (void)out, (void)data, (void)at, (void)step, (void)leftStart, (void)leftIncrement, (void)rightStart,
      (void)rightIncrement;
#endif
}

}  // namespace vantor
