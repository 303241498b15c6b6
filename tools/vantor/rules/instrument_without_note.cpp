// An instrument number without a note (or with a key-off) gives the sample that plays
// on the new instrument's volume, envelopes and fadeout; trackers keep the playing
// instrument until the next note. Heard where the two instruments would make the note
// sound otherwise: another volume or panning, or another auto-vibrato whose swings may
// lie 15 cents apart where the note's pitch stands out, or, with a key-off in the same
// row or a later one before the next note, another fadeout, followed until the next
// note. (Other envelopes alone are not named: one player takes the new instrument's, as
// vantor does.) An instrument number that names no instrument with samples gives
// vantor's note the volume 0, while trackers play on.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int audiblePanning = 64;

bool sameAutoVibrato(const Instrument& a, const Instrument& b) {
  if (a.vibratoDepth == 0 || b.vibratoDepth == 0) return a.vibratoDepth == b.vibratoDepth;
  return a.vibratoType == b.vibratoType && a.vibratoSweep == b.vibratoSweep &&
         a.vibratoRate == b.vibratoRate && a.vibratoDepth == b.vibratoDepth;
}

class InstrumentWithoutNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "an instrument number without a note",
        "vantor gives the sample that plays on the new instrument's volume, envelopes and fadeout",
        "trackers keep the playing instrument until the next note",
        "give an instrument number without a note only for the instrument that plays"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) followFadeout(view, c, heard);
    if (!view.rowTick()) return;
    Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      followLaterKeyOff(view, c);
      uint8_t playing = view.before(c).instrumentIndex;
      if (cell.instrument == 0 || (cell.note != 0 && cell.note != keyOffNote) || isTonePortamentoRow(cell) ||
          playing == cell.instrument - 1 || !soundsOn(view, c))
        continue;
      Channel old = channel;
      old.instrumentIndex = playing;
      ChannelSource theirs = selectSource(song, old);
      ChannelSource ours = selectSource(song, channel);
      const Sample& played = *channel.voice->sample;
      // The instrument number gives the note a volume again in both, also after a key-off.
      bool volumeHeard = heardInMix(view, c, channelLevel(ours.sample->volume, 64, 65536, song.globalVolume),
                                    channelLevel(played.volume, 64, 65536, song.globalVolume));
      bool panningHeard =
          std::abs(static_cast<int>(std::min<uint32_t>(ours.sample->panning, 255)) -
                   static_cast<int>(std::min<uint32_t>(played.panning, 255))) >= audiblePanning &&
          channelLevel(channel, song) >= silentLevel;
      // Two auto-vibratos lie at most their two depths apart, in periods.
      int32_t swing = ours.instrument->vibratoDepth + theirs.instrument->vibratoDepth;
      bool vibratoHeard = !sameAutoVibrato(*ours.instrument, *theirs.instrument) &&
                          centsApart(song, channel.period, channel.period + swing) >= audibleCents &&
                          pitchHeardInMix(view, c, channelLevel(channel, song));
      if (volumeHeard || panningHeard || vibratoHeard) heard.at(view.here(c));
      if (ours.instrument->fadeout == theirs.instrument->fadeout) continue;
      if (keyOff(cell)) {
        startFade(c, view.here(c), theirs.instrument->fadeout);
      } else {
        waiting_[c] = {true, view.here(c), theirs.instrument->fadeout, 0};
      }
    }
  }

 private:
  // With a key-off in the same row, or in a later one before the next note, the note
  // fades: at the new instrument's rate in vantor, at the playing one's in trackers, until
  // the next note or instrument number.
  struct Fade {
    bool active;
    CellPosition cell;  // the instrument number
    int32_t rate;
    int32_t trackers;
  };

  static bool keyOff(const NoteCell& cell) {
    return cell.note == keyOffNote || (cell.effect == effect::KeyOff && cell.effectParam == 0);
  }

  void startFade(int c, CellPosition cell, int32_t rate) {
    fades_[c] = {true, cell, rate, std::max(0, fullFadeout - rate)};
    waiting_[c].active = false;
  }

  // An instrument number whose fadeout differs waits for a key-off until the next note.
  void followLaterKeyOff(const TickView& view, int c) {
    Fade& waiting = waiting_[c];
    const NoteCell& cell = view.cell(c);
    if (!waiting.active) return;
    if ((view.channel(c).updateFlags & Trigger) || cell.instrument != 0) {
      waiting.active = false;
    } else if (keyOff(cell)) {
      startFade(c, waiting.cell, waiting.rate);
    }
  }

  void followFadeout(const TickView& view, int c, Heard& heard) {
    Fade& fade = fades_[c];
    if (!fade.active) return;
    const Channel& channel = view.channel(c);
    if (view.rowTick() && ((channel.updateFlags & Trigger) || view.cell(c).instrument != 0)) {
      fade.active = false;
      return;
    }
    fade.trackers = std::max(0, fade.trackers - fade.rate);
    if (!soundsOn(view, c)) return;
    double vantor = channelLevel(channel, view.song());
    double trackers = channelLevel(channel.volume, channel.volumeEnvelopeState.value, fade.trackers,
                                   view.song().globalVolume);
    if (!inFadeTail(vantor, trackers) && levelsDiffer(vantor, trackers) &&
        heardInMix(view, c, vantor, trackers))
      recordLevel(heard, fade.cell, vantor, trackers);
  }

  std::array<Fade, channelTableSize> fades_{};
  std::array<Fade, channelTableSize> waiting_{};
};

const RuleRegistration registered(make<InstrumentWithoutNote>);

}  // namespace

}  // namespace vantor::tool::rules
