// A key-off with an instrument number and no note, on an instrument with a volume
// envelope: vantor resets the channel for the instrument, so the envelope starts again
// from its first point, released. Trackers let the key-off keep the envelope where it
// is and release it there, also beside a volume-column tone portamento. Heard where the
// restarted envelope's level parts from the one that runs on.
#include "rule_support.h"
#include "sequencer/envelopes.h"

namespace vantor::tool::rules {

namespace {

class KeyOffWithInstrumentEnvelope : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {"K00 with an instrument number, instrument with a volume envelope",
                                   "vantor starts the volume envelope again from its start, released",
                                   "trackers release it where it is",
                                   "write K00 without the instrument number"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      const Channel& channel = view.channel(c);
      const Envelope envelope = volumeEnvelope(*selectSource(view.song(), channel).instrument);
      Follow& follow = follows_[c];
      if (view.rowTick()) {
        if ((channel.updateFlags & Trigger) || cell.instrument != 0) follow.active = false;
        bool keyOffEffect = cell.effect == effect::KeyOff && cell.effectParam == 0 &&
                            (cell.note == 0 || cell.note == keyOffNote);
        if (cell.instrument != 0 && keyOffEffect && (envelope.type & EnvelopeOn) && view.played(c))
          follow = {true, view.here(c), view.before(c).volumeEnvelope};
      }
      if (!follow.active) continue;
      if (!follow.trackers.done) {
        Channel released = channel;  // the step reads the key
        stepEnvelope(released, follow.trackers, envelope, VolumeChanged);
      }
      if (!soundsOn(view, c)) continue;
      double vantor = channelLevel(channel, view.song());
      double trackers = channelLevel(channel.volume, follow.trackers.value, channel.fadeoutVolume,
                                     view.song().globalVolume);
      if (!inFadeTail(vantor, trackers) && levelsDiffer(vantor, trackers) &&
          heardInMix(view, c, vantor, trackers))
        recordLevel(heard, follow.cell, vantor, trackers);
    }
  }

 private:
  struct Follow {
    bool active;
    CellPosition cell;
    EnvelopeState trackers;  // the envelope as trackers run it on
  };
  std::array<Follow, channelTableSize> follows_{};
};

const RuleRegistration registered(make<KeyOffWithInstrumentEnvelope>);

}  // namespace

}  // namespace vantor::tool::rules
