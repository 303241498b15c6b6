// Gxx and Hxy change the global volume at once, but vantor's voices take it only when
// their channel's volume is next worked out: for Gxx, on its own channel and those to
// its right; for the others, on their next envelope step or volume change, at the
// latest on the next row's first tick. Trackers change every channel at once. Heard
// where the sounding channels that are late move the mix 2.5 dB from where trackers have
// it over 50 ms (together: several notes to the left of a Gxx are late at once), or one
// of them steps out against the others; named at the Gxx or Hxy that made the change.
#include <cmath>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class GlobalVolumeLate : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "Gxx or Hxy (global volume)", "vantor changes a channel only when its own volume is next worked out",
        "trackers change every channel at once",
        "write Gxx in the leftmost channel, on rows where the channels start notes"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    if (!started_) {
      used_.fill(song.defaultGlobalVolume);
      before_ = song.defaultGlobalVolume;
      started_ = true;
    }
    // Channels are worked out from left to right; each takes the global volume as the
    // effects up to and including its own left it.
    int32_t global = before_;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      int32_t was = global;
      if (view.rowTick() && cell.effect == effect::SetGlobalVolume)
        global = std::min<int32_t>(cell.effectParam, 64);
      if (!view.rowTick() && cell.effect == effect::GlobalVolumeSlide)
        global = slid(global, song.globalVolumeSlideMemory);
      if (global != was) changedBy_ = view.here(c);
      if (view.channel(c).updateFlags & VolumeChanged) used_[c] = global;
    }
    before_ = song.globalVolume;
    // Every channel still at the old global volume differs at once: together they move the mix.
    MixLevels levels = mixLevels(view);
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      if (used_[c] == song.globalVolume || !soundsOn(view, c)) continue;
      int32_t volume = channel.volume + channel.volumeOffset;
      levels.vantor[c] = channelLevel(volume, channel.volumeEnvelopeState.value, channel.fadeoutVolume, used_[c]);
      levels.trackers[c] =
          channelLevel(volume, channel.volumeEnvelopeState.value, channel.fadeoutVolume, song.globalVolume);
    }
    double vantorMix = 0, trackersMix = 0;
    for (int c : view.channelIndices()) {
      vantorMix += levels.vantor[c] * levels.vantor[c];
      trackersMix += levels.trackers[c] * levels.trackers[c];
    }
    if (mixHeard(song.samplesPerTick, vantorMix, trackersMix)) heard.at(changedBy_);
    // A voice that steps forward or back against the others while the mix moves less.
    for (int c : view.channelIndices()) {
      double vantor = levels.vantor[c], trackers = levels.trackers[c];
      if (vantor != trackers && ownChangeHeard(vantor, trackers, vantorMix - vantor * vantor))
        recordLevel(heard, changedBy_, vantor, trackers);
    }
  }

 private:
  // The mix is heard to move where, over the last 50 ms, it lies 2.5 dB from trackers'
  // on average: a step of 10 dB for a tick or two as well as one of 2.5 dB for the whole
  // 50 ms (the late voices take the new volume within a row). Silence counts as -40 dB;
  // below -20 dB in both, a slide to silence is not told from its tail (inFadeTail).
  bool mixHeard(int32_t frames, double vantorMix, double trackersMix) {
    double louder = std::max(vantorMix, trackersMix);
    double quieter = std::max(std::min(vantorMix, trackersMix), silentLevel * silentLevel);
    double excess = inFadeTail(std::sqrt(vantorMix), std::sqrt(trackersMix))
                        ? 0
                        : 10 * std::log10(louder / quieter) * frames;
    next_ = (next_ + 1) % recent_.size();
    recent_[next_] = {frames, excess};
    int32_t total = 0;
    double sum = 0;
    for (std::size_t back = 0; back < recent_.size() && total < levelHeardFrames; ++back) {
      const Tick& tick = recent_[(next_ + recent_.size() - back) % recent_.size()];
      total += tick.frames;
      sum += tick.excess;
    }
    return excess > 0 && sum >= audibleDecibels * levelHeardFrames;
  }

  static int32_t slid(int32_t global, uint8_t memory) {
    if (memory >> 4) return std::min<int32_t>(global + (memory >> 4), 64);
    return std::max<int32_t>(global - (memory & 0x0F), 0);
  }

  bool started_ = false;
  int32_t before_ = 64;
  std::array<int32_t, channelTableSize> used_{};  // the global volume each voice was last worked out with
  CellPosition changedBy_{};
  struct Tick {
    int32_t frames;
    double excess;  // frames times the decibels between the two mixes
  };
  static constexpr double audibleDecibels = 2.5;
  std::array<Tick, 8> recent_{};  // a tick lasts at least 432 frames (255 bpm): 8 cover 50 ms
  std::size_t next_ = 0;
};

const RuleRegistration registered(make<GlobalVolumeLate>);

}  // namespace

}  // namespace vantor::tool::rules
