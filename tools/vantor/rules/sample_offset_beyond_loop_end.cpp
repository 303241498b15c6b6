// 9xx at or beyond the loop end (the end, without a loop) cancels the note and rewinds
// whatever the channel's voice plays; trackers cut the note instead. Heard where a
// sample sounds after the row.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

class SampleOffsetBeyondLoopEnd : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"9xx beyond the sample's loop end", "vantor restarts the playing sample",
                                   "trackers are silent", "keep offsets below the loop end"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c = 0; c < view.channelCount(); ++c) {
      const Channel& channel = view.channel(c);
      // The row may have given the rewound voice a volume again.
      if (view.cell(c).effect == effect::SampleOffset && (channel.updateFlags & Rewind) &&
          sounding(channel.voice))
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<SampleOffsetBeyondLoopEnd>);

}  // namespace

}  // namespace vantor::tool::rules
