// Files cut short at every kind of place: a cut in the header, order table or patterns
// refuses the song; a cut in the instrument list keeps the instruments read whole; a
// cut in sample data keeps the sample as far as it goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "loading/load_notes.h"
#include "song_compare.h"
#include "support/corpus.h"
#include "support/song_loading.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using xm::cutAt;
using test::loadFromMemory;

// Where the instruments of a well-formed file lie, found the way the loader walks them.
struct SampleSpan {
  std::size_t dataStart;
  std::size_t bytesPerValue;
};
struct InstrumentSpan {
  std::size_t start;
  std::size_t headersEnd;  // everything read before the sample data
  std::vector<SampleSpan> samples;
};
struct FileLayout {
  std::size_t instrumentsStart = 0;
  std::vector<std::size_t> patternStarts;
  std::vector<InstrumentSpan> instruments;  // those whose headers lie inside the file
};

uint32_t readU32(const std::vector<uint8_t>& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}
uint16_t readU16(const std::vector<uint8_t>& bytes, std::size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

FileLayout scanLayout(const std::vector<uint8_t>& bytes) {
  FileLayout layout;
  std::size_t at = 60 + std::size_t{readU32(bytes, 60)};
  uint16_t patternCount = readU16(bytes, 70);
  uint16_t instrumentCount = readU16(bytes, 72);
  for (int p = 0; p < patternCount; ++p) {
    layout.patternStarts.push_back(at);
    at += 9 + std::size_t{readU16(bytes, at + 7)};  // well-formed files: header 9, data = packed size
  }
  layout.instrumentsStart = at;
  for (int i = 0; i < instrumentCount && at + 29 <= bytes.size(); ++i) {
    InstrumentSpan instrument{at, 0, {}};
    std::size_t headerSize = readU32(bytes, at);
    uint16_t sampleCount = readU16(bytes, at + 27);
    if (sampleCount == 0) {
      instrument.headersEnd = at + std::max<std::size_t>(29, headerSize);
      layout.instruments.push_back(instrument);
      at += headerSize;
      continue;
    }
    std::size_t sampleHeaders = at + headerSize;
    instrument.headersEnd = std::max(at + 241, sampleHeaders + 40 * std::size_t{sampleCount});
    if (instrument.headersEnd > bytes.size()) {
      layout.instruments.push_back(instrument);
      break;
    }
    std::size_t data = sampleHeaders + 40 * std::size_t{sampleCount};
    for (int s = 0; s < sampleCount; ++s) {
      std::size_t header = sampleHeaders + 40 * std::size_t(s);
      std::size_t width = (bytes[header + 14] & 0x10) ? 2 : 1;
      instrument.samples.push_back({data, width});
      data += readU32(bytes, header) / width * width;
    }
    layout.instruments.push_back(instrument);
    at = data;
  }
  return layout;
}

// The index of the instrument whose bytes hold the cut, and whether the cut lies in
// its sample data (then `sample` is the sample whose data holds it).
struct CutPlace {
  int instrument;
  bool inData;
  int sample;
};

CutPlace placeOf(const FileLayout& layout, std::size_t cut) {
  int index = 0;
  while (index + 1 < static_cast<int>(layout.instruments.size()) &&
         layout.instruments[index + 1].start <= cut) {
    ++index;
  }
  const InstrumentSpan& instrument = layout.instruments[index];
  if (cut < instrument.headersEnd || instrument.samples.empty()) return {index, false, 0};
  int sample = 0;
  while (sample + 1 < static_cast<int>(instrument.samples.size()) &&
         instrument.samples[sample + 1].dataStart <= cut) {
    ++sample;
  }
  return {index, true, sample};
}

// Checks a song loaded from the first `cut` bytes against the whole file's song.
void expectCutSong(const Song& full, const FileLayout& layout, std::size_t cut, const Song& song) {
  ASSERT_EQ(song.patternCount, full.patternCount);
  ASSERT_EQ(song.instrumentCount, full.instrumentCount);
  if (layout.instruments.empty()) return;
  CutPlace place = placeOf(layout, cut);
  int firstEmpty = place.inData ? place.instrument + 1 : place.instrument;
  for (int i = 0; i < firstEmpty; ++i) {
    if (i == place.instrument) continue;
    ASSERT_TRUE(test::sameInstrument(full.instruments[i], song.instruments[i])) << "instrument " << i;
  }
  for (int i = firstEmpty; i < song.instrumentCount; ++i) {
    ASSERT_TRUE(test::isEmptyInstrument(song.instruments[i])) << "instrument " << i;
  }
  if (!place.inData) return;

  const Instrument& whole = full.instruments[place.instrument];
  const Instrument& cutInstrument = song.instruments[place.instrument];
  ASSERT_EQ(cutInstrument.sampleCount, whole.sampleCount);
  const SampleSpan& span = layout.instruments[place.instrument].samples[place.sample];
  for (int s = 0; s < static_cast<int>(whole.sampleCount); ++s) {
    const Sample& expected = *whole.samples[s];
    const Sample& actual = *cutInstrument.samples[s];
    if (s < place.sample) {
      ASSERT_TRUE(test::sameSample(expected, actual)) << "sample " << s;
    } else if (s > place.sample) {
      ASSERT_EQ(actual.length, 0u) << "sample " << s;
      ASSERT_EQ(actual.data, nullptr);
    } else {
      uint32_t delivered = static_cast<uint32_t>((cut - span.dataStart) / span.bytesPerValue);
      ASSERT_EQ(actual.length, std::min(delivered, expected.length));
      ASSERT_LE(uint64_t{actual.loopStart} + actual.loopLength, actual.length);
      if (actual.length > 0) {
        ASSERT_EQ(std::memcmp(actual.data, expected.data, actual.length * sizeof(int16_t)), 0);
      }
    }
  }
}

// Every byte of the module header and the first pattern headers; the first
// instrument's header fields and last sample header byte by byte, the rest of its
// headers every 16 bytes; the edges of every later instrument and sample; and an even
// spread over the whole file. (The built song is cut at every byte.)
std::set<std::size_t> cutOffsets(const FileLayout& layout, std::size_t size) {
  std::set<std::size_t> cuts;
  auto addRange = [&](std::size_t from, std::size_t to, std::size_t step) {
    for (std::size_t at = from; at < std::min(to, size); at += step) cuts.insert(at);
  };
  addRange(0, 340, 1);
  for (std::size_t p = 0; p < std::min<std::size_t>(3, layout.patternStarts.size()); ++p) {
    addRange(layout.patternStarts[p], layout.patternStarts[p] + 12, 1);
  }
  const std::size_t spread = 40;
  for (std::size_t k = 1; k < spread; ++k) cuts.insert(size * k / spread);
  for (std::size_t k = 0; k < spread; ++k) {
    cuts.insert(layout.instrumentsStart + (size - layout.instrumentsStart) * k / spread);
  }
  for (const InstrumentSpan& instrument : layout.instruments) {
    if (&instrument == &layout.instruments.front()) {
      addRange(instrument.start, instrument.start + 33, 1);  // up to the sample header size
      addRange(instrument.start + 33, instrument.headersEnd, 16);
      addRange(instrument.headersEnd - 41, instrument.headersEnd, 1);  // the last sample header
    } else {
      addRange(instrument.start, instrument.start + 2, 1);        // header size
      addRange(instrument.start + 27, instrument.start + 30, 1);  // sample count
      addRange(instrument.headersEnd - 1, instrument.headersEnd, 1);
    }
    for (const SampleSpan& sample : instrument.samples) addRange(sample.dataStart, sample.dataStart + 3, 1);
  }
  return cuts;
}

void checkCuts(const std::vector<uint8_t>& bytes, const char* name) {
  SCOPED_TRACE(name);
  auto full = loadFromMemory(bytes);
  ASSERT_TRUE(full);
  FileLayout layout = scanLayout(bytes);
  for (std::size_t cut : cutOffsets(layout, bytes.size())) {
    SCOPED_TRACE(testing::Message() << "cut at " << cut);
    auto song = loadFromMemory(cutAt(bytes, cut));
    if (cut < layout.instrumentsStart) {
      ASSERT_FALSE(song);
      continue;
    }
    ASSERT_TRUE(song);
    expectCutSong(*full, layout, cut, *song);
  }
}

TEST(Truncation, BuiltSongCutAnywhereIsRefusedOrKeepsWhatArrived) {
  using namespace test;
  using namespace xm;
  XmModule module;
  module.channelCount = 3;
  module.orders = {0, 1, 0};
  XmPattern first = XmPattern::empty(8, 3);
  first.at(0, 0) = {.note = 49, .instrument = 1, .volume = 0x40};
  first.at(3, 2) = {.note = 97};
  XmPattern second = XmPattern::empty(4, 3);
  second.packed = false;
  second.at(1, 1) = {.note = 60, .instrument = 3, .effect = 0x0F, .effectParam = 3};
  module.patterns = {first, second};
  XmSample looped = XmSample::sixteenBits(std::vector<int>(300, 0));
  for (int k = 0; k < 300; ++k) looped.values[k] = (k * 911) % 60000 - 30000;
  looped.loop = XmLoop::Forward;
  looped.loopStart = 100;
  looped.loopLength = 200;
  XmSample pingPong = XmSample::eightBit(std::vector<int>(90, 0));
  for (int k = 0; k < 90; ++k) pingPong.values[k] = (k * 37) % 256 - 128;
  pingPong.loop = XmLoop::PingPong;
  pingPong.loopStart = 10;
  pingPong.loopLength = 80;
  XmInstrument two;
  two.samples = {looped, pingPong};
  two.volumeEnvelope = {.points = {{0, 64}, {16, 0}}, .type = 1};
  XmInstrument none;
  module.instruments = {XmInstrument::withSample(XmSample::eightBit({1, 2, 3, 4, 5})), none, two,
                        XmInstrument::withSample(XmSample::sixteenBits({100, -100, 7}))};
  std::vector<uint8_t> bytes = buildXm(module);
  checkCuts(bytes, "built song");
  // Every single byte of this small file, not only the chosen ones.
  auto full = loadFromMemory(bytes);
  FileLayout layout = scanLayout(bytes);
  for (std::size_t cut = layout.instrumentsStart; cut < bytes.size(); ++cut) {
    SCOPED_TRACE(testing::Message() << "cut at " << cut);
    auto song = loadFromMemory(cutAt(bytes, cut));
    ASSERT_TRUE(song);
    expectCutSong(*full, layout, cut, *song);
  }
}

TEST(Truncation, CutsRecordWhatWasLost) {
  using namespace test;
  using namespace xm;
  XmModule module;
  module.channelCount = 1;
  module.patterns = {XmPattern::empty(1, 1)};
  module.instruments = {XmInstrument::withSample(XmSample::eightBit(std::vector<int>(50, 3))),
                        XmInstrument::withSample(XmSample::eightBit({1}))};
  XmLayout layout;
  std::vector<uint8_t> bytes = buildXm(module, &layout);
  ASSERT_TRUE(loadFromMemory(cutAt(bytes, layout.sampleDataStarts[0][0] + 20)));
  EXPECT_EQ(lastLoadNotes().samplesShortened, 1);
  EXPECT_EQ(lastLoadNotes().instrumentsCutAt, 1);
  EXPECT_EQ(lastLoadNotes().instrumentsCut, 1);
  ASSERT_FALSE(loadFromMemory(cutAt(bytes, layout.patternStarts[0] + 9)));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::PatternCut);
}

TEST(Truncation, CorpusSongsCutAtManyOffsets) {
  VANTOR_REQUIRE_CORPUS();
  for (const auto& path : test::corpusFiles("songs")) {
    std::vector<uint8_t> bytes = test::readFileBytes(path);
    if (!loadFromMemory(bytes)) continue;  // refused whole: every cut is refused too
    checkCuts(bytes, path.filename().string().c_str());
  }
}

}  // namespace
}  // namespace vantor
