// The replay clock: a row tick when the tick counter is 0, an effect tick otherwise,
// then the count that ends the row. The song never ends: after its last order
// position it continues at restartPosition, for as long as it is rendered.
#include "sequencer/sequencer.h"
#include "sequencer/song_position.h"

namespace vantor {

namespace {

// Positions left pending by the previous row (its natural advance, or a jump,
// break or loop) take effect now.
void moveToPendingPosition(Song& song) {
  if (song.nextOrderPosition >= 0) song.orderPosition = song.nextOrderPosition;
  if (song.nextRow >= 0) song.row = song.nextRow;
  keepPositionInRange(song);
}

// The advance that applies when no channel of the row set a row of its own. A
// pattern break goes to order 0 at the end of the song; this natural end goes to
// the restart position instead.
void scheduleFollowingRow(Song& song) {
  if (song.nextRow != -1) return;
  song.nextRow = song.row + 1;
  if (static_cast<uint32_t>(song.nextRow) < patternRowCount(song, song.orderPosition)) return;
  int following = song.orderPosition + 1;
  song.nextOrderPosition = following < playableSongLength(song) ? following : restartTarget(song);
  song.nextRow = 0;
}

// A row lasts speed ticks plus the pattern delay, both as this tick's effects left
// them; a speed of 0 makes every tick a row tick.
void countTick(Song& song) {
  song.tick += 1;
  if (song.tick >= song.speed + song.patternDelayTicks) {
    song.tick = 0;
    song.patternDelayTicks = 0;
  }
}

}  // namespace

void sequencerTick(Song* song) {
  if (song == nullptr) return;
  if (song->tick == 0) {
    moveToPendingPosition(*song);
    processRow(*song);
    scheduleFollowingRow(*song);
  } else {
    processTickEffects(*song);
  }
  countTick(*song);
}

}  // namespace vantor
