// Writes generated seed songs for the fuzzers into the directory given as argument:
// the demo song, and small songs that between them use every effect, both frequency
// tables, every loop type and envelopes with sustain and loop. Small seeds keep the
// fuzzer fast; it mutates them into the odd cases itself.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vantor/demo/demo_song.h"
#include "xm_builder/xm_builder.h"

namespace {

using namespace vantor::xm;

// A repeatable pseudo-random sequence, so the seeds are the same on every run.
class Sequence {
 public:
  uint32_t next(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }

 private:
  uint32_t state_ = 20240601u;
};

std::vector<int> waveform(int length, int amplitude) {
  std::vector<int> values;
  for (int i = 0; i < length; ++i) values.push_back((i * 2 * amplitude / length) - amplitude);
  return values;
}

XmInstrument loopingInstrument(XmLoop loop, bool sixteenBit) {
  XmSample sample =
      sixteenBit ? XmSample::sixteenBits(waveform(48, 20000)) : XmSample::eightBit(waveform(48, 100));
  sample.loop = loop;
  sample.loopStart = 8;
  sample.loopLength = 32;
  sample.relativeNote = sixteenBit ? -12 : 0;
  sample.finetune = sixteenBit ? 40 : -20;
  XmInstrument instrument = XmInstrument::withSample(sample);
  instrument.volumeEnvelope = {.points = {{0, 64}, {8, 40}, {16, 48}, {40, 0}},
                               .sustainPoint = 1,
                               .loopStart = 1,
                               .loopEnd = 2,
                               .type = 7};
  instrument.panningEnvelope = {
      .points = {{0, 0}, {10, 64}, {20, 32}}, .loopStart = 0, .loopEnd = 2, .type = 5};
  instrument.vibratoType = 1;
  instrument.vibratoSweep = 4;
  instrument.vibratoDepth = 6;
  instrument.vibratoRate = 20;
  instrument.fadeout = 800;
  return instrument;
}

// A song of two instruments whose cells carry notes, volume column values and
// effects drawn across their whole ranges.
XmModule effectSong(uint16_t flags, uint32_t seed) {
  Sequence random;
  for (uint32_t i = 0; i < seed; ++i) random.next(2);
  XmModule module;
  module.flags = flags;
  module.channelCount = 6;
  module.defaultSpeed = 3;
  module.defaultBpm = 140;
  module.orders = {0, 1, 0};
  module.restartPosition = 1;
  for (int p = 0; p < 2; ++p) {
    XmPattern pattern = XmPattern::empty(32, module.channelCount);
    for (XmCell& cell : pattern.cells) {
      if (random.next(3) == 0) continue;
      uint32_t noteChoice = random.next(10);
      cell.note = noteChoice < 7 ? static_cast<uint8_t>(1 + random.next(96)) : noteChoice == 7 ? 97 : 0;
      cell.instrument = static_cast<uint8_t>(random.next(4));
      cell.volume = static_cast<uint8_t>(random.next(2) == 0 ? 0 : 0x10 + random.next(0xF0));
      cell.effect = static_cast<uint8_t>(random.next(36));
      cell.effectParam = static_cast<uint8_t>(random.next(256));
      // Position effects are kept rare, so that the song still walks its patterns.
      if (cell.effect == 0x0B || cell.effect == 0x0D || cell.effect == 0x0F) cell.effectParam &= 0x03;
    }
    module.patterns.push_back(pattern);
  }
  module.instruments.push_back(loopingInstrument(XmLoop::Forward, false));
  module.instruments.push_back(loopingInstrument(XmLoop::PingPong, true));
  return module;
}

// Pattern loops, breaks, jumps, delays and speed changes in one small song.
XmModule positionSong() {
  XmModule module;
  module.channelCount = 2;
  module.defaultSpeed = 2;
  module.orders = {0, 1, 0};
  XmPattern first = XmPattern::empty(8, 2);
  first.at(0, 0) = {.note = 49, .instrument = 1, .effect = 0x0E, .effectParam = 0x60};
  first.at(1, 1) = {.effect = 0x0E, .effectParam = 0xE2};
  first.at(2, 0) = {.effect = 0x0E, .effectParam = 0x62};
  first.at(3, 1) = {.effect = 0x0F, .effectParam = 0x00};
  first.at(4, 0) = {.note = 61, .instrument = 1, .effect = 0x0F, .effectParam = 0x03};
  first.at(5, 0) = {.effect = 0x0D, .effectParam = 0x02};
  first.at(5, 1) = {.effect = 0x0B, .effectParam = 0x01};
  XmPattern second = XmPattern::empty(4, 2);
  second.at(0, 0) = {.note = 37, .instrument = 1, .effect = 0x0F, .effectParam = 0x40};
  second.at(2, 1) = {.effect = 0x0E, .effectParam = 0x61};
  second.at(3, 0) = {.effect = 0x0B, .effectParam = 0x00};
  module.patterns = {first, second};
  module.instruments.push_back(loopingInstrument(XmLoop::Forward, false));
  return module;
}

bool writeSeed(const std::filesystem::path& directory, const std::string& name,
               const std::vector<uint8_t>& bytes) {
  std::ofstream out(directory / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  std::filesystem::path directory = argv[1];
  std::filesystem::create_directories(directory);
  bool written = writeSeed(directory, "generated-demo.xm", vantor::demo::demoSongBytes());
  written &= writeSeed(directory, "generated-positions.xm", buildXm(positionSong()));
  for (uint32_t seed = 0; seed < 4; ++seed) {
    written &= writeSeed(directory, "generated-effects-linear-" + std::to_string(seed) + ".xm",
                         buildXm(effectSong(1, seed)));
    written &= writeSeed(directory, "generated-effects-amiga-" + std::to_string(seed) + ".xm",
                         buildXm(effectSong(0, seed)));
  }
  return written ? 0 : 1;
}
