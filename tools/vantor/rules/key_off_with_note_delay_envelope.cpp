// A key-off note with EDx, on an instrument with a volume envelope: at tick x vantor
// resets the channel and starts the sample again from its start. Trackers restart the
// envelope there too, but the sample plays on where it is. (Whether the key stays
// released, trackers do not agree with each other.) Heard where the sample's start, an
// attack, sounds again (also after a stretch at volume 0, when the row sets a volume);
// startHeard: a sample that is one loop from its start only shifts its phase, and an
// attack over within 10 ms passes unheard.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffWithNoteDelayEnvelope : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a key-off with EDx, instrument with a volume envelope",
                                   "vantor starts the sample again from its start at the delayed tick",
                                   "trackers restart only the envelope there, and the sample plays on",
                                   "write the key-off without EDx, a row later"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (cell.note != keyOffNote || !delayedNoteStartsNow(view, c) || withoutVolumeEnvelope(view, channel) ||
          !view.played(c) || !soundsOn(view, c))
        continue;
      if (startHeard(view, c, *channel.voice->sample)) heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffWithNoteDelayEnvelope>);

}  // namespace

}  // namespace vantor::tool::rules
