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
#include "song_info.h"

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

// The module header's names and version, read through the same byte source.
HeaderNames readHeaderNames(const SongSource& source);

}  // namespace vantor::tool
