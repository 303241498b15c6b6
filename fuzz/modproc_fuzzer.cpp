// Drives the host's command sequence with arbitrary bytes as the song: exception
// mode, load from memory, then play on a software device, volume, stop, volume and
// play again, stop. A refused load must come back as the framework's exception and
// leave the module usable; whatever loads must start, render, stop and free cleanly
// with the feeder thread running.
#include <dsound.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "framework/pellerrs.h"
#include "host/modproc.h"
#include "output/release.h"
#include "output/renderer.h"
#include "platform/software_device.h"

namespace {

constexpr int32_t setExceptionMode = 1;
constexpr int32_t loadFromMemory = 3;
constexpr int32_t play = 4;
constexpr int32_t stop = 5;
constexpr int32_t setVolume = 6;
constexpr uint32_t volumeControlOption = 2;

// The play cursor moves only by hand, so the feeder thread renders exactly the
// blocks moved over below, and each input costs the same bounded work.
vantor::platform::SoftwareDevice& device() {
  static vantor::platform::SoftwareDevice* instance = [] {
    auto* created = new vantor::platform::SoftwareDevice(vantor::platform::CursorMode::manual);
    created->setRecording(false);
    return created;
  }();
  return *instance;
}

// Moves the cursor over some blocks and gives the feeder thread time to render them.
void letFeederRender() {
  vantor::platform::BufferRef buffer = device().newestBuffer();
  if (!buffer) return;
  buffer->advancePlayCursor(4 * vantor::blockFrames * vantor::bytesPerFrame);
  Sleep(6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modproc(setExceptionMode, nullptr, 1);
  try {
    modproc(loadFromMemory, const_cast<uint8_t*>(data), static_cast<uint32_t>(size));
  } catch (pellgameapi::pellerrsexception&) {
    return 0;  // refused: no song is loaded
  }
  float volume = size > 0 ? static_cast<float>(data[size - 1]) / 200.0f : 0.5f;
  uint32_t options = size > 1 ? data[size - 2] & 3u : volumeControlOption;
  modproc(play, &device(), options);
  letFeederRender();
  modproc(setVolume, &volume, 0);
  modproc(stop, nullptr, 0);
  modproc(setVolume, &volume, 0);
  modproc(play, &device(), options | volumeControlOption);
  modproc(stop, nullptr, 0);

  vantor::freeSong(vantor::loadedSong);
  vantor::loadedSong = nullptr;
  return 0;
}
