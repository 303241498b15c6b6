// The XM loader's instruments: instrument headers with keymap, envelopes and
// auto-vibrato, then each instrument's sample headers and sample data.
//
// An instrument is taken into the song only once its header and all its sample
// headers have arrived. A file that ends before that leaves it and every later
// instrument empty; sample data that runs out is kept as far as it goes.
#include <algorithm>
#include <iterator>

#include "loading/xm_reading.h"

namespace vantor {

namespace {

constexpr uint16_t maxSamplesPerInstrument = instrumentSampleSlots;
constexpr int envelopePointsInFile = 12;
constexpr uint16_t highestEnvelopeValue = 64;
constexpr int64_t instrumentNameAndType = 23;
constexpr int64_t sampleReservedAndName = 23;
// Lengths stay below 2^30 values so that the mixer's 32.32 positions of twice the
// loop end, and length + 8, cannot overflow.
constexpr uint32_t sampleLengthLimit = (uint32_t{1} << 30) - 1;

// Sample type bits.
constexpr uint8_t typeForwardLoop = 0x01;
constexpr uint8_t typePingPongLoop = 0x02;
constexpr uint8_t typeSixteenBit = 0x10;
constexpr uint8_t typeStereo = 0x20;  // not played as stereo: noted only

enum class InstrumentRead { Whole, Cut, Refused };

void readEnvelopePoints(ByteReader& reader, EnvelopePoint* points) {
  for (int point = 0; point < envelopePointsInFile; ++point) {
    points[point].x = reader.u16();
    points[point].y = reader.u16();
  }
}

// Keeps every envelope read inside the 12 points the file holds and every value in
// 0..64, so the envelope code can trust them; true when something was changed.
bool limitEnvelope(EnvelopePoint* points, uint8_t& pointCount, uint8_t& sustainPoint, uint8_t& loopStart,
                   uint8_t& loopEnd) {
  bool limited = false;
  auto limit = [&limited](uint8_t& value, uint8_t highest) {
    if (value > highest) {
      value = highest;
      limited = true;
    }
  };
  limit(pointCount, envelopePointsInFile);
  limit(sustainPoint, envelopePointsInFile);
  limit(loopStart, envelopePointsInFile);
  limit(loopEnd, envelopePointsInFile);
  for (int point = 0; point < envelopePointsInFile; ++point) {
    if (points[point].y > highestEnvelopeValue) {
      points[point].y = highestEnvelopeValue;
      limited = true;
    }
  }
  return limited;
}

// The instrument header from offset 29 on (present only when it has samples).
void readInstrumentBody(ByteReader& reader, Instrument& instrument) {
  reader.u32();  // sample header size: sample headers are always taken to be 40 bytes
  reader.read(instrument.keymap, sizeof instrument.keymap);
  readEnvelopePoints(reader, instrument.volumeEnvelopePoints);
  readEnvelopePoints(reader, instrument.panningEnvelopePoints);
  instrument.volumeEnvelopePointCount = reader.u8();
  instrument.panningEnvelopePointCount = reader.u8();
  instrument.volumeEnvelopeSustainPoint = reader.u8();
  instrument.volumeEnvelopeLoopStart = reader.u8();
  instrument.volumeEnvelopeLoopEnd = reader.u8();
  instrument.panningEnvelopeSustainPoint = reader.u8();
  instrument.panningEnvelopeLoopStart = reader.u8();
  instrument.panningEnvelopeLoopEnd = reader.u8();
  instrument.volumeEnvelopeType = reader.u8();
  instrument.panningEnvelopeType = reader.u8();
  instrument.vibratoType = reader.u8();
  instrument.vibratoSweep = reader.u8();
  instrument.vibratoDepth = reader.u8();
  instrument.vibratoRate = reader.u8();
  // Doubled and kept to 16 bits: 0x8001 becomes 2.
  instrument.fadeout = static_cast<uint16_t>(reader.u16() * 2);
}

void normaliseEnvelopes(Instrument& instrument, LoadNotes& notes) {
  bool limited = limitEnvelope(instrument.volumeEnvelopePoints, instrument.volumeEnvelopePointCount,
                               instrument.volumeEnvelopeSustainPoint, instrument.volumeEnvelopeLoopStart,
                               instrument.volumeEnvelopeLoopEnd);
  limited |= limitEnvelope(instrument.panningEnvelopePoints, instrument.panningEnvelopePointCount,
                           instrument.panningEnvelopeSustainPoint, instrument.panningEnvelopeLoopStart,
                           instrument.panningEnvelopeLoopEnd);
  if (limited) ++notes.envelopesLimited;
  // An envelope needs two points to describe anything.
  if (instrument.volumeEnvelopePointCount < 2) instrument.volumeEnvelopeType = 0;
  if (instrument.panningEnvelopePointCount < 2) instrument.panningEnvelopeType = 0;
}

struct SampleHeader {
  uint32_t length;  // bytes
  uint32_t loopStart;
  uint32_t loopLength;
  uint8_t volume;
  int8_t finetune;
  uint8_t type;
  uint8_t panning;
  int8_t relativeNote;
};

SampleHeader readSampleHeader(ByteReader& reader) {
  SampleHeader header{};
  header.length = reader.u32();
  header.loopStart = reader.u32();
  header.loopLength = reader.u32();
  header.volume = reader.u8();
  header.finetune = static_cast<int8_t>(reader.u8());
  header.type = reader.u8();
  header.panning = reader.u8();
  header.relativeNote = static_cast<int8_t>(reader.u8());
  reader.skip(sampleReservedAndName);
  return header;
}

void removeLoop(Sample& sample) {
  sample.loopMode = LoopNone;
  sample.loopStart = 0;
  sample.loopLength = sample.length;
}

// Brings the loop inside the sample, so that the loop guard and every read of the
// mixer stay within length + 8 values; true when a loop reaching beyond the sample
// had to be cut or removed.
bool fitLoop(Sample& sample) {
  if (sample.loopMode == LoopNone || sample.loopLength == 0) {
    removeLoop(sample);
    return false;
  }
  if (sample.loopStart >= sample.length) {
    removeLoop(sample);
    return true;
  }
  if (uint64_t{sample.loopStart} + sample.loopLength > sample.length) {
    sample.loopLength = sample.length - sample.loopStart;
    return true;
  }
  return false;
}

// Fills a sample record from its header; `length` is the declared number of values.
void applySampleHeader(const SampleHeader& header, Sample& sample, LoadNotes& notes) {
  sample.length = header.length;
  sample.loopStart = header.loopStart;
  sample.loopLength = header.loopLength;
  sample.volume = header.volume;  // not clamped
  sample.finetune = header.finetune;
  sample.panning = header.panning;
  sample.relativeNote = header.relativeNote;
  sample.bitsPerSample = 8;
  sample.loopMode = LoopNone;
  // With both loop bits set the loop is ping-pong.
  if (header.type & typeForwardLoop) sample.loopMode = LoopForward;
  if (header.type & typePingPongLoop) sample.loopMode = LoopPingPong;
  if (header.type & typeSixteenBit) {
    sample.bitsPerSample = 16;
    // Byte counts become value counts; an odd byte length drops its last byte.
    sample.length >>= 1;
    sample.loopStart >>= 1;
    sample.loopLength >>= 1;
  }
  if (sample.length > sampleLengthLimit) {
    sample.length = sampleLengthLimit;
    ++notes.sampleLengthsLimited;
  }
  if (fitLoop(sample)) ++notes.loopsClamped;
}

// Turns the raw bytes at the start of data into `count` 16-bit values: 8-bit bytes
// go to the high half, 16-bit values are little-endian.
void widenToSixteenBits(int16_t* data, uint32_t count, int bitsPerSample) {
  auto* bytes = reinterpret_cast<uint8_t*>(data);
  if (bitsPerSample == 8) {
    // Backwards, so that no byte is overwritten before it is read.
    for (uint32_t k = count; k-- > 0;) data[k] = static_cast<int16_t>(bytes[k] << 8);
  } else {
    for (uint32_t k = 0; k < count; ++k) {
      data[k] = static_cast<int16_t>(bytes[2 * k] | bytes[2 * k + 1] << 8);
    }
  }
}

// Stored values are differences from the previous value, wrapping at 16 bits (for
// widened 8-bit data this equals 8-bit wrapping scaled by 256).
void decodeDeltas(int16_t* data, uint32_t count) {
  uint16_t sum = 0;
  for (uint32_t k = 0; k < count; ++k) {
    sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(data[k]));
    data[k] = static_cast<int16_t>(sum);
  }
}

// The value after the loop end repeats a loop value, so interpolation across the
// wrap reads a sensible neighbour: the loop start for forward loops, the last loop
// value for ping-pong. A sample without loop keeps 0 there.
void writeLoopGuard(Sample& sample) {
  uint32_t loopEnd = sample.loopStart + sample.loopLength;
  if (sample.loopMode == LoopPingPong) sample.data[loopEnd] = sample.data[loopEnd - 1];
  if (sample.loopMode == LoopForward) sample.data[loopEnd] = sample.data[sample.loopStart];
}

// Reads one sample's data. Only what the source still holds is read and allocated;
// a sample whose data runs out is shortened to the whole values delivered.
bool readSampleData(XmLoad& load, const SampleHeader& header, Sample& sample, int instrumentIndex,
                    int sampleIndex) {
  ByteReader& reader = load.reader;
  const uint32_t bytesPerValue = sample.bitsPerSample / 8;
  // Whole values as the header declares them, before any limit.
  const uint64_t storedBytes = header.length / bytesPerValue * uint64_t{bytesPerValue};
  const int64_t dataStart = reader.position();
  uint32_t values = static_cast<uint32_t>(
      std::min<uint64_t>(sample.length, static_cast<uint64_t>(reader.remaining()) / bytesPerValue));
  if (values > 0) {
    sample.data = loadSampleData(values);
    if (sample.data == nullptr) return refuse(load, LoadRefusal::OutOfMemory);
    uint32_t byteCount = values * bytesPerValue;
    if (load.song.sampleProvider != nullptr) {
      load.song.sampleProvider(sample.data, byteCount, sample.bitsPerSample, instrumentIndex, sampleIndex);
    } else {
      values = static_cast<uint32_t>(reader.read(sample.data, byteCount) / bytesPerValue);
    }
    widenToSixteenBits(sample.data, values, sample.bitsPerSample);
    // Clears an odd byte or zero fill left by a short read: values after the end are 0.
    std::fill(sample.data + values, sample.data + byteCount / bytesPerValue, int16_t{0});
    // Data from a provider is plain PCM.
    if (load.song.sampleProvider == nullptr) decodeDeltas(sample.data, values);
  }
  // The next sample's data starts after this one's stored bytes. Past the end of the
  // file the reader is marked short, so later instruments are cut, and a part value
  // left over is nobody's data.
  if (!reader.seekTo(dataStart + static_cast<int64_t>(storedBytes))) reader.seekTo(reader.size());
  sample.bitsPerSample = 16;
  if (values < sample.length) {
    ++load.notes.samplesShortened;
    sample.length = values;
    if (values == 0) {
      freeSampleData(sample.data);
      sample.data = nullptr;
    }
    if (fitLoop(sample)) ++load.notes.loopsClamped;
  }
  writeLoopGuard(sample);
  return true;
}

void leaveEmpty(Instrument& instrument) {
  instrument = Instrument{};
  std::fill(std::begin(instrument.samples), std::end(instrument.samples), &emptySample);
}

void noteStereoSample(LoadNotes& notes, int instrumentIndex, int slot) {
  const int kept = static_cast<int>(std::size(notes.firstStereoSamples));
  if (notes.stereoSamples < kept) notes.firstStereoSamples[notes.stereoSamples] = {instrumentIndex, slot};
  ++notes.stereoSamples;
}

// Creates the instrument's samples from their headers and reads their data.
bool takeSamples(XmLoad& load, int instrumentIndex, const SampleHeader* headers, uint16_t sampleCount) {
  Instrument& instrument = load.song.instruments[instrumentIndex];
  // Slots below sampleCount are owned (or still null) at every moment, so a song
  // refused halfway is released exactly once.
  instrument.sampleCount = sampleCount;
  std::fill(instrument.samples + sampleCount, std::end(instrument.samples), &emptySample);
  for (int slot = 0; slot < sampleCount; ++slot) {
    auto* sample = static_cast<Sample*>(loadAllocation(1, sizeof(Sample)));
    if (sample == nullptr) return refuse(load, LoadRefusal::OutOfMemory);
    instrument.samples[slot] = sample;
    applySampleHeader(headers[slot], *sample, load.notes);
    if (headers[slot].type & typeStereo) noteStereoSample(load.notes, instrumentIndex, slot);
  }
  for (int slot = 0; slot < sampleCount; ++slot) {
    if (!readSampleData(load, headers[slot], *instrument.samples[slot], instrumentIndex, slot)) return false;
  }
  return true;
}

InstrumentRead readInstrument(XmLoad& load, int instrumentIndex) {
  ByteReader& reader = load.reader;
  const int64_t start = reader.position();
  const uint32_t headerSize = reader.u32();
  reader.skip(instrumentNameAndType);
  const uint16_t sampleCount = reader.u16();
  if (reader.ranShort()) return InstrumentRead::Cut;
  if (sampleCount > maxSamplesPerInstrument) {
    load.notes.refusedInstrument = instrumentIndex;
    refuse(load, LoadRefusal::TooManySamples);
    return InstrumentRead::Refused;
  }
  // Any header size is honoured, even one shorter than the fields read.
  const int64_t sampleHeadersStart = start + int64_t{headerSize};
  if (sampleCount == 0) {
    // Nothing else is read, but an instrument reaching past the end of the file is cut.
    if (!reader.seekTo(sampleHeadersStart)) return InstrumentRead::Cut;
    leaveEmpty(load.song.instruments[instrumentIndex]);
    return InstrumentRead::Whole;
  }

  Instrument body{};
  readInstrumentBody(reader, body);
  reader.seekTo(sampleHeadersStart);
  SampleHeader headers[maxSamplesPerInstrument];
  for (int slot = 0; slot < sampleCount; ++slot) headers[slot] = readSampleHeader(reader);
  if (reader.ranShort()) return InstrumentRead::Cut;

  normaliseEnvelopes(body, load.notes);
  load.song.instruments[instrumentIndex] = body;
  if (!takeSamples(load, instrumentIndex, headers, sampleCount)) return InstrumentRead::Refused;
  return InstrumentRead::Whole;
}

}  // namespace

bool readInstruments(XmLoad& load) {
  Song& song = load.song;
  int count = song.instrumentCount > 0 ? song.instrumentCount : 0;
  song.instruments = static_cast<Instrument*>(loadAllocation(count, sizeof(Instrument)));
  if (song.instruments == nullptr && count > 0) return refuse(load, LoadRefusal::OutOfMemory);
  for (int index = 0; index < count; ++index) {
    InstrumentRead result = readInstrument(load, index);
    if (result == InstrumentRead::Refused) return false;
    if (result == InstrumentRead::Cut) {
      // The file ends inside the list: nothing of this instrument or later ones can play.
      load.notes.instrumentsCutAt = index;
      load.notes.instrumentsCut = count - index;
      for (int rest = index; rest < count; ++rest) leaveEmpty(song.instruments[rest]);
      break;
    }
  }
  return true;
}

}  // namespace vantor
