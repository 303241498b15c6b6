// Golden renders: every corpus song, a selection of the behaviour files, the demo song
// and a few generated songs are rendered through the player's own path (memory load,
// play-start reset, renderBlock into a software sound buffer) and the PCM is compared
// by hash with values recorded from a known-good build. Any change to an output sample,
// for instance by an optimisation of the mixer or by the compiler's vectoriser, shows
// here. Debug and Release builds must give the same hashes.
//
// To record new values after an intended change of the output, run with
// VANTOR_PRINT_GOLDEN=1: each render prints its line for the tables below. Each table
// is checked with each of the mixer's inner loops (one frame, four or eight at a time).
#include <dsound.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "output/play_start.h"
#include "output/renderer.h"
#include "output/vector_mix.h"
#include "platform/software_device.h"
#include "support/corpus.h"
#include "support/song_loading.h"
#include "vantor/demo/demo_song.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using Golden = std::map<std::string, uint64_t>;

constexpr uint64_t refused = 0;  // recorded for a song the loader does not accept

// FNV-1a, 64 bits, over the PCM bytes as they stand in the sound buffer.
class Fnv1a {
 public:
  void add(const unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) hash_ = (hash_ ^ bytes[i]) * 0x100000001b3ULL;
  }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ULL;
};

int blocksFor(double seconds) { return static_cast<int>(seconds * mixRate / blockFrames) + 1; }

// Renders `blocks` blocks of the song as playback does and hashes the PCM of each block
// as read back from the sound buffer.
uint64_t renderHash(Song* song, int blocks) {
  platform::SoftwareDevice device;
  device.setRecording(false);
  WAVEFORMATEX format = ringFormat();
  DSBUFFERDESC description{};
  description.dwSize = sizeof(DSBUFFERDESC);
  description.dwBufferBytes = ringBytes;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  EXPECT_EQ(device.CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
  if (buffer == nullptr) return refused;
  auto* ring = static_cast<platform::SoftwareBuffer*>(buffer);

  resetForPlay(song);
  currentSong = song;
  soundBuffer = buffer;
  blockIndex = 0;
  EXPECT_TRUE(allocateMixBuffer());

  Fnv1a hash;
  std::vector<unsigned char> block(blockFrames * bytesPerFrame);
  for (int i = 0; i < blocks; ++i) {
    int index = blockIndex;
    renderBlock();
    ring->read(static_cast<DWORD>(index * blockFrames * bytesPerFrame), blockFrames * bytesPerFrame,
               block.data());
    hash.add(block.data(), block.size());
  }
  freeMixBuffer();
  currentSong = nullptr;
  soundBuffer = nullptr;
  blockIndex = 0;
  buffer->Release();
  return hash.value();
}

uint64_t renderBytes(const std::vector<uint8_t>& bytes, double seconds) {
  test::SongPointer song = test::loadFromMemory(bytes);
  if (!song) return refused;
  return renderHash(song.get(), blocksFor(seconds));
}

void checkAgainst(const Golden& golden, const std::string& name, uint64_t hash) {
  if (std::getenv("VANTOR_PRINT_GOLDEN") != nullptr) {
    std::printf("      {\"%s\", 0x%016" PRIx64 "},\n", name.c_str(), hash);
  }
  auto expected = golden.find(name);
  if (expected == golden.end()) {
    ADD_FAILURE() << "no golden hash recorded for " << name;
    return;
  }
  EXPECT_EQ(hash, expected->second) << name << " renders differently";
}

// Every render is checked with each of the mixer's inner loops this processor can run.
class GoldenRender : public ::testing::TestWithParam<MixKernel> {
 protected:
  void SetUp() override {
    if (!useMixKernel(GetParam())) GTEST_SKIP() << "this processor cannot run that loop";
  }
  void TearDown() override { useMixKernel(initial_); }

 private:
  MixKernel initial_ = activeMixKernel();
};

INSTANTIATE_TEST_SUITE_P(EachMixKernel, GoldenRender,
                         ::testing::Values(MixKernel::Portable, MixKernel::Vector, MixKernel::Wide),
                         [](const ::testing::TestParamInfo<MixKernel>& info) {
                           switch (info.param) {
                             case MixKernel::Portable:
                               return "Portable";
                             case MixKernel::Vector:
                               return "Vector";
                             case MixKernel::Wide:
                               break;
                           }
                           return "Wide";
                         });

// Renders the corpus files named in `golden` (every file of the directory when
// `wholeDirectory` is set, which then must all be named).
void checkCorpus(const std::string& subdirectory, const Golden& golden, double seconds, bool wholeDirectory) {
  VANTOR_REQUIRE_CORPUS();
  int checked = 0;
  for (const auto& path : test::corpusFiles(subdirectory)) {
    std::string name = path.filename().string();
    if (!wholeDirectory && !golden.contains(name)) continue;
    std::vector<unsigned char> bytes = test::readFileBytes(path);
    checkAgainst(golden, name, renderBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()), seconds));
    ++checked;
  }
  EXPECT_EQ(checked, static_cast<int>(golden.size())) << "corpus files missing";
}

