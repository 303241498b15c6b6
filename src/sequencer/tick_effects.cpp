// The effect ticks, every tick of a row but its first: envelopes and fadeout run on,
// and the volume column and the effect do their continuous part with the
// parameters and memories that the row tick stored.
#include <algorithm>

#include "sequencer/effect_numbers.h"
#include "sequencer/effects.h"
#include "sequencer/envelopes.h"
#include "sequencer/pitch.h"
#include "sequencer/saturating.h"
#include "sequencer/sequencer.h"
#include "sequencer/song_position.h"
#include "sequencer/voice_update.h"

namespace vantor {

namespace {

constexpr int32_t lowestPortamentoPeriod = 56;
constexpr int32_t linearSemitone = 64;
constexpr int32_t highestPanning = 255;

// Unlike the row tick, an effect tick does not silence an instrument without a
// volume envelope after key-off.
void stepEnvelopesAndFadeout(Channel& channel, const Instrument& instrument) {
  if ((instrument.volumeEnvelopeType & EnvelopeOn) && !channel.volumeEnvelopeState.done) {
    stepEnvelope(channel, channel.volumeEnvelopeState, volumeEnvelope(instrument), VolumeChanged);
  }
  if ((instrument.panningEnvelopeType & EnvelopeOn) && !channel.panningEnvelopeState.done) {
    stepEnvelope(channel, channel.panningEnvelopeState, panningEnvelope(instrument), PanningChanged);
  }
  if (channel.keyOff) {
    channel.fadeoutVolume = std::max(channel.fadeoutVolume - instrument.fadeout, 0);
    channel.updateFlags |= VolumeChanged;
  }
}

// The shift follows the tick counter, also through the extra ticks of a pattern delay.
void arpeggio(const Song& song, Channel& channel, const Sample& sample, uint8_t param) {
  if (param == 0) return;
  int phase = song.tick % 3;
  int semitones = phase == 1 ? param >> 4 : phase == 2 ? param & 0x0F : 0;
  if (song.flags & LinearFrequencyTable) {
    channel.periodOffset = semitones * linearSemitone;
  } else {
    channel.periodOffset = amigaPeriod(channel.realNote + semitones, sample.finetune) -
                           amigaPeriod(channel.realNote, sample.finetune);
  }
  channel.updateFlags |= PitchChanged;
}

// Stops at period 56 on both frequency tables.
void portamentoUp(Channel& channel) {
  channel.period =
      std::max(addSaturating(channel.period, -4 * channel.portaUpMemory), lowestPortamentoPeriod);
  channel.periodOffset = 0;
  channel.updateFlags |= PitchChanged;
}

// No upper stop.
void portamentoDown(Channel& channel) {
  channel.period = addSaturating(channel.period, 4 * channel.portaDownMemory);
  channel.periodOffset = 0;
  channel.updateFlags |= PitchChanged;
}

void tonePortamento(Channel& channel) {
  channel.periodOffset = 0;
  applyTonePortamento(channel);
}

void vibrato(Channel& channel) {
  applyVibrato(channel);
  advancePhase(channel.vibratoPos, channel.vibratoSpeed);
}

// Axy, 5xy and 6xy share one memory; an upward slide wins when both nibbles are set.
void volumeSlide(Channel& channel) {
  uint8_t up = channel.volumeSlideMemory >> 4;
  if (up != 0) {
    slideVolumeUp(channel, up);
  } else {
    slideVolumeDown(channel, channel.volumeSlideMemory & 0x0F);
  }
}

void tonePortamentoWithVolumeSlide(Channel& channel) {
  tonePortamento(channel);
  volumeSlide(channel);
}

void vibratoWithVolumeSlide(Channel& channel) {
  vibrato(channel);
  volumeSlide(channel);
}

void retrigger(const Song& song, Channel& channel, uint8_t interval) {
  if (interval == 0 || song.tick % interval != 0) return;
  channel.updateFlags |= Trigger | VolumeChanged | PitchChanged;
}

void noteCut(const Song& song, Channel& channel, uint8_t cutTick) {
  if (song.tick != cutTick) return;
  channel.volume = 0;
  channel.updateFlags |= VolumeChanged;
}

// The delayed note resets the instrument even when the cell names none.
void noteDelay(TickEffectContext& context, uint8_t delayTick) {
  Channel& channel = context.channel;
  if (context.song.tick != delayTick) {
    channel.updateFlags &= ~(PitchChanged | VolumeChanged | PanningChanged | Trigger);
    return;
  }
  resetChannelForInstrument(channel, *context.source.sample);
  channel.period = channel.notePeriod;
  channel.updateFlags |= PitchChanged;
  if (context.cell.volume != 0) applyVolumeColumn(channel, context.cell.volume);
  channel.updateFlags |= Trigger;
}

// Sets no channel flag: voices follow when their volume is next recomputed.
void globalVolumeSlide(Song& song) {
  uint8_t up = song.globalVolumeSlideMemory >> 4;
  if (up != 0) {
    song.globalVolume = std::min(song.globalVolume + up, maximumVolume);
  } else {
    song.globalVolume = std::max(song.globalVolume - (song.globalVolumeSlideMemory & 0x0F), 0);
  }
}

// Unlike the volume column's panning slides, this one stops at 0 and 255.
void panningSlide(Channel& channel) {
  uint8_t right = channel.panningSlideMemory >> 4;
  if (right != 0) {
    channel.panning = std::min(addSaturating(channel.panning, right), highestPanning);
  } else {
    channel.panning = std::max(addSaturating(channel.panning, -(channel.panningSlideMemory & 0x0F)), 0);
  }
  channel.updateFlags |= PanningChanged;
}

int32_t retriggeredVolume(int32_t volume, uint8_t change) {
  switch (change) {
    case 1:
      return volume - 1;
    case 2:
      return volume - 2;
    case 3:
      return volume - 4;
    case 4:
      return volume - 8;
    case 5:
      return volume - 16;
    case 6:
      return volume * 2 / 3;
    case 7:
      return volume >> 1;
    case 9:
      return volume + 1;
    case 10:
      return volume + 2;
    case 11:
      return volume + 4;
    case 12:
      return volume + 8;
    case 13:
      return volume + 16;
    case 14:
      return volume * 3 / 2;
    case 15:
      return volume * 2;
    default:
      return volume;  // 8 leaves the volume as it is
  }
}

// The row tick never retriggers.
void multiRetrig(const Song& song, Channel& channel) {
  if (channel.retrigInterval == 0 || song.tick % channel.retrigInterval != 0) return;
  if (channel.retrigVolumeChange != 0) {
    channel.volume =
        std::clamp(retriggeredVolume(channel.volume, channel.retrigVolumeChange), 0, maximumVolume);
    channel.updateFlags |= VolumeChanged;
  }
  channel.updateFlags |= Trigger;
}

void applyExtendedTickEffect(TickEffectContext& context, uint8_t subEffect, uint8_t value) {
  switch (subEffect) {
    case effect::Retrigger:
      retrigger(context.song, context.channel, value);
      break;
    case effect::NoteCut:
      noteCut(context.song, context.channel, value);
      break;
    case effect::NoteDelay:
      noteDelay(context, value);
      break;
    default:
      break;
  }
}

void processChannelTick(Song& song, Channel& channel, const NoteCell& cell) {
  ChannelSource source = selectSource(song, channel);
  channel.volumeOffset = 0;
  channel.periodOffset = 0;
  channel.updateFlags = 0;
  stepEnvelopesAndFadeout(channel, *source.instrument);
  applyVolumeColumnTick(channel, cell.volume);
  TickEffectContext context = {song, channel, source, cell};
  applyTickEffect(context);
  applyAutoVibrato(channel, *source.instrument);
  updateVoice(channel, *source.sample, song);
}

}  // namespace

void applyTickEffect(TickEffectContext& context) {
  Song& song = context.song;
  Channel& channel = context.channel;
  uint8_t param = context.cell.effectParam;
  switch (context.cell.effect) {
    case effect::Arpeggio:
      arpeggio(song, channel, *context.source.sample, param);
      break;
    case effect::PortamentoUp:
      portamentoUp(channel);
      break;
    case effect::PortamentoDown:
      portamentoDown(channel);
      break;
    case effect::TonePortamento:
      tonePortamento(channel);
      break;
    case effect::Vibrato:
      vibrato(channel);
      break;
    case effect::TonePortamentoVolumeSlide:
      tonePortamentoWithVolumeSlide(channel);
      break;
    case effect::VibratoVolumeSlide:
      vibratoWithVolumeSlide(channel);
      break;
    case effect::Tremolo:
      applyTremolo(channel);
      break;
    case effect::VolumeSlide:
      volumeSlide(channel);
      break;
    case effect::Extended:
      applyExtendedTickEffect(context, param >> 4, param & 0x0F);
      break;
    case effect::GlobalVolumeSlide:
      globalVolumeSlide(song);
      break;
    case effect::PanningSlide:
      panningSlide(channel);
      break;
    case effect::MultiRetrig:
      multiRetrig(song, channel);
      break;
    case effect::Tremor:
      applyTremor(channel);
      break;
    default:
      break;  // the other effects act on the row tick only
  }
}

void processTickEffects(Song& song) {
  int count = playedChannelCount(song);
  for (int c = 0; c < count; ++c) processChannelTick(song, channels[c], currentCell(song, c));
}

}  // namespace vantor
