// Loads arbitrary bytes as a song and plays whatever loaded for a bounded stretch:
// the play-start reset, then blocks rendered into a software sound buffer, as the
// stream does. Crashes, undefined behaviour and hangs in the sequencer and the mixer
// show here; the fuzzer's time-out catches a block that never ends.
#include <dsound.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "loading/byte_source.h"
#include "loading/xm_loader.h"
#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"
#include "platform/software_device.h"

namespace {

// About 0.65 s of song per input: long enough for several rows at any tempo, short
// enough to keep the fuzzer fast.
constexpr int blocksPerInput = 32;

vantor::platform::SoftwareDevice& device() {
  static vantor::platform::SoftwareDevice* instance = [] {
    auto* created = new vantor::platform::SoftwareDevice(vantor::platform::CursorMode::manual);
    created->setRecording(false);
    return created;
  }();
  return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantor;
  memoryBlock = {data, static_cast<uint32_t>(size), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  Song* song = loadSong("memload", nullptr);
  memoryBlock = {};
  if (song == nullptr) return 0;

  // What the stream does at play start, without the feeder thread; freeSong below
  // releases the buffer and the mix buffer again.
  resetForPlay(song);
  soundBuffer = createRingBuffer(&device(), DSBCAPS_CTRLVOLUME);
  if (soundBuffer != nullptr && allocateMixBuffer()) {
    currentSong = song;
    blockIndex = 0;
    for (int block = 0; block < blocksPerInput; ++block) renderBlock();
  }
  freeSong(song);
  return 0;
}
