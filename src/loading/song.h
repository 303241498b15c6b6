// The in-memory form of one loaded module: header values, order table, unpacked
// patterns, instruments with 16-bit samples, and the replay state that the
// sequencer and the block renderer advance while it plays.
//
// Records are plain structures allocated zero-filled (std::calloc) and released
// explicitly by freeSong; they have no constructors or destructors. Every field the
// loader does not set starts as zero.
#pragma once

#include <cstdint>

namespace vantor {

struct Song;

// Called by the block renderer once per tick; the loader installs sequencerTick.
using TickHandler = void (*)(Song* song);

// Optional hook that delivers sample data instead of the byte source: buffer to
// fill, bytes to deliver, bits per sample as stored (8 or 16), instrument index and
// sample index within the instrument (both 0-based). Its data is plain signed PCM.
using SampleProvider = void (*)(void* buffer, uint32_t byteCount, int bitsPerSample, int instrumentIndex,
                                int sampleIndex);

// One pattern cell. note: 0 none, 1..96 a note (1 lowest), 255 key-off.
// instrument: 0 none, 1..128. The other three bytes are stored as in the file.
struct NoteCell {
  uint8_t note;
  uint8_t instrument;
  uint8_t volume;
  uint8_t effect;
  uint8_t effectParam;
};
static_assert(sizeof(NoteCell) == 5);

struct Pattern {
  uint32_t rowCount;
  NoteCell* cells;  // rowCount x channelCount cells, row-major
};

// Sample loop modes (Sample::loopMode).
constexpr uint8_t LoopNone = 1;
constexpr uint8_t LoopForward = 2;
constexpr uint8_t LoopPingPong = 4;

struct Sample {
  int16_t* data;  // length + 8 values (plus one spare value before data[0]); null when length is 0
  uint32_t length;
  uint32_t loopStart;   // 0 when the sample does not loop
  uint32_t loopLength;  // equals length when the sample does not loop
  uint8_t volume;       // 0..64 in a well-formed file, not clamped
  int8_t finetune;
  uint32_t panning;  // 0..255, 128 centre
  uint8_t bitsPerSample;  // 16 once loaded
  uint8_t loopMode;       // LoopNone, LoopForward or LoopPingPong
  int8_t relativeNote;
};

constexpr int envelopePointSlots = 20;  // the file fills the first 12
constexpr int instrumentSampleSlots = 16;
constexpr int keymapSize = 96;

struct EnvelopePoint {
  uint16_t x;  // position in ticks
  uint16_t y;  // value
};

// Envelope type bits.
constexpr uint8_t EnvelopeOn = 1;
constexpr uint8_t EnvelopeSustain = 2;
constexpr uint8_t EnvelopeLoop = 4;

struct Instrument {
  uint32_t sampleCount;                         // 0..16
  Sample* samples[instrumentSampleSlots];       // own samples below sampleCount, emptySample above
  uint8_t keymap[keymapSize];                   // sample slot for notes 0..95
  EnvelopePoint volumeEnvelopePoints[envelopePointSlots];
  EnvelopePoint panningEnvelopePoints[envelopePointSlots];
  uint8_t volumeEnvelopePointCount;
  uint8_t panningEnvelopePointCount;
  uint8_t volumeEnvelopeSustainPoint;
  uint8_t volumeEnvelopeLoopStart;
  uint8_t volumeEnvelopeLoopEnd;
  uint8_t panningEnvelopeSustainPoint;
  uint8_t panningEnvelopeLoopStart;
  uint8_t panningEnvelopeLoopEnd;
  uint8_t volumeEnvelopeType;
  uint8_t panningEnvelopeType;
  uint8_t vibratoType;   // auto-vibrato waveform
  uint8_t vibratoSweep;  // auto-vibrato sweep
  uint8_t vibratoDepth;  // auto-vibrato depth
  uint8_t vibratoRate;   // auto-vibrato rate
  uint16_t fadeout;      // already doubled by the loader
};

// The six items that describe one envelope of an instrument, as handed to stepEnvelope.
struct Envelope {
  const EnvelopePoint* points;
  uint8_t pointCount;
  uint8_t sustainPoint;
  uint8_t loopStart;
  uint8_t loopEnd;
  uint8_t type;
};

inline Envelope volumeEnvelope(const Instrument& instrument) {
  return {instrument.volumeEnvelopePoints, instrument.volumeEnvelopePointCount,
          instrument.volumeEnvelopeSustainPoint, instrument.volumeEnvelopeLoopStart,
          instrument.volumeEnvelopeLoopEnd, instrument.volumeEnvelopeType};
}

inline Envelope panningEnvelope(const Instrument& instrument) {
  return {instrument.panningEnvelopePoints, instrument.panningEnvelopePointCount,
          instrument.panningEnvelopeSustainPoint, instrument.panningEnvelopeLoopStart,
          instrument.panningEnvelopeLoopEnd, instrument.panningEnvelopeType};
}

// Song flags.
constexpr uint16_t LinearFrequencyTable = 1;

struct Song {
  Pattern* patterns;        // patternCount records, indexed by pattern number
  Instrument* instruments;  // instrumentCount records, indexed by instrument number - 1
  int32_t tickSamplesLeft;  // frames still to render before the next tick; 0: a tick is due
  int32_t samplesPerTick;
  int16_t songLength;
  int16_t restartPosition;
  int16_t channelCount;
  int32_t orderPatternSpan;  // highest pattern number among the used orders, plus 1
  int32_t patternCount;
  int16_t instrumentCount;  // compared as a signed value everywhere
  uint16_t flags;           // bit 0: linear frequency table
  int16_t defaultSpeed;
  int16_t defaultBpm;
  uint8_t orders[256];
  uint8_t defaultGlobalVolume;
  // Replay state, reset by playSong.
  int32_t globalVolume;
  uint8_t globalVolumeSlideMemory;
  int32_t tick;
  int32_t speed;
  int32_t bpm;
  int32_t row;
  int32_t orderPosition;
  int32_t patternDelayTicks;
  int32_t nextRow;            // -1: none
  int32_t nextOrderPosition;  // -1: none
  TickHandler tickHandler;
  SampleProvider sampleProvider;
};

// Shared records, once for the whole player. The sequencer falls back on them for
// out-of-range instruments and keymap entries; nothing may write them.
extern Sample emptySample;
extern Instrument emptyInstrument;

// Sample storage: `length` + 8 values after data[0] and one zero value before it, so
// that the mixer may read one frame on either side of the played range. Returns null
// when the allocation fails; a length of 0 gives null as well.
int16_t* allocateSampleData(uint32_t length);
void freeSampleData(int16_t* data);

// Frees the song with everything it owns, and nothing else: freeSong ends playback
// first, then calls this. False for null.
bool freeSongRecords(Song* song);

}  // namespace vantor
