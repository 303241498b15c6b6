// K00 with a note, on an instrument without a volume envelope: vantor starts the note
// and silences it on the same tick; trackers play the note. (With a volume envelope,
// one tracker releases the note as vantor does.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffEffectWithNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"K00 with a note, instrument without volume envelope",
                                   "vantor silences the new note at once", "trackers play it",
                                   "write the key-off in a row of its own"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::KeyOff || cell.effectParam != 0 || !givesNote(cell)) continue;
      const Channel& channel = view.channel(c);
      if (withoutVolumeEnvelope(view, channel) && samplePlays(channel) &&
          channelLevel(channel.volume, 64, 65536, view.song().globalVolume) >= silentLevel)
        heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffEffectWithNote>);

}  // namespace

}  // namespace vantor::tool::rules
