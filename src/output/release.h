// Ending the stream and releasing songs. The host's thread and the feeder thread
// meet through two one-byte flags and an event; stopping raises stopRequested, sets
// the event, which ends the feeder's wait for its next poll, waits for renderBusy to
// fall and joins the thread before anything is released.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "loading/song.h"

namespace vantor {

extern HANDLE feederThreadHandle;
extern HANDLE feederWakeEvent;              // set by stopSong; the feeder waits on it between polls
extern std::atomic<uint8_t> stopRequested;  // 1 asks the feeder thread to end
extern std::atomic<uint8_t> renderBusy;     // 1 while the feeder thread is inside renderBlock

// Stops whatever plays (song need not be the playing one); false only for null.
bool stopSong(Song* song);

// Ends any playback, then frees the song with everything it owns; false for null.
bool freeSong(Song* song);

}  // namespace vantor
