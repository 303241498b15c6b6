// On an instrument without a volume envelope, a key-off silences the note for good in
// vantor. Trackers only set its volume to 0: a volume given in the volume column with
// the key-off, or in a later row, or Cxx, makes the note sound again.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class VolumeAfterKeyOff : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a volume after a key-off, instrument without volume envelope",
                                   "vantor keeps the note silent", "trackers play it again at that volume",
                                   "start a new note instead"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (cell.instrument != 0 || !channel.keyOff || givesNote(cell)) continue;
      // Kxx releases on tick xx in trackers, after the row's volume: that is Kxx's own difference.
      if (cell.effect == effect::KeyOff && cell.effectParam != 0 && cell.note != keyOffNote &&
          !view.before(c).keyOff)
        continue;
      int volume = -1;
      if (volumeColumnSetsVolume(cell)) volume = cell.volume - 0x10;
      if (cell.effect == effect::SetVolume && (view.before(c).keyOff || cell.note == keyOffNote))
        volume = cell.effectParam;
      if (volume >= 0 && withoutVolumeEnvelope(view, channel) && soundsOn(view, c) &&
          channelLevel(volume, 64, 65536, view.song().globalVolume) >= silentLevel)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<VolumeAfterKeyOff>);

}  // namespace

}  // namespace vantor::tool::rules
