#include "support/replay.h"

#include "output/release.h"
#include "output/renderer.h"

namespace vantor::test {

void startReplay(Song& song) {
  resetVoicePool();
  song.globalVolume = song.defaultGlobalVolume;
  song.nextOrderPosition = -1;
  song.nextRow = -1;
  song.speed = song.defaultSpeed;
  song.row = 0;
  song.orderPosition = 0;
  song.tickSamplesLeft = 0;
  song.tick = 0;
  song.patternDelayTicks = 0;
  setBpm(&song, song.defaultBpm);
  resetChannels(song.channelCount);
}

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
