#include "wav_file.h"

#include <cerrno>
#include <cstring>

#include "output/renderer.h"

namespace vantor::tool {

namespace {

constexpr uint16_t pcmFormat = 1;
constexpr uint16_t channelCount = 2;
constexpr uint16_t bitsPerSample = 16;

// Every write to the file is a system call of its own, which costs more than the
// copying it does. With the C library's 4 KiB buffer a long song took more CPU time
// in them than in mixing; 256 KiB still took a tenth less than 64 KiB.
constexpr std::size_t writeBufferBytes = 256 * 1024;

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

WavWriter::~WavWriter() { discard(); }

bool WavWriter::open(const std::string& path, uint32_t dataBytes) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    error_ = std::strerror(errno);
    return false;
  }
  bufferWrites();
  std::array<uint8_t, wavHeaderBytes> header = wavHeader(dataBytes);
  return write(header.data(), header.size());
}

bool WavWriter::write(const uint8_t* bytes, std::size_t count) {
  if (file_ == nullptr) return false;
  if (std::fwrite(bytes, 1, count, file_) != count) return fail();
  return true;
}

bool WavWriter::close() {
  if (file_ == nullptr) return false;
  bool flushed = std::fflush(file_) == 0;
  if (!flushed) return fail();
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) {
    error_ = std::strerror(errno);
    std::remove(path_.c_str());
    return false;
  }
  return true;
}

void WavWriter::discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(path_.c_str());
}

void WavWriter::bufferWrites() {
  buffer_.resize(writeBufferBytes);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
}

bool WavWriter::fail() {
  error_ = std::strerror(errno);
  discard();
  return false;
}

}  // namespace vantor::tool
