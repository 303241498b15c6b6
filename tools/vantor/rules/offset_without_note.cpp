// A 9xx on a row that starts no note (no note, or a tone portamento) leaves its offset
// waiting on the channel's voice in vantor, and the channel's next note starts there.
// Trackers start that note at the sample's beginning. Heard where the sample's start
// sounds otherwise (startHeard: not one that loops from its first frame, nor an attack
// over within 10 ms, nor one whose first 10 ms both play); named at the note and at the
// 9xx.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class OffsetWithoutNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "a note after a 9xx that started no note", "vantor starts the note at that 9xx's offset",
        "trackers start it at the sample's beginning", "write 9xx only with the note it is for"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (view.rowTick() && cell.effect == effect::SampleOffset) offsetBy_[c] = view.here(c);
      uint32_t offset = view.before(c).voiceStartOffset;
      if (offset == 0 || !(channel.updateFlags & Trigger) || cell.effect == effect::SampleOffset) continue;
      // Effect ticks start notes for EDx; retriggers restart what plays.
      if (!view.rowTick() && !isExtended(cell, effect::NoteDelay)) continue;
      const Sample& sample = *selectSource(view.song(), channel).sample;
      if (sample.length > 0 && uint64_t{offset} < uint64_t{sample.loopStart} + sample.loopLength &&
          startHeard(view, c, sample, offset))
        heard.at(offsetBy_[c], view.here(c));
    }
  }

 private:
  std::array<CellPosition, channelTableSize> offsetBy_{};  // the channel's last 9xx
};

const RuleRegistration registered(make<OffsetWithoutNote>);

}  // namespace

}  // namespace vantor::tool::rules
