// Instruments, envelopes, sample headers and sample data.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <vector>

#include "loading/load_notes.h"
#include "loading/xm_loader.h"
#include "output/release.h"
#include "support/song_loading.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using xm::buildXm;
using test::loadFromMemory;
using xm::XmInstrument;
using xm::XmLoop;
using xm::XmModule;
using xm::XmPattern;
using xm::XmSample;

XmModule moduleWith(std::vector<XmInstrument> instruments) {
  XmModule module;
  module.channelCount = 1;
  module.patterns = {XmPattern::empty(1, 1)};
  module.instruments = std::move(instruments);
  return module;
}

test::SongPointer loadInstruments(std::vector<XmInstrument> instruments) {
  return loadFromMemory(buildXm(moduleWith(std::move(instruments))));
}

const Sample& firstSample(const test::SongPointer& song, int instrument = 0) {
  return *song->instruments[instrument].samples[0];
}

std::vector<int> ramp(int count, int step, int from = 0) {
  std::vector<int> values;
  for (int i = 0; i < count; ++i) values.push_back(from + i * step);
  return values;
}

TEST(XmInstruments, HeaderFieldsAreStored) {
  XmInstrument instrument = XmInstrument::withSample(XmSample::eightBit({1, 2}));
  instrument.keymap[0] = 3;
  instrument.keymap[95] = 15;
  instrument.vibratoType = 1;
  instrument.vibratoSweep = 2;
  instrument.vibratoDepth = 3;
  instrument.vibratoRate = 4;
  instrument.fadeout = 0x8001;  // doubled and kept to 16 bits
  instrument.volumeEnvelope = {
      .points = {{0, 64}, {10, 32}, {20, 0}}, .sustainPoint = 1, .loopStart = 0, .loopEnd = 2, .type = 7};
  instrument.samples[0].volume = 200;  // not clamped
  instrument.samples[0].finetune = -16;
  instrument.samples[0].panning = 255;
  instrument.samples[0].relativeNote = -12;
  auto song = loadInstruments({instrument});
  ASSERT_TRUE(song);
  const Instrument& loaded = song->instruments[0];
  EXPECT_EQ(loaded.keymap[0], 3);
  EXPECT_EQ(loaded.keymap[95], 15);
  EXPECT_EQ(loaded.vibratoType, 1);
  EXPECT_EQ(loaded.vibratoRate, 4);
  EXPECT_EQ(loaded.fadeout, 2);
  EXPECT_EQ(loaded.volumeEnvelopePointCount, 3);
  EXPECT_EQ(loaded.volumeEnvelopePoints[1].x, 10);
  EXPECT_EQ(loaded.volumeEnvelopePoints[1].y, 32);
  EXPECT_EQ(loaded.volumeEnvelopeLoopEnd, 2);
  EXPECT_EQ(loaded.volumeEnvelopeType, 7);
  const Sample& sample = *loaded.samples[0];
  EXPECT_EQ(sample.volume, 200);
  EXPECT_EQ(sample.finetune, -16);
  EXPECT_EQ(sample.panning, 255u);
  EXPECT_EQ(sample.relativeNote, -12);
  EXPECT_EQ(sample.bitsPerSample, 16);
  for (int slot = 1; slot < 16; ++slot) EXPECT_EQ(loaded.samples[slot], &emptySample);
}

TEST(XmInstruments, ZeroSamplesLeaveEveryFieldEmptyAndTheNextStartsAtTheHeaderSize) {
  XmInstrument empty;
  empty.headerSize = 40;  // 11 bytes of padding after the sample count
  empty.keymap[0] = 5;    // not written without samples
  XmInstrument next = XmInstrument::withSample(XmSample::eightBit({10, 20, 30}));
  auto song = loadInstruments({empty, next});
  ASSERT_TRUE(song);
  const Instrument& loaded = song->instruments[0];
  EXPECT_EQ(loaded.sampleCount, 0u);
  EXPECT_EQ(loaded.keymap[0], 0);
  for (Sample* slot : loaded.samples) EXPECT_EQ(slot, &emptySample);
  const Sample& sample = firstSample(song, 1);
  ASSERT_EQ(sample.length, 3u);
  EXPECT_EQ(sample.data[2], 30 << 8);
}

