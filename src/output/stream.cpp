// The sound stream. playSong resets the song and the player, fills the whole ring on
// the caller's thread, starts the buffer looping silently and only then starts the
// feeder thread, which renders every block the play cursor has left behind. A start
// that fails anywhere leaves the player stopped and the song with its caller.
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

// 16-bit stereo PCM at the mix rate, in a looping buffer that holds the whole ring.
bool createSoundBuffer(IDirectSound* device, int globalFocus, int volumeControl) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = mixRate;
  format.nAvgBytesPerSec = mixRate * bytesPerFrame;
  format.nBlockAlign = bytesPerFrame;
  format.wBitsPerSample = 16;
  format.cbSize = 0;

  DSBUFFERDESC description = {};
  description.dwSize = sizeof(DSBUFFERDESC);
  description.dwFlags = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2;
  if (globalFocus != 0) description.dwFlags |= DSBCAPS_GLOBALFOCUS;
  if (volumeControl != 0) description.dwFlags |= DSBCAPS_CTRLVOLUME;
  description.dwBufferBytes = ringBytes;
  description.dwReserved = 0;
  description.lpwfxFormat = &format;

  HRESULT result = device->CreateSoundBuffer(&description, &soundBuffer, nullptr);
  // A failed call hands nothing over, whatever it left in the pointer.
  if (FAILED(result)) soundBuffer = nullptr;
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
  feederThreadHandle = CreateThread(nullptr, 0, feederThread, nullptr, 0, nullptr);
  if (feederThreadHandle == nullptr) return abandonStart(song);
  SetThreadPriority(feederThreadHandle, THREAD_PRIORITY_ABOVE_NORMAL);
  return true;
}

// Renders every block the cursor has left since the last poll, never the one under it.
DWORD WINAPI feederThread(LPVOID) {
  if (stopRequested.load() != 0) return 0;
  do {
    DWORD cursor = 0;
    soundBuffer->GetCurrentPosition(&cursor, nullptr);
    int playBlock = static_cast<int>((cursor / bytesPerFrame) % ringFrames / blockFrames);
    while (blockIndex != playBlock) {
      renderBusy.store(1);
      renderBlock();
      renderBusy.store(0);
    }
    Sleep(feederPollMilliseconds);
    Sleep(0);
  } while (stopRequested.load() == 0);
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
