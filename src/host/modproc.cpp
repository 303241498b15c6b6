// The command entry: each command is one small function; modproc only dispatches.
// Player operations report failure by their result; here a failure the host cannot
// recover from becomes a fatal error, and everything else is left unreported.
#include "host/modproc.h"

#include <dsound.h>
#include <windows.h>

#include <cstdint>

#include "framework/pellerrs.h"
#include "framework/reporting.h"
#include "loading/byte_source.h"
#include "loading/xm_loader.h"
#include "output/release.h"
#include "output/stream.h"

namespace vantor {

Song* loadedSong = nullptr;

namespace {

enum Command : uint32_t {
  setCaption = 0,
  setExceptionMode = 1,
  loadFromFile = 2,
  loadFromMemory = 3,
  play = 4,
  stop = 5,
  setVolume = 6,
};

constexpr uint32_t globalFocusOption = 1u << 0;
constexpr uint32_t volumeControlOption = 1u << 1;

// The memory source ignores the name it is opened with.
constexpr char memoryLoadName[] = "memload";

using pellgameapi::pellerrs;

void storeCaption(const char* caption, uint32_t ownerWindow) {
  pellgameapi::captionText.assign(caption);  // a null caption counts as empty
  pellgameapi::parentWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(ownerWindow));
}

// Each load frees the loaded song first, so a load that fails leaves none.
void releaseLoadedSong() {
  if (loadedSong == nullptr) return;
  freeSong(loadedSong);
  loadedSong = nullptr;
}

void loadFile(const char* name) {
  releaseLoadedSong();
  setFileCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell);
  loadedSong = loadSong(name, nullptr);
  if (loadedSong == nullptr) {
    pellerrs::reporterror("vantor; failed while loading file '%s'", name != nullptr ? name : "(null)");
  }
}

void loadMemory(const void* base, uint32_t size) {
  releaseLoadedSong();
  // The block is the host's and is not copied; a block without a base holds nothing.
  memoryBlock = {static_cast<const uint8_t*>(base), base != nullptr ? size : 0, 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  loadedSong = loadSong(memoryLoadName, nullptr);
  // The host may release the block as soon as the command returns.
  memoryBlock = {};
  if (loadedSong == nullptr) pellerrs::reporterror("vantor; failed while loading file from memory");
}

// A song that cannot start (no device, a refused buffer) stays loaded and silent,
// and the host is not told.
void playLoadedSong(IDirectSound* device, uint32_t options) {
  if (loadedSong == nullptr) pellerrs::reporterror("vantor::play; song not yet loaded.");
  const int globalFocus = (options & globalFocusOption) != 0 ? 1 : 0;
  const int volumeControl = (options & volumeControlOption) != 0 ? 1 : 0;
  static_cast<void>(playSong(loadedSong, device, globalFocus, volumeControl));
}

void stopLoadedSong() {
  if (loadedSong == nullptr) pellerrs::reporterror("vantor::stop; song not yet loaded.");
  stopSong(loadedSong);
}

// The host's float is read before the song is checked; volatile keeps the read
// there. Without a float nothing is read and the volume stays as it is.
void setLoadedSongVolume(const void* volume) {
  const float value = volume != nullptr ? *static_cast<const volatile float*>(volume) : 0.0f;
  if (loadedSong == nullptr) pellerrs::reporterror("vantor::vol; song not yet loaded.");
  if (volume != nullptr) setSongVolume(loadedSong, value);
}

}  // namespace
}  // namespace vantor

void WINAPIV modproc(int32_t cmd, void* arg, uint32_t arg2) {
  using namespace vantor;
  switch (static_cast<uint32_t>(cmd)) {  // negative commands count as large ones
    case setCaption:
      storeCaption(static_cast<const char*>(arg), arg2);
      break;
    case setExceptionMode:
      pellgameapi::exceptionMode = arg2;
      break;
    case loadFromFile:
      loadFile(static_cast<const char*>(arg));
      break;
    case loadFromMemory:
      loadMemory(arg, arg2);
      break;
    case play:
      playLoadedSong(static_cast<IDirectSound*>(arg), arg2);
      break;
    case stop:
      stopLoadedSong();
      break;
    case setVolume:
      setLoadedSongVolume(arg);
      break;
    default:
      break;  // unknown commands do nothing and report nothing
  }
}