TEST(XmInstruments, SeventeenSamplesFailAfterEarlierInstrumentsLoaded) {
  XmInstrument good = XmInstrument::withSample(XmSample::eightBit(ramp(50, 1)));
  XmInstrument tooMany = XmInstrument::withSample(XmSample::eightBit({1}));
  tooMany.sampleCountField = 17;
  XmInstrument after = XmInstrument::withSample(XmSample::eightBit({1}));
  std::vector<uint8_t> bytes = buildXm(moduleWith({good, tooMany, after}));
  EXPECT_FALSE(loadFromMemory(bytes));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::TooManySamples);
  EXPECT_EQ(lastLoadNotes().refusedInstrument, 1);

  // What the loader leaves for freeSong: the earlier instrument whole, the rest zero.
  memoryBlock = {bytes.data(), static_cast<uint32_t>(bytes.size()), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  auto* song = static_cast<Song*>(std::calloc(1, sizeof(Song)));
  SourceHandle* source = openSource("memload");
  EXPECT_FALSE(loadXmModule(song, source));
  closeSource(source);
  ASSERT_NE(song->instruments, nullptr);
  EXPECT_EQ(song->instruments[0].sampleCount, 1u);
  EXPECT_EQ(song->instruments[0].samples[0]->length, 50u);
  EXPECT_EQ(song->instruments[1].sampleCount, 0u);
  EXPECT_EQ(song->instruments[2].sampleCount, 0u);
  EXPECT_TRUE(freeSong(song));  // the sanitizer build checks it frees each record once
}

TEST(XmInstruments, SixteenSamplesAllLoad) {
  XmInstrument full;
  for (int slot = 0; slot < 16; ++slot) full.samples.push_back(XmSample::eightBit({slot + 1}));
  auto song = loadInstruments({full});
  ASSERT_TRUE(song);
  ASSERT_EQ(song->instruments[0].sampleCount, 16u);
  EXPECT_EQ(song->instruments[0].samples[15]->data[0], 16 << 8);
}

TEST(XmSamples, SixteenBitLengthsAndLoopsAreHalvedWithAForwardGuard) {
  XmSample sample = XmSample::sixteenBits(ramp(500, 37, -9000));
  sample.loop = XmLoop::Forward;
  sample.loopStart = 100;  // 200 and 400 bytes in the header
  sample.loopLength = 200;
  auto song = loadInstruments({XmInstrument::withSample(sample)});
  ASSERT_TRUE(song);
  const Sample& loaded = firstSample(song);
  EXPECT_EQ(loaded.length, 500u);
  EXPECT_EQ(loaded.loopStart, 100u);
  EXPECT_EQ(loaded.loopLength, 200u);
  EXPECT_EQ(loaded.loopMode, LoopForward);
  EXPECT_EQ(loaded.data[0], -9000);
  EXPECT_EQ(loaded.data[299], -9000 + 299 * 37);
  EXPECT_EQ(loaded.data[300], loaded.data[100]);
  EXPECT_EQ(loaded.data[-1], 0);
  for (int k = 500; k < 508; ++k) EXPECT_EQ(loaded.data[k], 0);
}

TEST(XmSamples, LoopTypeBitsPickTheLoopMode) {
  XmSample both = XmSample::eightBit(ramp(20, 3));
  both.typeField = 3;  // both loop bits: ping-pong
  both.loopStart = 4;
  both.loopLength = 8;
  XmSample none = XmSample::eightBit(ramp(20, 3));
  none.loopStart = 4;
  none.loopLength = 8;  // ignored without a loop bit
  XmSample emptyLoop = XmSample::eightBit(ramp(20, 3));
  emptyLoop.loop = XmLoop::Forward;
  emptyLoop.loopStart = 4;
  emptyLoop.loopLength = 0;
  XmSample halfValueLoop = XmSample::sixteenBits(ramp(20, 3));
  halfValueLoop.loop = XmLoop::PingPong;
  halfValueLoop.loopLengthField = 1;  // one byte: no whole value
  XmInstrument instrument;
  instrument.samples = {both, none, emptyLoop, halfValueLoop};
  auto song = loadInstruments({instrument});
  ASSERT_TRUE(song);
  const Sample& pingPong = *song->instruments[0].samples[0];
  EXPECT_EQ(pingPong.loopMode, LoopPingPong);
  EXPECT_EQ(pingPong.data[12], pingPong.data[11]);
  for (int slot = 1; slot < 4; ++slot) {
    const Sample& plain = *song->instruments[0].samples[slot];
    EXPECT_EQ(plain.loopMode, LoopNone) << slot;
    EXPECT_EQ(plain.loopStart, 0u);
    EXPECT_EQ(plain.loopLength, plain.length);
    EXPECT_EQ(plain.data[plain.length], 0);  // no guard without a loop
  }
}

