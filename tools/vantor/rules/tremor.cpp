// Tremor counts every tick in vantor, the row's first included, and lasts one tick at a
// time: the channel sounds again when the effect ends. Trackers count the effect ticks
// only, each phase down from the length the Txy in force as it began gave, and hold the
// state through the row's first tick; a channel that the tremor left silent stays
// silent after the effect until the volume is set (in a song another program saved
// under FastTracker 2's name, one tracker sounds again as vantor does).
// T00 before any other Txy silences vantor's channel on every tick, where trackers sound
// a tick and rest a tick. Followed beside the replay; heard where the channel sounds in
// one and not the other (the same one) for half of 50 ms in a row, or where, over the
// last tenth of a second, it sounds for a share of the time 2.5 dB apart from trackers'
// (T00: silent against every other tick); a gate a single tick earlier or later, which
// sounds in each in turn, is not told apart.
// Named at the Txy cells since the instrument number that restarted the count, the first
// of which set it running.
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
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      bool tremor = cell.effect == effect::Tremor;
      if (view.rowTick()) {
        // An instrument number restores the volume and restarts the count, as in vantor.
        if (cell.instrument != 0) {
          trackers.on = false;
          trackers.left = 0;
          trackers.silent = false;
          trackers.passage.clear();
        }
        if (volumeColumnSetsVolume(cell) || cell.effect == effect::SetVolume) trackers.silent = false;
        if (tremor && cell.effectParam != 0) trackers.parameter = cell.effectParam;
        if (tremor) trackers.passage.add(view.here(c));
      } else if (tremor) {
        // Each phase counts down from the length the parameter gave as it began: a new Txy
        // lengthens or shortens the phases after the one under way, not that one.
        if (--trackers.left < 0) {
          trackers.on = !trackers.on;
          trackers.left = trackers.on ? trackers.parameter >> 4 : trackers.parameter & 0x0F;
        }
        trackers.silent = !trackers.on;
      }
      if (!tremor && view.savedBy() == SavedBy::otherAsFastTracker) trackers.silent = false;
      bool silent = tremor && channel.volume + channel.volumeOffset <= 0;
      bool heardAtAll = soundsOn(view, c) && channelLevel(channel, view.song()) >= silentLevel;
      Gate& gate = gates_[c];
      gate.record(view.song().samplesPerTick, heardAtAll && !silent, heardAtAll && !trackers.silent);
      if (silent != trackers.silent && heardAtAll && gate.apart()) heard.at(trackers.passage);
    }
  }

 private:
  struct Trackers {
    uint8_t parameter;  // the last Txy other than T00
    bool on;            // in the phase that sounds
    int left;           // effect ticks the phase under way lasts after the one just played
    bool silent;        // on the tick just played, or left so by the tremor
    Passage passage;
  };

  // How long the channel sounded in vantor and in trackers over its last ticks.
  class Gate {
   public:
    void record(int32_t frames, bool vantorSounds, bool trackersSound) {
      // A gate a tick apart sounds in one and then in the other: each counts on its own.
      bool sameSide = ticks_[next_].vantorSounds == vantorSounds;
      next_ = (next_ + 1) % ticks_.size();
      ticks_[next_] = {frames, vantorSounds, trackersSound};
      differentFor_ = vantorSounds == trackersSound ? 0 : (sameSide ? differentFor_ : 0) + frames;
    }
    // Sounding in one and not the other (the same one) for 25 ms in a row; or, over the
    // ticks that make up the last tenth of a second, the shares of time sounding lie 2.5 dB
    // apart (as powers: the level of a sound gated on and off follows its share).
    bool apart() const {
      if (differentFor_ >= levelHeardFrames / 2) return true;
      int32_t total = 0, vantor = 0, trackers = 0;
      for (std::size_t back = 0; back < ticks_.size() && total < window; ++back) {
        const Tick& tick = ticks_[(next_ + ticks_.size() - back) % ticks_.size()];
        total += tick.frames;
        vantor += tick.vantorSounds ? tick.frames : 0;
        trackers += tick.trackersSound ? tick.frames : 0;
      }
      return levelsDiffer(std::sqrt(static_cast<double>(vantor) / total),
                          std::sqrt(static_cast<double>(trackers) / total));
    }

   private:
    static constexpr int32_t window = 2 * levelHeardFrames;
    struct Tick {
      int32_t frames;
      bool vantorSounds;
      bool trackersSound;
    };
    std::array<Tick, 16> ticks_{};  // a tick lasts at least 432 frames (255 bpm)
    std::size_t next_ = 0;
    int32_t differentFor_ = 0;  // frames in a row where one sounds and the other does not
  };

  std::array<Trackers, channelTableSize> trackers_{};
  std::array<Gate, channelTableSize> gates_{};
};

const RuleRegistration registered(make<Tremor>);

}  // namespace

}  // namespace vantor::tool::rules
