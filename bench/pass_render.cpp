#include "pass_render.h"

#include <dsound.h>
#include <time.h>
#include <windows.h>

#include <set>
#include <utility>

#include "loading/byte_source.h"
#include "loading/xm_loader.h"
#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"
#include "platform/software_device.h"
#include "sequencer/channel.h"

namespace vantor::bench {

namespace {

// Watches the real sequencer's row ticks through a tick handler wrapped around it.
struct PassWatch {
  TickHandler sequencer = nullptr;
  std::set<std::pair<int32_t, int32_t>> playedRows;
  bool ended = false;
};
PassWatch watch;

bool patternLoopRepeating(const Song& song) {
  for (int i = 0; i < song.channelCount && i < channelTableSize; ++i) {
    if (channels[i].loopCount != 0) return true;
  }
  return false;
}

void watchingTick(Song* song) {
  bool rowTick = song->tick == 0;
  bool repeat = rowTick && patternLoopRepeating(*song);
  watch.sequencer(song);
  if (!rowTick || repeat) return;
  if (!watch.playedRows.insert({song->orderPosition, song->row}).second) watch.ended = true;
}

}  // namespace

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

Song* loadFromMemory(const std::vector<uint8_t>& bytes) {
  memoryBlock = {bytes.data(), static_cast<uint32_t>(bytes.size()), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  return loadSong("memload", nullptr);
}

PassRender renderPass(const std::vector<uint8_t>& bytes, double maxSeconds, bool withHash) {
  PassRender result;
  Song* song = loadFromMemory(bytes);
  if (song == nullptr) return result;
  result.loaded = true;

  platform::SoftwareDevice device;
  device.setRecording(false);
  IDirectSoundBuffer* buffer = createRingBuffer(&device, 0);
  auto* ring = static_cast<platform::SoftwareBuffer*>(buffer);
  resetForPlay(song);
  watch = PassWatch{};
  watch.sequencer = song->tickHandler;
  song->tickHandler = watchingTick;
  currentSong = song;
  soundBuffer = buffer;
  blockIndex = 0;
  if (buffer == nullptr || !allocateMixBuffer()) {
    result.loaded = false;
  } else {
    uint64_t hash = 0xcbf29ce484222325ULL;
    unsigned char block[blockFrames * bytesPerFrame];
    int maxBlocks = static_cast<int>(maxSeconds * mixRate / blockFrames) + 1;
    int blocks = 0;
    double start = threadCpuSeconds();
    while (blocks < maxBlocks && !watch.ended) {
      int index = blockIndex;
      renderBlock();
      ++blocks;
      ring->read(static_cast<DWORD>(index * sizeof block), sizeof block, block);
      if (withHash) {
        for (unsigned char byte : block) hash = (hash ^ byte) * 0x100000001b3ULL;
      }
    }
    result.cpuSeconds = threadCpuSeconds() - start;
    result.seconds = static_cast<double>(blocks) * blockFrames / mixRate;
    result.hash = hash;
  }
  freeMixBuffer();
  currentSong = nullptr;
  soundBuffer = nullptr;
  blockIndex = 0;
  if (buffer != nullptr) buffer->Release();
  freeSong(song);
  return result;
}

}  // namespace vantor::bench
