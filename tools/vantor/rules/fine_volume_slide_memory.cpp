// EAx and EBx share one memory in vantor, so EA0 or EB0 repeats the last fine slide of
// either direction's amount. Trackers keep a memory for each. Their volume is followed
// beside the replay until the two agree again; heard where it moves the mix by 2.5 dB or
// more from vantor's, named at the EAx or EBx that set the memory and at each EA0 or EB0
// since that parted them.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class FineVolumeSlideMemory : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "EA0 or EB0 after a fine slide the other way", "vantor repeats the amount of the last EAx or EBx",
        "trackers repeat the last amount of the same direction", "write the amount instead of 0"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      int32_t moved = channel.volume - view.before(c).volume;
      bool up = isExtended(cell, effect::FineVolumeSlideUp);
      bool fine = view.rowTick() && (up || isExtended(cell, effect::FineVolumeSlideDown));
      if (fine && extendedValue(cell) != 0) {
        (up ? trackers.up : trackers.down) = extendedValue(cell);
        trackers.setBy = view.here(c);
        trackers.volume = std::clamp<int32_t>(trackers.volume + (up ? 1 : -1) * extendedValue(cell), 0, 64);
      } else if (fine && (up ? trackers.up : trackers.down) != channel.fineVolumeSlideMemory) {
        // The repeat parts the two: the other direction set the shared memory last.
        int32_t own = up ? trackers.up : trackers.down;
        trackers.volume = std::clamp<int32_t>(trackers.volume + (up ? own : -own), 0, 64);
        if (trackers.passage.empty()) trackers.passage.add(trackers.setBy);
        trackers.passage.add(view.here(c));
      } else if (view.rowTick() &&
                 (cell.instrument != 0 || volumeColumnSetsVolume(cell) || cell.effect == effect::SetVolume)) {
        trackers.volume = channel.volume;
      } else {
        trackers.volume = std::clamp<int32_t>(trackers.volume + moved, 0, 64);
      }
      // Where the two agree, until a repeat parts them again, trackers play what vantor
      // plays (also a volume above 64, which is not this rule's).
      if (trackers.volume == channel.volume) trackers.passage.clear();
      if (trackers.passage.empty()) trackers.volume = channel.volume;
      if (trackers.passage.empty() || !soundsOn(view, c)) continue;
      const Song& song = view.song();
      int32_t envelope = channel.volumeEnvelopeState.value;
      double vantor = channelLevel(channel.volume, envelope, channel.fadeoutVolume, song.globalVolume);
      double theirs = channelLevel(trackers.volume, envelope, channel.fadeoutVolume, song.globalVolume);
      if (heardInMix(view, c, vantor, theirs)) recordLevel(heard, trackers.passage, vantor, theirs);
    }
  }

 private:
  // From the EAx or EBx that set the shared memory, the repeats that parted the two.
  struct Trackers {
    uint8_t up;      // the last EAx amount
    uint8_t down;    // the last EBx amount
    int32_t volume;  // where trackers have the channel's volume
    CellPosition setBy;
    Passage passage;
  };
  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<FineVolumeSlideMemory>);

}  // namespace

}  // namespace vantor::tool::rules
