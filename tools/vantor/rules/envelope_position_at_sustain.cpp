// Lxx to the first point of a volume envelope whose sustain point is that first point:
// vantor places the cursor on the way to the second point, so the envelope moves on
// while the key is still down. Trackers hold it at the sustain point. (At any later
// sustain point, both hold.) Heard where the second point's value differs from the
// first's, while the note sounds with its key down.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class EnvelopePositionAtSustain : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"Lxx to the first point of a volume envelope that sustains there",
                                   "vantor moves the envelope on past the sustain point",
                                   "trackers hold it at the sustain point until the key-off",
                                   "put the sustain point on a later point, or leave out the Lxx"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::SetEnvelopePosition) continue;
      const Channel& channel = view.channel(c);
      const Envelope envelope = volumeEnvelope(*selectSource(view.song(), channel).instrument);
      if ((envelope.type & EnvelopeOn) && (envelope.type & EnvelopeSustain) && envelope.sustainPoint == 0 &&
          envelope.pointCount >= 2 && cell.effectParam == envelope.points[0].x &&
          envelope.points[1].y != envelope.points[0].y && !channel.keyOff && soundsOn(view, c))
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<EnvelopePositionAtSustain>);

}  // namespace

}  // namespace vantor::tool::rules
