// ED0 never plays its note in vantor: the row tick holds the note back and no effect
// tick is tick 0. Trackers play it at once, as if there were no delay.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class NoteDelayZero : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"ED0 with a note", "vantor never plays the note",
                                   "trackers play it at once", "leave out ED0"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (!isExtended(cell, effect::NoteDelay) || extendedValue(cell) != 0 || !givesNote(cell)) continue;
      const Channel& channel = view.channel(c);
      // Trackers play the note with the cell's instrument, or the channel's volume.
      bool trackersHearIt = cell.instrument != 0 || channel.volume > 0;
      if (selectSource(view.song(), channel).sample->length > 0 && trackersHearIt) heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<NoteDelayZero>);

}  // namespace

}  // namespace vantor::tool::rules
