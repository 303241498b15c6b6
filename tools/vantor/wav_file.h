// Writing a RIFF WAV file of 16-bit stereo PCM at 44100 Hz whose length is known
// before the first sample is written.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vantor::tool {

constexpr std::size_t wavHeaderBytes = 44;

// The RIFF header, fmt chunk and data chunk header for dataBytes bytes of PCM.
std::array<uint8_t, wavHeaderBytes> wavHeader(uint32_t dataBytes);

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the file and writes the header; false with error() set when it cannot.
  bool open(const std::string& path, uint32_t dataBytes);
  bool write(const uint8_t* bytes, std::size_t count);
  // Closes the file; false when anything written did not reach it.
  bool close();
  // Closes and deletes an unfinished file.
  void discard();
  const std::string& error() const { return error_; }

 private:
  bool fail();
  void bufferWrites();

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_{};  // the file's write buffer; outlives the file
  std::string path_{};
  std::string error_{};
};

}  // namespace vantor::tool
