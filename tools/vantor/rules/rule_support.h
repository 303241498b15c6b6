// What the rules of tools/vantor/rules/ share: reading a cell as the sequencer reads it,
// and telling whether a voice is heard.
#pragma once

#include <cstdint>
#include <memory>

#include "loading/song.h"
#include "output/mixer.h"
#include "sequencer/channel.h"
#include "sequencer/effect_numbers.h"
#include "sequencer/effects.h"
#include "tracker_differences.h"

namespace vantor::tool::rules {

constexpr uint8_t keyOffNote = 255;
constexpr int32_t fullFadeout = 65536;

// Notes 1..96; the loader stores key-off as 255, and 97..254 count as no note.
inline bool givesNote(const NoteCell& cell) { return cell.note >= 1 && cell.note <= keymapSize; }

// 3xx and 5xy keep the channel's note and instrument; the volume column's Fx does not.
inline bool isTonePortamentoRow(const NoteCell& cell) {
  return cell.effect == effect::TonePortamento || cell.effect == effect::TonePortamentoVolumeSlide;
}

inline bool isExtended(const NoteCell& cell, uint8_t subEffect) {
  return cell.effect == effect::Extended && cell.effectParam >> 4 == subEffect;
}

inline uint8_t extendedValue(const NoteCell& cell) { return cell.effectParam & 0x0F; }

inline bool volumeColumnPortamento(const NoteCell& cell) { return cell.volume >= 0xF0; }
inline bool volumeColumnSetsVolume(const NoteCell& cell) { return cell.volume >= 0x10 && cell.volume <= 0x50; }
inline bool volumeColumnSetsPanning(const NoteCell& cell) { return cell.volume >> 4 == 0xC; }

// Heard now: a sample with data, at a level above silence.
inline bool sounding(const Voice* voice) {
  return voice != nullptr && voice->sample != nullptr && voice->sample->length > 0 && voice->volume > 0;
}

// An envelope that is on and whose points do not all lie at one value.
inline bool envelopeMoves(const Envelope& envelope) {
  if ((envelope.type & EnvelopeOn) == 0) return false;
  for (int i = 1; i < envelope.pointCount; ++i) {
    if (envelope.points[i].y != envelope.points[0].y) return true;
  }
  return false;
}

// Registers a rule's factory; one at namespace scope in each rule's unit.
template <typename RuleType>
std::unique_ptr<Rule> make() {
  return std::make_unique<RuleType>();
}

}  // namespace vantor::tool::rules
