// A note delayed by EDx under a volume envelope. vantor restarts the envelope at the
// delayed tick after that tick's envelope step, so the note's first tick plays at full
// envelope and the whole envelope runs a tick late; and on every other tick of the row,
// before the delayed note and after it, the voice keeps the level it had, while the
// channel's envelope and fadeout run on beneath it. Trackers start the envelope at its
// first point on the delayed tick and follow it on every tick. Heard where the two levels
// part in the mix for a while: an envelope that moves within a few ticks of the note's
// start, or an old note that falls away during the ticks before the delayed one.
#include "rule_support.h"
#include "sequencer/envelopes.h"

namespace vantor::tool::rules {

namespace {

// The voice volume the voice update would give these values (127 at full scale).
int32_t voiceVolume(int32_t volume, int32_t envelope, int32_t fadeout, int32_t globalVolume) {
  constexpr double volumeScale = static_cast<double>(255.0f / 34359738368.0f);
  double product = static_cast<double>(volume) * envelope * fadeout * globalVolume;
  return static_cast<int32_t>(std::clamp(product * volumeScale, 0.0, 65535.0));
}

constexpr double fullVoiceVolume = 127.5;

class NoteDelayEnvelope : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "EDx under a volume envelope",
        "vantor keeps the voice's level on the row's other ticks and runs the delayed note's envelope a "
        "tick late",
        "trackers follow the envelope on every tick from the delayed tick on",
        "start the note on the row without EDx (a faster speed gives finer steps), or use an instrument "
        "whose envelope holds still for its first ticks"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      const Envelope envelope = volumeEnvelope(*selectSource(view.song(), channel).instrument);
      Follow& follow = follows_[c];
      // ED0 holds the voice on the row's other ticks too, where trackers play the row at once.
      bool delayRow = isExtended(cell, effect::NoteDelay);
      bool delayedNote = !view.rowTick() && delayRow && delayedNoteStartsNow(view, c);
      if (delayedNote) {
        // Trackers: the envelope from its first point, stepped on this very tick.
        follow = {true, view.here(c), EnvelopeState{0, 0, 0, 64, 0, 0}};
        stepTrackers(follow, channel, envelope);
      } else if (view.rowTick() && ((channel.updateFlags & Trigger) || cell.instrument != 0)) {
        follow.active = false;  // a note or an instrument on the row tick restarts both alike
      } else if (follow.active) {
        stepTrackers(follow, channel, envelope);
      }
      bool frozen = delayRow && view.tickInRow() != extendedValue(cell);
      if (!follow.active && !(frozen && view.played(c))) continue;
      if ((envelope.type & EnvelopeOn) == 0 || !soundsOn(view, c)) continue;

      int32_t trackersEnvelope = follow.active ? follow.trackers.value : channel.volumeEnvelopeState.value;
      double vantor = channel.voice->volume / fullVoiceVolume;
      double trackers = voiceVolume(channel.volume + channel.volumeOffset, trackersEnvelope,
                                    channel.fadeoutVolume, view.song().globalVolume) /
                        fullVoiceVolume;
      bool tail = !frozen && inFadeTail(vantor, trackers);
      if (!tail && levelsDiffer(vantor, trackers) && heardInMix(view, c, vantor, trackers))
        heard.levelAt(frozen ? view.here(c) : follow.cell);
    }
  }

 private:
  struct Follow {
    bool active;
    CellPosition cell;
    EnvelopeState trackers;  // the envelope as trackers run it
  };

  static void stepTrackers(Follow& follow, const Channel& channel, const Envelope& envelope) {
    if ((envelope.type & EnvelopeOn) == 0 || follow.trackers.done) return;
    Channel scratch = channel;  // the step reads the key and sets a flag
    stepEnvelope(scratch, follow.trackers, envelope, VolumeChanged);
  }

  std::array<Follow, channelTableSize> follows_{};
};

const RuleRegistration registered(make<NoteDelayEnvelope>);

}  // namespace

}  // namespace vantor::tool::rules
