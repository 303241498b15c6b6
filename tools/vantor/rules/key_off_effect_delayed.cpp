// Kxx releases the note on the row's first tick in vantor, whatever xx says. Trackers
// release it on tick xx, and where xx is the row's length or more not within the row.
// So an instrument without a volume envelope falls silent xx ticks early (heard where the
// note sounds then; for a single tick, where the rest of the song does not cover it), and
// one with an envelope starts its release that much early: heard where the early start
// lasts 50 ms or more and the release is fast enough to tell, the fadeout or the envelope
// past its sustain point halving the level within a second. Without a sustain point the
// envelope runs alike in both and only the fadeout parts them: where the next row's note
// replaces this one, heard only where the two fadeouts lay 2.5 dB apart for 50 ms.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int32_t earlyHeardFrames = 2205;  // 50 ms
constexpr int32_t oneSecond = 44100;

// Whether the release of the note the channel holds halves its level within a second.
bool fastRelease(const Instrument& instrument, const Channel& channel, int32_t samplesPerTick) {
  int32_t ticksInSecond = std::max(1, oneSecond / std::max(1, samplesPerTick));
  if (int64_t{instrument.fadeout} * ticksInSecond >= fullFadeout / 2) return true;
  const Envelope envelope = volumeEnvelope(instrument);
  if ((envelope.type & EnvelopeSustain) == 0 || channel.volumeEnvelopeState.done) return false;
  int sustain = std::min<int>(envelope.sustainPoint, envelope.pointCount - 1);
  if (sustain < 0 || channel.volumeEnvelopeState.point > sustain + 1) return false;
  const EnvelopePoint& held = envelope.points[sustain];
  for (int i = sustain + 1; i < envelope.pointCount && i < envelopePointSlots; ++i) {
    if (envelope.points[i].x - held.x > ticksInSecond) break;
    if (2 * envelope.points[i].y <= held.y) return true;
  }
  return false;
}

class KeyOffEffectDelayed : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "Kxx with xx above 0", "vantor releases the note on the row's first tick",
        "trackers release it on tick xx (where xx is the row's length or more, not within the row)",
        "write a key-off note in the row where the note should end"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    for (int c : view.channelIndices()) followFadeout(view, c, heard);
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::KeyOff || cell.effectParam == 0 || cell.note == keyOffNote) continue;
      const Channel& channel = view.channel(c);
      bool releasedBefore = view.before(c).keyOff && cell.instrument == 0 && !givesNote(cell);
      int ticksEarly = std::min<int>(cell.effectParam, song.speed + song.patternDelayTicks);
      if (releasedBefore || ticksEarly < 1 || !soundsOn(view, c)) continue;
      const Instrument& instrument = *selectSource(view.song(), channel).instrument;
      if (withoutVolumeEnvelope(view, channel)) {
        double level = channelLevel(channel.volume, 64, 65536, song.globalVolume);
        // A single tick is a short blip of the note, heard where the rest does not cover it.
        if (ticksEarly == 1 ? heardInMix(view, c, 0, level) : level >= silentLevel) heard.at(view.here(c));
      } else if (ticksEarly * song.samplesPerTick >= earlyHeardFrames &&
                 channelLevel(channel, song) >= silentLevel &&
                 fastRelease(instrument, channel, song.samplesPerTick)) {
        if (volumeEnvelope(instrument).type & EnvelopeSustain) {
          heard.at(view.here(c));
        } else {
          bool inRow = cell.effectParam < song.speed + song.patternDelayTicks;
          fades_[c] = {true, view.here(c), inRow ? cell.effectParam : -1, fullFadeout, 0};
          addTick(view, c, heard);
        }
      }
    }
  }

 private:
  // Trackers' fadeout beside vantor's, from the Kxx to the next row.
  struct Fade {
    bool active;
    CellPosition cell;
    int releaseTick;  // -1: not within the row
    int32_t trackers;
    int32_t apartFrames;
  };

  void followFadeout(const TickView& view, int c, Heard& heard) {
    Fade& fade = fades_[c];
    if (!fade.active) return;
    if (!view.rowTick()) {
      addTick(view, c, heard);
      return;
    }
    fade.active = false;
    // A note played on in vantor's release goes on apart; one the row's note replaces was
    // heard only if the fadeouts lay apart for 50 ms (named then).
    if (!(view.channel(c).updateFlags & Trigger)) heard.at(fade.cell);
  }

  // Heard once the fadeouts have lain apart for 50 ms, without waiting for the next row
  // (the song's last row has none).
  void addTick(const TickView& view, int c, Heard& heard) {
    Fade& fade = fades_[c];
    const Channel& channel = view.channel(c);
    Song& song = view.song();
    int32_t rate = selectSource(song, channel).instrument->fadeout;
    if (fade.releaseTick >= 0 && view.tickInRow() >= fade.releaseTick)
      fade.trackers = std::max(0, fade.trackers - rate);
    int32_t envelope = channel.volumeEnvelopeState.value;
    if (levelsDiffer(channelLevel(channel, song),
                     channelLevel(channel.volume, envelope, fade.trackers, song.globalVolume)))
      fade.apartFrames += song.samplesPerTick;
    if (fade.apartFrames >= levelHeardFrames) {
      heard.at(fade.cell);
      fade.active = false;
    }
  }

  std::array<Fade, channelTableSize> fades_{};
};

const RuleRegistration registered(make<KeyOffEffectDelayed>);

}  // namespace

}  // namespace vantor::tool::rules
