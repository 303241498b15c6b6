// The volume column's tone portamento (Fx) and 3xx in one cell: both slide on every
// effect tick, in vantor and in trackers, but vantor takes 3xx's speed, which it reads
// after the volume column, and trackers take Fx's (with F0, the speed they had), and both
// keep that speed for the tone portamentos after it. Trackers' speed and pitch are followed
// beside the replay until the two agree again; heard where the pitches lie 15 cents or
// more apart while the note sounds, named at the cell that parted the speeds and at each
// tone portamento since.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int32_t periodsPerSpeedStep = 4;

int32_t slideToward(int32_t period, int32_t target, int32_t speed) {
  if (period < target) return std::min(period + speed * periodsPerSpeedStep, target);
  return std::max(period - speed * periodsPerSpeedStep, target);
}

class VolumeColumnPortamentoWithEffect : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"volume-column tone portamento (Fx) with 3xx in the same cell",
                                   "vantor slides at 3xx's speed",
                                   "trackers slide at Fx's (F0: at the speed before), and keep it for the "
                                   "tone portamentos after it",
                                   "give the speed in one of the two only: Fx with 300, or 3xx alone"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      Trackers& trackers = trackers_[c];
      bool column = volumeColumnPortamento(cell);
      bool portamento = column || isTonePortamentoRow(cell);
      if (view.rowTick()) {
        if (column && (cell.volume & 0x0F) != 0) {
          trackers.speed = static_cast<uint8_t>((cell.volume & 0x0F) * 16);
        } else if (!column && cell.effect == effect::TonePortamento && cell.effectParam != 0) {
          trackers.speed = cell.effectParam;
        }
        bool started = (channel.updateFlags & Trigger) && !portamento;
        trackers.period = started ? channel.period : trackers.period + channel.period - view.before(c).period;
        bool parts = column && cell.effect == effect::TonePortamento && trackers.speed != channel.portaSpeed;
        if (parts || (portamento && !trackers.passage.empty())) trackers.passage.add(view.here(c));
      } else if (portamento) {
        if (column) trackers.period = slideToward(trackers.period, channel.portaTarget, trackers.speed);
        if (isTonePortamentoRow(cell))
          trackers.period = slideToward(trackers.period, channel.portaTarget, trackers.speed);
      } else {
        trackers.period += channel.period - view.before(c).period;
      }
      // Where the two agree, until such a cell parts them again, trackers play what vantor plays.
      if (trackers.speed == channel.portaSpeed && trackers.period == channel.period) trackers.passage.clear();
      if (trackers.passage.empty()) {
        trackers.speed = channel.portaSpeed;
        trackers.period = channel.period;
        continue;
      }
      if (centsApart(song, channel.period, trackers.period) >= audibleCents && soundsOn(view, c) &&
          pitchHeardInMix(view, c, channelLevel(channel, song)))
        heard.at(trackers.passage);
    }
  }

 private:
  struct Trackers {
    uint8_t speed;   // in 3xx's units
    int32_t period;  // where trackers have the channel's pitch
    Passage passage;
  };
  std::array<Trackers, channelTableSize> trackers_{};
};

const RuleRegistration registered(make<VolumeColumnPortamentoWithEffect>);

}  // namespace

}  // namespace vantor::tool::rules
