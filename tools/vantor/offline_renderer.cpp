#include "offline_renderer.h"

#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"

namespace vantor::tool {

namespace {

constexpr int blockBytes = blockFrames * bytesPerFrame;

// The same format and size as the stream's ring buffer.
IDirectSoundBuffer* createRingBuffer(platform::SoftwareDevice& device) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = mixRate;
  format.nAvgBytesPerSec = mixRate * bytesPerFrame;
  format.nBlockAlign = bytesPerFrame;
  format.wBitsPerSample = 16;
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2;
  description.dwBufferBytes = ringBytes;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  if (device.CreateSoundBuffer(&description, &buffer, nullptr) != DS_OK) return nullptr;
  return buffer;
}

}  // namespace

OfflineRenderer::OfflineRenderer(Song* song) : song_(song), block_(blockBytes) {
  // Thousands of Lock and Unlock calls would only fill the device's record.
  device_.setRecording(false);
  stopSong(song_);
  resetForPlay(song_);
  soundBuffer = createRingBuffer(device_);
  if (soundBuffer == nullptr || !allocateMixBuffer()) return;
  buffer_ = device_.newestBuffer();
  currentSong = song_;
  blockIndex = 0;
  ready_ = true;
}

OfflineRenderer::~OfflineRenderer() { stopSong(song_); }

const std::vector<uint8_t>& OfflineRenderer::renderNext() {
  int rendered = blockIndex;
  renderBlock();
  buffer_->read(static_cast<DWORD>(rendered * blockBytes), blockBytes, block_.data());
  return block_;
}

}  // namespace vantor::tool
