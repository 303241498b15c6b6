// Where the song is: the order list, the pattern of an order position and the cells
// of the current row. Every lookup stays inside the song's tables, whatever values
// a hand-made or damaged song holds.
#pragma once

#include <cstdint>

#include "loading/song.h"

namespace vantor {

constexpr int orderTableSize = 256;
// A pattern that is missing or holds no cells plays as this many empty rows, the
// shape the loader gives patterns without data.
constexpr uint32_t emptyPatternRows = 64;

// songLength limited to 1..256, the order entries that can play.
int playableSongLength(const Song& song);

// Where the song continues after its last order position: restartPosition, or 0
// when that lies outside the song.
int restartTarget(const Song& song);

// Rows of the pattern named at an order position.
uint32_t patternRowCount(const Song& song, int orderPosition);

// Channels that are played: channelCount limited to the 32 of the channel table.
int playedChannelCount(const Song& song);

// The cell of a channel in the current row; an empty cell where the pattern has none.
const NoteCell& currentCell(const Song& song, int channel);

// Puts an order position outside the song at 0, and a row that its pattern does
// not have at 0 (a break or loop row taken from a longer pattern).
void keepPositionInRange(Song& song);

}  // namespace vantor
