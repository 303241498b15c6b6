#include "feeder_load.h"

#include <dsound.h>
#include <time.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"
#include "pass_render.h"
#include "platform/software_device.h"

namespace vantor::bench {

FeederLoad measureFeeder(const std::vector<uint8_t>& bytes, double seconds) {
  FeederLoad load;
  Song* song = loadFromMemory(bytes);
  if (song == nullptr) return load;

  platform::SoftwareDevice device(platform::CursorMode::clock);
  device.setRecording(false);
  IDirectSoundBuffer* buffer = createRingBuffer(&device, 0);
  if (buffer == nullptr || !allocateMixBuffer()) {
    if (buffer != nullptr) buffer->Release();
    freeSong(song);
    return load;
  }
  load.loaded = true;

  resetForPlay(song);
  currentSong = song;
  soundBuffer = buffer;
  blockIndex = 0;
  do {
    renderBlock();
  } while (blockIndex != 0);
  buffer->Play(0, 0, DSBPLAY_LOOPING);

  std::atomic<bool> stop{false};
  std::thread feeder([&] {
    double start = threadCpuSeconds();
    while (!stop.load()) {
      DWORD cursor = 0;
      buffer->GetCurrentPosition(&cursor, nullptr);
      int playBlock = static_cast<int>((cursor / bytesPerFrame) % ringFrames) / blockFrames;
      while (blockIndex != playBlock) {
        renderBlock();
        ++load.blocksRendered;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      std::this_thread::yield();
    }
    load.cpuSeconds = threadCpuSeconds() - start;
  });
  auto begin = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  feeder.join();
  load.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

  buffer->Stop();
  freeMixBuffer();
  currentSong = nullptr;
  soundBuffer = nullptr;
  blockIndex = 0;
  buffer->Release();
  freeSong(song);
  return load;
}

}  // namespace vantor::bench
