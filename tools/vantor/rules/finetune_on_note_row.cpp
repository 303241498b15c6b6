// E5x with a note: trackers tune that note by (x - 8) / 8 of a semitone. vantor stores x
// itself as the sample's finetune (a few cents) after the note has taken its pitch, so
// the note plays with the sample's finetune as it was. Heard where the two pitches lie
// 15 cents or more apart, while the note sounds and stands out enough for its pitch to
// be heard.
#include "rule_support.h"
#include "sequencer/pitch.h"

namespace vantor::tool::rules {

namespace {

class FinetuneOnNoteRow : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "E5x (set finetune) with a note",
        "vantor plays the note with the sample's own finetune and stores x (a few cents) in the sample",
        "trackers tune the note by (x - 8) / 8 of a semitone", "set the finetune in the sample instead"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (!isExtended(cell, effect::SetFinetune) || !(channel.updateFlags & Trigger)) continue;
      int trackersFinetune = (extendedValue(cell) - 8) * 16;
      int32_t trackersPeriod = notePeriod(song, channel.realNote, trackersFinetune);
      if (centsApart(song, channel.notePeriod, trackersPeriod) >= audibleCents && soundsOn(view, c) &&
          pitchHeardInMix(view, c, channelLevel(channel, song)))
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<FinetuneOnNoteRow>);

}  // namespace

}  // namespace vantor::tool::rules
