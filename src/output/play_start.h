// The reset that starts every play: the voice pool, the song's replay state and the
// channel table, as they must be before the first block is rendered.
#pragma once

#include "loading/song.h"

namespace vantor {

// Clears the voice pool, puts the song at its start (order 0, row 0, default speed,
// tempo and global volume, a tick due at once) and clears and wires the channels.
void resetForPlay(Song* song);

}  // namespace vantor
