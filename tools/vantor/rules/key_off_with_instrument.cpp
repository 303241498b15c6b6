// K00 with an instrument number and no note, on an instrument without a volume
// envelope: vantor silences the note, as a key-off does; trackers take the instrument
// number's volume and the note plays on. (A key-off note with an instrument number is
// cut by one tracker as vantor does; with a volume envelope, too.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffWithInstrument : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"K00 with an instrument number, instrument without volume envelope",
                                   "vantor silences the note", "trackers play it on at the instrument's volume",
                                   "write the key-off without the instrument number"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::KeyOff || cell.effectParam != 0 || cell.instrument == 0 || cell.note != 0)
        continue;
      const Channel& channel = view.channel(c);
      if (withoutVolumeEnvelope(view, channel) && samplePlays(channel) &&
          channelLevel(channel.volume, 64, 65536, view.song().globalVolume) >= silentLevel)
        heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffWithInstrument>);

}  // namespace

}  // namespace vantor::tool::rules
