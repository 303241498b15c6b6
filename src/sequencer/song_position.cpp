#include "sequencer/song_position.h"

#include <algorithm>

#include "sequencer/channel.h"

namespace vantor {

namespace {

const NoteCell emptyCell = {};

// The pattern at an order position, or null when it is missing or has no cells.
const Pattern* patternAt(const Song& song, int orderPosition) {
  if (orderPosition < 0 || orderPosition >= orderTableSize || song.patterns == nullptr) return nullptr;
  int number = song.orders[orderPosition];
  if (number >= song.patternCount) return nullptr;
  const Pattern& pattern = song.patterns[number];
  if (pattern.rowCount == 0 || pattern.cells == nullptr) return nullptr;
  return &pattern;
}

}  // namespace

int playableSongLength(const Song& song) { return std::clamp<int>(song.songLength, 1, orderTableSize); }

int restartTarget(const Song& song) {
  int restart = song.restartPosition;
  return restart >= 0 && restart < playableSongLength(song) ? restart : 0;
}

uint32_t patternRowCount(const Song& song, int orderPosition) {
  const Pattern* pattern = patternAt(song, orderPosition);
  return pattern != nullptr ? pattern->rowCount : emptyPatternRows;
}

int playedChannelCount(const Song& song) { return std::clamp<int>(song.channelCount, 0, channelTableSize); }

const NoteCell& currentCell(const Song& song, int channel) {
  const Pattern* pattern = patternAt(song, song.orderPosition);
  if (pattern == nullptr || song.row < 0 || static_cast<uint32_t>(song.row) >= pattern->rowCount)
    return emptyCell;
  if (channel < 0 || channel >= song.channelCount) return emptyCell;
  std::size_t index = static_cast<std::size_t>(song.row) * static_cast<std::size_t>(song.channelCount) +
                      static_cast<std::size_t>(channel);
  return pattern->cells[index];
}

void keepPositionInRange(Song& song) {
  if (song.orderPosition < 0 || song.orderPosition >= playableSongLength(song)) song.orderPosition = 0;
  if (song.row < 0 || static_cast<uint32_t>(song.row) >= patternRowCount(song, song.orderPosition))
    song.row = 0;
}

}  // namespace vantor
