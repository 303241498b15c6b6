// The record of what the last load refused or changed, and its plain-words form.
#include "loading/load_notes.h"

#include <gtest/gtest.h>

#include <string>

#include "support/song_loading.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using namespace test;
using namespace xm;

TEST(LoadNotes, DescribeListsEveryChangeOfTheLastLoad) {
  XmModule module;
  module.channelCount = 33;
  module.songLengthField = 0;
  module.restartPosition = 5;
  module.defaultBpm = 0;
  XmSample looped = XmSample::eightBit({1, 2, 3});
  looped.loop = XmLoop::Forward;
  looped.loopStart = 1;
  looped.loopLength = 9;
  module.instruments = {XmInstrument::withSample(looped), XmInstrument{}, XmInstrument{}};
  XmLayout layout;
  std::vector<uint8_t> bytes = buildXm(module, &layout);
  ASSERT_TRUE(loadFromMemory(cutAt(bytes, layout.instrumentStarts[1] + 10)));

  char text[1024];
  std::size_t length = describeLoadNotes(lastLoadNotes(), text, sizeof text);
  EXPECT_EQ(length, std::string(text).size());
  EXPECT_EQ(std::string(text),
            "song length 0 limited to 1..256\n"
            "restart position 5 reset to 0\n"
            "channels limited from 33 to 32\n"
            "default BPM 0 replaced by 125\n"
            "1 empty pattern added for the order table\n"
            "file ends inside instrument 2: 2 instruments left empty\n"
            "1 sample loop clamped to its sample\n");

  // A small buffer gets a cut, terminated text and the full length.
  char small[10];
  EXPECT_EQ(describeLoadNotes(lastLoadNotes(), small, sizeof small), length);
  EXPECT_EQ(std::string(small), "song leng");
}

TEST(LoadNotes, RefusalAndCleanLoadsAreDescribed) {
  EXPECT_FALSE(loadFromMemory({'n', 'o', 't'}));
  char text[256];
  describeLoadNotes(lastLoadNotes(), text, sizeof text);
  EXPECT_EQ(std::string(text), "refused: not an Extended Module (ID text missing)\n");

  XmModule clean;
  clean.patterns = {XmPattern::empty(4, 4)};
  ASSERT_TRUE(loadFromMemory(buildXm(clean)));
  EXPECT_EQ(describeLoadNotes(lastLoadNotes(), text, sizeof text), 0u);
  EXPECT_EQ(text[0], '\0');
}

// A value exactly at its limit is no change, so the load notes nothing.
TEST(LoadNotes, ValuesExactlyAtTheirLimitsAreNotNoted) {
  XmEnvelope full = {.sustainPoint = 12, .loopStart = 12, .loopEnd = 12, .type = 7};
  for (uint16_t x = 0; x < 12; ++x) full.points.push_back({x, 64});
  XmInstrument instrument = XmInstrument::withSample(XmSample::eightBit({1, 2}));
  instrument.volumeEnvelope = full;
  instrument.panningEnvelope = full;
  struct Case {
    const char* name;
    void (*shape)(XmModule&);
  };
  const Case cases[] = {
      {"32 channels",
       [](XmModule& m) {
         m.channelCount = 32;
         m.patterns = {XmPattern::empty(4, 32)};
       }},
      {"256 orders", [](XmModule& m) { m.orders.assign(256, 0); }},
      {"BPM 1", [](XmModule& m) { m.defaultBpm = 1; }},
      {"12 envelope points, every index 12, every value 64", [](XmModule&) {}},
  };
  for (const Case& c : cases) {
    XmModule module;
    module.patterns = {XmPattern::empty(4, 4)};
    module.instruments = {instrument};
    c.shape(module);
    ASSERT_TRUE(loadFromMemory(buildXm(module))) << c.name;
    char text[256];
    describeLoadNotes(lastLoadNotes(), text, sizeof text);
    EXPECT_STREQ(text, "") << c.name;
  }
}

// A size past INT32_MAX does not fit the tell callback's 32 bits; one of 4 GiB or more
// is not taken for its size modulo 2^32, which here would be a whole song.
TEST(LoadNotes, SourceThatCannotTellItsSizeIsRefused) {
  std::vector<uint8_t> start = buildXm(XmModule{});
  TemporaryFile file(start);
  const struct {
    uint64_t size;
    bool loads;
  } cases[] = {{INT32_MAX, true}, {uint64_t{1} << 31, false}, {(uint64_t{1} << 32) + start.size(), false}};
  for (const auto& c : cases) {
    std::filesystem::resize_file(file.path(), c.size);
    EXPECT_EQ(static_cast<bool>(loadFromFile(file.path())), c.loads) << c.size;
    EXPECT_EQ(lastLoadNotes().refusal, c.loads ? LoadRefusal::None : LoadRefusal::SizeUnknown) << c.size;
  }
}

}  // namespace
}  // namespace vantor
