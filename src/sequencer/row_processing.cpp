// The row tick: each channel takes its cell's instrument and note, the volume
// column, key-off, one envelope step, the first-tick part of its effect and
// auto-vibrato, and hands the outcome to its voice.
#include <algorithm>

#include "sequencer/effect_numbers.h"
#include "sequencer/effects.h"
#include "sequencer/envelopes.h"
#include "sequencer/pitch.h"
#include "sequencer/sequencer.h"
#include "sequencer/song_position.h"
#include "sequencer/voice_update.h"

namespace vantor {

namespace {

constexpr uint8_t keyOffNote = 255;

// Notes 97..254 lie beyond the keymap: they count as no note, while the cell's
// instrument, volume column and effect still act.
bool givesNote(uint8_t note) { return note >= 1 && note <= keymapSize; }

// Tone portamento keeps the channel's note and instrument and slides to the new note.
bool isTonePortamentoRow(const NoteCell& cell) {
  return cell.effect == effect::TonePortamento || cell.effect == effect::TonePortamentoVolumeSlide;
}

// The last tremolo offset stays in the volume when the tremolo ends.
void startRowOffsets(Channel& channel, uint8_t cellEffect) {
  if (channel.lastEffect == effect::Tremolo && cellEffect != effect::Tremolo) {
    channel.volume += channel.volumeOffset;
  }
  channel.volumeOffset = 0;
  channel.updateFlags = 0;
  channel.lastEffect = cellEffect;
}

void takeNote(const Song& song, Channel& channel, const Sample& sample, uint8_t cellNote,
              bool tonePortamento) {
  channel.realNote = static_cast<uint8_t>(sample.relativeNote + cellNote - 1);
  channel.notePeriod = notePeriod(song, channel.realNote, sample.finetune);
  if (!tonePortamento) channel.period = channel.notePeriod;
  channel.updateFlags = Trigger;
}

// An instrument without a volume envelope falls silent at key-off.
void stepEnvelopesAndFadeout(Channel& channel, const Instrument& instrument) {
  if (instrument.volumeEnvelopeType & EnvelopeOn) {
    if (!channel.volumeEnvelopeState.done) {
      stepEnvelope(channel, channel.volumeEnvelopeState, volumeEnvelope(instrument), VolumeChanged);
    }
  } else if (channel.keyOff) {
    channel.volumeEnvelopeState.value = 0;
  }
  if ((instrument.panningEnvelopeType & EnvelopeOn) && !channel.panningEnvelopeState.done) {
    stepEnvelope(channel, channel.panningEnvelopeState, panningEnvelope(instrument), PanningChanged);
  }
  if (channel.keyOff) {
    channel.fadeoutVolume = std::max(channel.fadeoutVolume - instrument.fadeout, 0);
    channel.updateFlags |= VolumeChanged;
  }
}

void processChannelRow(Song& song, Channel& channel, const NoteCell& cell, bool& positionJumped) {
  bool tonePortamento = isTonePortamentoRow(cell);
  bool hasNote = givesNote(cell.note);
  if (cell.instrument != 0 && !tonePortamento) channel.instrumentIndex = cell.instrument - 1;
  if (hasNote && !tonePortamento) channel.note = cell.note - 1;
  ChannelSource source = selectSource(song, channel);

  RowEffectContext context = {song,           channel,         source,        channel.period,
                              channel.volume, channel.panning, positionJumped};
  startRowOffsets(channel, cell.effect);
  if (hasNote) takeNote(song, channel, *source.sample, cell.note, tonePortamento);
  channel.periodOffset = 0;
  channel.updateFlags |= PitchChanged | VolumeChanged;

  if (cell.instrument != 0) resetChannelForInstrument(channel, *source.sample);
  if (cell.volume != 0) applyVolumeColumn(channel, cell.volume);
  if (cell.note == keyOffNote || cell.effect == effect::KeyOff) channel.keyOff = 1;
  stepEnvelopesAndFadeout(channel, *source.instrument);
  applyRowEffect(context, cell.effect, cell.effectParam);

  applyAutoVibrato(channel, *source.instrument);
  updateVoice(channel, *source.sample, song);
}

}  // namespace

void processRow(Song& song) {
  song.nextRow = -1;
  song.nextOrderPosition = -1;
  bool positionJumped = false;
  int count = playedChannelCount(song);
  for (int c = 0; c < count; ++c) processChannelRow(song, channels[c], currentCell(song, c), positionJumped);
}

}  // namespace vantor
