// vantor export: the song's XM bytes in a file of their own. With --demo this gives
// the built-in demo song as an XM file, for programs that only load files (the
// Windows test host, other players).
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "exit_codes.h"
#include "song_input.h"

namespace vantor::tool {

int runExport(const Options& options) {
  // Only what the loader accepts is exported, with the same exit codes as the other commands.
  LoadedSong loaded = loadSongFrom(options.song);
  if (loaded.song == nullptr) return loaded.exitCode;
  std::vector<uint8_t> bytes = songBytes(options.song);
  if (bytes.empty()) {
    std::fprintf(stderr, "vantor: cannot read %s\n", options.song.displayName().c_str());
    return exitUnreadableSong;
  }

  const char* path = options.outputPath.c_str();
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "vantor: cannot write '%s': %s\n", path, std::strerror(errno));
    return exitUnwritableOutput;
  }
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int error = errno;
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    std::fprintf(stderr, "vantor: cannot write '%s': %s\n", path, std::strerror(error));
    std::remove(path);
    return exitUnwritableOutput;
  }
  return exitSuccess;
}

}  // namespace vantor::tool
