// Tremolo over several rows: vantor plays each row's first tick at the channel's own
// volume, without the tremolo; trackers hold the level the tremolo reached. Heard where
// the two lie 3 dB or more apart.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class TremoloRowStart : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"7xy (tremolo) from row to row",
                                   "vantor drops the tremolo on each row's first tick",
                                   "trackers hold its level there", "keep the tremolo shallow"};
    return words;
  }

  void afterTick(const TickView& view, std::vector<CellPosition>& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const ChannelBefore& before = view.before(c);
      const Channel& channel = view.channel(c);
      if (view.cell(c).effect != effect::Tremolo || before.lastEffect != effect::Tremolo ||
          view.cell(c).instrument != 0 || !samplePlays(channel))
        continue;
      const Song& song = view.song();
      int32_t envelope = channel.volumeEnvelopeState.value;
      double vantor = channelLevel(channel.volume, envelope, channel.fadeoutVolume, song.globalVolume);
      double trackers = channelLevel(before.volume + before.volumeOffset, envelope, channel.fadeoutVolume,
                                     song.globalVolume);
      if (levelsDiffer(vantor, trackers)) heard.push_back(view.here(c));
    }
  }
};

const RuleRegistration registered(make<TremoloRowStart>);

}  // namespace

}  // namespace vantor::tool::rules
