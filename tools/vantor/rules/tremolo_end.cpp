// When a tremolo ends, vantor keeps its last step in the channel's volume; trackers go
// back to the volume the channel had. Heard where that moves the mix by 2.5 dB or more,
// until the volume is set again; named at the last 7xy.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class TremoloEnd : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "7xy (tremolo) ending", "vantor keeps the tremolo's last step in the volume",
        "trackers go back to the volume before it", "set the volume in the row after the tremolo"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Kept& kept = kept_[c];
      if (view.rowTick()) {
        if (cell.effect == effect::Tremolo) {
          kept = {0, view.here(c)};
        } else if (view.before(c).lastEffect == effect::Tremolo) {
          kept.offset = view.before(c).volumeOffset;
        }
        if (cell.instrument != 0 || volumeColumnSetsVolume(cell) || cell.effect == effect::SetVolume)
          kept.offset = 0;
      }
      if (kept.offset == 0 || !soundsOn(view, c)) continue;
      const Song& song = view.song();
      int32_t envelope = channel.volumeEnvelopeState.value;
      double vantor = channelLevel(channel.volume, envelope, channel.fadeoutVolume, song.globalVolume);
      double trackers =
          channelLevel(channel.volume - kept.offset, envelope, channel.fadeoutVolume, song.globalVolume);
      if (heardInMix(view, c, vantor, trackers)) recordLevel(heard, kept.cell, vantor, trackers);
    }
  }

 private:
  struct Kept {
    int32_t offset;  // the tremolo's last step, still in vantor's volume
    CellPosition cell;
  };
  std::array<Kept, channelTableSize> kept_{};
};

const RuleRegistration registered(make<TremoloEnd>);

}  // namespace

}  // namespace vantor::tool::rules
