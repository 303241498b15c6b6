// The block renderer: mixes one ring block slice by slice, with the song's ticks at
// exact frame positions, then writes it into the sound buffer as 16-bit PCM.
#include "output/renderer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "output/mixer.h"

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

// The whole block to 16-bit; eight values at a time where the processor has SSE2,
// with the same clamping and truncation as toPcm.
void convertBlock(const float* region, int16_t* pcm) {
#if defined(__SSE2__)
  static_assert(blockValues % 8 == 0, "the vector loop converts whole groups of eight");
  const __m128 lowest = _mm_set1_ps(-32768.0f);
  const __m128 highest = _mm_set1_ps(32767.0f);
  for (int i = 0; i < blockValues; i += 8) {
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
// first region, then the second if Lock gave one.
void writeBlock(const float* region, void* first, DWORD firstBytes, void* second, DWORD secondBytes) {
  int16_t pcm[blockValues];
  convertBlock(region, pcm);
  const auto* bytes = reinterpret_cast<const unsigned char*>(pcm);
  DWORD toFirst = std::min(firstBytes, blockBytes);
  std::memcpy(first, bytes, toFirst);
  if (second != nullptr) std::memcpy(second, bytes + toFirst, std::min(secondBytes, blockBytes - toFirst));
}

}  // namespace

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
