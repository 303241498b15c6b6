// After an E6x loop back to a row other than 0, a pattern that runs out by itself is
// followed by row 0 of the next pattern in vantor; trackers start the next pattern at
// the loop's first row. A break or jump names its own row in both, and a next pattern
// too short for that row starts at row 0 in both.
#include "rule_support.h"
#include "sequencer/song_position.h"

namespace vantor::tool::rules {

namespace {

class LoopThenNaturalEnd : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "E6x loop followed by the pattern's natural end", "vantor starts the next pattern at row 0",
        "trackers start it at the loop's first row", "start loops at row 0, or end such a pattern with D00"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    if (pending_.active && pending_.order != song.orderPosition) pending_.active = false;
    bool breakOrJump = false;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect == effect::PositionJump || cell.effect == effect::PatternBreak) breakOrJump = true;
      if (isExtended(cell, effect::PatternLoop) && extendedValue(cell) != 0 && view.channel(c).loopCount != 0)
        pending_ = {true, song.orderPosition, view.channel(c).loopRow, view.here(c)};
    }
    if (breakOrJump) pending_.active = false;
    bool naturalEnd = !breakOrJump && song.nextOrderPosition >= 0;
    if (naturalEnd && pending_.active && pending_.loopRow != 0 &&
        static_cast<uint32_t>(pending_.loopRow) < patternRowCount(song, song.nextOrderPosition))
      heard.at(pending_.cell);
    if (naturalEnd) pending_.active = false;
  }

 private:
  struct PendingLoop {
    bool active;
    int order;
    int loopRow;
    CellPosition cell;
  };
  PendingLoop pending_{};
};

const RuleRegistration registered(make<LoopThenNaturalEnd>);

}  // namespace

}  // namespace vantor::tool::rules
