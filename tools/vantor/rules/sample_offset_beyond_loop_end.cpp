// 9xx at or beyond the loop end (the end, without a loop) cancels the note and rewinds
// whatever the channel's voice plays. Trackers start the row's note there, past its end,
// which leaves it silent; without a note to start they play on where the sample is. Heard
// where a sample sounds after the row: with a note, at all; without one, where the
// sample's start sounds otherwise than where it plays (startHeard: a sample that is one
// loop from its start only shifts its phase, an attack over within 10 ms passes unheard).
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class SampleOffsetBeyondLoopEnd : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"9xx beyond the sample's loop end", "vantor restarts the playing sample",
                                   "trackers are silent (without a note in the row, they play on)",
                                   "keep offsets below the loop end"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      // The row may have given the rewound voice a volume again.
      if (cell.effect != effect::SampleOffset || !(channel.updateFlags & Rewind) || !sounding(channel.voice))
        continue;
      bool startsNote = givesNote(cell) && !isTonePortamentoRow(cell) && !volumeColumnPortamento(cell);
      if (startsNote || startHeard(view, c, *channel.voice->sample)) heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<SampleOffsetBeyondLoopEnd>);

}  // namespace

}  // namespace vantor::tool::rules
