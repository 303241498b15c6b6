#include "wav_file.h"

#include <cstring>

#include "output/renderer.h"

namespace vantor::tool {

namespace {

constexpr uint16_t pcmFormat = 1;
constexpr uint16_t channelCount = 2;
constexpr uint16_t bitsPerSample = 16;

void put16(uint8_t*& at, uint16_t value) {
  *at++ = static_cast<uint8_t>(value);
  *at++ = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t*& at, uint32_t value) {
  put16(at, static_cast<uint16_t>(value));
  put16(at, static_cast<uint16_t>(value >> 16));
}

void putTag(uint8_t*& at, const char (&tag)[5]) {
  std::memcpy(at, tag, 4);
  at += 4;
}

}  // namespace

std::array<uint8_t, wavHeaderBytes> wavHeader(uint32_t dataBytes) {
  std::array<uint8_t, wavHeaderBytes> header{};
  uint8_t* at = header.data();
  putTag(at, "RIFF");
  put32(at, static_cast<uint32_t>(wavHeaderBytes - 8 + dataBytes));
  putTag(at, "WAVE");
  putTag(at, "fmt ");
  put32(at, 16);
  put16(at, pcmFormat);
  put16(at, channelCount);
  put32(at, mixRate);
  put32(at, mixRate * bytesPerFrame);
  put16(at, bytesPerFrame);
  put16(at, bitsPerSample);
  putTag(at, "data");
  put32(at, dataBytes);
  return header;
}

bool WavWriter::open(const std::string& path, uint32_t dataBytes) {
  if (!output_.open(path)) return false;
  std::array<uint8_t, wavHeaderBytes> header = wavHeader(dataBytes);
  return output_.write(header.data(), header.size());
}

}  // namespace vantor::tool
