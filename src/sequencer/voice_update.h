// Carries a channel's changes of this tick into its voice: starts the sample
// (moving to the partner voice while the old sound still plays), and recomputes
// volume, panning, stereo gains and the resampling step.
#pragma once

#include "loading/song.h"
#include "sequencer/channel.h"

namespace vantor {

void updateVoice(Channel& channel, const Sample& sample, const Song& song);

}  // namespace vantor
