// The loader at its edges: every multi-byte field of the format read with each of its
// bytes set, and each limit of the loader at its value and one past it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "loading/load_notes.h"
#include "output/play_start.h"
#include "output/renderer.h"
#include "platform/software_device.h"
#include "support/song_loading.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using test::loadFromMemory;
using xm::buildXm;
using xm::XmEnvelope;
using xm::XmInstrument;
using xm::XmLoop;
using xm::XmModule;
using xm::XmPattern;
using xm::XmSample;

// The 32-bit fields with their top byte set: each header size stands for 16 MiB of
// padding, and the sample (16-bit, so the three are byte counts) holds 32 MiB whose loop
// ends with it.
constexpr uint32_t wideHeaderSize = 0x01020304;
constexpr uint32_t wideLoopStart = 0x01020304;
constexpr uint32_t wideLoopLength = 0x01030506;
constexpr uint32_t wideLength = wideLoopStart + wideLoopLength;

// Every 16-bit field has its high byte set too. Instrument 1's second sample, the one
// its keymap plays, lies behind both header sizes and the first sample's data; without
// `wide`, the same song has small header sizes and an empty first sample.
std::vector<uint8_t> fullWidthSong(bool wide) {
  XmModule module;
  module.songLengthField = 0x0102;
  module.restartPosition = 0x0103;
  module.channelCount = 0x0104;
  module.flags = 0x0101;
  module.defaultSpeed = 0x0102;
  module.defaultBpm = 0x0103;
  if (wide) module.headerSize = wideHeaderSize;
  module.patterns.assign(0x0101, XmPattern::withoutData(1));
  XmPattern& first = module.patterns[0];
  first = XmPattern::empty(0x0102, 0x0104);
  first.headerLength = 0x01020304;  // not read
  first.packedSizeField = 0x0100;   // only whether it is 0 counts
  first.at(0, 0) = {.note = 49, .instrument = 1};
  first.at(0x0101, 31) = {.note = 1};

  XmInstrument played;
  played.keymap.fill(1);
  played.sampleHeaderSize = 0x01020304;  // not read
  played.volumeEnvelope = {.points = {{0, 64}, {0x0102, 0x0120}}};
  played.fadeout = 0x0102;
  XmSample large = XmSample::sixteenBits({});
  if (wide) {
    played.headerSize = wideHeaderSize;
    large.loop = XmLoop::Forward;
    large.lengthField = wideLength;
    large.loopStartField = wideLoopStart;
    large.loopLengthField = wideLoopLength;
    large.rawData = std::vector<uint8_t>(wideLength);
  }
  XmSample tone = XmSample::eightBit({90, 60, 30, 0, -30, -60, -90, 0});
  tone.loop = XmLoop::Forward;
  tone.loopLength = 8;
  played.samples.push_back(std::move(large));
  played.samples.push_back(tone);
  module.instruments.assign(0x0102, XmInstrument{});
  module.instruments[0] = std::move(played);
  return buildXm(module);
}

// The song's first blocks as playback renders them, read back from the sound buffer.
std::vector<int16_t> renderStart(Song& song, int blocks) {
  platform::SoftwareDevice device;
  device.setRecording(false);
  resetForPlay(&song);
  soundBuffer = createRingBuffer(&device, 0);
  EXPECT_TRUE(allocateMixBuffer());
  currentSong = &song;
  blockIndex = 0;
  std::vector<int16_t> pcm(static_cast<std::size_t>(blocks) * blockFrames * 2);
  for (int block = 0; block < blocks; ++block) {
    renderBlock();
    static_cast<platform::SoftwareBuffer*>(soundBuffer)
        ->read(static_cast<DWORD>(block * blockFrames * bytesPerFrame), blockFrames * bytesPerFrame,
               pcm.data() + static_cast<std::size_t>(block) * blockFrames * 2);
  }
  freeMixBuffer();
  currentSong = nullptr;
  soundBuffer->Release();
  soundBuffer = nullptr;
  return pcm;
}

