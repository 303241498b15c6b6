// The module header, the order table and pattern unpacking.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "loading/load_notes.h"
#include "loading/xm_loader.h"
#include "output/release.h"
#include "sequencer/sequencer.h"
#include "support/song_loading.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using xm::buildXm;
using test::loadFromFile;
using test::loadFromMemory;
using xm::XmCell;
using xm::XmModule;
using xm::XmPattern;

const NoteCell& cellAt(const Song& song, int pattern, int row, int channel) {
  return song.patterns[pattern].cells[row * song.channelCount + channel];
}

bool allCellsEmpty(const Song& song, int pattern) {
  const Pattern& p = song.patterns[pattern];
  for (uint32_t i = 0; i < p.rowCount * song.channelCount; ++i) {
    const NoteCell& c = p.cells[i];
    if (c.note || c.instrument || c.volume || c.effect || c.effectParam) return false;
  }
  return true;
}

XmModule moduleWithChannels(uint16_t channels) {
  XmModule module;
  module.channelCount = channels;
  return module;
}

TEST(XmHeader, FieldsAndPlayerDefaultsAreTakenFromTheHeader) {
  XmModule module = moduleWithChannels(2);
  module.orders = {1, 0, 1};
  module.restartPosition = 2;
  module.flags = 0;
  module.defaultSpeed = 3;
  module.defaultBpm = 140;
  module.patterns = {XmPattern::empty(8, 2), XmPattern::empty(16, 2)};
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->tickHandler, &sequencerTick);
  EXPECT_EQ(song->defaultGlobalVolume, 64);
  EXPECT_EQ(song->songLength, 3);
  EXPECT_EQ(song->restartPosition, 2);
  EXPECT_EQ(song->channelCount, 2);
  EXPECT_EQ(song->flags, 0);
  EXPECT_EQ(song->defaultSpeed, 3);
  EXPECT_EQ(song->defaultBpm, 140);
  EXPECT_EQ(song->orders[0], 1);
  EXPECT_EQ(song->orderPatternSpan, 2);
  EXPECT_EQ(song->patternCount, 2);
  EXPECT_EQ(song->patterns[1].rowCount, 16u);
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::None);
}

TEST(XmHeader, WrongIdIsRefusedWithTheSongUntouched) {
  std::vector<uint8_t> bytes = buildXm(moduleWithChannels(2));
  bytes[9] = 'm';  // "Extended module: "
  EXPECT_FALSE(loadFromMemory(bytes));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::NotExtendedModule);
  // An empty source tells its size, 0, and holds no ID.
  EXPECT_FALSE(loadFromMemory({}));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::NotExtendedModule);

  // A source shorter than the ID: nothing is compared with bytes that never arrived.
  std::vector<uint8_t> shortSource = xm::cutAt(buildXm(moduleWithChannels(2)), 16);
  memoryBlock = {shortSource.data(), static_cast<uint32_t>(shortSource.size()), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  auto* song = static_cast<Song*>(std::calloc(1, sizeof(Song)));
  SourceHandle* source = openSource("memload");
  EXPECT_FALSE(loadXmModule(song, source));
  closeSource(source);
  EXPECT_EQ(song->tickHandler, nullptr);
  EXPECT_EQ(song->defaultGlobalVolume, 0);
  freeSong(song);
}

TEST(XmHeader, AnyVersionIsAccepted) {
  XmModule module = moduleWithChannels(1);
  module.version = 0x0102;
  module.patterns = {XmPattern::empty(1, 1)};
  EXPECT_TRUE(loadFromMemory(buildXm(module)));
}

TEST(XmHeader, SongLengthIsLimitedToOneThrough256) {
  // Length 0 with no patterns: order 0 still needs a pattern to play.
  XmModule empty = moduleWithChannels(4);
  empty.songLengthField = 0;
  auto song = loadFromMemory(buildXm(empty));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->songLength, 1);
  EXPECT_TRUE(lastLoadNotes().songLengthLimited);
  EXPECT_EQ(song->orderPatternSpan, 1);
  ASSERT_EQ(song->patternCount, 1);
  EXPECT_EQ(song->patterns[0].rowCount, 64u);
  ASSERT_NE(song->patterns[0].cells, nullptr);
  EXPECT_TRUE(allCellsEmpty(*song, 0));

  // Above 256 only the table's 256 entries exist; the span covers all of them.
  XmModule longer = moduleWithChannels(1);
  longer.orders.assign(256, 0);
  longer.orders[255] = 7;
  longer.songLengthField = 300;
  song = loadFromMemory(buildXm(longer));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->songLength, 256);
  EXPECT_EQ(song->orderPatternSpan, 8);
  EXPECT_EQ(lastLoadNotes().songLengthFromFile, 300);
}

