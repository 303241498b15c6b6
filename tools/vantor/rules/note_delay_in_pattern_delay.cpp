// EEx lengthens the row in vantor by counting its ticks on, so an EDx at or past the
// speed reaches its tick and plays the note. Trackers repeat the row's ticks instead
// and never reach it: the note is not played. (In a song another program saved under
// FastTracker 2's name, one tracker plays the note as vantor does; with x below the
// speed, trackers do not agree with each other whether the repeats play it again.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class NoteDelayInPatternDelay : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"EDx at or past the speed in a row that EEx lengthens",
                                   "vantor plays the note in the row's added ticks", "trackers never play it",
                                   "delay the note by less than the speed"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (view.rowTick() || view.tickInRow() < view.song().speed ||
        view.savedBy() == SavedBy::otherAsFastTracker)
      return;
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      if (delayedNoteStartsNow(view, c) && selectSource(view.song(), channel).sample->length > 0)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<NoteDelayInPatternDelay>);

}  // namespace

}  // namespace vantor::tool::rules
