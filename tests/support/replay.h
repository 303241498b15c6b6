// Drives a built song the way playback does, without the sound stream: resets the
// voice pool, the song's replay state and the channel table as play start does, then
// runs ticks through the song's tick handler so that tests can look at channels and
// voices after each tick.
#pragma once

#include <ostream>
#include <vector>

#include "loading/song.h"
#include "output/mixer.h"
#include "sequencer/channel.h"

namespace vantor::test {

// The reset of play start: voice pool, replay state (speed, tempo, position,
// global volume) and the song's channels.
void startReplay(Song& song);

struct SongPosition {
  int orderPosition;
  int row;
  bool operator==(const SongPosition&) const = default;
};
std::ostream& operator<<(std::ostream& out, const SongPosition& position);

class Replay {
 public:
  // Takes the song (released with freeSong at the end) and starts it.
  explicit Replay(Song* song);
  ~Replay();
  Replay(const Replay&) = delete;
  Replay& operator=(const Replay&) = delete;

  Song& song() { return *song_; }
  Channel& channel(int index) { return channels[index]; }
  Voice& voice(int channelIndex) { return *channels[channelIndex].voice; }

  // Runs ticks through the tick handler.
  void tick(int count = 1);
  // Runs ticks until the next one is a row tick: a whole row when called at a row
  // boundary, otherwise the rest of the current row.
  void playRow();
  // Runs until `count` row ticks have run and returns the position each one played.
  std::vector<SongPosition> playRows(int count);

 private:
  Song* song_;
};

}  // namespace vantor::test
