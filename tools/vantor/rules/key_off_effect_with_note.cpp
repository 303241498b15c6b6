// K00 with a note: vantor starts the note and releases it on the same tick, so that it
// falls silent at once on an instrument without a volume envelope and plays its release
// on one with an envelope. Trackers take such a row as a key-off of the note that plays:
// the new note never starts, and the row's instrument number and volume act on the old
// note, which then sounds on. Heard where vantor's released note sounds, or where vantor
// is silent while trackers' old note sounds on at the row's instrument or volume. (With
// the volume column's tone portamento beside it, trackers do not agree with each other.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffEffectWithNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "K00 with a note", "vantor starts the note and releases it at once",
        "trackers take the row as a key-off of the note that plays, and the new note does not start",
        "write a key-off note (===) instead, without an instrument number"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::KeyOff || cell.effectParam != 0 || !givesNote(cell) ||
          volumeColumnPortamento(cell))
        continue;
      const Channel& channel = view.channel(c);
      bool vantorSounds = soundsOn(view, c) && channelLevel(channel, song) >= silentLevel;
      bool trackersSoundOn = view.before(c).sounding &&
                             (cell.instrument != 0 || (volumeColumnSetsVolume(cell) && cell.volume > 0x10));
      // Where a song of another program is played as an older editor played it, one
      // tracker starts the note as vantor does, without the release.
      if (view.savedBy() == SavedBy::otherAsFastTracker ? !vantorSounds && trackersSoundOn
                                                        : vantorSounds || trackersSoundOn)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffEffectWithNote>);

}  // namespace

}  // namespace vantor::tool::rules
