// Tremolo: vantor plays each row's first tick at the channel's own volume, without the
// tremolo; trackers apply the tremolo there too. Heard where that moves the mix by
// 2.5 dB or more, as a level: a row tick is shorter than a listener needs to tell one, so
// where the ticks apart in a run of tremolo rows add up to it (or a tick at a slow tempo
// does), named from the first of them; at once where one of the two is silent.
#include "rule_support.h"
#include "sequencer/envelopes.h"

namespace vantor::tool::rules {

namespace {

class TremoloRowStart : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"7xy (tremolo)", "vantor leaves the tremolo out on each row's first tick",
                                   "trackers apply it there too", "keep the tremolo shallow"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const Channel& channel = view.channel(c);
      if (view.cell(c).effect != effect::Tremolo) runs_[c].clear();
      if (view.cell(c).effect != effect::Tremolo || !soundsOn(view, c)) continue;
      // The tremolo as an effect tick works it out at the phase the channel has reached.
      Channel trackers = channel;
      applyTremolo(trackers);
      const Song& song = view.song();
      int32_t envelope = channel.volumeEnvelopeState.value;
      double vantor = channelLevel(channel.volume, envelope, channel.fadeoutVolume, song.globalVolume);
      double theirs = channelLevel(channel.volume + trackers.volumeOffset, envelope, channel.fadeoutVolume,
                                   song.globalVolume);
      if (!heardInMix(view, c, vantor, theirs)) continue;
      runs_[c].add(view.here(c));
      recordLevel(heard, runs_[c], vantor, theirs);
    }
  }

 private:
  std::array<Passage, channelTableSize> runs_{};  // the cells apart in the run of tremolo rows
};

const RuleRegistration registered(make<TremoloRowStart>);

}  // namespace

}  // namespace vantor::tool::rules
