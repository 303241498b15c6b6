// The XM loader: reads one Extended Module from an open byte source into a Song.
#pragma once

#include "loading/byte_source.h"
#include "loading/song.h"

namespace vantor {

// Creates a song from the named source through the registered callbacks; null when
// the source cannot be opened or the module is refused (everything is then freed).
Song* loadSong(const char* name, SampleProvider provider);

// Reads the module into a zero-filled song whose sampleProvider is already set.
bool loadXmModule(Song* song, SourceHandle* source);

// For tests: the loader's allocation this many allocations from now fails, once, as if
// memory had run out (0: the next one); -1 withdraws a request not yet used.
void failLoadAllocation(int after);

}  // namespace vantor
