#include "output/play_start.h"

#include "output/mixer.h"
#include "output/renderer.h"
#include "sequencer/channel.h"

namespace vantor {

void resetForPlay(Song* song) {
  resetVoicePool();
  song->globalVolume = song->defaultGlobalVolume;
  song->nextOrderPosition = -1;
  song->nextRow = -1;
  song->speed = song->defaultSpeed;
  song->row = 0;
  song->orderPosition = 0;
  song->tickSamplesLeft = 0;
  song->tick = 0;
  song->patternDelayTicks = 0;
  setBpm(song, song->defaultBpm);
  resetChannels(song->channelCount);
}

}  // namespace vantor
