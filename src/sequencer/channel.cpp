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

namespace {
// A waveControl nibble of 4..7 keeps the oscillator phase across instrument resets.
constexpr uint8_t keepPhaseBit = 4;

void restartEnvelope(EnvelopeState& cursor, int32_t startValue) {
  // fixedValue stays as it was: the first envelope step sets it.
  cursor.value = startValue;
  cursor.point = 0;
  cursor.tick = 0;
  cursor.slope = 0;
  cursor.done = 0;
}
}  // namespace

void resetChannelForInstrument(Channel& channel, const Sample& sample) {
  channel.volume = sample.volume;
  channel.panning = static_cast<int32_t>(std::min<uint32_t>(sample.panning, 255));

  restartEnvelope(channel.volumeEnvelopeState, 64);
  restartEnvelope(channel.panningEnvelopeState, 32);

  channel.keyOff = 0;
  channel.fadeoutVolume = 65536;
  channel.autoVibratoSweepPos = 0;
  channel.autoVibratoPos = 0;

  if ((channel.waveControl & keepPhaseBit) == 0) channel.vibratoPos = 0;
  if (((channel.waveControl >> 4) & keepPhaseBit) == 0) channel.tremoloPos = 0;

  channel.updateFlags |= VolumeChanged | PanningChanged;
  channel.tremorPos = 0;
}

}  // namespace vantor
