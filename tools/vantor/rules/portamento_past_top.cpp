// On the Amiga table vantor's 1xx stops at period 56, a pitch already far above what a
// sample can be played at, and plays the note on there as a shrill tone folded down into
// hearing. Trackers slide on past it, and the note falls silent. Heard from the tick the
// slide would pass the stop, while the note sounds and stays there: at once, a sound
// against none. Named at the 1xx cells since the note, which carried it up there.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int32_t highestPeriod = 56;  // where vantor's 1xx stops

class PortamentoPastTop : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "1xx past period 56 on the Amiga frequency table",
        "vantor stops the slide there and plays the note on as a shrill, folded tone",
        "trackers slide on beyond hearing, and the note falls silent",
        "end the note (key-off, ECx or a volume of 0) before the slide reaches the top"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (view.song().flags & LinearFrequencyTable) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Slide& slide = slides_[c];
      bool up = cell.effect == effect::PortamentoUp;
      if (view.rowTick()) {
        if (givesNote(cell) && !isTonePortamentoRow(cell)) slide.passage.clear();
        if (up) slide.passage.add(view.here(c));
      } else if (up && view.before(c).period - 4 * channel.portaUpMemory < highestPeriod) {
        slide.beyond = true;
      }
      if (channel.period != highestPeriod) slide.beyond = false;
      if (!slide.beyond || !soundsOn(view, c)) continue;
      double level = channelLevel(channel, view.song());
      if (heardInMix(view, c, level, 0.0)) recordLevel(heard, slide.passage, level, 0.0);
    }
  }

 private:
  struct Slide {
    bool beyond;  // trackers' slide has passed the stop, vantor's holds there
    Passage passage;
  };
  std::array<Slide, channelTableSize> slides_{};
};

const RuleRegistration registered(make<PortamentoPastTop>);

}  // namespace

}  // namespace vantor::tool::rules
