// The volume column's B0 (vibrato of depth 0) keeps 0 as the channel's vibrato depth in
// vantor, so the vibrato it plays, and every 4x0 or 6xy after it, stands still. Trackers
// keep the last depth above 0 and go on vibrating with it. Trackers' depth is followed
// beside the replay; heard on the effect ticks of a vibrato where the two pitches lie 15
// cents or more apart, in a row whose vibrato lasts 50 ms or more, while the note
// sounds; named there and at the B0.
#include <optional>

#include "rule_support.h"
#include "sequencer/envelopes.h"

namespace vantor::tool::rules {

namespace {

constexpr uint8_t vibratoDepthColumn = 0xB;

bool vibrates(const NoteCell& cell) {
  return cell.effect == effect::Vibrato || cell.effect == effect::VibratoVolumeSlide ||
         cell.volume >> 4 == vibratoDepthColumn;
}

class VibratoDepthZero : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"B0 in the volume column after a vibrato with a depth",
                                   "vantor takes depth 0, and the vibratos after it stand still",
                                   "trackers keep the last depth above 0 and vibrate with it",
                                   "write the depth instead of B0"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      if (view.rowTick()) {
        // The volume column before the effect, as both read the cell.
        if (cell.volume >> 4 == vibratoDepthColumn && (cell.volume & 0x0F) != 0)
          trackers.depth = cell.volume & 0x0F;
        if (cell.volume == vibratoDepthColumn << 4 && trackers.depth != 0) trackers.zeroedBy = view.here(c);
        if (cell.effect == effect::Vibrato && (cell.effectParam & 0x0F) != 0)
          trackers.depth = cell.effectParam & 0x0F;
        continue;
      }
      if (channel.vibratoDepth == trackers.depth) trackers.zeroedBy.reset();
      if (!vibrates(cell) || !trackers.zeroedBy) continue;
      // Trackers' swing at the phase this tick played, against vantor's; a row's vibrato
      // shorter than 50 ms passes before a listener follows it.
      Channel theirs = channel;
      theirs.vibratoDepth = static_cast<uint8_t>(trackers.depth);
      theirs.vibratoPos = static_cast<int8_t>(((channel.vibratoPos + 32 - channel.vibratoSpeed) & 63) - 32);
      applyVibrato(theirs);
      int rowTicks = song.speed + song.patternDelayTicks;
      if ((rowTicks - 1) * song.samplesPerTick < levelHeardFrames ||
          centsApart(song, channel.period + channel.periodOffset, channel.period + theirs.periodOffset) <
              audibleCents ||
          !soundsOn(view, c) || !pitchHeardInMix(view, c, channelLevel(channel, song)))
        continue;
      heard.at(*trackers.zeroedBy, view.here(c));  // one cell where the B0 itself vibrates
    }
  }

 private:
  struct Trackers {
    int depth = 0;                         // the last vibrato depth above 0
    std::optional<CellPosition> zeroedBy;  // the B0 that left vantor's depth at 0
  };
  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<VibratoDepthZero>);

}  // namespace

}  // namespace vantor::tool::rules
