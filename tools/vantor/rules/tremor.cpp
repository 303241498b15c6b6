// Tremor counts every tick in vantor, the row's first included, and lasts one tick at a
// time: the channel sounds again when the effect ends. Trackers count the effect ticks
// only and hold the state through the row's first tick, and a channel that the tremor
// left silent stays silent after the effect until the volume is set (in a song another
// program saved under FastTracker 2's name, one tracker sounds again as vantor does).
// T00 before any other Txy silences vantor's channel on every tick, where trackers sound
// a tick and rest a tick. Followed beside the replay; heard on every tick where the two
// disagree while the channel sounds; named at the Txy cells since the instrument number
// that restarted the count, the first of which set it running.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class Tremor : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "Txy (tremor)", "vantor counts every tick, the row's first included, and sounds again after it",
        "trackers count the effect ticks only, and stay silent after it until the volume is set",
        "shape the rhythm with volumes or notes instead"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      bool tremor = cell.effect == effect::Tremor;
      if (view.rowTick()) {
        // An instrument number restores the volume and restarts the count, as in vantor.
        if (cell.instrument != 0) {
          trackers.position = 0;
          trackers.silent = false;
          trackers.passage.clear();
        }
        if (volumeColumnSetsVolume(cell) || cell.effect == effect::SetVolume) trackers.silent = false;
        if (tremor && cell.effectParam != 0) trackers.parameter = cell.effectParam;
        if (tremor) trackers.passage.add(view.here(c));
      } else if (tremor) {
        int on = (trackers.parameter >> 4) + 1;
        int off = (trackers.parameter & 0x0F) + 1;
        trackers.silent = trackers.position >= on;
        if (++trackers.position >= on + off) trackers.position = 0;
      }
      if (!tremor && view.savedBy() == SavedBy::otherAsFastTracker) trackers.silent = false;
      if (!tremor && !trackers.silent) continue;
      bool silent = tremor && channel.volume + channel.volumeOffset <= 0;
      if (silent != trackers.silent && soundsOn(view, c) && channelLevel(channel, view.song()) >= silentLevel)
        heard.at(trackers.passage);
    }
  }

 private:
  struct Trackers {
    uint8_t parameter;  // the last Txy other than T00
    uint8_t position;   // effect ticks into the on and off cycle
    bool silent;        // on the tick just played, or left so by the tremor
    Passage passage;
  };
  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<Tremor>);

}  // namespace

}  // namespace vantor::tool::rules
