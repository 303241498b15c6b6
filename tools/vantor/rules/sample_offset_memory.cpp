// 900 takes the offset of the last 9xx. vantor's memory keeps any 9xx, also one on a row
// that started no note (no note, a tone portamento, or the volume column's Fx); trackers
// keep only the offset of a 9xx that started its note. Followed beside the replay; heard
// at a 900 whose note starts at another offset than in trackers, where the sample's
// start sounds otherwise (startHeard); named there and at the 9xx whose offset it repeats.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr uint32_t offsetUnit = 256;

class SampleOffsetMemory : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"900 after a 9xx on a row that started no note",
                                   "vantor starts the note at that 9xx's offset",
                                   "trackers start it at the offset of the last 9xx that started its note",
                                   "write the offset instead of 900"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (cell.effect != effect::SampleOffset) continue;
      bool started = (channel.updateFlags & Trigger) != 0;
      if (cell.effectParam != 0) {
        if (started) trackersMemory_[c] = cell.effectParam;
        setBy_[c] = view.here(c);
        continue;
      }
      const Sample& sample = *selectSource(view.song(), channel).sample;
      uint64_t end = uint64_t{sample.loopStart} + sample.loopLength;
      uint64_t theirs = uint64_t{trackersMemory_[c]} * offsetUnit;
      uint64_t ours = uint64_t{static_cast<uint32_t>(channel.sampleOffsetMemory)} * offsetUnit;
      if (started && ours != theirs && ours < end && soundsOn(view, c) &&
          startHeard(view, c, sample))
        heard.at(setBy_[c], view.here(c));
    }
  }

 private:
  std::array<uint8_t, channelTableSize> trackersMemory_{};
  std::array<CellPosition, channelTableSize> setBy_{};  // the last 9xx with an offset
};

const RuleRegistration registered(make<SampleOffsetMemory>);

}  // namespace

}  // namespace vantor::tool::rules
