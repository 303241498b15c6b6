// A key-off with an instrument number, on an instrument without a volume envelope:
// vantor silences the note, as a key-off does; trackers take the instrument number's
// volume and the note plays on. (For a key-off note in a song another program saved
// under FastTracker 2's name, one tracker cuts the note as vantor does.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffWithInstrument : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "a key-off with an instrument number, instrument without volume envelope", "vantor silences the note",
        "trackers play it on at the instrument's volume", "write the key-off without the instrument number"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      bool keyOffEffect = cell.effect == effect::KeyOff && cell.effectParam == 0 && cell.note == 0;
      bool keyOffNote = cell.note == rules::keyOffNote && view.savedBy() != SavedBy::otherAsFastTracker;
      if (cell.instrument == 0 || !(keyOffEffect || keyOffNote)) continue;
      const Channel& channel = view.channel(c);
      if (withoutVolumeEnvelope(view, channel) && soundsOn(view, c) &&
          channelLevel(channel.volume, 64, 65536, view.song().globalVolume) >= silentLevel)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffWithInstrument>);

}  // namespace

}  // namespace vantor::tool::rules
