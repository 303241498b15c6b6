// The volume column's tone portamento (Fx) is not a tone-portamento row: with a note,
// vantor takes the note's pitch at once and holds back only the restart; trackers
// slide to it.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class VolumeColumnPortamentoWithNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"volume-column tone portamento (Fx) with a note",
                                   "vantor jumps to the note at once", "trackers slide to it",
                                   "slide with effect 3xx"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (volumeColumnPortamento(cell) && givesNote(cell) && !isTonePortamentoRow(cell) &&
          sounding(channel.voice) && view.before(c).period != channel.notePeriod)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<VolumeColumnPortamentoWithNote>);

}  // namespace

}  // namespace vantor::tool::rules
