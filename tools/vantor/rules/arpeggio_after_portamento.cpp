// Arpeggio on a note that a portamento has moved off its semitone: vantor adds x and y
// semitones to the pitch as the portamento left it. Trackers take the arpeggio's notes
// from their table of notes, from a semitone next to that pitch (the players round to
// different ones). Heard where the pitch lies 15 cents or more from every semitone of
// the note's own tuning, on a row whose x or y is above 0, while the note sounds.
#include <cmath>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class ArpeggioAfterPortamento : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "0xy (arpeggio) after a portamento that ended between semitones",
        "vantor adds x and y to the pitch the portamento left", "trackers add them to a semitone next to it",
        "end the portamento on the note (3xx), or write the arpeggio's base as a new note"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::Arpeggio || cell.effectParam == 0 || song.speed + song.patternDelayTicks < 2)
        continue;
      const Channel& channel = view.channel(c);
      double cents = std::fmod(centsApart(song, channel.period, channel.notePeriod), 100.0);
      if (std::min(cents, 100.0 - cents) >= audibleCents && soundsOn(view, c) &&
          pitchHeardInMix(view, c, channelLevel(channel, song)))
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<ArpeggioAfterPortamento>);

}  // namespace

}  // namespace vantor::tool::rules
