// The parts the demo song is made of: its instruments and its score. The instrument
// numbers and channels are shared by both, so a pattern reads like a tracker's.
#pragma once

#include <cstdint>
#include <vector>

#include "xm_builder/xm_builder.h"

namespace vantor::demo {

// Instrument numbers as written in pattern cells (1-based).
enum Instrument : uint8_t {
  Kick = 1,
  Snare,
  Hat,
  Bass,
  Chip,  // square wave for the fast arpeggio chords
  Pad,   // detuned root-and-fifth pad, slowly swelling and panning
  Lead,
  Flute,  // soft counter-melody voice
};

// What each channel plays. Song-wide effects (speed, tempo, global volume, the pattern
// loop) sit in whichever drum or bass effect column is free on their row.
enum Channel : int {
  KickTrack,
  SnareTrack,
  HatTrack,
  BassTrack,
  ChipTrack,
  PadTrack,
  LeadTrack,
  EchoTrack,  // counter-melody in the verses, the lead's echo in the chorus
  channelCount,
};

std::vector<xm::XmInstrument> demoInstruments();

struct Score {
  std::vector<xm::XmPattern> patterns;
  std::vector<uint8_t> orders;
  uint16_t restartPosition = 0;
};

Score demoScore();

}  // namespace vantor::demo
