// Renders a song from play start the way the stream fills its ring, without playing
// it: the play-start reset, then renderBlock into a buffer of the software sound
// device whose play cursor never moves. Each block's PCM is read back from the
// buffer right after it has been rendered, so what comes out is exactly what
// renderBlock wrote, block 0, 1, 2, ... in order.
#pragma once

#include <cstdint>
#include <vector>

#include "loading/song.h"
#include "platform/software_device.h"

namespace vantor::tool {

class OfflineRenderer {
 public:
  explicit OfflineRenderer(Song* song);
  // Ends the ring state with stopSong; the song stays loaded.
  ~OfflineRenderer();
  OfflineRenderer(const OfflineRenderer&) = delete;
  OfflineRenderer& operator=(const OfflineRenderer&) = delete;

  // False when the buffer or the mix buffer could not be made.
  bool ready() const { return ready_; }

  // Renders the next block; its blockFrames frames of 16-bit stereo PCM, as bytes.
  const std::vector<uint8_t>& renderNext();

 private:
  Song* song_;
  platform::SoftwareDevice device_;
  platform::BufferRef buffer_;
  std::vector<uint8_t> block_;
  bool ready_ = false;
};

}  // namespace vantor::tool
