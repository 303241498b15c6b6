// Effect numbers as the XM format writes them: 0-9, then A = 10 up to Z = 35, and
// the sub-effects of E, selected by the parameter's high nibble.
#pragma once

#include <cstdint>

namespace vantor::effect {

constexpr uint8_t Arpeggio = 0x00;
constexpr uint8_t PortamentoUp = 0x01;
constexpr uint8_t PortamentoDown = 0x02;
constexpr uint8_t TonePortamento = 0x03;
constexpr uint8_t Vibrato = 0x04;
constexpr uint8_t TonePortamentoVolumeSlide = 0x05;
constexpr uint8_t VibratoVolumeSlide = 0x06;
constexpr uint8_t Tremolo = 0x07;
constexpr uint8_t SetPanning = 0x08;
constexpr uint8_t SampleOffset = 0x09;
constexpr uint8_t VolumeSlide = 0x0A;          // A
constexpr uint8_t PositionJump = 0x0B;         // B
constexpr uint8_t SetVolume = 0x0C;            // C
constexpr uint8_t PatternBreak = 0x0D;         // D
constexpr uint8_t Extended = 0x0E;             // E
constexpr uint8_t SetSpeed = 0x0F;             // F
constexpr uint8_t SetGlobalVolume = 0x10;      // G
constexpr uint8_t GlobalVolumeSlide = 0x11;    // H
constexpr uint8_t KeyOff = 0x14;               // K
constexpr uint8_t SetEnvelopePosition = 0x15;  // L
constexpr uint8_t PanningSlide = 0x19;         // P
constexpr uint8_t MultiRetrig = 0x1B;          // R
constexpr uint8_t Tremor = 0x1D;               // T
constexpr uint8_t ExtraFinePortamento = 0x21;  // X

// Sub-effects of E (high nibble of the parameter).
constexpr uint8_t FinePortamentoUp = 0x1;
constexpr uint8_t FinePortamentoDown = 0x2;
constexpr uint8_t VibratoWaveform = 0x4;
constexpr uint8_t SetFinetune = 0x5;
constexpr uint8_t PatternLoop = 0x6;
constexpr uint8_t TremoloWaveform = 0x7;
constexpr uint8_t SetCoarsePanning = 0x8;
constexpr uint8_t Retrigger = 0x9;
constexpr uint8_t FineVolumeSlideUp = 0xA;
constexpr uint8_t FineVolumeSlideDown = 0xB;
constexpr uint8_t NoteCut = 0xC;
constexpr uint8_t NoteDelay = 0xD;
constexpr uint8_t PatternDelay = 0xE;

// Sub-effects of X.
constexpr uint8_t ExtraFinePortamentoUp = 0x1;
constexpr uint8_t ExtraFinePortamentoDown = 0x2;

}  // namespace vantor::effect
