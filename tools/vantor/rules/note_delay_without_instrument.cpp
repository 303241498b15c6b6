// EDx resets the channel at the delayed note as an instrument number would, even when
// the cell has none: the volume becomes the sample's. Trackers keep the channel's
// volume. (The envelopes restart in trackers too; whether panning, key-off and fadeout
// are reset, trackers do not agree with each other.) Heard where the volume changes by
// 2.5 dB or more, on a channel that has played; once vantor's reset has parted the two,
// every such note until the next instrument number sounds different too. Not heard while
// the global volume is 0 (the two stay parted).
#include <algorithm>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class NoteDelayWithoutInstrument : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "EDx without an instrument number", "vantor sets the sample's volume at the delayed note",
        "trackers keep the channel's volume", "give the delayed note its volume in the volume column"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (view.rowTick()) {
        if (cell.instrument != 0) parted_[c] = false;
        continue;
      }
      if (!delayedNoteStartsNow(view, c) || cell.instrument != 0 || !view.played(c)) continue;
      const Sample& sample = *selectSource(view.song(), channel).sample;
      const Song& song = view.song();
      double vantor = channelLevel(sample.volume, channel.volumeEnvelopeState.value, channel.fadeoutVolume,
                                   song.globalVolume);
      double trackers = channelLevel(view.before(c).volume, channel.volumeEnvelopeState.value,
                                     channel.fadeoutVolume, song.globalVolume);
      bool changes = !volumeColumnSetsVolume(cell) && levelsDiffer(vantor, trackers);
      if (changes || parted_[c]) {
        if (!songSilent(view)) heard.at(view.here(c));
        parted_[c] = true;
      }
    }
  }

 private:
  std::array<bool, channelTableSize> parted_{};
};

const RuleRegistration registered(make<NoteDelayWithoutInstrument>);

}  // namespace

}  // namespace vantor::tool::rules
