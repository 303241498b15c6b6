// Arpeggio above C-8: trackers take the arpeggio's notes from their table of periods,
// which ends at C-8 (the note with the sample's relative note, 96 semitones above C-0),
// so x or y semitones that would reach above it play C-8. vantor plays the notes above
// it as they are. Heard on a row where x or y reaches above C-8 on a tick of the row,
// while the note sounds.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int topOfTrackersTable = 96;  // C-8, counted from C-0

class ArpeggioAboveTop : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"0xy (arpeggio) reaching above C-8",
                                   "vantor plays the arpeggio's notes above C-8",
                                   "trackers play C-8 in their place",
                                   "keep the note with the relative note and x or y at C-8 or below"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    int rowTicks = song.speed + song.patternDelayTicks;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::Arpeggio || cell.effectParam == 0) continue;
      const Channel& channel = view.channel(c);
      // x plays on the row's second tick, y on its third.
      bool xAbove = rowTicks >= 2 && channel.realNote + (cell.effectParam >> 4) > topOfTrackersTable;
      bool yAbove = rowTicks >= 3 && channel.realNote + (cell.effectParam & 0x0F) > topOfTrackersTable;
      if ((xAbove || yAbove) && soundsOn(view, c) && pitchHeardInMix(view, c, channelLevel(channel, song)))
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<ArpeggioAboveTop>);

}  // namespace

}  // namespace vantor::tool::rules
