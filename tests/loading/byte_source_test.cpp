// The callback registry, its handle wrappers and the library's two byte sources.
#include "loading/byte_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <vector>

#include "loading/byte_reader.h"
#include "song_compare.h"
#include "support/song_loading.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

int callbackCalls = 0;
void* countingOpen(const char*) {
  ++callbackCalls;
  return nullptr;
}
void countingClose(void*) { ++callbackCalls; }
uint32_t countingRead(void*, uint32_t, void*) {
  ++callbackCalls;
  return 0;
}
int32_t countingSeek(void*, int32_t, uint8_t) {
  ++callbackCalls;
  return 0;
}
int32_t countingTell(void*) {
  ++callbackCalls;
  return 0;
}

TEST(CallbackRegistry, AnyNullCallbackClearsAllFive) {
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  ASSERT_TRUE(fileCallbacksRegistered());
  setFileCallbacks(memOpen, memClose, nullptr, memSeek, memTell);
  EXPECT_FALSE(fileCallbacksRegistered());
  EXPECT_EQ(fileCallbacks.open, nullptr);
  EXPECT_EQ(fileCallbacks.tell, nullptr);
  EXPECT_EQ(openSource("memload"), nullptr);
}

TEST(CallbackRegistry, FailedOpenAndNullRecordsCallNothingFurther) {
  setFileCallbacks(countingOpen, countingClose, countingRead, countingSeek, countingTell);
  callbackCalls = 0;
  EXPECT_EQ(openSource("anything"), nullptr);
  EXPECT_EQ(callbackCalls, 1);  // only open

  uint8_t buffer[4] = {};
  EXPECT_EQ(readSource(buffer, 4, nullptr), 0u);
  EXPECT_EQ(seekSource(nullptr, 0, 0), 0);
  EXPECT_EQ(tellSource(nullptr), 0);
  closeSource(nullptr);
  EXPECT_EQ(callbackCalls, 1);
}

class MemorySource : public testing::Test {
 protected:
  void SetUp() override {
    block.resize(100);
    std::iota(block.begin(), block.end(), uint8_t{0});
    memoryBlock = {block.data(), 100, 0};
  }
  std::vector<uint8_t> block;
};

TEST_F(MemorySource, ReadStopsAtTheEndOfTheBlock) {
  EXPECT_EQ(memTell(memOpen("ignored")), 0);
  memoryBlock.position = 80;
  uint8_t buffer[40] = {};
  EXPECT_EQ(memRead(buffer, 40, nullptr), 20u);
  EXPECT_EQ(buffer[0], 80);
  EXPECT_EQ(buffer[19], 99);
  EXPECT_EQ(memoryBlock.position, 100u);
  EXPECT_EQ(memRead(buffer, 40, nullptr), 0u);
}

TEST_F(MemorySource, HugeCountDoesNotWrapPastTheBlock) {
  // position + count wraps to 2 in 32 bits; the read must still end at the block's end.
  memoryBlock.position = 10;
  std::vector<uint8_t> buffer(100, 0xEE);
  EXPECT_EQ(memRead(buffer.data(), 0xFFFFFFF8u, nullptr), 90u);
  EXPECT_EQ(memoryBlock.position, 100u);
  EXPECT_EQ(buffer[89], 99);
  EXPECT_EQ(buffer[90], 0xEE);
}

TEST_F(MemorySource, NullBaseHoldsNothing) {
  memoryBlock = {nullptr, 100, 0};
  uint8_t buffer[8] = {};
  EXPECT_EQ(memRead(buffer, 8, nullptr), 0u);
  EXPECT_EQ(memRead(buffer, 0, nullptr), 0u);
  EXPECT_EQ(memoryBlock.position, 0u);
}

TEST_F(MemorySource, SeekWrapsThenClampsToTheEnd) {
  memSeek(nullptr, -10, 2);
  EXPECT_EQ(memoryBlock.position, 90u);
  memSeek(nullptr, 5, 1);
  EXPECT_EQ(memoryBlock.position, 95u);
  memSeek(nullptr, 200, 0);
  EXPECT_EQ(memoryBlock.position, 100u);
  memSeek(nullptr, 10, 0);
  memSeek(nullptr, 3, 7);  // unknown origin
  EXPECT_EQ(memoryBlock.position, 10u);
  // A target before the start wraps to a huge number and lands at the end.
  memSeek(nullptr, -20, 1);
  EXPECT_EQ(memoryBlock.position, 100u);
  memSeek(nullptr, -1, 0);
  EXPECT_EQ(memoryBlock.position, 100u);
}