TEST(XmSamples, EightBitDeltasWidenWithEightBitWrapAround) {
  XmSample sample;
  sample.rawData = std::vector<uint8_t>{0x10, 0x05, 0xF0};
  sample.lengthField = 3;
  auto song = loadInstruments({XmInstrument::withSample(sample)});
  ASSERT_TRUE(song);
  const Sample& loaded = firstSample(song);
  EXPECT_EQ(loaded.data[0], 0x1000);
  EXPECT_EQ(loaded.data[1], 0x1500);
  EXPECT_EQ(loaded.data[2], 0x0500);
  EXPECT_EQ(loaded.bitsPerSample, 16);
}

TEST(XmSamples, OddSixteenBitByteLengthLeavesTheLastByteToTheNextSample) {
  XmSample odd = XmSample::sixteenBits({});
  odd.lengthField = 7;
  odd.rawData = std::vector<uint8_t>{0x01, 0x00, 0x01, 0x00, 0x01, 0x00};
  XmSample next = XmSample::sixteenBits({0x1234, -2});
  XmInstrument instrument;
  instrument.samples = {odd, next};
  auto song = loadInstruments({instrument});
  ASSERT_TRUE(song);
  const Sample& first = *song->instruments[0].samples[0];
  EXPECT_EQ(first.length, 3u);
  EXPECT_EQ(first.data[2], 3);
  EXPECT_EQ(first.data[3], 0);
  const Sample& second = *song->instruments[0].samples[1];
  ASSERT_EQ(second.length, 2u);
  EXPECT_EQ(second.data[0], 0x1234);
  EXPECT_EQ(second.data[1], -2);
}

TEST(XmSamples, LoopsReachingBeyondTheSampleAreClamped) {
  XmSample tooLong = XmSample::eightBit(ramp(100, 1));
  tooLong.loop = XmLoop::Forward;
  tooLong.loopStart = 90;
  tooLong.loopLength = 50;
  XmSample startOutside = XmSample::eightBit(ramp(100, 1));
  startOutside.loop = XmLoop::PingPong;
  startOutside.loopStart = 120;
  startOutside.loopLength = 10;
  XmSample wrapping = XmSample::eightBit(ramp(100, 1));
  wrapping.loop = XmLoop::Forward;
  wrapping.loopStartField = 10;
  wrapping.loopLengthField = 0xFFFFFFFA;  // start + length wraps to 4 in 32 bits
  XmInstrument instrument;
  instrument.samples = {tooLong, startOutside, wrapping};
  auto song = loadInstruments({instrument});
  ASSERT_TRUE(song);
  const Sample& clamped = *song->instruments[0].samples[0];
  EXPECT_EQ(clamped.loopStart, 90u);
  EXPECT_EQ(clamped.loopLength, 10u);
  EXPECT_EQ(clamped.data[100], clamped.data[90]);
  const Sample& removed = *song->instruments[0].samples[1];
  EXPECT_EQ(removed.loopMode, LoopNone);
  EXPECT_EQ(removed.loopLength, 100u);
  EXPECT_EQ(removed.data[100], 0);
  const Sample& wrapped = *song->instruments[0].samples[2];
  EXPECT_EQ(wrapped.loopStart, 10u);
  EXPECT_EQ(wrapped.loopLength, 90u);
  EXPECT_EQ(lastLoadNotes().loopsClamped, 3);
}

TEST(XmSamples, HugeDeclaredLengthIsLimitedToWhatTheFileHolds) {
  XmSample huge = XmSample::eightBit({});
  huge.lengthField = 0x7FFFFFFC;
  huge.rawData = std::vector<uint8_t>(1500, 1);
  auto song = loadInstruments({XmInstrument::withSample(huge)});
  ASSERT_TRUE(song);
  const Sample& loaded = firstSample(song);
  EXPECT_EQ(loaded.length, 1500u);
  EXPECT_EQ(loaded.loopLength, 1500u);
  EXPECT_EQ(loaded.data[1499], static_cast<int16_t>(1500 << 8));
  EXPECT_EQ(lastLoadNotes().samplesShortened, 1);
}

TEST(XmEnvelopes, FewerThanTwoPointsSwitchTheEnvelopeOff) {
  XmInstrument instrument = XmInstrument::withSample(XmSample::eightBit({1}));
  instrument.volumeEnvelope = {.points = {{0, 64}}, .type = 1};
  instrument.panningEnvelope = {.points = {{0, 32}, {10, 0}}, .type = 1};
  auto song = loadInstruments({instrument});
  ASSERT_TRUE(song);
  EXPECT_EQ(song->instruments[0].volumeEnvelopeType, 0);
  EXPECT_EQ(song->instruments[0].panningEnvelopeType, 1);
}

