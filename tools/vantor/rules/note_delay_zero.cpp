// ED0 holds the channel as it is for the whole row in vantor: the row tick takes the
// note and the volume back and no effect tick is tick 0, so the note never plays and
// the row's volume column, instrument and key-off are not heard until the next row.
// Trackers play such a row at once, as if there were no delay. Not heard while the
// global volume is 0.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class NoteDelayZero : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"ED0",
                                   "vantor holds the channel as it is for the whole row: no note, no change",
                                   "trackers play the row at once", "leave out ED0"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick() || songSilent(view)) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (!isExtended(cell, effect::NoteDelay) || extendedValue(cell) != 0) continue;
      const Channel& channel = view.channel(c);
      bool note = givesNote(cell) && selectSource(view.song(), channel).sample->length > 0 &&
                  (cell.instrument != 0 || channel.volume > 0);
      bool change =
          (cell.note == keyOffNote || cell.instrument != 0 || cell.volume != 0) && soundsOn(view, c);
      if (note || change) heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<NoteDelayZero>);

}  // namespace

}  // namespace vantor::tool::rules
