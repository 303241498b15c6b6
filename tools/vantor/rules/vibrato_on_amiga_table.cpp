// A vibrato (4xy, 6xy, or the volume column's Bx) moves the pitch by the same offset on
// both frequency tables in vantor, and on the Amiga table that offset lies on the period,
// where a larger period is a lower pitch: vantor's vibrato there rises where trackers'
// falls, half a cycle apart. Heard where the two pitches lie 15 cents or more apart for
// 50 ms or more on the cell's account, while the note sounds and stands out enough for
// its pitch to be heard: the peaks of a shallow, fast vibrato pass too quickly to sound
// out of tune.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr uint8_t columnVibrato = 0xB;

class VibratoOnAmigaTable : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"vibrato (4xy, 6xy, Bx) on the Amiga frequency table",
                                   "vantor moves the pitch up where it should go down",
                                   "trackers move it down first, as on the linear table",
                                   "use the linear frequency table, or keep the vibrato shallow"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    if (song.flags & LinearFrequencyTable) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      bool vibrato = cell.effect == effect::Vibrato || cell.effect == effect::VibratoVolumeSlide ||
                     cell.volume >> 4 == columnVibrato;
      if (!vibrato || channel.periodOffset == 0) continue;
      int32_t vantor = channel.period + channel.periodOffset;
      int32_t trackers = channel.period - channel.periodOffset;
      if (centsApart(song, vantor, trackers) >= audibleCents && soundsOn(view, c) &&
          pitchHeardInMix(view, c, channelLevel(channel, song)))
        heard.levelAt(view.here(c));
    }
  }
};

const RuleRegistration registered(make<VibratoOnAmigaTable>);

}  // namespace

}  // namespace vantor::tool::rules