TEST(XmEnvelopes, CountsIndexesAndValuesAreLimited) {
  XmInstrument instrument = XmInstrument::withSample(XmSample::eightBit({1}));
  instrument.volumeEnvelope = {.points = {{0, 40000}, {5, 64}, {9, 65}},
                               .pointCountField = 200,
                               .sustainPoint = 13,
                               .loopStart = 250,
                               .loopEnd = 12,
                               .type = 7};
  auto song = loadInstruments({instrument});
  ASSERT_TRUE(song);
  const Instrument& loaded = song->instruments[0];
  EXPECT_EQ(loaded.volumeEnvelopePointCount, 12);
  EXPECT_EQ(loaded.volumeEnvelopeSustainPoint, 12);
  EXPECT_EQ(loaded.volumeEnvelopeLoopStart, 12);
  EXPECT_EQ(loaded.volumeEnvelopeLoopEnd, 12);
  EXPECT_EQ(loaded.volumeEnvelopeType, 7);
  EXPECT_EQ(loaded.volumeEnvelopePoints[0].y, 64);
  EXPECT_EQ(loaded.volumeEnvelopePoints[1].y, 64);
  EXPECT_EQ(loaded.volumeEnvelopePoints[2].y, 64);
  for (int slot = 12; slot < envelopePointSlots; ++slot) EXPECT_EQ(loaded.volumeEnvelopePoints[slot].x, 0);
  EXPECT_EQ(lastLoadNotes().envelopesLimited, 1);
}

TEST(XmInstruments, CountOf0x8000OrMoreLoadsNone) {
  XmModule module = moduleWith({XmInstrument::withSample(XmSample::eightBit({1}))});
  module.instrumentCountField = 0x8000;
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_LT(song->instrumentCount, 0);
  EXPECT_TRUE(lastLoadNotes().instrumentCountNegative);
}

struct ProviderCall {
  uint32_t byteCount;
  int bitsPerSample;
  int instrumentIndex;
  int sampleIndex;
};
std::vector<ProviderCall> providerCalls;

void provideRamp(void* buffer, uint32_t byteCount, int bitsPerSample, int instrumentIndex, int sampleIndex) {
  providerCalls.push_back({byteCount, bitsPerSample, instrumentIndex, sampleIndex});
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (uint32_t i = 0; i < byteCount; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
}

// Records the request and leaves the buffer as allocated.
void recordRequest(void*, uint32_t byteCount, int bitsPerSample, int instrumentIndex, int sampleIndex) {
  providerCalls.push_back({byteCount, bitsPerSample, instrumentIndex, sampleIndex});
}

// A length declared far beyond the file: the provider is asked for the bytes the file
// holds, and the storage (which starts one value before data[0]) is sized for them.
TEST(XmSamples, ProviderIsAskedOnlyForTheBytesTheFileHolds) {
  XmSample huge = XmSample::eightBit({});
  huge.lengthField = 0x7FFFFFFC;
  huge.rawData = std::vector<uint8_t>(1500, 1);
  providerCalls.clear();
  auto song = loadFromMemory(buildXm(moduleWith({XmInstrument::withSample(huge)})), recordRequest);
  ASSERT_TRUE(song);
  ASSERT_EQ(providerCalls.size(), 1u);
  EXPECT_EQ(providerCalls[0].byteCount, 1500u);
  EXPECT_LT(malloc_usable_size(firstSample(song).data - 1), 4096u);
}

TEST(XmSamples, ProviderDataIsPlainPcmAndTheFileBytesAreSkipped) {
  XmInstrument first;
  first.samples = {XmSample::eightBit({0, 0, 0}), XmSample::sixteenBits({0, 0}), XmSample::eightBit({})};
  XmInstrument second = XmInstrument::withSample(XmSample::eightBit({0, 0}));
  providerCalls.clear();
  auto song = loadFromMemory(buildXm(moduleWith({first, second})), provideRamp);
  ASSERT_TRUE(song);
  ASSERT_EQ(providerCalls.size(), 3u);  // not for the sample of length 0
  EXPECT_EQ(providerCalls[0].byteCount, 3u);
  EXPECT_EQ(providerCalls[1].byteCount, 4u);
  EXPECT_EQ(providerCalls[1].bitsPerSample, 16);
  EXPECT_EQ(providerCalls[2].instrumentIndex, 1);
  EXPECT_EQ(providerCalls[2].sampleIndex, 0);
  const Instrument& loaded = song->instruments[0];
  EXPECT_EQ(loaded.samples[0]->data[2], 3 << 8);    // not delta-decoded
  EXPECT_EQ(loaded.samples[1]->data[1], 0x0403);    // little-endian 16-bit
  EXPECT_EQ(firstSample(song, 1).data[1], 2 << 8);  // the second instrument was found
}

}  // namespace
}  // namespace vantor
