// The first-tick part of every effect. Most effects only store their parameter
// here for the effect ticks; the position effects write the song's pending row and
// order position, and channels are processed left to right, so the rightmost
// writer of a row wins.
#include <algorithm>

#include "output/renderer.h"
#include "sequencer/effect_numbers.h"
#include "sequencer/effects.h"
#include "sequencer/envelopes.h"
#include "sequencer/saturating.h"
#include "sequencer/song_position.h"

namespace vantor {

namespace {

constexpr int highestBreakRow = 63;
constexpr int firstTempoValue = 32;  // Fxx below this sets the speed, from it the tempo
constexpr int sampleOffsetUnit = 256;

void startTonePortamento(Channel& channel, uint8_t param) {
  keepIfNonZero(channel.portaSpeed, param);
  channel.portaTarget = channel.notePeriod;
  channel.updateFlags &= ~(PitchChanged | Trigger);
}

// Keeps portaSpeed: only 3xx and the volume column set it.
void startTonePortamentoWithVolumeSlide(Channel& channel, uint8_t param) {
  channel.portaTarget = channel.notePeriod;
  keepIfNonZero(channel.volumeSlideMemory, param);
  channel.updateFlags &= ~(PitchChanged | Trigger);
}

// The phase does not advance on the row tick.
void startVibrato(Channel& channel, uint8_t speed, uint8_t depth) {
  keepIfNonZero(channel.vibratoSpeed, speed);
  keepIfNonZero(channel.vibratoDepth, depth);
  applyVibrato(channel);
}

void startVibratoWithVolumeSlide(Channel& channel, uint8_t param) {
  keepIfNonZero(channel.volumeSlideMemory, param);
  applyVibrato(channel);
}

void setTremolo(Channel& channel, uint8_t speed, uint8_t depth) {
  keepIfNonZero(channel.tremoloSpeed, speed);
  keepIfNonZero(channel.tremoloDepth, depth);
}

void setPanning(Channel& channel, int32_t panning) {
  channel.panning = panning;
  channel.updateFlags |= PanningChanged;
}

// The offset waits on the voice for its next trigger. An offset at or beyond the
// end of the sample cancels the note and rewinds whatever the voice plays.
void setSampleOffset(Channel& channel, const Sample& sample, uint8_t param) {
  if (param != 0) channel.sampleOffsetMemory = param;
  uint64_t offset = static_cast<uint64_t>(channel.sampleOffsetMemory) * sampleOffsetUnit;
  uint64_t sampleEnd = uint64_t{sample.loopStart} + sample.loopLength;
  if (offset >= sampleEnd) {
    channel.updateFlags &= ~Trigger;
    channel.updateFlags |= Rewind;
  } else if (channel.voice != nullptr) {
    channel.voice->startOffset = static_cast<uint32_t>(offset);
  }
}

// A jump beyond the song goes to its first order position.
void positionJump(Song& song, bool& positionJumped, uint8_t orderPosition) {
  song.nextRow = 0;
  song.nextOrderPosition = orderPosition < playableSongLength(song) ? orderPosition : 0;
  positionJumped = true;
}

// The row is written in decimal digits, nibbles taken as they are. A break on the
// last order position goes to order 0, not to the restart position.
void patternBreak(Song& song, bool positionJumped, uint8_t tens, uint8_t units) {
  int row = tens * 10 + units;
  song.nextRow = row > highestBreakRow ? 0 : row;
  if (!positionJumped) song.nextOrderPosition = song.orderPosition + 1;
  if (song.nextOrderPosition >= playableSongLength(song)) song.nextOrderPosition = 0;
}

// Not clamped: the voice volume may go above full scale.
void setVolume(Channel& channel, uint8_t volume) {
  channel.volume = volume;
  channel.updateFlags |= VolumeChanged;
}

// A new tempo already sets the length of the tick that changes it.
void setSpeedOrTempo(Song& song, uint8_t param) {
  if (param < firstTempoValue) {
    song.speed = param;
  } else {
    setBpm(&song, param);
  }
}

// Channels to the left keep their voice volume until it is next recomputed.
void setGlobalVolume(Song& song, Channel& channel, uint8_t volume) {
  song.globalVolume = std::min<int32_t>(volume, maximumVolume);
  channel.updateFlags |= VolumeChanged;
}

void placeVolumeEnvelope(Channel& channel, const Instrument& instrument, uint8_t position) {
  if (instrument.volumeEnvelopeType & EnvelopeOn) {
    setEnvelopePosition(channel.volumeEnvelopeState, volumeEnvelope(instrument), position);
  }
}

void setPanningSlide(Channel& channel, uint8_t param) {
  if (param == 0) return;
  channel.panningSlideMemory = param;
  channel.updateFlags |= PanningChanged;
}

void setMultiRetrig(Channel& channel, uint8_t volumeChange, uint8_t interval) {
  if (volumeChange == 0 && interval == 0) return;
  channel.retrigVolumeChange = volumeChange;
  channel.retrigInterval = interval;
}

// Tremor counts every tick, this one included.
void startTremor(Channel& channel, uint8_t onTicks, uint8_t offTicks) {
  if (onTicks != 0 || offTicks != 0) {
    channel.tremorOnTicks = onTicks + 1;
    channel.tremorOffTicks = offTicks + 1;
  }
  applyTremor(channel);
}

void slidePeriod(Channel& channel, int32_t amount) { channel.period = addSaturating(channel.period, amount); }

void extraFinePortamento(Channel& channel, uint8_t direction, uint8_t amount) {
  if (direction == effect::ExtraFinePortamentoUp) {
    keepIfNonZero(channel.extraFinePortaUpMemory, amount);
    slidePeriod(channel, -channel.extraFinePortaUpMemory);
  } else if (direction == effect::ExtraFinePortamentoDown) {
    keepIfNonZero(channel.extraFinePortaDownMemory, amount);
    slidePeriod(channel, channel.extraFinePortaDownMemory);
  }
}

void finePortamentoUp(Channel& channel, uint8_t amount) {
  keepIfNonZero(channel.finePortaUpMemory, amount);
  slidePeriod(channel, -4 * channel.finePortaUpMemory);
}

void finePortamentoDown(Channel& channel, uint8_t amount) {
  keepIfNonZero(channel.finePortaDownMemory, amount);
  slidePeriod(channel, 4 * channel.finePortaDownMemory);
}

void setVibratoWaveform(Channel& channel, uint8_t waveform) {
  channel.waveControl = static_cast<uint8_t>((channel.waveControl & 0xF0) | waveform);
}

void setTremoloWaveform(Channel& channel, uint8_t waveform) {
  channel.waveControl = static_cast<uint8_t>((channel.waveControl & 0x0F) | (waveform << 4));
}

// The sample keeps the new finetune for later notes and later plays. The shared
// empty sample is never written: other songs rely on it.
void setFinetune(Sample& sample, uint8_t finetune) {
  if (&sample == &emptySample) return;
  sample.finetune = static_cast<int8_t>(finetune);
}

void patternLoop(Song& song, Channel& channel, uint8_t count) {
  if (count == 0) {
    channel.loopRow = song.row;
    return;
  }
  channel.loopCount = channel.loopCount == 0 ? count : channel.loopCount - 1;
  if (channel.loopCount != 0) song.nextRow = channel.loopRow;
}

void fineVolumeSlideUp(Channel& channel, uint8_t amount) {
  keepIfNonZero(channel.fineVolumeSlideMemory, amount);
  slideVolumeUp(channel, channel.fineVolumeSlideMemory);
}

void fineVolumeSlideDown(Channel& channel, uint8_t amount) {
  keepIfNonZero(channel.fineVolumeSlideMemory, amount);
  slideVolumeDown(channel, channel.fineVolumeSlideMemory);
}

// The note starts at its tick; until then the voice keeps what it plays.
void holdForNoteDelay(const RowEffectContext& context) {
  Channel& channel = context.channel;
  channel.updateFlags &= ~(PitchChanged | VolumeChanged | PanningChanged | Trigger);
  channel.volume = context.volumeBeforeRow;
  channel.period = context.periodBeforeRow;
  channel.panning = context.panningBeforeRow;
}

void setPatternDelay(Song& song, uint8_t rows) { song.patternDelayTicks = song.speed * rows; }

void applyExtendedRowEffect(RowEffectContext& context, uint8_t subEffect, uint8_t value) {
  Channel& channel = context.channel;
  switch (subEffect) {
    case effect::FinePortamentoUp:
      finePortamentoUp(channel, value);
      break;
    case effect::FinePortamentoDown:
      finePortamentoDown(channel, value);
      break;
    case effect::VibratoWaveform:
      setVibratoWaveform(channel, value);
      break;
    case effect::SetFinetune:
      setFinetune(*context.source.sample, value);
      break;
    case effect::PatternLoop:
      patternLoop(context.song, channel, value);
      break;
    case effect::TremoloWaveform:
      setTremoloWaveform(channel, value);
      break;
    case effect::SetCoarsePanning:
      setPanning(channel, value * 16);
      break;
    case effect::FineVolumeSlideUp:
      fineVolumeSlideUp(channel, value);
      break;
    case effect::FineVolumeSlideDown:
      fineVolumeSlideDown(channel, value);
      break;
    case effect::NoteDelay:
      holdForNoteDelay(context);
      break;
    case effect::PatternDelay:
      setPatternDelay(context.song, value);
      break;
    default:
      break;  // E0x, E3x, EFx; E9x and ECx act on effect ticks only
  }
}

}  // namespace

void applyRowEffect(RowEffectContext& context, uint8_t effectNumber, uint8_t param) {
  Song& song = context.song;
  Channel& channel = context.channel;
  uint8_t x = param >> 4;
  uint8_t y = param & 0x0F;
  switch (effectNumber) {
    case effect::PortamentoUp:
      keepIfNonZero(channel.portaUpMemory, param);
      break;
    case effect::PortamentoDown:
      keepIfNonZero(channel.portaDownMemory, param);
      break;
    case effect::TonePortamento:
      startTonePortamento(channel, param);
      break;
    case effect::Vibrato:
      startVibrato(channel, x, y);
      break;
    case effect::TonePortamentoVolumeSlide:
      startTonePortamentoWithVolumeSlide(channel, param);
      break;
    case effect::VibratoVolumeSlide:
      startVibratoWithVolumeSlide(channel, param);
      break;
    case effect::Tremolo:
      setTremolo(channel, x, y);
      break;
    case effect::SetPanning:
      setPanning(channel, param);
      break;
    case effect::SampleOffset:
      setSampleOffset(channel, *context.source.sample, param);
      break;
    case effect::VolumeSlide:
      keepIfNonZero(channel.volumeSlideMemory, param);
      break;
    case effect::PositionJump:
      positionJump(song, context.positionJumped, param);
      break;
    case effect::SetVolume:
      setVolume(channel, param);
      break;
    case effect::PatternBreak:
      patternBreak(song, context.positionJumped, x, y);
      break;
    case effect::Extended:
      applyExtendedRowEffect(context, x, y);
      break;
    case effect::SetSpeed:
      setSpeedOrTempo(song, param);
      break;
    case effect::SetGlobalVolume:
      setGlobalVolume(song, channel, param);
      break;
    case effect::GlobalVolumeSlide:
      keepIfNonZero(song.globalVolumeSlideMemory, param);
      break;
    case effect::SetEnvelopePosition:
      placeVolumeEnvelope(channel, *context.source.instrument, param);
      break;
    case effect::PanningSlide:
      setPanningSlide(channel, param);
      break;
    case effect::MultiRetrig:
      setMultiRetrig(channel, x, y);
      break;
    case effect::Tremor:
      startTremor(channel, x, y);
      break;
    case effect::ExtraFinePortamento:
      extraFinePortamento(channel, x, y);
      break;
    default:
      break;  // arpeggio acts on effect ticks only; key-off was taken with the note
  }
}

}  // namespace vantor
