// EC0 never cuts in vantor: the cut happens on effect ticks only. Trackers cut the
// note on the row's first tick. Heard where the channel sounds after that tick.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class NoteCutZero : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"EC0", "vantor does not cut the note", "trackers cut it at once",
                                   "write C00, or EC1"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (isExtended(cell, effect::NoteCut) && extendedValue(cell) == 0 && soundsOn(view, c) &&
          channelLevel(channel, view.song()) >= silentLevel)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<NoteCutZero>);

}  // namespace

}  // namespace vantor::tool::rules
