// The pieces that row processing and the effect ticks share: what a channel plays
// with, the effect dispatchers of the two kinds of tick, and the volume slides.
#pragma once

#include <algorithm>
#include <cstdint>

#include "loading/song.h"
#include "sequencer/channel.h"

namespace vantor {

constexpr int32_t maximumVolume = 64;

// The instrument a channel plays and the sample its note selects. The sample is
// writable because the set-finetune effect rewrites it.
struct ChannelSource {
  const Instrument* instrument;
  Sample* sample;
};

// emptyInstrument and emptySample for an instrument number beyond the song's
// instruments; emptySample for a keymap entry of 16 or more.
ChannelSource selectSource(Song& song, const Channel& channel);

// What the row-tick part of an effect may need besides its channel and parameter.
struct RowEffectContext {
  Song& song;
  Channel& channel;
  const ChannelSource& source;
  // The channel's pitch, volume and panning before the row touched them: a note
  // delay puts them back until its tick comes.
  int32_t periodBeforeRow;
  int32_t volumeBeforeRow;
  int32_t panningBeforeRow;
  // Set by a position jump in this row, so that a break to its right keeps its order.
  bool& positionJumped;
};

struct TickEffectContext {
  Song& song;
  Channel& channel;
  const ChannelSource& source;
  const NoteCell& cell;
};

void applyRowEffect(RowEffectContext& context, uint8_t effect, uint8_t param);
void applyTickEffect(TickEffectContext& context);

// The continuous part of a volume-column byte, on every effect tick.
void applyVolumeColumnTick(Channel& channel, uint8_t volumeByte);

inline void slideVolumeUp(Channel& channel, int amount) {
  channel.volume = std::min(channel.volume + amount, maximumVolume);
  channel.updateFlags |= VolumeChanged;
}

inline void slideVolumeDown(Channel& channel, int amount) {
  channel.volume = std::max(channel.volume - amount, 0);
  channel.updateFlags |= VolumeChanged;
}

// Effect memories keep their value when the parameter is 0.
inline void keepIfNonZero(uint8_t& memory, uint8_t param) {
  if (param != 0) memory = param;
}

}  // namespace vantor
