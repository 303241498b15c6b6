// A note that the sample's relative note takes outside the range trackers play (note
// 0, C-0, up to note 118, A#9): vantor plays it, keeping the sum in 8 bits, so that a
// note below the range plays far above it. Trackers leave such a note out, or play the
// nearest note of the range, never the one vantor plays.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int lowestPlayed = 0;
constexpr int highestPlayed = 118;

class NoteBeyondRange : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a note beyond C-0..A#9 through the sample's relative note",
                                   "vantor plays it (below the range: far above it)",
                                   "trackers leave the note out",
                                   "keep the note and the relative note within C-0..A#9"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (!givesNote(cell)) continue;
      const Channel& channel = view.channel(c);
      const Sample& sample = *selectSource(view.song(), channel).sample;
      int note = cell.note - 1 + sample.relativeNote;
      bool heardInTrackers = cell.instrument != 0 || channel.volume > 0;
      if ((note < lowestPlayed || note > highestPlayed) && sample.length > 0 && heardInTrackers)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<NoteBeyondRange>);

}  // namespace

}  // namespace vantor::tool::rules