TEST_P(GoldenRender, CorpusSongs) {
  const Golden golden = {
      {"dontyou.xm", refused},
      {"grass_near_the_house.xm", refused},
      {"juho_-_ihana_paiva.xm", 0x70c738e1f5f19609},
      {"mrhpx-hbtn_lucifer.xm", refused},
      {"rhino_sting.xm", 0xe841659463811e51},
      {"roadblas.xm", 0xa37f38dcb8367a71},
      {"test.xm", 0x428d724b18c662aa},
      {"xyce-dans_la_rue.xm", 0xc73a7a1ce76d98cd},
      {"zalza_-_tekilla_groove.xm", 0xca11b801ff877543},
  };
  checkCorpus("songs", golden, 30.0, true);
}

// A selection that is heavy on loops, ramps, envelopes and pitch effects.
TEST_P(GoldenRender, BehaviourFiles) {
  const Golden golden = {
      {"ArpSlide.xm", 0x13e9c7740bb87d4c},
      {"BidiPrecision.xm", 0x5575a535711fef31},
      {"EnvLoops.xm", 0xeeee2beda51e197a},
      {"FreqWraparound.xm", 0x57e77578f5a9778b},
      {"Glissando.xm", 0x96cadf701bff0ecb},
      {"GlobalVolume.xm", 0xe7dd3a212ce7bad3},
      {"KeyOff2.xm", 0xcc5e61e7cd4950b1},
      {"NoteLimit.xm", 0xc6bcb40e0e85a22d},
      {"Pickup.xm", 0xce18665611604730},
      {"OffsetRange.xm", 0xe7609833d2725c75},
      {"PanSustainRelease.xm", 0x2c13570c37dc1415},
      {"PatLoop-Nested.xm", 0xc5b978e475562a3a},
      {"Porta-Pickup.xm", 0x72e60224595b1b67},
      {"RetrigFade.xm", 0xcea638214fa8598f},
      {"SampleChange.xm", 0x91aa74ce397d510d},
      {"TremoloWaveforms.xm", 0x48abeb8fb8e1410e},
      {"Tremor.xm", 0x50457c196724e270},
      {"VibratoWaveforms.xm", 0xb05e458dd3467ab8},
      {"TremoloVibrato.xm", 0x0339de3b61a726a6},
      {"finetune.xm", 0x84aaad904cccddd4},
      {"lowest.xm", 0x24010659e120c01a},
      {"retrig.xm", 0x45e4d334c65c5d11},
      {"reverse_xm.xm", 0xa1063dad2a105afd},
      {"stereo.xm", 0x1f2c5c1fb291bb3f},
  };
  checkCorpus("behaviour", golden, 8.0, false);
}

// ---- Generated songs -------------------------------------------------------------

// A small deterministic generator, so that the songs are the same everywhere.
class Dice {
 public:
  explicit Dice(uint32_t seed) : state_(seed) {}
  int below(int bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<uint32_t>(bound));
  }
  bool chance(int percent) { return below(100) < percent; }

 private:
  uint32_t state_;
};

