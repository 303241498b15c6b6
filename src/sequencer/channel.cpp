#include "sequencer/channel.h"

#include <algorithm>
#include <cstring>

namespace vantor {

Channel channels[channelTableSize];

void resetChannels(int channelCount) {
  int count = std::clamp(channelCount, 0, channelTableSize);
  std::memset(channels, 0, sizeof(Channel) * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) channels[i].voice = &voicePool[i];
}

}  // namespace vantor
