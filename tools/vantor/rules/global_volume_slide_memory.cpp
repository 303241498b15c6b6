// Hxy remembers its amount for H00. vantor keeps one memory for the whole song, the last
// Hxy of any channel, and every Hxy slides by it on the effect ticks; trackers keep one
// for each channel. So H00 slides by another channel's amount in vantor, and by its own
// channel's last Hxy (or not at all) in trackers; and of two Hxy with other amounts in
// one row, both slide by the row's last in vantor, each by its own in trackers. The
// global volume parts until a Gxx sets it again: in a song where the two channels slide
// opposite ways, vantor may fade everything out where trackers hold it. Heard where the
// whole mix moves 2.5 dB or more; named at the Hxy that slides by another amount and at
// the Hxy whose amount vantor took.
#include <optional>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

int32_t slid(int32_t global, uint8_t memory) {
  if (memory >> 4) return std::min<int32_t>(global + (memory >> 4), 64);
  return std::max<int32_t>(global - (memory & 0x0F), 0);
}

class GlobalVolumeSlideMemory : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "Hxy or H00 after an Hxy in another channel", "vantor slides by the last Hxy of any channel",
        "trackers slide by the last Hxy of the same channel", "write Hxy's amount in full instead of H00"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    if (!trackers_) trackers_ = song.globalVolume;
    if (view.rowTick()) {
      readRow(view);
    } else {
      for (int c : view.channelIndices()) {
        if (view.cell(c).effect == effect::GlobalVolumeSlide) trackers_ = slid(*trackers_, own_[c]);
      }
    }
    // The two part on the effect ticks after the row that starts the passage.
    if (*trackers_ == song.globalVolume) {
      if (!view.rowTick()) passage_.clear();
      return;
    }
    // A difference this rule did not start (vantor's voices take a global volume late):
    // follow vantor's from here.
    if (passage_.empty()) {
      trackers_ = song.globalVolume;
      return;
    }
    double vantorMix = 0, trackersMix = 0;
    for (int c : view.channelIndices()) {
      if (!soundsOn(view, c)) continue;
      const Channel& channel = view.channel(c);
      double vantor = channelLevel(channel, song);
      double trackers =
          channelLevel(channel.volume, channel.volumeEnvelopeState.value, channel.fadeoutVolume, *trackers_);
      vantorMix += vantor * vantor;
      trackersMix += trackers * trackers;
    }
    vantorMix = std::sqrt(vantorMix);
    trackersMix = std::sqrt(trackersMix);
    if (levelsDiffer(vantorMix, trackersMix)) recordLevel(heard, passage_, vantorMix, trackersMix);
  }

 private:
  // Gxx sets both; each Hxy with an amount sets its channel's memory and vantor's one. An
  // Hxy whose channel remembers another amount than vantor's memory holds after the row
  // starts the passage, with the Hxy that set vantor's.
  void readRow(const TickView& view) {
    const Song& song = view.song();
    std::optional<CellPosition> sliding[channelTableSize];
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect == effect::SetGlobalVolume) trackers_ = std::min<int32_t>(cell.effectParam, 64);
      if (cell.effect != effect::GlobalVolumeSlide) continue;
      if (cell.effectParam != 0) {
        own_[c] = cell.effectParam;
        setBy_ = view.here(c);
      }
      sliding[c] = view.here(c);
    }
    for (int c : view.channelIndices()) {
      if (!sliding[c] || own_[c] == song.globalVolumeSlideMemory) continue;
      if (setBy_) passage_.add(*setBy_);
      passage_.add(*sliding[c]);
    }
  }

  std::optional<int32_t> trackers_;              // the global volume trackers have
  std::array<uint8_t, channelTableSize> own_{};  // each channel's last Hxy amount
  std::optional<CellPosition> setBy_;            // the last Hxy with an amount, whose amount vantor keeps
  Passage passage_;
};

const RuleRegistration registered(make<GlobalVolumeSlideMemory>);

}  // namespace

}  // namespace vantor::tool::rules
