// E5x rewrites the finetune of the sample itself in vantor, and every later note of the
// sample plays with it; trackers keep the sample's finetune for notes without E5x.
// Heard at such a note where the two pitches lie 15 cents or more apart, while the note
// sounds and stands out enough for its pitch to be heard, and the sample has a pitch (not
// a drum's noise); named there and at the E5x.
#include <unordered_map>

#include "rule_support.h"
#include "sequencer/pitch.h"

namespace vantor::tool::rules {

namespace {

class RetunedSample : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a note of a sample that E5x retuned earlier",
                                   "vantor plays it with the finetune E5x stored in the sample",
                                   "trackers play it with the sample's own finetune",
                                   "set the finetune in the sample instead of with E5x"};
    return words;
  }

  void examineFile(const FileView& file, std::vector<std::string>& /*where*/) override {
    const Song& song = file.song;
    for (int i = 0; i < song.instrumentCount && song.instruments != nullptr; ++i) {
      for (const Sample* sample : song.instruments[i].samples) {
        if (sample != nullptr) ownFinetune_[sample] = sample->finetune;
      }
    }
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      const Sample* sample = selectSource(view.song(), channel).sample;
      if (isExtended(cell, effect::SetFinetune)) retunedBy_[sample] = view.here(c);
      if (isExtended(cell, effect::SetFinetune) || !(channel.updateFlags & Trigger)) continue;
      auto own = ownFinetune_.find(sample);
      if (own == ownFinetune_.end() || sample->length == 0) continue;
      int32_t trackersPeriod = notePeriod(song, channel.realNote, own->second);
      if (centsApart(song, channel.notePeriod, trackersPeriod) >= audibleCents && soundsOn(view, c) &&
          pitchHeardInMix(view, c, channelLevel(channel, song)) && pitched(*sample))
        heard.at(retunedBy_[sample], view.here(c));
    }
  }

 private:
  std::unordered_map<const Sample*, int> ownFinetune_;
  std::unordered_map<const Sample*, CellPosition> retunedBy_;  // the last E5x of each sample
};

const RuleRegistration registered(make<RetunedSample>);

}  // namespace

}  // namespace vantor::tool::rules
