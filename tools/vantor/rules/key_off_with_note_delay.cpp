// A key-off note with EDx, on an instrument without a volume envelope: vantor takes the
// key-off on the row's first tick, silencing the note at once, and at tick x resets the
// channel and starts the note again; trackers silence it at tick x. Where x is the row's
// length or more, no such tick comes: trackers play the note on, vantor has silenced it.
// (With a volume envelope, one tracker keeps the key down as vantor does.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffWithNoteDelay : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a key-off with EDx, instrument without volume envelope",
                                   "vantor starts the note again at the delayed tick, or where x is the "
                                   "row's length or more silences it on the row's first tick",
                                   "trackers silence it at the delayed tick, and play it on where none comes",
                                   "write the key-off without EDx, a row later"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (cell.note != keyOffNote || !isExtended(cell, effect::NoteDelay) ||
          !withoutVolumeEnvelope(view, channel) || !soundsOn(view, c))
        continue;
      if (view.rowTick()) {
        // What trackers go on playing: the note as it was before the row, unless released already.
        const ChannelBefore& before = view.before(c);
        double trackers =
            channelLevel(channel.volume, before.keyOff ? 0 : 64, before.fadeoutVolume, song.globalVolume);
        bool noDelayedTick = extendedValue(cell) >= song.speed + song.patternDelayTicks;
        if (noDelayedTick && trackers >= silentLevel) heard.at(view.here(c));
      } else if (delayedNoteStartsNow(view, c) && channelLevel(channel, song) >= silentLevel) {
        heard.at(view.here(c));
      }
    }
  }
};

const RuleRegistration registered(make<KeyOffWithNoteDelay>);

}  // namespace

}  // namespace vantor::tool::rules
