#include "measure.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vantor::bench {

namespace {
constexpr double bytesPerSecond = 44100 * 4.0;  // 16-bit stereo
}  // namespace

void addTo(Measure& total, const Measure& measure) {
  if (!measure.ran) return;
  total.ran = true;
  total.seconds += measure.seconds;
  total.cpuSeconds += measure.cpuSeconds;
  total.peakKiB = std::max(total.peakKiB, measure.peakKiB);
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

WavPcm readWavPcm(const std::filesystem::path& path) {
  WavPcm pcm;
  std::ifstream in(path, std::ios::binary);
  char riff[12];
  if (!in.read(riff, sizeof riff)) return pcm;
  unsigned char chunk[8];
  while (in.read(reinterpret_cast<char*>(chunk), sizeof chunk)) {
    uint32_t size = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | uint32_t{chunk[7]} << 24;
    if (std::memcmp(chunk, "data", 4) != 0) {
      in.seekg(std::streamoff{size} + (size & 1), std::ios::cur);
      continue;
    }
    pcm.found = true;
    pcm.hash = 0xcbf29ce484222325ULL;
    std::vector<char> piece(1 << 16);
    uint64_t left = size;
    while (left > 0) {
      in.read(piece.data(), static_cast<std::streamsize>(std::min<uint64_t>(left, piece.size())));
      std::streamsize got = in.gcount();
      if (got <= 0) break;
      for (std::streamsize i = 0; i < got; ++i)
        pcm.hash =
            (pcm.hash ^ static_cast<unsigned char>(piece[static_cast<std::size_t>(i)])) * 0x100000001b3ULL;
      pcm.bytes += static_cast<uint64_t>(got);
      left -= static_cast<uint64_t>(got);
    }
    break;
  }
  return pcm;
}

double pcmSeconds(uint64_t bytes) { return static_cast<double>(bytes) / bytesPerSecond; }

std::string speedText(const Measure& measure) {
  if (!measure.ran) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.0fx", measure.speed());
  return text;
}

std::string ratioText(const Measure& ours, const Measure& theirs) {
  if (!ours.ran || !theirs.ran || theirs.speed() == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", ours.speed() / theirs.speed());
  return text;
}

std::string peakText(const Measure& measure) {
  if (!measure.ran) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", measure.peakKiB / 1024.0);
  return text;
}

}  // namespace vantor::bench
