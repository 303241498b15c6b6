// An instrument number without a note (or with a key-off) gives the sample that plays
// on the new instrument's volume, envelopes and fadeout; trackers keep the playing
// instrument until the next note.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class InstrumentWithoutNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "an instrument number without a note",
        "vantor gives the sample that plays on the new instrument's volume, envelopes and fadeout",
        "trackers keep the playing instrument until the next note",
        "give an instrument number without a note only for the instrument that plays"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (cell.instrument != 0 && (cell.note == 0 || cell.note == keyOffNote) && !isTonePortamentoRow(cell) &&
          view.before(c).instrumentIndex != cell.instrument - 1 && sounding(view.channel(c).voice))
        heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<InstrumentWithoutNote>);

}  // namespace

}  // namespace vantor::tool::rules
