// PLACEHOLDER until the tick driver lands: the loader installs this handler.
#include "sequencer/sequencer.h"

namespace vantor {

void sequencerTick(Song*) {}

}  // namespace vantor
