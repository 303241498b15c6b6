// freeSong in the browser build, in place of src/output/release.cpp: a page has no
// stream and no feeder thread to end (it renders the blocks itself and stops by
// no longer asking for them), so freeing a song only frees what it owns. The loader
// calls it when it refuses a file, as it does in the game.
#include "output/release.h"

namespace vantor {

bool freeSong(Song* song) { return freeSongRecords(song); }

}  // namespace vantor
