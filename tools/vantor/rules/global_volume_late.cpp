// Gxx and Hxy change the global volume at once, but vantor's voices take it only when
// their channel's volume is next worked out: for Gxx, on its own channel and those to
// its right; for the others, on their next envelope step or volume change, at the
// latest on the next row's first tick. Trackers change every channel at once. Heard
// where the sounding channels that are late move the mix 2.5 dB or more from where
// trackers have it (together: several notes to the left of a Gxx are late at once);
// named at the Gxx or Hxy that made the change.
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
    for (int c = 0; c < view.channelCount(); ++c) {
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
    for (int c = 0; c < view.channelCount(); ++c) {
      const Channel& channel = view.channel(c);
      if (used_[c] == song.globalVolume || !soundsOn(view, c)) continue;
      int32_t volume = channel.volume + channel.volumeOffset;
      levels.vantor[c] = channelLevel(volume, channel.volumeEnvelopeState.value, channel.fadeoutVolume, used_[c]);
      levels.trackers[c] =
          channelLevel(volume, channel.volumeEnvelopeState.value, channel.fadeoutVolume, song.globalVolume);
    }
    for (int c = 0; c < view.channelCount(); ++c) {
      if (levels.vantor[c] != levels.trackers[c] && heardInMix(view, c, levels))
        recordLevel(heard, changedBy_, levels.vantor[c], levels.trackers[c]);
    }
  }

 private:
  static int32_t slid(int32_t global, uint8_t memory) {
    if (memory >> 4) return std::min<int32_t>(global + (memory >> 4), 64);
    return std::max<int32_t>(global - (memory & 0x0F), 0);
  }

  bool started_ = false;
  int32_t before_ = 64;
  std::array<int32_t, channelTableSize> used_{};  // the global volume each voice was last worked out with
  CellPosition changedBy_{};
};

const RuleRegistration registered(make<GlobalVolumeLate>);

}  // namespace

}  // namespace vantor::tool::rules
