// Notes to periods and periods to playback frequencies, for the linear and the
// Amiga frequency table.
#pragma once

#include <cstdint>

#include "loading/song.h"

namespace vantor {

// Lowest and highest playback frequency a voice is given. The top keeps the step
// below 256 frames per output frame, the most the mixer's boundary arithmetic holds.
constexpr int32_t minimumFrequency = 100;
constexpr int32_t maximumFrequency = 11289599;

int32_t amigaPeriod(int note, int finetune);
int32_t linearPeriod(int note, int finetune);
// The period of a 0-based real note by the song's frequency table.
int32_t notePeriod(const Song& song, int realNote, int finetune);

// Playback frequency in Hz of period + periodOffset by the song's table, limited to
// minimumFrequency..maximumFrequency.
int32_t playbackFrequency(const Song& song, int32_t period, int32_t periodOffset);

}  // namespace vantor
