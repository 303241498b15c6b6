// EDx resets the channel at the delayed note as an instrument number would, even when
// the cell has none; trackers keep volume, panning, envelopes and fadeout. Heard where
// the reset changes one of them, on a channel that has played (a channel that never
// played sounds alike in both). Once vantor's reset has parted the channel from the
// trackers', every such note until the next instrument number sounds different too.
#include <algorithm>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class NoteDelayWithoutInstrument : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "EDx without an instrument number",
        "vantor resets volume, panning, envelopes and fadeout at the delayed note", "trackers keep them",
        "write the instrument number with the delayed note, and its volume in the volume column"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (view.rowTick()) {
        if (cell.instrument != 0) parted_[c] = false;
        continue;
      }
      if (!isExtended(cell, effect::NoteDelay) || extendedValue(cell) != view.tickInRow() ||
          cell.instrument != 0 || !(channel.updateFlags & Trigger) || !view.played(c))
        continue;
      ChannelSource source = selectSource(view.song(), channel);
      const Sample& sample = *source.sample;
      const ChannelBefore& before = view.before(c);
      bool changes = (before.volume != sample.volume && !volumeColumnSetsVolume(cell)) ||
                     (before.panning != static_cast<int32_t>(std::min<uint32_t>(sample.panning, 255)) &&
                      !volumeColumnSetsPanning(cell)) ||
                     before.keyOff != 0 || before.fadeoutVolume != fullFadeout ||
                     (envelopeMoves(volumeEnvelope(*source.instrument)) && before.volumeEnvelope.tick > 0) ||
                     (envelopeMoves(panningEnvelope(*source.instrument)) && before.panningEnvelope.tick > 0);
      if (changes || parted_[c]) {
        heard.push_back(view.here(c));
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
