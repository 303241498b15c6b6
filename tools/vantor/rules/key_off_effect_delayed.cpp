// Kxx releases the note on the row's first tick in vantor, whatever xx says; trackers
// release it on tick xx (not within the row when xx reaches past it). Heard where the
// release changes the channel's level before the tick trackers release it on.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffEffectDelayed : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"Kxx with xx above 0", "vantor releases the note on the row's first tick",
                                   "trackers release it on tick xx",
                                   "write a key-off note in the row where it should sound"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::KeyOff || cell.effectParam == 0 || cell.note == keyOffNote) continue;
      const Channel& channel = view.channel(c);
      Channel start = rowStart(channel, view.before(c), cell);
      if (start.keyOff || !samplePlays(channel)) continue;
      int rowTicks = song.speed + song.patternDelayTicks;
      double scale = channelLevel(channel.volume, 64, 65536, song.globalVolume);
      if (releaseHeard(start, *selectSource(view.song(), channel).instrument, rowTicks, 0, cell.effectParam,
                       scale))
        heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffEffectDelayed>);

}  // namespace

}  // namespace vantor::tool::rules
