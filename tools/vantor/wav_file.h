// Writing a RIFF WAV file of 16-bit stereo PCM at 44100 Hz whose length is known
// before the first sample is written, so the header goes first and the file can be
// a pipe.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "output_file.h"

namespace vantor::tool {

constexpr std::size_t wavHeaderBytes = 44;

// The RIFF header, fmt chunk and data chunk header for dataBytes bytes of PCM.
std::array<uint8_t, wavHeaderBytes> wavHeader(uint32_t dataBytes);

// A WAV file written the way every output of the tool is (see OutputFile).
class WavWriter {
 public:
  // Opens the output and writes the header; false with error() set when it cannot.
  bool open(const std::string& path, uint32_t dataBytes);
  bool write(const uint8_t* bytes, std::size_t count) { return output_.write(bytes, count); }
  // Puts the finished file in place; false with error() set when that failed.
  bool close() { return output_.commit(); }
  // Leaves the path as it was before open (also done when a write fails).
  void discard() { output_.discard(); }
  const std::string& error() const { return output_.error(); }

 private:
  OutputFile output_;
};

}  // namespace vantor::tool
