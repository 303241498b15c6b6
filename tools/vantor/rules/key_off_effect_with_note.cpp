// K00 with a note: vantor starts the note and releases it on the same tick; trackers
// play the note and leave the key down. Heard where the release changes the note's
// level before the channel's next note.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int neverReleased = 1 << 30;

class KeyOffEffectWithNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"K00 with a note", "vantor releases the new note at once",
                                   "trackers play it and keep the key down",
                                   "write the key-off in a row of its own"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::KeyOff || cell.effectParam != 0 || !givesNote(cell)) continue;
      const Channel& channel = view.channel(c);
      if (!samplePlays(channel)) continue;
      Channel start = rowStart(channel, view.before(c), cell);
      start.keyOff = 0;
      double scale = channelLevel(channel.volume, 64, 65536, song.globalVolume);
      if (releaseHeard(start, *selectSource(view.song(), channel).instrument, ticksUntilChannelChanges(song, c), 0,
                       neverReleased, scale))
        heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffEffectWithNote>);

}  // namespace

}  // namespace vantor::tool::rules
