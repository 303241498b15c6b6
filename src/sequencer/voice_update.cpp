// The one place where the sequencer writes a channel's state into its mixer voice
// (apart from the sample offset, which row processing leaves on the voice for its
// next trigger). Runs at the end of every channel's tick, between mixer slices.
#include "sequencer/voice_update.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "output/renderer.h"
#include "sequencer/pitch.h"

namespace vantor {

namespace {

// 255 / 2^35 as a single-precision constant (exact): channel volume 64, envelope 64,
// fadeout 65536 and global volume 64 give a voice volume of 127.
constexpr double volumeScale = static_cast<double>(255.0f / 34359738368.0f);

// Pan 0 is hard left and 255 hard right, as in the song's panning values.
void setGains(Voice& voice) {
  voice.leftVolume = (voice.volume * (255 - voice.pan)) / 255;
  voice.rightVolume = (voice.volume * voice.pan) / 255;
}

// Starts the sample. A voice that still sounds stays where it is, silenced, and the
// mixer ramps it out with its old sample; the channel moves to a copy of it in the
// partner slot for the new note. So channel i alternates between voices i and i+32.
void triggerSample(Channel& channel, const Sample& sample) {
  Voice* voice = channel.voice;
  if (voice->sample != nullptr) {
    int partner =
        voice->index < channelTableSize ? voice->index + channelTableSize : voice->index - channelTableSize;
    if (partner >= 0 && partner < voicePoolSize) {
      voicePool[partner] = *voice;
      voicePool[partner].index = partner;
      voice->volume = 0;
      voice->leftVolume = 0;
      voice->rightVolume = 0;
      voice = &voicePool[partner];
      channel.voice = voice;
    }
  }
  voice->sample = &sample;
  // An offset left by 9xx for an earlier sample may lie beyond this one's end.
  if (uint64_t{voice->startOffset} >= uint64_t{sample.loopStart} + sample.loopLength) voice->startOffset = 0;
  voice->position = static_cast<int32_t>(voice->startOffset);
  voice->positionFrac = 0;
  voice->direction = directionForward;
  voice->startOffset = 0;
  // From silence: the mixer ramps the new note in.
  voice->currentLeft = 0;
  voice->currentRight = 0;
  voice->rampRemaining = 0;
}

void updateVolume(const Channel& channel, const Song& song, Voice& voice) {
  // The product reaches about 2^36, exact in double.
  double product = static_cast<double>(int64_t{channel.volume} + channel.volumeOffset) *
                   channel.volumeEnvelopeState.value * channel.fadeoutVolume * song.globalVolume;
  // Limited before the conversion; levels stay far inside the integer range of the
  // gain products (a volume above 64 from Cxx gives up to 508).
  voice.volume = static_cast<int32_t>(std::clamp(product * volumeScale, 0.0, 65535.0));
  setGains(voice);
}

void updatePanning(const Channel& channel, Voice& voice) {
  // The envelope swings a channel by up to 4 per envelope unit around its own panning,
  // less the nearer it sits to an edge: a channel at 0 or 255 does not move at all.
  int64_t panning = channel.panning;
  int64_t swing = (128 - std::abs(panning - 128)) / 32;
  int64_t pan = panning + swing * (int64_t{channel.panningEnvelopeState.value} - 32);
  voice.pan = static_cast<int32_t>(std::clamp<int64_t>(pan, 0, 255));
  setGains(voice);
}

void updateStep(const Channel& channel, const Song& song, Voice& voice) {
  // The frequency is limited to 100..11289599 Hz, so the step stays below 256 frames.
  uint64_t frequency = static_cast<uint64_t>(playbackFrequency(song, channel.period, channel.periodOffset));
  uint64_t step = (frequency << 32) / mixRate;
  voice.stepInt = static_cast<int32_t>(step >> 32);
  voice.stepFrac = static_cast<uint32_t>(step);
}

void rewind(Voice& voice) {
  // Forward as well: a voice moving backward through a ping-pong loop would otherwise
  // sit below the loop start, moving away from it.
  voice.position = 0;
  voice.positionFrac = 0;
  voice.startOffset = 0;
  voice.direction = directionForward;
}

}  // namespace

void updateVoice(Channel& channel, const Sample& sample, const Song& song) {
  if (channel.voice == nullptr) return;
  // An untouched channel (period 0) never gets a pitch update, on either table.
  if (int64_t{channel.period} + channel.periodOffset == 0) channel.updateFlags &= ~PitchChanged;

  uint8_t flags = channel.updateFlags;
  if (flags & Trigger) triggerSample(channel, sample);
  Voice& voice = *channel.voice;
  if (flags & VolumeChanged) updateVolume(channel, song, voice);
  if (flags & PanningChanged) updatePanning(channel, voice);
  if (flags & PitchChanged) updateStep(channel, song, voice);
  if (flags & Rewind) rewind(voice);
}

}  // namespace vantor
