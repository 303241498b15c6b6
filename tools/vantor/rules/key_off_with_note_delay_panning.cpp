// A key-off note with EDx and a panning in the volume column: at the delayed tick vantor
// resets the channel and sets the column's panning. Trackers leave the panning as it
// was on such a row. Heard where the two lie a quarter of the range apart, or more,
// while the note sounds.
#include <cstdlib>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int audiblePanning = 64;

class KeyOffWithNoteDelayPanning : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a key-off with EDx and a panning in the volume column",
                                   "vantor sets the panning at the delayed tick",
                                   "trackers leave the panning as it was",
                                   "set the panning in a row of its own, with 8xx or the volume column"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (cell.note != keyOffNote || !delayedNoteStartsNow(view, c) || !volumeColumnSetsPanning(cell) ||
          !view.played(c))
        continue;
      if (std::abs(channel.panning - view.before(c).panning) >= audiblePanning && soundsOn(view, c) &&
          channelLevel(channel, view.song()) >= silentLevel)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffWithNoteDelayPanning>);

}  // namespace

}  // namespace vantor::tool::rules