std::vector<int> wave(int length, int amplitude, int period, int harmonic) {
  std::vector<int> values(length);
  for (int i = 0; i < length; ++i) {
    int phase = i % period;
    int saw = amplitude - 2 * amplitude * phase / period;
    int square = (i / (period / harmonic + 1)) % 2 == 0 ? amplitude / 3 : -amplitude / 3;
    values[i] = (saw * 2) / 3 + square;
  }
  return values;
}

xm::XmSample looped(xm::XmSample sample, xm::XmLoop loop, uint32_t start, uint32_t length) {
  sample.loop = loop;
  sample.loopStart = start;
  sample.loopLength = length;
  return sample;
}

// Instruments with every kind of loop, both sample widths, and loops as short as one
// value, so that voices wrap and mirror several times per frame at high pitches.
std::vector<xm::XmInstrument> loopInstruments() {
  using xm::XmLoop;
  using xm::XmSample;
  std::vector<xm::XmInstrument> instruments;
  instruments.push_back(xm::XmInstrument::withSample(
      looped(XmSample::sixteenBits(wave(3000, 20000, 97, 3)), XmLoop::Forward, 1000, 1999)));
  instruments.push_back(xm::XmInstrument::withSample(
      looped(XmSample::eightBit(wave(700, 100, 33, 2)), XmLoop::PingPong, 200, 301)));
  instruments.push_back(
      xm::XmInstrument::withSample(looped(XmSample::eightBit(wave(40, 120, 7, 2)), XmLoop::PingPong, 0, 2)));
  instruments.push_back(xm::XmInstrument::withSample(
      looped(XmSample::sixteenBits(wave(64, 30000, 5, 1)), XmLoop::Forward, 63, 1)));
  instruments.push_back(xm::XmInstrument::withSample(XmSample::sixteenBits(wave(1500, 25000, 61, 4))));
  XmSample high = looped(XmSample::eightBit(wave(100, 90, 11, 2)), XmLoop::Forward, 0, 100);
  high.relativeNote = 40;
  high.finetune = -77;
  instruments.push_back(xm::XmInstrument::withSample(high));
  XmSample low = looped(XmSample::sixteenBits(wave(2000, 12000, 300, 5)), XmLoop::PingPong, 10, 1990);
  low.relativeNote = -50;
  low.finetune = 101;
  instruments.push_back(xm::XmInstrument::withSample(low));
  for (auto& instrument : instruments) instrument.fadeout = 700;
  // Envelopes on two of them: a sustained volume envelope and a looping panning one.
  instruments[0].volumeEnvelope = {
      .points = {{0, 0}, {4, 64}, {20, 40}, {60, 0}}, .sustainPoint = 2, .type = 3};
  instruments[1].panningEnvelope = {
      .points = {{0, 0}, {8, 64}, {16, 0}}, .loopStart = 0, .loopEnd = 2, .type = 5};
  instruments[1].vibratoType = 0;
  instruments[1].vibratoDepth = 12;
  instruments[1].vibratoRate = 40;
  instruments[1].vibratoSweep = 20;
  return instruments;
}

struct SongShape {
  uint32_t seed;
  int channels;
  int patterns;
  int rows;
  int notePercent;
  int lowestNote;
  int highestNote;
  std::vector<uint8_t> effects;  // effects the generator may put on a row
  uint16_t flags = 1;
  uint16_t speed = 6;
  uint16_t bpm = 125;
};

