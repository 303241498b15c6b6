// Songs made by chance from a seed, for comparing vantor with trackers' players on
// songs nobody wrote by hand (scripts/compare-players --generated). A song has a few
// channels of notes in a key, instruments with envelopes, loops and auto-vibrato, and
// every effect and volume-column command with parameters drawn across their ranges:
// alone, together in one cell, carried on over several rows, and with a zero parameter
// after a non-zero one, so that the effects' memories are used. The same seed gives
// the same bytes on every machine.
#pragma once

#include <cstdint>

#include "xm_builder/xm_builder.h"

namespace vantor::generator {

xm::XmModule generatedSong(uint64_t seed);

}  // namespace vantor::generator