// The two header sizes show in what follows them, the first pattern's rows and the first
// sample's length; the render hears the sample that lies behind all three.
TEST(XmFieldWidths, EveryMultiByteFieldIsReadWithAllItsBytes) {
  test::SongPointer song = loadFromMemory(fullWidthSong(true));
  ASSERT_TRUE(song);
  const LoadNotes& notes = lastLoadNotes();
  const Instrument& played = song->instruments[0];
  const Sample& large = *played.samples[0];
  const NoteCell* cells = song->patterns[0].cells;
  const struct {
    const char* field;
    int64_t expected;  // as the loader keeps it
    int64_t loaded;
  } fields[] = {
      {"song length (limited)", 0x0102, notes.songLengthFromFile},
      {"restart position (reset)", 0x0103, notes.restartPositionFromFile},
      {"channels (limited)", 0x0104, notes.channelCountFromFile},
      {"patterns", 0x0101, song->patternCount},
      {"instruments", 0x0102, song->instrumentCount},
      {"flags", 0x0101, song->flags},
      {"speed", 0x0102, song->defaultSpeed},
      {"BPM", 0x0103, song->defaultBpm},
      {"rows", 0x0102, song->patterns[0].rowCount},
      {"packed size of 0x100: cells read", 49, cells[0].note},
      {"pattern header length: cells read to the last", 1, cells[0x0101 * 32 + 31].note},
      {"envelope point x", 0x0102, played.volumeEnvelopePoints[1].x},
      {"envelope point y (limited)", 64, played.volumeEnvelopePoints[1].y},
      {"fadeout (doubled)", 0x0204, played.fadeout},
      {"sample length in values", wideLength / 2, large.length},
      {"loop start in values", wideLoopStart / 2, large.loopStart},
      {"loop length in values", wideLoopLength / 2, large.loopLength},
  };
  for (const auto& field : fields) EXPECT_EQ(field.loaded, field.expected) << field.field;
  std::vector<int16_t> heard = renderStart(*song, 12);
  song.reset();

  test::SongPointer small = loadFromMemory(fullWidthSong(false));
  ASSERT_TRUE(small);
  std::vector<int16_t> expected = renderStart(*small, 12);
  ASSERT_TRUE(std::any_of(expected.begin(), expected.end(), [](int16_t value) { return value != 0; }));
  EXPECT_TRUE(heard == expected) << "the tone behind the wide fields sounds different";

  // The sample count's high byte counts: 0x100 samples are more than an instrument holds.
  XmModule module;
  module.instruments = {XmInstrument::withSample(XmSample::eightBit({1}))};
  module.instruments[0].sampleCountField = 0x0100;
  EXPECT_FALSE(loadFromMemory(buildXm(module)));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::TooManySamples);
}

// A file whose value in question `set` puts in place.
using LimitFile = std::function<std::vector<uint8_t>(int64_t value)>;

// One channel and one pattern of one row.
LimitFile moduleWith(void (*set)(XmModule&, int64_t)) {
  return [set](int64_t value) {
    XmModule module;
    module.channelCount = 1;
    module.patterns = {XmPattern::empty(1, 1)};
    set(module, value);
    return buildXm(module);
  };
}

// An 8-bit sample of 100 values, last in the file.
LimitFile sampleWith(void (*set)(XmSample&, int64_t)) {
  return [set](int64_t value) {
    XmSample sample = XmSample::eightBit(std::vector<int>(100, 5));
    set(sample, value);
    XmModule module;
    module.instruments = {XmInstrument::withSample(sample)};
    return buildXm(module);
  };
}

// A volume envelope of twelve points, its values, sustain point and loop all at their
// limits until `set` changes one of them.
LimitFile envelopeWith(void (*set)(XmEnvelope&, int64_t)) {
  return [set](int64_t value) {
    XmEnvelope envelope{.sustainPoint = 12, .loopStart = 12, .loopEnd = 12, .type = 7};
    for (uint16_t x = 0; x < 12; ++x) envelope.points.push_back({x, 64});
    set(envelope, value);
    XmModule module;
    module.instruments = {XmInstrument::withSample(XmSample::eightBit({1}))};
    module.instruments[0].volumeEnvelope = envelope;
    return buildXm(module);
  };
}

// Whether the loader refused or changed the value; song is null when it was refused.
using Acted = std::function<bool(const Song* song)>;

Acted refusedAs(LoadRefusal why) {
  return [why](const Song*) { return lastLoadNotes().refusal == why; };
}

// A note of the load: a flag, or a count above 0.
Acted noted(bool LoadNotes::*flag) {
  return [flag](const Song*) { return lastLoadNotes().*flag; };
}

Acted noted(int LoadNotes::*count) {
  return [count](const Song*) { return lastLoadNotes().*count > 0; };
}

struct LoaderLimit {
  const char* name;
  int64_t at;    // the last value the loader takes as it is
  int64_t past;  // the next one, which it refuses or changes
  LimitFile file;
  Acted acted;
};

// The cells of every pattern kept cost 5 bytes each, within 64 MiB for the whole song.
constexpr int64_t mostPatternCells = (int64_t{64} << 20) / 5;

