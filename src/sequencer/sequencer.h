// The replay clock: the tick driver, row processing and the per-tick effects.
#pragma once

#include <cstdint>

#include "loading/song.h"
#include "sequencer/channel.h"

namespace vantor {

// The song's tick handler: a row tick when tick is 0, an effect tick otherwise.
void sequencerTick(Song* song);

void processRow(Song& song);
void processTickEffects(Song& song);

// The row-tick handling of a volume-column byte; also used by the note delay.
void applyVolumeColumn(Channel& channel, uint8_t volumeByte);

}  // namespace vantor
