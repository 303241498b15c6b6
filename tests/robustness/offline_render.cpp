#include "offline_render.h"

#include <dsound.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "loading/byte_source.h"
#include "loading/xm_loader.h"
#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"
#include "platform/software_device.h"

namespace vantor::test {

namespace {

// Processor time of the process, in seconds (the guard thread only sleeps): unlike
// the wall clock, it does not count what other processes of a busy machine take.
double processorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Aborts the process unless it is dismissed within the given time.
class HangGuard {
 public:
  HangGuard(std::string name, double seconds)
      : name_(std::move(name)), thread_([this, seconds] { watch(seconds); }) {}
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      dismissed_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  void watch(double seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return dismissed_; })) return;
    std::fprintf(stderr, "%s: rendering took more than %.1f s, taken as a hang\n", name_.c_str(), seconds);
    std::abort();
  }

  std::string name_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool dismissed_ = false;
  std::thread thread_;
};

int64_t nonZeroValuesOfBlock(platform::SoftwareBuffer& buffer, int block) {
  std::vector<int16_t> values(blockFrames * 2);
  buffer.read(static_cast<DWORD>(block * blockFrames * bytesPerFrame), blockFrames * bytesPerFrame,
              values.data());
  int64_t count = 0;
  for (int16_t value : values) count += value != 0;
  return count;
}

// Counts the row ticks on the way to the song's own handler.
TickHandler songTickHandler = nullptr;
int rowTicks = 0;

void countingTick(Song* song) {
  if (song->tick == 0) ++rowTicks;
  songTickHandler(song);
}

}  // namespace

RenderResult renderOffline(const std::string& name, const std::vector<uint8_t>& bytes, int blocks,
                           double hangSeconds) {
  RenderResult result;
  memoryBlock = {bytes.data(), static_cast<uint32_t>(bytes.size()), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  Song* song = loadSong("memload", nullptr);
  memoryBlock = {};
  if (song == nullptr) return result;
  result.loaded = true;

  platform::SoftwareDevice device;
  device.setRecording(false);
  resetForPlay(song);
  soundBuffer = createRingBuffer(&device, 0);
  auto* buffer = static_cast<platform::SoftwareBuffer*>(soundBuffer);
  if (buffer != nullptr && allocateMixBuffer()) {
    songTickHandler = song->tickHandler;
    song->tickHandler = countingTick;
    rowTicks = 0;
    currentSong = song;
    blockIndex = 0;
    HangGuard guard(name, hangSeconds);
    for (int block = 0; block < blocks; ++block) {
      int rendered = blockIndex;
      double start = processorSeconds();
      renderBlock();
      double seconds = processorSeconds() - start;
      result.seconds += seconds;
      if (seconds > result.slowestBlock) result.slowestBlock = seconds;
      result.nonZeroValues += nonZeroValuesOfBlock(*buffer, rendered);
    }
    result.rowTicks = rowTicks;
  }
  freeSong(song);
  return result;
}

}  // namespace vantor::test
