#include <cstring>

#include "output/mixer.h"

namespace vantor {

Voice voicePool[voicePoolSize];

void resetVoicePool() {
  std::memset(voicePool, 0, sizeof voicePool);
  for (int slot = 0; slot < voicePoolSize; ++slot) {
    voicePool[slot].index = slot;
    voicePool[slot].stepInt = 1;
  }
}

}  // namespace vantor
