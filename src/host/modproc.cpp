// The command entry: each command is one small function; modproc only dispatches.
// Player operations report failure by their result; here a failure the host cannot
// recover from becomes a fatal error, and everything else is left unreported.
//
// A command does not report its failure itself: it returns it, and modproc reports it
// once the command has returned. In exception mode the report leaves through modproc
// as an exception, and in the build for Microsoft-ABI hosts that exception passes our
// frames without running their destructors; so the only frames it passes are
// modproc's and reporterror's, and neither holds a lock or owns memory.
//
// Commands from several host threads run one after the other: an engine that loads
// music on a loading thread while its main thread stops the old song would otherwise
// have two commands change the stream at once. The command lock is held while a
// command runs and released before its failure is reported. The feeder thread never
// takes it.
#include "host/modproc.h"

#include <dsound.h>
#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "framework/pellerrs.h"
#include "framework/reporting.h"
#include "loading/byte_source.h"
#include "loading/xm_loader.h"
#include "output/release.h"
#include "output/stream.h"

namespace vantor {

Song* loadedSong = nullptr;

namespace {

// Needs no set-up and no clean-up, so it serves from the first command to the unload.
SRWLOCK commandLock = SRWLOCK_INIT;

// The memory source ignores the name it is opened with.
constexpr char memoryLoadName[] = "memload";

// A command's fatal error: the message's format and the one text it may name (the
// file name of a failed load). No format: the command succeeded.
struct Failure {
  const char* format = nullptr;
  const char* name = "";
};
static_assert(std::is_trivially_destructible_v<Failure>, "modproc's frame owns nothing when it reports");

constexpr Failure succeeded{};

// A window handle has 32 significant bits on 64-bit Windows too, and widens to a
// pointer by sign extension, so the host's handle comes back whole from arg2.
void storeCaption(const char* caption, uint32_t ownerWindow) {
  pellgameapi::captionText.assign(caption);  // a null caption counts as empty
  pellgameapi::parentWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(ownerWindow)));
}

// Each load frees the loaded song first, so a load that fails leaves none.
void releaseLoadedSong() {
  if (loadedSong == nullptr) return;
  freeSong(loadedSong);
  loadedSong = nullptr;
}

Failure loadFile(const char* name) {
  releaseLoadedSong();
  setFileCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell);
  loadedSong = loadSong(name, nullptr);
  if (loadedSong == nullptr) return {"vantor; failed while loading file '%s'", name != nullptr ? name : "(null)"};
  return succeeded;
}

Failure loadMemory(const void* base, uint32_t size) {
  releaseLoadedSong();
  // The block is the host's and is not copied; a block without a base holds nothing.
  memoryBlock = {static_cast<const uint8_t*>(base), base != nullptr ? size : 0, 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  loadedSong = loadSong(memoryLoadName, nullptr);
  // The host may release the block as soon as the command returns.
  memoryBlock = {};
  if (loadedSong == nullptr) return {"vantor; failed while loading file from memory"};
  return succeeded;
}

// A song that cannot start (no device, a refused buffer) stays loaded and silent,
// and the host is not told.
Failure playLoadedSong(IDirectSound* device, uint32_t options) {
  if (loadedSong == nullptr) return {"vantor::play; song not yet loaded."};
  const int globalFocus = (options & VANTOR_GLOBAL_FOCUS) != 0 ? 1 : 0;
  const int volumeControl = (options & VANTOR_VOLUME_CONTROL) != 0 ? 1 : 0;
  static_cast<void>(playSong(loadedSong, device, globalFocus, volumeControl));
  return succeeded;
}

Failure stopLoadedSong() {
  if (loadedSong == nullptr) return {"vantor::stop; song not yet loaded."};
  stopSong(loadedSong);
  return succeeded;
}

// The host's float is read before the song is checked; volatile keeps the read
// there. Without a float nothing is read and the volume stays as it is.
Failure setLoadedSongVolume(const void* volume) {
  const float value = volume != nullptr ? *static_cast<const volatile float*>(volume) : 0.0f;
  if (loadedSong == nullptr) return {"vantor::vol; song not yet loaded."};
  if (volume != nullptr) setSongVolume(loadedSong, value);
  return succeeded;
}

Failure runCommand(int32_t cmd, void* arg, uint32_t arg2) {
  switch (static_cast<uint32_t>(cmd)) {  // negative commands count as large ones
    case VANTOR_SET_CAPTION:
      storeCaption(static_cast<const char*>(arg), arg2);
      return succeeded;
    case VANTOR_SET_EXCEPTION_MODE:
      pellgameapi::exceptionMode = arg2;
      return succeeded;
    case VANTOR_LOAD_FILE:
      return loadFile(static_cast<const char*>(arg));
    case VANTOR_LOAD_MEMORY:
      return loadMemory(arg, arg2);
    case VANTOR_PLAY:
      return playLoadedSong(static_cast<IDirectSound*>(arg), arg2);
    case VANTOR_STOP:
      return stopLoadedSong();
    case VANTOR_SET_VOLUME:
      return setLoadedSongVolume(arg);
    default:
      return succeeded;  // unknown commands do nothing and report nothing
  }
}

// Nothing a command calls throws, so the lock is released on the one way out, and
// this frame needs no clean-up of its own.
Failure runSerialised(int32_t cmd, void* arg, uint32_t arg2) {
  AcquireSRWLockExclusive(&commandLock);
  const Failure failure = runCommand(cmd, arg, arg2);
  ReleaseSRWLockExclusive(&commandLock);
  return failure;
}

}  // namespace

void releaseSongAtUnload() {
  // A feeder thread that still runs may not be waited for under the system's loader
  // lock, and it still reads the song.
  if (feederThreadHandle != nullptr) return;
  releaseLoadedSong();
}

}  // namespace vantor

void VANTOR_CDECL modproc(int32_t cmd, void* arg, uint32_t arg2) {
  const vantor::Failure failure = vantor::runSerialised(cmd, arg, arg2);
  // Every frame of the command has returned; the failed load's name, if any, is the
  // host's own text. A message without %s leaves the name unread.
  if (failure.format != nullptr) pellgameapi::pellerrs::reporterror(failure.format, failure.name);
}

// C++ hosts call the entry by its C++ name, the definition above; C hosts and
// GetProcAddress know it by the plain name, which is this second name of the same
// code. Declared with C linkage in a namespace of its own, it may share the name.
namespace vantor::plain {
extern "C" VANTOR_API void VANTOR_CDECL modproc(int32_t cmd, void* arg, uint32_t arg2)
    __attribute__((alias("_Z7modprociPvj")));
}  // namespace vantor::plain
