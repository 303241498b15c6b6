// A tone portamento without a note (3xx, 5xy or the volume column's Fx) slides in vantor
// to the note the channel last played, with or without a portamento: there the pitch
// stays. Trackers slide to the note that the last tone portamento with a note gave, also
// after a plain note since, and before any such portamento (or after one on a channel
// where they had played no note yet) have no target and stay where the pitch is (after
// 1xx, 2xx or a fine portamento, off the note; with Fx beside 1xx or 2xx, where the slide
// takes it by the row's end, while vantor pulls it back). Followed beside the replay;
// heard where the two targets lie 15 cents or more apart (one of the two slides away from
// the other), while the note sounds; named there and at the tone portamento that gave
// trackers' target.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int32_t periodsPerSlideStep = 4;

// How far trackers' pitch lies from vantor's at the row's end, where the row's 1xx or 2xx
// moves it on every effect tick: vantor's Fx pulls it back each tick before the slide,
// which leaves vantor one tick's step from the note.
int32_t rowSlide(const TickView& view, int c) {
  const NoteCell& cell = view.cell(c);
  const Channel& channel = view.channel(c);
  int32_t ticksApart = view.song().speed + view.song().patternDelayTicks - 2;
  if (cell.effect == effect::PortamentoUp) return -periodsPerSlideStep * channel.portaUpMemory * ticksApart;
  if (cell.effect == effect::PortamentoDown)
    return periodsPerSlideStep * channel.portaDownMemory * ticksApart;
  return 0;
}

class TonePortamentoTarget : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"a tone portamento without a note after a note played without one",
                                   "vantor slides to the note that plays, so the pitch stays",
                                   "trackers slide to the note of the last tone portamento that had one, and "
                                   "before any stay where they are",
                                   "give the tone portamento its note"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    const Song& song = view.song();
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      bool portamento = isTonePortamentoRow(cell) || volumeColumnPortamento(cell);
      // Trackers play a note once the channel has had an instrument number.
      instrumentGiven_[c] = instrumentGiven_[c] || cell.instrument != 0;
      if (!portamento) {
        notePlayed_[c] = notePlayed_[c] || (givesNote(cell) && instrumentGiven_[c]);
        continue;
      }
      if (givesNote(cell)) {
        // On a channel where trackers have played no note yet it starts nothing, and
        // leaves them no target either.
        if (notePlayed_[c]) {
          trackersTarget_[c] = channel.portaTarget;
          targetBy_[c] = view.here(c);
        }
        continue;
      }
      // Without a target of their own, trackers stay at the pitch the row starts with, or
      // where the row's 1xx or 2xx slides it.
      bool ownTarget = trackersTarget_[c] > 0;
      int32_t theirs = ownTarget ? trackersTarget_[c] : channel.period + rowSlide(view, c);
      if (channel.portaSpeed == 0 || centsApart(song, channel.portaTarget, theirs) < audibleCents ||
          !soundsOn(view, c) || !pitchHeardInMix(view, c, channelLevel(channel, song)))
        continue;
      if (ownTarget) {
        heard.at(targetBy_[c], view.here(c));
      } else {
        heard.at(view.here(c));
      }
    }
  }

 private:
  std::array<int32_t, channelTableSize> trackersTarget_{};  // 0: no tone portamento with a note yet
  std::array<CellPosition, channelTableSize> targetBy_{};
  std::array<bool, channelTableSize> instrumentGiven_{};
  std::array<bool, channelTableSize> notePlayed_{};  // a note without a tone portamento, in trackers
};

const RuleRegistration registered(make<TonePortamentoTarget>);

}  // namespace

}  // namespace vantor::tool::rules
