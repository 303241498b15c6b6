// A key-off note with EDx, on an instrument without a volume envelope: at tick x vantor
// resets the channel and starts the note again; trackers silence it there. (With a
// volume envelope, one tracker keeps the key down as vantor does.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class KeyOffWithNoteDelay : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a key-off with EDx, instrument without volume envelope",
                                   "vantor starts the note again at the delayed tick",
                                   "trackers silence it there", "write the key-off without EDx, a row later"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (cell.note == keyOffNote && delayedNoteStartsNow(view, c) && withoutVolumeEnvelope(view, channel) &&
          soundsOn(view, c) && channelLevel(channel, view.song()) >= silentLevel)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<KeyOffWithNoteDelay>);

}  // namespace

}  // namespace vantor::tool::rules
