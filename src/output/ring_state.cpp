#include <cstdint>
#include <cstdlib>

#include "output/renderer.h"

namespace vantor {

IDirectSoundBuffer* soundBuffer = nullptr;
Song* currentSong = nullptr;
int blockIndex = 0;
MixBuffer mixBuffer = {nullptr, nullptr};

namespace {
constexpr std::size_t mixBufferAlignment = 16;
constexpr std::size_t mixBufferSpareBytes = 256;
bool mixBufferAllocationMustFail = false;
}  // namespace

WAVEFORMATEX ringFormat() {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = mixRate;
  format.nAvgBytesPerSec = mixRate * bytesPerFrame;
  format.nBlockAlign = bytesPerFrame;
  format.wBitsPerSample = 16;
  format.cbSize = 0;
  return format;
}

IDirectSoundBuffer* createRingBuffer(IDirectSound* device, DWORD extraFlags) {
  WAVEFORMATEX format = ringFormat();
  DSBUFFERDESC description = {};
  description.dwSize = sizeof(DSBUFFERDESC);
  description.dwFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2 | extraFlags;
  description.dwBufferBytes = ringBytes;
  description.dwReserved = 0;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  HRESULT result = device->CreateSoundBuffer(&description, &buffer, nullptr);
  // A failed call hands nothing over, whatever it left in the pointer.
  return FAILED(result) ? nullptr : buffer;
}

void failNextMixBufferAllocation(bool fail) { mixBufferAllocationMustFail = fail; }

bool allocateMixBuffer() {
  freeMixBuffer();
  std::size_t bytes = std::size_t{ringFrames} * 2 * sizeof(float) + mixBufferSpareBytes;
  void* allocation = mixBufferAllocationMustFail ? nullptr : std::calloc(1, bytes);
  mixBufferAllocationMustFail = false;
  if (allocation == nullptr) return false;
  auto address = reinterpret_cast<uintptr_t>(allocation);
  address = (address + mixBufferAlignment - 1) & ~uintptr_t{mixBufferAlignment - 1};
  mixBuffer.allocation = allocation;
  mixBuffer.frames = reinterpret_cast<float*>(address);
  return true;
}

void freeMixBuffer() {
  std::free(mixBuffer.allocation);
  mixBuffer = {nullptr, nullptr};
}

void endRing() {
  if (soundBuffer != nullptr) {
    soundBuffer->Stop();
    soundBuffer->Release();
    soundBuffer = nullptr;
  }
  freeMixBuffer();
  currentSong = nullptr;
  blockIndex = 0;
}

}  // namespace vantor
