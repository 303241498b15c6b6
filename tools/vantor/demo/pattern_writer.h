// Writes the demo song's patterns the way a tracker shows them: notes by name ("A-4",
// "F#3"), one row per sixteenth note, phrases as note:length tokens and drum lines as
// one character per row.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "xm_builder/xm_builder.h"

namespace vantor::demo {

// Effect numbers of the XM format (A = 10 up to Z = 35).
enum Effect : uint8_t {
  Arpeggio = 0x0,
  PortamentoUp = 0x1,
  PortamentoDown = 0x2,
  TonePortamento = 0x3,
  Vibrato = 0x4,
  VibratoVolumeSlide = 0x6,
  Tremolo = 0x7,
  SetPanning = 0x8,
  SampleOffset = 0x9,
  VolumeSlide = 0xA,
  PatternBreak = 0xD,
  Extended = 0xE,  // with the sub-effect in the high nibble of the parameter
  SetSpeed = 0xF,  // below 32: ticks per row; from 32 on: beats per minute
  SetGlobalVolume = 16,
  GlobalVolumeSlide = 17,
  KeyOffEffect = 20,
  PanningSlide = 25,
  MultiRetrigger = 27,
};

// Sub-effects of Extended, already in the high nibble.
enum ExtendedEffect : uint8_t {
  PatternLoop = 0x60,
  SetPanningCoarse = 0x80,
  Retrigger = 0x90,
  NoteCut = 0xC0,
  NoteDelay = 0xD0,
};

// Volume column bytes.
constexpr uint8_t setVolume(int volume) { return static_cast<uint8_t>(0x10 + volume); }
constexpr uint8_t volumeSlideDown(int speed) { return static_cast<uint8_t>(0x60 + speed); }
constexpr uint8_t volumeSlideUp(int speed) { return static_cast<uint8_t>(0x70 + speed); }
constexpr uint8_t fineVolumeDown(int step) { return static_cast<uint8_t>(0x80 + step); }
constexpr uint8_t panTo(int sixteenths) { return static_cast<uint8_t>(0xC0 + sixteenths); }
constexpr uint8_t panSlideRight(int speed) { return static_cast<uint8_t>(0xE0 + speed); }

constexpr uint8_t keyOffNote = 97;

// The XM note number of a name such as "C-4" or "F#3" (C-0 is 1); 0 for anything else.
uint8_t noteNumber(std::string_view name);

// One kind of drum hit for drumLine: what a character of the line writes.
struct Hit {
  char symbol;
  std::string_view note;
  uint8_t instrument;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t param = 0;
};

class PatternWriter {
 public:
  explicit PatternWriter(uint16_t rowCount);

  xm::XmCell& cell(int channel, int row);
  void note(int channel, int row, std::string_view name, uint8_t instrument, uint8_t volume = 0);
  void keyOff(int channel, int row);
  void effect(int channel, int row, uint8_t effect, uint8_t param);
  void volume(int channel, int row, uint8_t volumeByte);

  // Writes a phrase from `row` on: space-separated tokens NOTE:LENGTH in rows, where
  // NOTE is a note name, "==" for a key-off or "..." for a rest. Returns the row after it.
  int phrase(int channel, int row, std::string_view tokens, uint8_t instrument, uint8_t volume = 0);

  // One character per row from `row` on: a hit's symbol writes that hit, any other
  // character leaves the row alone.
  void drumLine(int channel, int row, std::string_view steps, std::initializer_list<Hit> hits);

  xm::XmPattern take() { return std::move(pattern_); }

 private:
  xm::XmPattern pattern_;
};

}  // namespace vantor::demo
