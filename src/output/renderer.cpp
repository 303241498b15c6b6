// The block renderer: mixes one ring block slice by slice, with the song's ticks at
// exact frame positions, then writes it into the sound buffer as 16-bit PCM.
#include "output/renderer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "output/mixer.h"

namespace vantor {

namespace {

constexpr int blockValues = blockFrames * 2;
constexpr DWORD blockBytes = blockFrames * bytesPerFrame;

// Clamped in float first, so that no value outside the 16-bit range (or NaN, which
// becomes 0) reaches the conversion; then truncated toward zero.
int16_t toPcm(float value) {
  if (!(value == value)) return 0;
  value = std::clamp(value, -32768.0f, 32767.0f);
  return static_cast<int16_t>(value);
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
  for (int i = 0; i < blockValues; ++i) pcm[i] = toPcm(region[i]);
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
