#include "support/replay.h"

#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"

namespace vantor::test {

void startReplay(Song& song) { resetForPlay(&song); }

std::ostream& operator<<(std::ostream& out, const SongPosition& position) {
  return out << "(order " << position.orderPosition << ", row " << position.row << ")";
}

Replay::Replay(Song* song) : song_(song) { startReplay(*song_); }

Replay::~Replay() { freeSong(song_); }

void Replay::tick(int count) {
  for (int i = 0; i < count; ++i) song_->tickHandler(song_);
}

void Replay::playRow() {
  do {
    tick();
  } while (song_->tick != 0);
}

std::vector<SongPosition> Replay::playRows(int count) {
  std::vector<SongPosition> played;
  while (static_cast<int>(played.size()) < count) {
    bool rowTick = song_->tick == 0;
    tick();
    if (rowTick) played.push_back({song_->orderPosition, song_->row});
  }
  return played;
}

}  // namespace vantor::test
