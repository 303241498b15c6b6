#include "tracker_differences.h"

#include <algorithm>

#include "output/mixer.h"
#include "sequencer/effect_numbers.h"
#include "sequencer/effects.h"
#include "sequencer/song_position.h"

namespace vantor::tool {

namespace {

constexpr int mixChunkFrames = 1024;
constexpr int32_t fullFadeout = 65536;
constexpr uint8_t glissandoControl = 0x3;  // E3x: vantor reads and ignores it

bool givesNote(const NoteCell& cell) { return cell.note >= 1 && cell.note <= keymapSize; }

bool isTonePortamentoRow(const NoteCell& cell) {
  return cell.effect == effect::TonePortamento || cell.effect == effect::TonePortamentoVolumeSlide;
}

bool isExtended(const NoteCell& cell, uint8_t subEffect) {
  return cell.effect == effect::Extended && cell.effectParam >> 4 == subEffect;
}

uint8_t extendedValue(const NoteCell& cell) { return cell.effectParam & 0x0F; }

bool volumeColumnPortamento(const NoteCell& cell) { return cell.volume >= 0xF0; }
bool volumeColumnSetsVolume(const NoteCell& cell) { return cell.volume >= 0x10 && cell.volume <= 0x50; }
bool volumeColumnSetsPanning(const NoteCell& cell) { return cell.volume >> 4 == 0xC; }

// Heard now: a sample with data, at a level above silence.
bool sounding(const Voice* voice) {
  return voice != nullptr && voice->sample != nullptr && voice->sample->length > 0 && voice->volume > 0;
}

// An envelope that is on and whose points do not all lie at one value.
bool envelopeMoves(const Envelope& envelope) {
  if ((envelope.type & EnvelopeOn) == 0) return false;
  for (int i = 1; i < envelope.pointCount; ++i) {
    if (envelope.points[i].y != envelope.points[0].y) return true;
  }
  return false;
}

}  // namespace

CellPosition DifferenceFinder::here(int channel) const { return {song_->orderPosition, song_->row, channel}; }

void DifferenceFinder::record(CellRule rule, CellPosition cell) {
  uint64_t key = uint64_t{static_cast<uint8_t>(rule)} << 56 |
                 uint64_t{static_cast<uint32_t>(cell.order)} << 40 |
                 uint64_t{static_cast<uint32_t>(cell.row)} << 8 | static_cast<uint8_t>(cell.channel);
  if (recorded_.insert(key).second) findings_[static_cast<int>(rule)].push_back(cell);
}

void DifferenceFinder::afterTick(const TickCall& call) {
  tickInRow_ = call.rowTick ? 0 : tickInRow_ + 1;
  if (call.rowTick) {
    checkRow();
    checkPatternLoop();
  } else {
    checkEffectTick();
  }
  int count = playedChannelCount(*song_);
  for (int c = 0; c < count; ++c) {
    if (channels[c].updateFlags & Trigger) tracker_[c].played = true;
  }
  mixTick();
  remember();
}

void DifferenceFinder::checkRow() {
  Song& song = *song_;
  int count = playedChannelCount(song);
  for (int c = 0; c < count; ++c) {
    const NoteCell& cell = currentCell(song, c);
    const Channel& channel = channels[c];
    const ChannelBefore& before = before_[c];
    TrackerChannel& tracker = tracker_[c];
    ChannelSource source = selectSource(song, channel);

    // The offset cancels the note and rewinds the voice, whatever it plays; the row
    // may have given that voice a volume again.
    if (cell.effect == effect::SampleOffset && (channel.updateFlags & Rewind) && sounding(channel.voice))
      record(CellRule::sampleOffsetBeyondLoopEnd, here(c));

    // Only the restart is held back: the pitch jumps to the note at once.
    if (volumeColumnPortamento(cell) && givesNote(cell) && !isTonePortamentoRow(cell) &&
        sounding(channel.voice) && before.period != channel.notePeriod)
      record(CellRule::volumeColumnPortamentoWithNote, here(c));

    // Trackers start the last note again on the row tick; vantor retriggers on effect ticks only.
    if (isExtended(cell, effect::Retrigger) && extendedValue(cell) == 0 && !(channel.updateFlags & Trigger) &&
        tracker.played && source.sample->length > 0)
      record(CellRule::retriggerZero, here(c));

    // The new instrument's envelopes and fadeout act on the sample that plays on.
    if (cell.instrument != 0 && cell.note == 0 && !isTonePortamentoRow(cell) &&
        before.instrumentIndex != cell.instrument - 1 && sounding(channel.voice))
      record(CellRule::instrumentWithoutNote, here(c));

    if (cell.effect == effect::SetEnvelopePosition && envelopeMoves(panningEnvelope(*source.instrument)) &&
        sounding(channel.voice))
      record(CellRule::envelopePositionWithPanning, here(c));

    if (isExtended(cell, glissandoControl)) {
      tracker.glissando = extendedValue(cell) != 0;
      tracker.glissandoCell = here(c);
    }
    checkRetrigger(c, true);
  }
}

void DifferenceFinder::checkEffectTick() {
  Song& song = *song_;
  int count = playedChannelCount(song);
  for (int c = 0; c < count; ++c) {
    const NoteCell& cell = currentCell(song, c);
    const Channel& channel = channels[c];
    const ChannelBefore& before = before_[c];
    TrackerChannel& tracker = tracker_[c];

    if (tracker.glissando && (isTonePortamentoRow(cell) || volumeColumnPortamento(cell)) &&
        sounding(channel.voice) && before.period != channel.portaTarget)
      record(CellRule::glissandoBeforePortamento, tracker.glissandoCell);

    // The delayed note resets the channel as an instrument number would.
    if (isExtended(cell, effect::NoteDelay) && extendedValue(cell) == tickInRow_ && cell.instrument == 0 &&
        (channel.updateFlags & Trigger)) {
      ChannelSource source = selectSource(song, channel);
      const Sample& sample = *source.sample;
      bool changes = (before.volume != sample.volume && !volumeColumnSetsVolume(cell)) ||
                     (before.panning != static_cast<int32_t>(std::min<uint32_t>(sample.panning, 255)) &&
                      !volumeColumnSetsPanning(cell)) ||
                     before.keyOff != 0 || before.fadeoutVolume != fullFadeout ||
                     (envelopeMoves(volumeEnvelope(*source.instrument)) && before.volumeEnvelope.tick > 0) ||
                     (envelopeMoves(panningEnvelope(*source.instrument)) && before.panningEnvelope.tick > 0);
      if (changes) record(CellRule::noteDelayWithoutInstrument, here(c));
    }
    checkRetrigger(c, false);
  }
}

// Trackers count the ticks of Rxy on from the note, across the rows that keep the
// effect, so a retrigger may fall on a row tick; vantor counts from each row tick
// and retriggers on effect ticks whose number is a multiple of y.
void DifferenceFinder::checkRetrigger(int c, bool rowTick) {
  const NoteCell& cell = currentCell(*song_, c);
  const Channel& channel = channels[c];
  TrackerChannel& tracker = tracker_[c];
  if (cell.effect != effect::MultiRetrig) {
    if (rowTick) tracker.retriggerRow = false;
    return;
  }
  bool counts = !rowTick || (tracker.retriggerRow && !givesNote(cell));
  if (rowTick) tracker.retriggerRow = true;
  if (!counts) {
    tracker.retriggerTicks = 0;
    return;
  }
  bool trackerRetriggers = false;
  if (++tracker.retriggerTicks >= channel.retrigInterval && channel.retrigInterval != 0) {
    tracker.retriggerTicks = 0;
    trackerRetriggers = true;
  }
  bool vantorRetriggers = !rowTick && (channel.updateFlags & Trigger);
  if (trackerRetriggers != vantorRetriggers && tracker.played &&
      selectSource(*song_, channel).sample->length > 0)
    record(CellRule::retriggerCountedPerRow, here(c));
}

// After a pattern loop, trackers start the next pattern at the loop's first row when
// the pattern runs out by itself; a break or jump names its own row in both.
void DifferenceFinder::checkPatternLoop() {
  Song& song = *song_;
  int count = playedChannelCount(song);
  if (pendingLoop_.active && pendingLoop_.order != song.orderPosition) pendingLoop_.active = false;
  bool breakOrJump = false;
  for (int c = 0; c < count; ++c) {
    const NoteCell& cell = currentCell(song, c);
    if (cell.effect == effect::PositionJump || cell.effect == effect::PatternBreak) breakOrJump = true;
    if (isExtended(cell, effect::PatternLoop) && extendedValue(cell) != 0 && channels[c].loopCount != 0)
      pendingLoop_ = {true, song.orderPosition, channels[c].loopRow, here(c)};
  }
  if (breakOrJump) pendingLoop_.active = false;
  bool naturalEnd = !breakOrJump && song.nextOrderPosition >= 0;
  if (naturalEnd && pendingLoop_.active && pendingLoop_.loopRow != 0)
    record(CellRule::loopThenNaturalEnd, pendingLoop_.cell);
  if (naturalEnd) pendingLoop_.active = false;
}

// Only the voices' positions matter here: where a sample has run out, its voice stops.
void DifferenceFinder::mixTick() {
  static float scratch[2 * mixChunkFrames];
  for (int32_t left = song_->samplesPerTick; left > 0; left -= mixChunkFrames)
    mixVoices(scratch, std::min(left, mixChunkFrames));
}

void DifferenceFinder::remember() {
  int count = playedChannelCount(*song_);
  for (int c = 0; c < count; ++c) {
    const Channel& channel = channels[c];
    before_[c] = {channel.period,
                  channel.volume,
                  channel.panning,
                  channel.fadeoutVolume,
                  channel.keyOff,
                  channel.instrumentIndex,
                  channel.volumeEnvelopeState,
                  channel.panningEnvelopeState};
  }
}

}  // namespace vantor::tool