// A song of random rows of the given shape: notes, instruments, volume column and effects.
std::vector<uint8_t> generatedSong(const SongShape& shape) {
  Dice dice(shape.seed);
  xm::XmModule module;
  module.channelCount = static_cast<uint16_t>(shape.channels);
  module.flags = shape.flags;
  module.defaultSpeed = shape.speed;
  module.defaultBpm = shape.bpm;
  module.instruments = loopInstruments();
  module.orders.clear();
  for (int p = 0; p < shape.patterns; ++p) {
    module.orders.push_back(static_cast<uint8_t>(p));
    xm::XmPattern pattern = xm::XmPattern::empty(static_cast<uint16_t>(shape.rows), shape.channels);
    for (int row = 0; row < shape.rows; ++row) {
      for (int channel = 0; channel < shape.channels; ++channel) {
        xm::XmCell& cell = pattern.at(row, channel);
        if (dice.chance(shape.notePercent)) {
          cell.note =
              static_cast<uint8_t>(shape.lowestNote + dice.below(shape.highestNote - shape.lowestNote + 1));
          cell.instrument = static_cast<uint8_t>(1 + dice.below(static_cast<int>(module.instruments.size())));
        } else if (dice.chance(4)) {
          cell.note = 97;  // key off
        }
        if (dice.chance(25)) cell.volume = static_cast<uint8_t>(0x10 + dice.below(0xF0));
        if (!shape.effects.empty() && dice.chance(40)) {
          cell.effect = shape.effects[dice.below(static_cast<int>(shape.effects.size()))];
          cell.effectParam = static_cast<uint8_t>(dice.below(256));
          // Keep tempo and speed changes and sample offsets in a sensible range.
          if (cell.effect == 15)
            cell.effectParam =
                static_cast<uint8_t>(dice.chance(50) ? 2 + dice.below(6) : 60 + dice.below(190));
          if (cell.effect == 14)
            cell.effectParam = static_cast<uint8_t>((dice.chance(50) ? 0x10 : 0x90) | dice.below(16));
        }
      }
    }
    module.patterns.push_back(std::move(pattern));
  }
  return xm::buildXm(module);
}

TEST_P(GoldenRender, GeneratedSongs) {
  const Golden golden = {
      {"demo song", 0x86c96011b0139fc4},           {"loops and slides", 0x5dfad6071af31f37},
      {"ramps and envelopes", 0x28354159a60158f9}, {"extreme pitches, Amiga table", 0x1a64fb81ee748c7d},
      {"many voices", 0x41542e4561c76f75},
  };
  // XM effect numbers: 0 arpeggio, 1/2 slides, 3 tone portamento, 4 vibrato, 5/6, 7
  // tremolo, 8 panning, 9 offset, A volume slide, C volume, E extended, F speed or tempo,
  // G/H global volume, P panning slide, R retrigger, T tremor, X extra-fine slides.
  const std::vector<uint8_t> everything = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                           10, 12, 14, 15, 16, 17, 25, 27, 29, 33};
  checkAgainst(golden, "demo song", renderBytes(demo::demoSongBytes(), 30.0));
  checkAgainst(golden, "loops and slides",
               renderBytes(generatedSong({.seed = 1,
                                          .channels = 8,
                                          .patterns = 3,
                                          .rows = 64,
                                          .notePercent = 30,
                                          .lowestNote = 1,
                                          .highestNote = 96,
                                          .effects = {0, 1, 2, 3, 4, 9}}),
                           20.0));
  checkAgainst(golden, "ramps and envelopes",
               renderBytes(generatedSong({.seed = 2,
                                          .channels = 6,
                                          .patterns = 2,
                                          .rows = 64,
                                          .notePercent = 45,
                                          .lowestNote = 30,
                                          .highestNote = 70,
                                          .effects = {5, 6, 7, 8, 10, 12, 16, 17, 25, 27, 29},
                                          .speed = 3,
                                          .bpm = 126}),
                           20.0));
  checkAgainst(golden, "extreme pitches, Amiga table",
               renderBytes(generatedSong({.seed = 3,
                                          .channels = 4,
                                          .patterns = 2,
                                          .rows = 32,
                                          .notePercent = 35,
                                          .lowestNote = 1,
                                          .highestNote = 96,
                                          .effects = {0, 1, 2, 3, 33},
                                          .flags = 0,
                                          .speed = 2,
                                          .bpm = 255}),
                           15.0));
  checkAgainst(golden, "many voices",
               renderBytes(generatedSong({.seed = 4,
                                          .channels = 32,
                                          .patterns = 2,
                                          .rows = 48,
                                          .notePercent = 60,
                                          .lowestNote = 20,
                                          .highestNote = 80,
                                          .effects = everything,
                                          .speed = 2}),
                           15.0));
}

}  // namespace
}  // namespace vantor
