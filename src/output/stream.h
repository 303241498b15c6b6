// The sound stream: creates the looping secondary buffer on the host's DirectSound
// object, fills it, starts it, and runs the feeder thread that keeps rendering the
// blocks the play cursor has left behind.
#pragma once

#include <windows.h>
#include <dsound.h>

#include "loading/song.h"

namespace vantor {

// Resets the song, voices and channels and starts playing; false when the song
// cannot be started (the player is then stopped and the song stays the caller's).
bool playSong(Song* song, IDirectSound* device, int globalFocus, int volumeControl);

// Maps 0..1 onto the buffer volume, linear in decibels (-10000..0).
void setSongVolume(Song* song, float volume);

// The feeder thread procedure; its parameter is the thread's reference to the library,
// which it drops as it ends (null: none was taken).
DWORD WINAPI feederThread(LPVOID libraryReference);

}  // namespace vantor
