#include "offline_renderer.h"

#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"

namespace vantor::tool {

namespace {

constexpr int blockBytes = blockFrames * bytesPerFrame;

}  // namespace

OfflineRenderer::OfflineRenderer(Song* song) : song_(song), block_(blockBytes) {
  // Thousands of Lock and Unlock calls would only fill the device's record.
  device_.setRecording(false);
  stopSong(song_);
  resetForPlay(song_);
  soundBuffer = createRingBuffer(&device_, 0);
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
