// The volume column's tone portamento (Fx) is not a tone-portamento row: with a note,
// vantor takes the note's pitch at once and holds back only the restart; trackers
// slide to it, with the sample that plays tuned as it is (an instrument number in the row
// gives vantor's note the new sample's relative note and finetune). Heard where the two
// pitches lie 15 cents or more apart for 50 ms or more: trackers' slide does not reach
// the note within the row, or takes that long to, or reaches another pitch (of a sample
// with a pitch: a drum's noise slides unheard). And an instrument number sets the
// channel's volume from the new instrument's sample in vantor, from the sample that plays
// on in trackers: heard where the two volumes part in the mix, until a volume is set again.
#include "rule_support.h"
#include "sequencer/pitch.h"

namespace vantor::tool::rules {

namespace {

class VolumeColumnPortamentoWithNote : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "volume-column tone portamento (Fx) with a note",
        "vantor jumps to the note at once, and with an instrument number takes its sample's volume",
        "trackers slide to it, and take the volume of the sample that plays on", "slide with effect 3xx"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick()) return;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      if (!volumeColumnPortamento(cell) || !givesNote(cell) || isTonePortamentoRow(cell) ||
          !sounding(channel.voice))
        continue;
      const Song& song = view.song();
      // Trackers slide the sample that plays to the note as that sample is tuned; vantor
      // tunes it as the row's instrument number's sample is.
      const Sample& playing = *channel.voice->sample;
      int32_t target =
          notePeriod(song, static_cast<uint8_t>(playing.relativeNote + cell.note - 1), playing.finetune);
      bool tuned = pitched(playing);
      if (tuned && centsApart(song, channel.notePeriod, target) >= audibleCents) {
        heard.at(view.here(c));
        continue;
      }
      if (cell.instrument != 0 && cell.effect != effect::SetVolume) {
        double trackers = channelLevel(playing.volume, channel.volumeEnvelopeState.value,
                                       channel.fadeoutVolume, song.globalVolume);
        if (heardInMix(view, c, channelLevel(channel, song), trackers)) {
          heard.at(view.here(c));
          continue;
        }
      }
      int32_t from = view.before(c).period;
      if (!tuned || centsApart(song, from, target) < audibleCents) continue;
      // The row tick, and each effect tick until trackers' slide lands on the note.
      int32_t step = std::max(1, channel.portaSpeed * 4);
      int32_t ticksApart = 1 + (std::abs(target - from) - 1) / step;
      int rowTicks = song.speed + song.patternDelayTicks;
      if (ticksApart >= rowTicks || ticksApart * song.samplesPerTick >= levelHeardFrames)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<VolumeColumnPortamentoWithNote>);

}  // namespace

}  // namespace vantor::tool::rules
