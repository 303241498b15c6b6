// Loading the song of a command through the player's own byte sources: the file
// source for a file, the memory source for the demo song. A failure is reported on
// standard error and turned into the tool's exit code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "loading/song.h"

namespace vantor::tool {

struct SongRelease {
  void operator()(Song* song) const;
};
using SongPointer = std::unique_ptr<Song, SongRelease>;

struct LoadedSong {
  SongPointer song{};
  int exitCode = 0;     // when song is null: why
  std::string error{};  // when song is null: why, in words ("cannot read 'a.xm': ...")
};

// Loads the song; a failure is reported on standard error.
LoadedSong loadSongFrom(const SongSource& source);
// The same, leaving the report to the caller.
LoadedSong loadSongSilently(const SongSource& source);

// The bytes the song is loaded from: the file's, or the demo song's XM bytes. Empty
// when the file cannot be read.
std::vector<uint8_t> songBytes(const SongSource& source);

// The two names of the module header (20 bytes each at offsets 17 and 38), read
// through the same byte source, with trailing blanks removed and bytes that are not
// printable ASCII shown as '?'; and the format version after them, which the loader
// does not read.
struct HeaderNames {
  std::string module{};
  std::string tracker{};
  uint16_t version = 0;  // 0x0104 for version 1.04
};

HeaderNames readHeaderNames(const SongSource& source);

}  // namespace vantor::tool
