// EDx resets the channel at the delayed note as an instrument number would, even when
// the cell has none; trackers keep volume, panning, envelopes and fadeout. Heard where
// the reset changes one of them.
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
    if (view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (!isExtended(cell, effect::NoteDelay) || extendedValue(cell) != view.tickInRow() ||
          cell.instrument != 0 || !(channel.updateFlags & Trigger))
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
      if (changes) heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<NoteDelayWithoutInstrument>);

}  // namespace

}  // namespace vantor::tool::rules