const LoaderLimit loaderLimits[] = {
    {"pattern cells", mostPatternCells, mostPatternCells + 1, moduleWith([](XmModule& module, int64_t cells) {
       module.patterns.clear();
       for (int64_t left = cells; left > 0; left -= module.patterns.back().rowCount) {
         module.patterns.push_back(
             XmPattern::withoutData(static_cast<uint16_t>(std::min<int64_t>(left, 65535))));
       }
     }),
     refusedAs(LoadRefusal::PatternsTooLarge)},
    {"channels kept", 32, 33, moduleWith([](XmModule& module, int64_t channels) {
       module.channelCount = channels;
       module.patterns = {XmPattern::empty(1, channels)};
     }),
     noted(&LoadNotes::channelsLimited)},
    {"song length", 256, 257,
     moduleWith([](XmModule& module, int64_t length) { module.songLengthField = length; }),
     noted(&LoadNotes::songLengthLimited)},
    {"song length, lowest", 1, 0,
     moduleWith([](XmModule& module, int64_t length) { module.songLengthField = length; }),
     noted(&LoadNotes::songLengthLimited)},
    {"instrument count read as signed", 0x7FFF, 0x8000,
     moduleWith([](XmModule& module, int64_t count) { module.instrumentCountField = count; }),
     noted(&LoadNotes::instrumentCountNegative)},
    {"bytes left for the cells of 4 rows of 3 channels", 12, 11,
     moduleWith([](XmModule& module, int64_t bytes) {
       module.channelCount = 3;
       module.patterns = {XmPattern::withoutData(4)};
       module.patterns[0].rawData = std::vector<uint8_t>(bytes, 0x80);
     }),
     refusedAs(LoadRefusal::PatternCut)},
    {"module header size up to the end of the file", 276, 277, moduleWith([](XmModule& module, int64_t size) {
       module.patterns.clear();
       module.headerSizeField = size;
     }),
     refusedAs(LoadRefusal::HeaderCut)},
    {"instrument header size up to the end of the file", 29, 30,
     moduleWith([](XmModule& module, int64_t size) {
       module.instruments = {XmInstrument{}};
       module.instruments[0].headerSizeField = size;
     }),
     noted(&LoadNotes::instrumentsCut)},
    {"sample length in values", (int64_t{1} << 30) - 1, int64_t{1} << 30,
     sampleWith([](XmSample& sample, int64_t length) { sample.lengthField = length; }),
     noted(&LoadNotes::sampleLengthsLimited)},
    {"sample data the file holds", 100, 101,
     sampleWith([](XmSample& sample, int64_t length) { sample.lengthField = length; }),
     noted(&LoadNotes::samplesShortened)},
    {"loop end", 100, 101, sampleWith([](XmSample& sample, int64_t end) {
       sample.loop = XmLoop::Forward;
       sample.loopStart = 50;
       sample.loopLength = end - 50;
     }),
     noted(&LoadNotes::loopsClamped)},
    {"loop start", 99, 100, sampleWith([](XmSample& sample, int64_t start) {
       sample.loop = XmLoop::Forward;
       sample.loopStart = start;
       sample.loopLength = 1;
     }),
     [](const Song* song) { return song->instruments[0].samples[0]->loopMode == LoopNone; }},
    {"envelope points", 12, 13,
     envelopeWith([](XmEnvelope& envelope, int64_t count) { envelope.pointCountField = count; }),
     noted(&LoadNotes::envelopesLimited)},
    {"envelope sustain point", 12, 13,
     envelopeWith([](XmEnvelope& envelope, int64_t point) { envelope.sustainPoint = point; }),
     noted(&LoadNotes::envelopesLimited)},
    {"envelope loop start", 12, 13,
     envelopeWith([](XmEnvelope& envelope, int64_t point) { envelope.loopStart = point; }),
     noted(&LoadNotes::envelopesLimited)},
    {"envelope loop end", 12, 13,
     envelopeWith([](XmEnvelope& envelope, int64_t point) { envelope.loopEnd = point; }),
     noted(&LoadNotes::envelopesLimited)},
    {"envelope value", 64, 65,
     envelopeWith([](XmEnvelope& envelope, int64_t value) { envelope.points[11].y = value; }),
     noted(&LoadNotes::envelopesLimited)},
};

TEST(XmLimits, EachLimitTakesItsValueAndActsOnTheNext) {
  for (const LoaderLimit& limit : loaderLimits) {
    test::SongPointer song = loadFromMemory(limit.file(limit.at));
    ASSERT_TRUE(song) << limit.name << " at " << limit.at;
    EXPECT_FALSE(limit.acted(song.get())) << limit.name << " at " << limit.at;
    song = loadFromMemory(limit.file(limit.past));
    EXPECT_TRUE(limit.acted(song.get())) << limit.name << " at " << limit.past;
  }
}

}  // namespace
}  // namespace vantor
