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

}  // namespace vantor