// The reader keeps 4 KiB of the source; a seek back before them (a header whose stated
// size is shorter than what was read, across a refill) must read the source again there.
TEST_F(MemorySource, ReaderSeeksBackBeforeTheBytesItHolds) {
  block.resize(10000);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  memoryBlock = {block.data(), 10000, 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  SourceHandle* source = openSource("block");
  ByteReader reader;
  ASSERT_TRUE(reader.open(source));
  ASSERT_TRUE(reader.seekTo(6000));
  EXPECT_EQ(reader.u8(), block[6000]);
  ASSERT_TRUE(reader.seekTo(10));
  EXPECT_EQ(reader.position(), 10);
  EXPECT_EQ(reader.u32(), uint32_t{block[10]} | uint32_t{block[11]} << 8 | uint32_t{block[12]} << 16 |
                              uint32_t{block[13]} << 24);
  EXPECT_FALSE(reader.ranShort());
  closeSource(source);
}

TEST(FileSource, UnknownOriginFailsWithoutMovingTheStream) {
  test::TemporaryFile file(std::vector<uint8_t>(64, 7));
  void* stream = fileOpen(file.path().string().c_str());
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(fileSeek(stream, 12, 0), 0);
  EXPECT_NE(fileSeek(stream, 0, 7), 0);
  EXPECT_NE(fileSeek(stream, 0, 0xFF), 0);  // -1 as a signed origin
  EXPECT_EQ(fileTell(stream), 12);
  EXPECT_EQ(fileSeek(stream, -2, 2), 0);
  EXPECT_EQ(fileTell(stream), 62);
  uint8_t buffer[8] = {};
  EXPECT_EQ(fileRead(buffer, 8, stream), 2u);
  fileClose(stream);
}

// Positions are told in 32 bits: up to INT32_MAX as they are, beyond it as a failure,
// never wrapped, whether the end or a seek from the current position took the stream
// there. Sparse files stand in for the large ones.
TEST(FileSource, PositionsBeyondInt32MaxAreToldAsFailures) {
  test::TemporaryFile file(std::vector<uint8_t>(64, 7));
  const struct {
    uintmax_t size;
    int32_t told;
  } ends[] = {{INT32_MAX, INT32_MAX}, {uintmax_t{INT32_MAX} + 1, -1}, {(uintmax_t{1} << 32) + 64, -1}};
  for (const auto& end : ends) {
    std::error_code error;
    std::filesystem::resize_file(file.path(), end.size, error);
    if (error) GTEST_SKIP() << "no sparse file of " << end.size << " bytes here: " << error.message();
    void* stream = fileOpen(file.path().string().c_str());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fileSeek(stream, 0, 2), 0);
    EXPECT_EQ(fileTell(stream), end.told) << end.size;
    fileClose(stream);
  }
  void* stream = fileOpen(file.path().string().c_str());
  ASSERT_EQ(fileSeek(stream, INT32_MAX, 0), 0);
  EXPECT_EQ(fileTell(stream), INT32_MAX);
  EXPECT_EQ(fileSeek(stream, 1, 1), 0);
  EXPECT_EQ(fileTell(stream), -1);
  fileClose(stream);
}

TEST(FileSource, MissingOrNullNameDoesNotOpen) {
  setFileCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell);
  EXPECT_EQ(fileOpen(nullptr), nullptr);
  EXPECT_EQ(openSource("/nonexistent/vantor/song.xm"), nullptr);
}

TEST(ByteSources, FileAndMemoryGiveTheSameSong) {
  xm::XmModule module;
  module.channelCount = 2;
  module.orders = {0, 1, 3};
  module.patterns = {xm::XmPattern::empty(5, 2), xm::XmPattern::empty(7, 2)};
  module.patterns[1].at(6, 1) = {
      .note = 30, .instrument = 2, .volume = 0x10, .effect = 4, .effectParam = 0x44};
  xm::XmSample wave = xm::XmSample::sixteenBits({0, 1000, -1000, 32767, -32768});
  wave.loop = xm::XmLoop::PingPong;
  wave.loopStart = 1;
  wave.loopLength = 3;
  xm::XmInstrument instrument = xm::XmInstrument::withSample(wave);
  instrument.samples.push_back(xm::XmSample::eightBit({-128, 127, 0}));
  instrument.keymap[40] = 1;
  instrument.panningEnvelope = {.points = {{0, 0}, {8, 64}}, .type = 1};
  module.instruments = {xm::XmInstrument{}, instrument};
  std::vector<uint8_t> bytes = xm::buildXm(module);
  test::TemporaryFile file(bytes);
  auto fromFile = test::loadFromFile(file.path());
  auto fromMemory = test::loadFromMemory(bytes);
  ASSERT_TRUE(fromFile);
  ASSERT_TRUE(fromMemory);
  EXPECT_TRUE(test::sameSong(*fromFile, *fromMemory));
}

}  // namespace
}  // namespace vantor
