// vantor export: the song's XM bytes in a file of their own. With --demo this gives
// the built-in demo song as an XM file, for programs that only load files (the
// Windows test host, other players).
#include <cstdio>

#include "commands.h"
#include "exit_codes.h"
#include "output_file.h"
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

  OutputFile output;
  if (!output.open(options.outputPath) || !output.write(bytes.data(), bytes.size()) || !output.commit()) {
    std::fprintf(stderr, "vantor: cannot write '%s': %s\n", options.outputPath.c_str(),
                 output.error().c_str());
    return exitUnwritableOutput;
  }
  return exitSuccess;
}

}  // namespace vantor::tool
