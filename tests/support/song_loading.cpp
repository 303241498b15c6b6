#include "support/song_loading.h"

#include <atomic>
#include <fstream>
#include <random>
#include <string>

#include "loading/byte_source.h"
#include "loading/xm_loader.h"
#include "output/release.h"

namespace vantor::test {

void SongRelease::operator()(Song* song) const { freeSong(song); }

SongPointer loadFromMemory(const std::vector<uint8_t>& bytes, SampleProvider provider) {
  memoryBlock = {bytes.data(), static_cast<uint32_t>(bytes.size()), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  return SongPointer(loadSong("memload", provider));
}

SongPointer loadFromFile(const std::filesystem::path& path, SampleProvider provider) {
  setFileCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell);
  return SongPointer(loadSong(path.string().c_str(), provider));
}

TemporaryFile::TemporaryFile(const std::vector<uint8_t>& bytes) {
  static std::atomic<int> counter{0};
  static const unsigned run = std::random_device{}();
  path_ = std::filesystem::temp_directory_path() /
          ("vantor-test-" + std::to_string(run) + "-" + std::to_string(counter++) + ".xm");
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TemporaryFile::~TemporaryFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace vantor::test
