// E90 never retriggers in vantor; trackers start the last note again on the row tick.
// Heard where the note started again would sound.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class RetriggerZero : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"E90 without a note", "vantor does not retrigger",
                                   "trackers restart the note", "write the note again"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (isExtended(cell, effect::Retrigger) && extendedValue(cell) == 0 &&
          !(channel.updateFlags & Trigger) && view.played(c) &&
          selectSource(view.song(), channel).sample->length > 0 &&
          channelLevel(channel, view.song()) >= silentLevel)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<RetriggerZero>);

}  // namespace

}  // namespace vantor::tool::rules
