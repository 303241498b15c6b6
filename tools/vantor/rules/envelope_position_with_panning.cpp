// Lxx places the volume envelope only. Trackers move the panning envelope as well, but
// only where the volume envelope has a sustain point; without one they leave the
// panning envelope alone too.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class EnvelopePositionWithPanning : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"Lxx with a panning envelope", "vantor moves only the volume envelope",
                                   "trackers move the panning envelope too",
                                   "do not rely on Lxx for a panning envelope"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      const Instrument& instrument = *selectSource(view.song(), channel).instrument;
      if (view.cell(c).effect == effect::SetEnvelopePosition && envelopeMoves(panningEnvelope(instrument)) &&
          (instrument.volumeEnvelopeType & EnvelopeSustain) && sounding(channel.voice))
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<EnvelopePositionWithPanning>);

}  // namespace

}  // namespace vantor::tool::rules
