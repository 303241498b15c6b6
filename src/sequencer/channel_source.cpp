#include "sequencer/effects.h"

namespace vantor {

ChannelSource selectSource(Song& song, const Channel& channel) {
  if (song.instruments == nullptr || channel.instrumentIndex >= song.instrumentCount) {
    return {&emptyInstrument, &emptySample};
  }
  const Instrument& instrument = song.instruments[channel.instrumentIndex];
  uint8_t slot = channel.note < keymapSize ? instrument.keymap[channel.note] : instrumentSampleSlots;
  if (slot >= instrumentSampleSlots || instrument.samples[slot] == nullptr)
    return {&instrument, &emptySample};
  return {&instrument, instrument.samples[slot]};
}

}  // namespace vantor
