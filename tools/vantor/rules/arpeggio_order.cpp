// Arpeggio in vantor follows the tick counter: x semitones on ticks 1, 4, 7, ..., y on
// ticks 2, 5, 8, ... Trackers play songs that OpenMPT saved with y first, and past the
// sixteenth tick in a pattern of their own. (For songs of FastTracker 2 and of other
// trackers, one tracker plays the arpeggio as vantor does.) Heard where x and y differ
// on a row of three ticks or more, or on a row past sixteen ticks.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int ticksInTrackersTable = 16;
constexpr double clearLevel = 0.1;  // -20 dB: a pitch clearly heard

class ArpeggioOrder : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"0xy (arpeggio) in a song OpenMPT saved",
                                   "vantor plays x, then y, on the ticks after the row's first",
                                   "trackers play y first, and another order past the sixteenth tick",
                                   "write x and y the other way round, at most 16 ticks a row"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick() || view.savedBy() != SavedBy::openMpt) return;
    const Song& song = view.song();
    int rowTicks = song.speed + song.patternDelayTicks;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::Arpeggio || cell.effectParam == 0) continue;
      bool orderHeard = (cell.effectParam >> 4) != (cell.effectParam & 0x0F) && rowTicks >= 3;
      const Channel& channel = view.channel(c);
      // A note that fades out after its release hides its pitch in the mix.
      if ((orderHeard || rowTicks > ticksInTrackersTable) && samplePlays(channel) && !channel.keyOff &&
          channelLevel(channel, song) >= clearLevel)
        heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<ArpeggioOrder>);

}  // namespace

}  // namespace vantor::tool::rules
