// Kxx releases the note on the row's first tick in vantor, whatever xx says, and an
// instrument without a volume envelope falls silent at once. Trackers let such a note
// sound on until tick xx. (With a volume envelope, one tracker releases on the row's
// first tick as vantor does.) Heard where the note sounds when the row starts, for two
// ticks or more: a single tick passes as a click.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffEffectDelayed : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"Kxx with xx above 0, instrument without volume envelope",
                                   "vantor silences the note on the row's first tick",
                                   "trackers let it sound until tick xx",
                                   "write a key-off note in the row where the note should end"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::KeyOff || cell.effectParam == 0 || cell.note == keyOffNote) continue;
      const Channel& channel = view.channel(c);
      const ChannelBefore& before = view.before(c);
      bool releasedBefore = before.keyOff && cell.instrument == 0 && !givesNote(cell);
      int ticksSounding = std::min<int>(cell.effectParam, view.song().speed + view.song().patternDelayTicks);
      if (!releasedBefore && ticksSounding >= 2 && withoutVolumeEnvelope(view, channel) &&
          samplePlays(channel) &&
          channelLevel(channel.volume, 64, 65536, view.song().globalVolume) >= silentLevel)
        heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffEffectDelayed>);

}  // namespace

}  // namespace vantor::tool::rules
