#include "tool_test_songs.h"

#include <cstring>
#include <fstream>

#include "support/corpus.h"

namespace vantor::test {

xm::XmModule audibleSong() {
  std::vector<int> saw(64);
  for (int i = 0; i < 64; ++i) saw[i] = i * 4 - 128;
  xm::XmSample sample = xm::XmSample::eightBit(saw);
  sample.loop = xm::XmLoop::Forward;
  sample.loopLength = 64;
  xm::XmInstrument instrument = xm::XmInstrument::withSample(sample);
  instrument.volumeEnvelope = {.points = {{0, 64}, {8, 40}, {32, 20}}, .type = 1};
  instrument.fadeout = 256;

  xm::XmModule module;
  module.name = "audible test song";
  module.channelCount = 2;
  module.defaultSpeed = 3;
  module.patterns.push_back(xm::XmPattern::empty(16, 2));
  for (int row = 0; row < 16; ++row) {
    module.patterns[0].at(row, 0) = {.note = static_cast<uint8_t>(37 + (row * 5) % 24), .instrument = 1};
    if (row % 4 == 0)
      module.patterns[0].at(row, 1) = {
          .note = 25, .instrument = 1, .volume = 0x30, .effect = 4, .effectParam = 0x46};
  }
  module.instruments.push_back(instrument);
  return module;
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

WavFile readWav(const std::filesystem::path& path) {
  std::vector<unsigned char> bytes = readFileBytes(path);
  WavFile wav;
  if (bytes.size() < 44) return wav;
  auto u16 = [&](std::size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
  auto u32 = [&](std::size_t at) { return static_cast<uint32_t>(u16(at) | uint32_t{u16(at + 2)} << 16); };
  auto tag = [&](std::size_t at, const char* text) { return std::memcmp(bytes.data() + at, text, 4) == 0; };
  wav.format = u16(20);
  wav.channels = u16(22);
  wav.rate = u32(24);
  wav.byteRate = u32(28);
  wav.blockAlign = u16(32);
  wav.bits = u16(34);
  wav.data.assign(bytes.begin() + 44, bytes.end());
  wav.valid = tag(0, "RIFF") && u32(4) == bytes.size() - 8 && tag(8, "WAVE") && tag(12, "fmt ") &&
              u32(16) == 16 && tag(36, "data") && u32(40) == bytes.size() - 44;
  return wav;
}

}  // namespace vantor::test
