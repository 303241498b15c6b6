// The library's one command entry, through which the host engine drives it, and
// the module state behind the commands. modproc, its command numbers and play options
// are declared in include/vantor.h:
//
//   cmd  arg                           arg2
//   0    caption text                  owner window of the error message box
//   1    -                             0: errors show a message box, else they throw
//   2    file name                     -
//   3    start of a whole XM file      its length in bytes
//   4    the host's IDirectSound       play options: bit 0 global focus, bit 1 volume control
//   5    -                             -
//   6    pointer to a float 0..1       -
//
// Any other cmd, negative ones included, does nothing. A load that fails, and play,
// stop or volume without a loaded song, end in pellgameapi::pellerrs::reporterror.
// modproc is not noexcept: in exception mode a fatal error leaves it as a
// pellgameapi::pellerrsexception.
#pragma once

#include "framework/exports.h"
#include "loading/song.h"

namespace vantor {

// The one song the commands act on; null when none is loaded.
extern Song* loadedSong;

// Frees the loaded song when the library is unloaded while nothing plays; with a
// feeder thread still running it leaves everything as it is.
void releaseSongAtUnload();

}  // namespace vantor
