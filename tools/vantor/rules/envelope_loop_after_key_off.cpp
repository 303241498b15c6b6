// A volume envelope whose loop ends at its sustain point: after the key-off vantor takes
// the loop at its end as before, trackers leave it there and go on to the points after
// it (where the loop ends anywhere else, both keep looping). From the tick vantor jumps
// back, trackers' envelope is followed beside the replay until the next note; heard where
// the channel's level parts in the mix, named at the key-off.
#include <optional>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

// The envelope's value at a tick past its loop end, as trackers step it: along the
// segments after the loop, holding the last point's value.
int32_t valueAt(const Envelope& envelope, int32_t tick) {
  const EnvelopePoint* points = envelope.points;
  int last = std::min<int>(envelope.pointCount, envelopePointSlots) - 1;
  for (int i = envelope.loopEnd; i < last; ++i) {
    if (tick < points[i + 1].x && points[i + 1].x > points[i].x) {
      int32_t y = points[i].y +
                  (points[i + 1].y - points[i].y) * (tick - points[i].x) / (points[i + 1].x - points[i].x);
      return std::clamp(y, 0, 64);
    }
  }
  return std::min<int32_t>(points[last].y, 64);
}

bool loopEndsAtSustain(const Envelope& envelope) {
  return (envelope.type & EnvelopeOn) && (envelope.type & EnvelopeLoop) &&
         (envelope.type & EnvelopeSustain) && envelope.loopEnd == envelope.sustainPoint &&
         envelope.loopEnd < envelope.pointCount;
}

class EnvelopeLoopAfterKeyOff : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a key-off under a volume envelope whose loop ends at its sustain point",
                                   "vantor goes on looping the envelope after the key-off",
                                   "trackers leave the loop at its end and play the points after it",
                                   "end the loop on another point than the sustain point"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      if (!channel.keyOff) {
        trackers = {};
        continue;
      }
      if (!view.before(c).keyOff) trackers.keyOffAt = view.here(c);
      const Envelope envelope = volumeEnvelope(*selectSource(view.song(), channel).instrument);
      if (!loopEndsAtSustain(envelope) || !trackers.keyOffAt) continue;
      // vantor's cursor stepping back in time is its jump from the loop end.
      if (!trackers.tick && channel.volumeEnvelopeState.tick < view.before(c).volumeEnvelope.tick)
        trackers.tick = envelope.points[envelope.loopEnd].x;
      if (!trackers.tick) continue;
      int32_t value = valueAt(envelope, (*trackers.tick)++);
      double vantorLevel = channelLevel(channel, song);
      double trackersLevel = channelLevel(channel.volume, value, channel.fadeoutVolume, song.globalVolume);
      if (soundsOn(view, c) && heardInMix(view, c, vantorLevel, trackersLevel))
        recordLevel(heard, *trackers.keyOffAt, vantorLevel, trackersLevel);
    }
  }

 private:
  struct Trackers {
    std::optional<CellPosition> keyOffAt;  // the cell that released the note
    std::optional<int32_t> tick;           // trackers' envelope time, once vantor has looped back
  };
  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<EnvelopeLoopAfterKeyOff>);

}  // namespace

}  // namespace vantor::tool::rules
