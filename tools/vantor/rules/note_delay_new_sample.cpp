// EDx with an instrument number but no note restarts the playing note at the delayed
// tick with the new instrument's sample, at the pitch worked out for the sample before
// it (its relative note and finetune). Trackers play it as that note of the new sample.
// Heard where the two pitches lie 15 cents or more apart.
#include "rule_support.h"
#include "sequencer/pitch.h"

namespace vantor::tool::rules {

namespace {

class NoteDelayNewSample : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"EDx with an instrument number of another tuning, without a note",
                                   "vantor plays the new sample at the pitch of the one before",
                                   "trackers play it at its own pitch for the note",
                                   "write the note with the instrument number"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (view.rowTick()) return;
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (!delayedNoteStartsNow(view, c) || cell.instrument == 0 || cell.note != 0) continue;
      const Sample& sample = *selectSource(view.song(), channel).sample;
      int32_t theirs =
          notePeriod(song, static_cast<uint8_t>(channel.note + sample.relativeNote), sample.finetune);
      if (sample.length > 0 && centsApart(song, channel.period, theirs) >= audibleCents &&
          pitchHeardInMix(view, c, channelLevel(channel, song)))
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<NoteDelayNewSample>);

}  // namespace

}  // namespace vantor::tool::rules
