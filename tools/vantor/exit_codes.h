// The exit codes of the vantor tool, as documented in its help text and docs/tool.md.
#pragma once

namespace vantor::tool {

enum ExitCode : int {
  exitSuccess = 0,
  exitFailure = 1,           // anything else: out of memory, the sound output failed
  exitFound = 1,             // check: a song sounds different from trackers, or does not load
  exitUsage = 2,             // the command line is wrong
  exitUnreadableSong = 3,    // the song file is missing or cannot be read
  exitNotXm = 4,             // the file is not an Extended Module
  exitRefusedSong = 5,       // the loader refuses the song
  exitUnwritableOutput = 6,  // the output file cannot be written
  exitNoPulseAudio = 7,      // PulseAudio is not built in or cannot be reached
};

}  // namespace vantor::tool
