// The sound stream. playSong resets the song and the player, fills the whole ring on
// the caller's thread, starts the buffer looping silently and only then starts the
// feeder thread, which renders every block the play cursor has left behind and waits
// for its next poll on an event that a stop sets. A start that fails anywhere leaves
// the player stopped and the song with its caller.
#include "output/stream.h"

#include <algorithm>
#include <cmath>

#include "loading/byte_source.h"
#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"

namespace vantor {

namespace {

constexpr DWORD feederPollMilliseconds = 5;

// The ring buffer, with global focus and volume control as the host asked.
bool createSoundBuffer(IDirectSound* device, int globalFocus, int volumeControl) {
  DWORD flags = 0;
  if (globalFocus != 0) flags |= DSBCAPS_GLOBALFOCUS;
  if (volumeControl != 0) flags |= DSBCAPS_CTRLVOLUME;
  soundBuffer = createRingBuffer(device, flags);
  return soundBuffer != nullptr;
}

// Releases whatever the start has built so far; the song stays the caller's.
bool abandonStart(Song* song) {
  stopSong(song);
  return false;
}

}  // namespace

bool playSong(Song* song, IDirectSound* device, int globalFocus, int volumeControl) {
  if (song == nullptr) return false;
  stopSong(song);
  if (!fileCallbacksRegistered() || device == nullptr) return false;

  // Voices and channels may still point at samples of a song freed since the last play.
  resetForPlay(song);
  currentSong = song;

  if (!createSoundBuffer(device, globalFocus, volumeControl)) return abandonStart(song);
  if (!allocateMixBuffer()) return abandonStart(song);

  // The whole ring is rendered here, before the feeder thread exists.
  do {
    renderBlock();
  } while (blockIndex != 0);

  soundBuffer->SetVolume(DSBVOLUME_MIN);
  if (soundBuffer->Play(0, 0, DSBPLAY_LOOPING) != DS_OK) return abandonStart(song);

  stopRequested.store(0);
  // Manual reset: once a stop has set it, every later wait of the feeder ends at once.
  feederWakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (feederWakeEvent == nullptr) return abandonStart(song);
  // The thread holds a reference to the library while it runs. A host that unloads the
  // library while a song plays then leaves it loaded and playing, where the thread would
  // otherwise go on in code that is gone. Without a reference the thread runs all the same.
  HMODULE libraryReference = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&stopRequested),
                     &libraryReference);
  feederThreadHandle = CreateThread(nullptr, 0, feederThread, libraryReference, 0, nullptr);
  if (feederThreadHandle == nullptr) {
    if (libraryReference != nullptr) FreeLibrary(libraryReference);
    return abandonStart(song);
  }
  SetThreadPriority(feederThreadHandle, THREAD_PRIORITY_ABOVE_NORMAL);
  return true;
}

namespace {

// Renders every block the cursor has left since the last poll, never the one under it.
void feedUntilStopped() {
  if (stopRequested.load() != 0) return;
  do {
    DWORD cursor = 0;
    soundBuffer->GetCurrentPosition(&cursor, nullptr);
    int playBlock = static_cast<int>((cursor / bytesPerFrame) % ringFrames / blockFrames);
    while (blockIndex != playBlock) {
      renderBusy.store(1);
      renderBlock();
      renderBusy.store(0);
    }
    // The poll interval, which a stop cuts short.
    WaitForSingleObject(feederWakeEvent, feederPollMilliseconds);
  } while (stopRequested.load() == 0);
}

}  // namespace

DWORD WINAPI feederThread(LPVOID libraryReference) {
  feedUntilStopped();
  // Dropping the reference may unload the library, so the thread ends inside the
  // system's call and never returns into code that may be gone.
  if (libraryReference != nullptr) FreeLibraryAndExitThread(static_cast<HMODULE>(libraryReference), 0);
  return 0;
}

// Linear in decibels: 1 is full level (0), 0 is silence (-10000 hundredths of a dB).
void setSongVolume(Song* song, float volume) {
  if (song == nullptr || soundBuffer == nullptr) return;
  // A NaN has no place on the scale: the volume stays as it is.
  if (std::isnan(volume)) return;
  double level = std::clamp(static_cast<double>(volume), 0.0, 1.0);
  soundBuffer->SetVolume(static_cast<LONG>(level * 10000.0 - 10000.0));
}

}  // namespace vantor
