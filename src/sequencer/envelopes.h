// Envelopes, oscillators, tone portamento and auto-vibrato: small routines that the
// row tick and the effect ticks call on a channel. None of them touches a voice.
#pragma once

#include <cstdint>

#include "loading/song.h"
#include "sequencer/channel.h"

namespace vantor {

// One tick of an envelope; flagBit is VolumeChanged or PanningChanged.
void stepEnvelope(Channel& channel, EnvelopeState& cursor, const Envelope& envelope, uint8_t flagBit);

// Lxx: places the volume envelope cursor at tick position.
void setEnvelopePosition(EnvelopeState& cursor, const Envelope& envelope, int position);

void applyVibrato(Channel& channel);         // sets periodOffset; does not advance the phase
void applyTremolo(Channel& channel);         // sets volumeOffset and advances the phase
void applyTremor(Channel& channel);          // one tick of the tremor cycle
void applyTonePortamento(Channel& channel);  // moves period toward portaTarget
void applyAutoVibrato(Channel& channel, const Instrument& instrument);

// Advances a vibrato or tremolo phase: cycles through -32..31.
void advancePhase(int8_t& phase, uint8_t speed);

}  // namespace vantor
