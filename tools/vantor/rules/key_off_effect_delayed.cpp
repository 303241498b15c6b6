// Kxx releases the note on the row's first tick in vantor, whatever xx says. Trackers
// release it on tick xx, and where xx is the row's length or more not within the row.
// So an instrument without a volume envelope falls silent xx ticks early (heard where the
// note sounds then; for a single tick, where the rest of the song does not cover it), and
// one with an envelope starts its release that much early: heard where the early start
// lasts 50 ms or more and the release is fast enough to tell, the fadeout or the envelope
// past its sustain point halving the level within a second.
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
    if (!view.rowTick()) return;
    const Song& song = view.song();
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
        heard.at(view.here(c));
      }
    }
  }
};

const RuleRegistration registered(make<KeyOffEffectDelayed>);

}  // namespace

}  // namespace vantor::tool::rules