TEST(XmHeader, RestartPositionOutsideTheSongBecomesZero) {
  XmModule module = moduleWithChannels(1);
  module.orders = {0, 0};
  module.patterns = {XmPattern::empty(1, 1)};
  module.restartPosition = 300;
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->restartPosition, 0);
  EXPECT_TRUE(lastLoadNotes().restartPositionReset);

  module.restartPosition = 2;  // equal to the song length: also outside
  EXPECT_EQ(loadFromMemory(buildXm(module))->restartPosition, 0);
  module.restartPosition = 1;
  EXPECT_EQ(loadFromMemory(buildXm(module))->restartPosition, 1);
  EXPECT_FALSE(lastLoadNotes().restartPositionReset);
}

TEST(XmHeader, DefaultBpmOfZeroOrNegativeBecomes125AndSpeedIsKept) {
  XmModule module = moduleWithChannels(1);
  module.patterns = {XmPattern::empty(1, 1)};
  module.defaultSpeed = 0;
  for (uint16_t bpm : {uint16_t{0}, uint16_t{0xFFFF}, uint16_t{0x8000}}) {
    module.defaultBpm = bpm;
    auto song = loadFromMemory(buildXm(module));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->defaultBpm, 125) << bpm;
    EXPECT_EQ(song->defaultSpeed, 0);
    EXPECT_TRUE(lastLoadNotes().bpmReplaced);
  }
  module.defaultBpm = 32767;
  EXPECT_EQ(loadFromMemory(buildXm(module))->defaultBpm, 32767);
}

TEST(XmHeader, HeaderSizeReachingPastTheEndIsRefusedFromBothSources) {
  // 60 + 0xFFFFFFF0 wraps to 44 in 32 bits, which would parse patterns from inside the header.
  XmModule module = moduleWithChannels(2);
  module.patterns = {XmPattern::empty(4, 2)};
  module.headerSizeField = 0xFFFFFFF0;
  std::vector<uint8_t> bytes = buildXm(module);
  EXPECT_FALSE(loadFromMemory(bytes));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::HeaderCut);
  test::TemporaryFile file(bytes);
  EXPECT_FALSE(loadFromFile(file.path()));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::HeaderCut);
}

TEST(XmHeader, LargerHeaderSizeSkipsToTheFirstPattern) {
  XmModule module = moduleWithChannels(1);
  module.headerSize = 276 + 13;
  module.patterns = {XmPattern::empty(2, 1)};
  module.patterns[0].at(1, 0) = {.note = 5};
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(cellAt(*song, 0, 1, 0).note, 5);
}

TEST(XmPatterns, PackedAndPlainCellsUnpack) {
  XmModule module = moduleWithChannels(2);
  XmPattern pattern = XmPattern::withoutData(1);
  pattern.rawData = std::vector<uint8_t>{0x83, 0x31, 0x02, 0x00, 0x01, 0x20, 0x0F, 0x06};
  pattern.packedSizeField = 1;  // the size does not say where the data ends
  XmPattern next = XmPattern::empty(1, 2);
  next.at(0, 1) = {.note = 12, .effect = 0x0C, .effectParam = 0x40};
  module.patterns = {pattern, next};
  module.orders = {0, 1};
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  const NoteCell& packed = cellAt(*song, 0, 0, 0);
  EXPECT_EQ(packed.note, 49);
  EXPECT_EQ(packed.instrument, 2);
  EXPECT_EQ(packed.volume, 0);
  EXPECT_EQ(packed.effect, 0);
  EXPECT_EQ(packed.effectParam, 0);
  const NoteCell& plain = cellAt(*song, 0, 0, 1);
  EXPECT_EQ(plain.note, 0);
  EXPECT_EQ(plain.instrument, 1);
  EXPECT_EQ(plain.volume, 0x20);
  EXPECT_EQ(plain.effect, 0x0F);
  EXPECT_EQ(plain.effectParam, 6);
  EXPECT_EQ(cellAt(*song, 1, 0, 1).note, 12);
  EXPECT_EQ(cellAt(*song, 1, 0, 1).effectParam, 0x40);
}

TEST(XmPatterns, KeyOffAndInstrumentNumbersAreCorrected) {
  XmModule module = moduleWithChannels(4);
  XmPattern pattern = XmPattern::empty(1, 4);
  pattern.at(0, 0) = {.note = 97};
  pattern.at(0, 1) = {.note = 120, .instrument = 200};
  pattern.at(0, 2) = {.note = 96, .instrument = 128};
  pattern.at(0, 3) = {.instrument = 129};
  module.patterns = {pattern};
  for (bool packed : {true, false}) {
    module.patterns[0].packed = packed;
    auto song = loadFromMemory(buildXm(module));
    ASSERT_TRUE(song);
    EXPECT_EQ(cellAt(*song, 0, 0, 0).note, 255);
    EXPECT_EQ(cellAt(*song, 0, 0, 1).note, 120);  // other notes are stored as read
    EXPECT_EQ(cellAt(*song, 0, 0, 1).instrument, 0);
    EXPECT_EQ(cellAt(*song, 0, 0, 2).note, 96);
    EXPECT_EQ(cellAt(*song, 0, 0, 2).instrument, 128);
    EXPECT_EQ(cellAt(*song, 0, 0, 3).instrument, 0);
  }
}

