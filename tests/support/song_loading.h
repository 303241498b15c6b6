// Loading songs in tests through the player's own byte sources, with automatic release.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "loading/song.h"

namespace vantor::test {

struct SongRelease {
  void operator()(Song* song) const;
};
using SongPointer = std::unique_ptr<Song, SongRelease>;

// Loads from a memory block through the memory source, as the load-from-memory command does.
SongPointer loadFromMemory(const std::vector<uint8_t>& bytes, SampleProvider provider = nullptr);

// Loads a file through the file source, as the load-from-file command does.
SongPointer loadFromFile(const std::filesystem::path& path, SampleProvider provider = nullptr);

// A file in the temporary directory, removed when this goes.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::vector<uint8_t>& bytes);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace vantor::test
