// On the Amiga frequency table vantor works a note's period out by its own formula and
// drops the fraction; trackers play the note at its own pitch. Less than one period unit
// is lost, which is a few cents where periods are long, and up to a fifth of a semitone
// sharp at the top of the keyboard, where they are short (85 at realNote 100). Heard while
// the note plays at its own period, 15 cents or more sharp, and stands out enough for its
// pitch to be heard; named at the note. Once a slide or a vibrato moves the period, the
// rules of those effects judge it.
#include <cmath>
#include <optional>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

// The period of a real note on the Amiga table without rounding: 1712 at note 48, twice as
// long an octave lower, a finetune of 128 a semitone up.
double exactAmigaPeriod(int realNote, int finetune) {
  return 13.375 * std::exp2((132.0 - realNote - finetune / 128.0) / 12.0);
}

class AmigaHighNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a note at the top of the Amiga frequency table",
                                   "vantor rounds its short period down and plays it up to a fifth of a "
                                   "semitone sharp",
                                   "trackers play it in tune",
                                   "use the linear frequency table, or a sample recorded an octave higher "
                                   "and played an octave lower"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    Song& song = view.song();
    if (song.flags & LinearFrequencyTable) return;
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      if ((channel.updateFlags & Trigger) && givesNote(view.cell(c))) note_[c] = view.here(c);
      if (!note_[c] || channel.period != channel.notePeriod || channel.periodOffset != 0 || channel.period <= 0)
        continue;
      double exact = exactAmigaPeriod(channel.realNote, selectSource(song, channel).sample->finetune);
      double sharp = 1200.0 * std::log2(exact / channel.period);
      if (sharp >= audibleCents && soundsOn(view, c) &&
          pitchHeardInMix(view, c, channelLevel(channel, song)))
        heard.at(*note_[c]);
    }
  }

 private:
  std::array<std::optional<CellPosition>, channelTableSize> note_{};
};

const RuleRegistration registered(make<AmigaHighNote>);

}  // namespace

}  // namespace vantor::tool::rules