TEST(XmPatterns, PackedSizeZeroReadsNoCells) {
  XmModule module = moduleWithChannels(2);
  XmPattern next = XmPattern::empty(2, 2);
  next.at(1, 0) = {.note = 60, .instrument = 3};
  module.patterns = {XmPattern::withoutData(64), next};
  module.orders = {0, 1};
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->patterns[0].rowCount, 64u);
  EXPECT_TRUE(allCellsEmpty(*song, 0));
  EXPECT_EQ(cellAt(*song, 1, 1, 0).note, 60);
  EXPECT_EQ(cellAt(*song, 1, 1, 0).instrument, 3);
}

TEST(XmPatterns, ZeroRowsBecome64EmptyRowsAndReadNoCells) {
  XmModule module = moduleWithChannels(1);
  XmPattern zeroRows = XmPattern::withoutData(0);
  zeroRows.packedSizeField = 5;  // a size without cells consumes nothing
  XmPattern next = XmPattern::empty(1, 1);
  next.at(0, 0) = {.note = 1};
  module.patterns = {zeroRows, next};
  module.orders = {0, 1};
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->patterns[0].rowCount, 64u);
  EXPECT_TRUE(allCellsEmpty(*song, 0));
  EXPECT_EQ(cellAt(*song, 1, 0, 0).note, 1);
  EXPECT_EQ(lastLoadNotes().zeroRowPatterns, 1);
}

TEST(XmPatterns, OrdersBeyondTheFilesPatternsGetEmptyPatterns) {
  XmModule module = moduleWithChannels(3);
  module.orders = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (int i = 0; i < 4; ++i) module.patterns.push_back(XmPattern::empty(4, 3));
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->orderPatternSpan, 10);
  ASSERT_EQ(song->patternCount, 10);
  for (int p = 4; p < 10; ++p) {
    EXPECT_EQ(song->patterns[p].rowCount, 64u);
    EXPECT_TRUE(allCellsEmpty(*song, p));
  }
  EXPECT_EQ(lastLoadNotes().emptyPatternsAdded, 6);
}

TEST(XmPatterns, FortyChannelsKeepTheFirst32AndStayInStep) {
  XmModule module = moduleWithChannels(40);
  XmPattern first = XmPattern::empty(2, 40);
  first.at(0, 31) = {.note = 31};
  first.at(0, 32) = {.note = 32};
  first.at(1, 39) = {.note = 39, .instrument = 9, .volume = 0x40, .effect = 1, .effectParam = 2};
  first.at(1, 0) = {.note = 7};
  XmPattern second = XmPattern::empty(1, 40);
  second.at(0, 0) = {.note = 50, .instrument = 4};
  module.patterns = {first, second};
  module.orders = {0, 1};
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->channelCount, 32);
  EXPECT_TRUE(lastLoadNotes().channelsLimited);
  EXPECT_EQ(lastLoadNotes().channelCountFromFile, 40);
  EXPECT_EQ(cellAt(*song, 0, 0, 31).note, 31);
  EXPECT_EQ(cellAt(*song, 0, 1, 0).note, 7);  // channel 32 of row 0 did not spill into row 1
  EXPECT_EQ(cellAt(*song, 1, 0, 0).note, 50);
  EXPECT_EQ(cellAt(*song, 1, 0, 0).instrument, 4);
}

TEST(XmPatterns, ZeroChannelsLoad) {
  XmModule module = moduleWithChannels(0);
  XmPattern pattern = XmPattern::withoutData(16);
  pattern.packedSizeField = 3;
  module.patterns = {pattern};
  auto song = loadFromMemory(buildXm(module));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->channelCount, 0);
  EXPECT_EQ(song->patterns[0].rowCount, 16u);
}

TEST(XmPatterns, EmptyPatternsBeyondTheCellBudgetAreRefusedAtOnce) {
  // 65535 patterns of 65535 rows, 9 bytes each in the file, would need ~687 GB of cells.
  XmModule module = moduleWithChannels(32);
  module.patterns.assign(65535, XmPattern::withoutData(65535));
  std::vector<uint8_t> bytes = buildXm(module);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(loadFromMemory(bytes));
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::PatternsTooLarge);
  EXPECT_LT(lastLoadNotes().refusedPattern, 10);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 500);
}

TEST(XmPatterns, MoreCellsThanBytesLeftIsRefusedBeforeAllocating) {
  XmModule module = moduleWithChannels(32);
  XmPattern pattern = XmPattern::withoutData(65535);
  pattern.rawData = std::vector<uint8_t>(100, 0x80);
  module.patterns = {pattern};
  EXPECT_FALSE(loadFromMemory(buildXm(module)));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::PatternCut);
  EXPECT_EQ(lastLoadNotes().refusedPattern, 0);
}

}  // namespace
}  // namespace vantor
