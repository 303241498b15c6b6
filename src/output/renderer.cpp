// The block renderer: mixes one ring block slice by slice, with the song's ticks at
// exact frame positions, then writes it into the sound buffer as 16-bit PCM.
#include "output/renderer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "output/mixer.h"
#include "output/vector_mix.h"

namespace vantor {

namespace {

constexpr int blockValues = blockFrames * 2;
constexpr DWORD blockBytes = blockFrames * bytesPerFrame;

// Clamped in float first, so that no value outside the 16-bit range (or NaN, which
// becomes 0) reaches the conversion; then truncated toward zero. The vector loop
// below does the same, so with SSE2 this one is unused.
[[maybe_unused]] int16_t toPcm(float value) {
  if (!(value == value)) return 0;
  value = std::clamp(value, -32768.0f, 32767.0f);
  return static_cast<int16_t>(value);
}

#if defined(__SSE2__) && defined(__GNUC__)
// Sixteen values at a time with AVX2, the same clamping and truncation as below; it
// leaves the last values of the block (fewer than sixteen) to the loop below, from
// `first` on, which it returns.
__attribute__((target("avx2"))) int convertSixteenAtATime(const float* region, int16_t* pcm) {
  const __m256 lowest = _mm256_set1_ps(-32768.0f);
  const __m256 highest = _mm256_set1_ps(32767.0f);
  int i = 0;
  for (; i + 16 <= blockValues; i += 16) {
    __m256 low = _mm256_loadu_ps(region + i);
    __m256 high = _mm256_loadu_ps(region + i + 8);
    low = _mm256_and_ps(low, _mm256_cmp_ps(low, low, _CMP_ORD_Q));  // NaN becomes 0
    high = _mm256_and_ps(high, _mm256_cmp_ps(high, high, _CMP_ORD_Q));
    low = _mm256_min_ps(_mm256_max_ps(low, lowest), highest);
    high = _mm256_min_ps(_mm256_max_ps(high, lowest), highest);
    // The packing works within 128-bit halves; the permutation puts the values in order.
    __m256i values = _mm256_packs_epi32(_mm256_cvttps_epi32(low), _mm256_cvttps_epi32(high));
    values = _mm256_permute4x64_epi64(values, 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pcm + i), values);
  }
  return i;
}
#endif

// Mixes the block's frames, calling the tick handler whenever a tick is due. A tick
// that does not fit continues in the next block without a new call.
void mixBlock(float* region) {
  Song* song = currentSong;
  int32_t framesLeftInTick = song->tickSamplesLeft;
  int done = 0;
  while (done < blockFrames) {
    int32_t frames = framesLeftInTick;
    if (framesLeftInTick <= 0) {
      if (song->tickHandler != nullptr) song->tickHandler(song);
      // Read after the handler returns: a tempo change takes effect in its own tick.
      // A tick must last at least one frame, or the block would never fill.
      frames = framesLeftInTick = std::max<int32_t>(song->samplesPerTick, 1);
    }
    frames = std::min(frames, blockFrames - done);
    mixVoices(region + 2 * done, frames);
    done += frames;
    framesLeftInTick -= frames;
  }
  song->tickSamplesLeft = framesLeftInTick;
}

// Writes the block as PCM into the locked regions, never more than they hold: the
// first region, then the second if Lock gave one. A first region that holds the whole
// block (the usual case) takes the conversion directly.
void writeBlock(const float* region, void* first, DWORD firstBytes, void* second, DWORD secondBytes) {
  if (firstBytes >= blockBytes && reinterpret_cast<uintptr_t>(first) % alignof(int16_t) == 0) {
    convertBlock(region, static_cast<int16_t*>(first));
    return;
  }
  int16_t pcm[blockValues];
  convertBlock(region, pcm);
  const auto* bytes = reinterpret_cast<const unsigned char*>(pcm);
  DWORD toFirst = std::min(firstBytes, blockBytes);
  std::memcpy(first, bytes, toFirst);
  if (second != nullptr) std::memcpy(second, bytes + toFirst, std::min(secondBytes, blockBytes - toFirst));
}

}  // namespace

// The whole block to 16-bit; eight values at a time where the processor has SSE2,
// with the same clamping and truncation as toPcm, or sixteen where the mixer uses
// the processor's wider vector loops (so that the tests that run each of the mixer's
// loops run each conversion too).
void convertBlock(const float* region, int16_t* pcm) {
#if defined(__SSE2__)
  static_assert(blockValues % 8 == 0, "the vector loop converts whole groups of eight");
  const __m128 lowest = _mm_set1_ps(-32768.0f);
  const __m128 highest = _mm_set1_ps(32767.0f);
  int first = 0;
#if defined(__GNUC__)
  if (activeMixKernel() != MixKernel::Portable) first = convertSixteenAtATime(region, pcm);
#endif
  for (int i = first; i < blockValues; i += 8) {
    __m128 low = _mm_loadu_ps(region + i);
    __m128 high = _mm_loadu_ps(region + i + 4);
    low = _mm_and_ps(low, _mm_cmpord_ps(low, low));  // NaN becomes 0
    high = _mm_and_ps(high, _mm_cmpord_ps(high, high));
    low = _mm_min_ps(_mm_max_ps(low, lowest), highest);
    high = _mm_min_ps(_mm_max_ps(high, lowest), highest);
    __m128i values = _mm_packs_epi32(_mm_cvttps_epi32(low), _mm_cvttps_epi32(high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pcm + i), values);
  }
#else
  for (int i = 0; i < blockValues; ++i) pcm[i] = toPcm(region[i]);
#endif
}

void renderBlock() {
  if (currentSong == nullptr || mixBuffer.frames == nullptr) return;
  if (blockIndex < 0 || blockIndex >= blockCount) blockIndex = 0;

  int firstFrame = blockIndex * blockFrames;
  float* region = mixBuffer.frames + 2 * firstFrame;
  std::fill(region, region + blockValues, 0.0f);
  mixBlock(region);

  // A buffer that cannot be locked (lost, or none) still lets the song advance.
  if (soundBuffer != nullptr) {
    void* first = nullptr;
    DWORD firstBytes = 0;
    void* second = nullptr;
    DWORD secondBytes = 0;
    soundBuffer->Lock(static_cast<DWORD>(firstFrame * bytesPerFrame), blockBytes, &first, &firstBytes,
                      &second, &secondBytes, 0);
    if (first != nullptr) writeBlock(region, first, firstBytes, second, secondBytes);
    soundBuffer->Unlock(first, firstBytes, second, secondBytes);
  }

  blockIndex += 1;
  if (blockIndex == blockCount) blockIndex = 0;
}

}  // namespace vantor
