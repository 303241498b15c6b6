// A note without an instrument number on a channel that has had none, or a retrigger
// (Rxy, E9x, or EDx without a note) on a channel that has played no note: vantor starts instrument 1's sample at
// the channel's volume, which is 0 until a volume, or an instrument number without a note,
// gives it one. Trackers have no instrument, or no note, to play and are silent until a
// note with an instrument number (an instrument number alone gives them one for the notes
// after it). Heard where vantor's sound is heard in the mix; named at the note or retrigger.
#include <optional>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class NoteBeforeAnyInstrument : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a note or retrigger on a channel that has had no instrument number",
                                   "vantor plays instrument 1's sample, heard once a volume or an instrument "
                                   "number gives it one",
                                   "trackers play nothing until a note with an instrument number",
                                   "give the channel's first note its instrument number"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Unplayed& unplayed = unplayed_[c];
      if (view.rowTick() && cell.instrument != 0) unplayed.hadInstrument = true;
      bool started = channel.updateFlags & Trigger;
      bool noteStarts =
          view.rowTick() ? givesNote(cell) && started : delayedNoteStartsNow(view, c) && givesNote(cell);
      if (noteStarts) {
        unplayed.trackersPlay = unplayed.hadInstrument;
        unplayed.note = unplayed.hadInstrument ? std::optional<CellPosition>{} : view.here(c);
      } else if (started && !unplayed.trackersPlay && !unplayed.note) {
        unplayed.note = view.here(c);  // a retrigger with nothing played yet
      }
      if (!unplayed.note || !soundsOn(view, c)) continue;
      double vantor = channelLevel(channel, view.song());
      if (heardInMix(view, c, vantor, 0.0)) heard.at(*unplayed.note);
    }
  }

 private:
  struct Unplayed {
    bool hadInstrument;
    bool trackersPlay;                 // a note with an instrument has started
    std::optional<CellPosition> note;  // the note or retrigger vantor plays and trackers do not
  };
  std::array<Unplayed, channelTableSize> unplayed_{};
};

const RuleRegistration registered(make<NoteBeforeAnyInstrument>);

}  // namespace

}  // namespace vantor::tool::rules
