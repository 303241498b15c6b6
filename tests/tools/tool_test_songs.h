// Songs and files for the tool's tests: XM files from the builder and a WAV reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "xm_builder/xm_builder.h"

namespace vantor::test {

// A short song that sounds: two channels of a looping saw wave with a volume
// envelope, a note on every row, vibrato on the second channel.
xm::XmModule audibleSong();

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

struct WavFile {
  bool valid = false;  // RIFF/WAVE, a 16-byte fmt chunk, data up to the end of the file
  uint16_t format = 0;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint32_t byteRate = 0;
  uint16_t blockAlign = 0;
  uint16_t bits = 0;
  std::vector<uint8_t> data{};
};

WavFile readWav(const std::filesystem::path& path);

}  // namespace vantor::test
