// Cxx above 64 sets the channel's volume as it is in vantor, so the note plays louder
// than full volume (Cxx of 128 twice as loud); trackers take 64. Their volume is followed
// beside the replay until the two agree again (a slide or another volume); heard where it
// moves the mix by 2.5 dB or more, named at the Cxx.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int32_t fullVolume = 64;

class VolumeAboveFull : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"Cxx above 64", "vantor plays the note louder than full volume",
                                   "trackers play it at full volume (C40)", "write C40 or less"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      if (view.rowTick() && cell.effect == effect::SetVolume && cell.effectParam > fullVolume) {
        trackers = {fullVolume, view.here(c), true};
      } else if (view.rowTick() &&
                 (cell.instrument != 0 || cell.effect == effect::SetVolume || volumeColumnSetsVolume(cell))) {
        trackers.apart = false;  // a volume for both
      } else if (trackers.apart) {
        trackers.volume = std::clamp(trackers.volume + channel.volume - view.before(c).volume, 0, fullVolume);
      }
      if (trackers.volume == channel.volume) trackers.apart = false;
      if (!trackers.apart || !soundsOn(view, c)) continue;
      const Song& song = view.song();
      int32_t envelope = channel.volumeEnvelopeState.value;
      double vantor = channelLevel(channel.volume + channel.volumeOffset, envelope, channel.fadeoutVolume,
                                   song.globalVolume);
      double theirs = channelLevel(trackers.volume + channel.volumeOffset, envelope, channel.fadeoutVolume,
                                   song.globalVolume);
      if (heardInMix(view, c, vantor, theirs)) recordLevel(heard, trackers.cell, vantor, theirs);
    }
  }

 private:
  struct Trackers {
    int32_t volume;  // where trackers have the channel's volume, while apart
    CellPosition cell;
    bool apart;
  };
  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<VolumeAboveFull>);

}  // namespace

}  // namespace vantor::tool::rules
