// A key-off with an instrument number, on an instrument without a volume envelope:
// vantor silences the note, as a key-off does; trackers take the instrument number's
// volume and the note plays on. So for K00 with no note; for a key-off note, only in
// songs that FastTracker 2 did not save (for its songs, one tracker cuts the note as
// vantor does). With a volume envelope, one tracker releases the note as vantor does.
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

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      bool keyOffEffect = cell.effect == effect::KeyOff && cell.effectParam == 0 && cell.note == 0;
      bool keyOffNote = cell.note == rules::keyOffNote && !view.savedByFastTracker();
      if (cell.instrument == 0 || !(keyOffEffect || keyOffNote)) continue;
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
