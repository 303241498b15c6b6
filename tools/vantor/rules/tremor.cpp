// Tremor counts every tick in vantor, the row's first included. Trackers count the
// effect ticks only and hold the state through the row's first tick. Followed beside
// the replay; heard on every tick where the two disagree while the channel sounds.
// (After the effect, trackers do not agree with each other whether a channel that the
// tremor left silent stays silent.)
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class Tremor : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"Txy (tremor)", "vantor counts every tick, the row's first included",
                                   "trackers count the effect ticks only",
                                   "shape the rhythm with volumes or notes instead"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      if (view.rowTick() && cell.instrument != 0) trackers = {};  // restarts the count, as in vantor
      if (cell.effect != effect::Tremor) {
        trackers.silent = false;
        continue;
      }
      if (!view.rowTick()) {
        trackers.silent = trackers.position >= channel.tremorOnTicks;
        if (++trackers.position >= channel.tremorOnTicks + channel.tremorOffTicks) trackers.position = 0;
      }
      bool silent = channel.volume + channel.volumeOffset <= 0;
      if (silent != trackers.silent && samplePlays(channel) && channelLevel(channel, view.song()) >= silentLevel)
        heard.push_back(view.here(c));
    }
  }

 private:
  struct Trackers {
    uint8_t position;  // effect ticks into the on and off cycle
    bool silent;       // on the tick just played
  };
  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<Tremor>);

}  // namespace

}  // namespace vantor::tool::rules
