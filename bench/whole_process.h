// The tool measured the way a user compares players: the whole process of
//
//   vantor render SONG.xm -o OUT.wav
//   xmp -q --nocmd -i linear -o OUT.wav SONG.xm
//   openmpt123 --batch --samplerate 44100 --filter 2 --no-float --force -q -o OUT.wav SONG.xm
//
// each writing one pass of the song to a WAV file (16-bit stereo, 44100 Hz, linear
// interpolation), as seconds of that program's audio per CPU second of the whole
// process (user and system time, start-up and writing included), least of N runs.
// Several vantor executables may be timed in the same run (a build before a change
// and after it); each one's PCM is hashed, so that a change that should only make the
// tool faster is seen to leave every sample as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "measure.h"

namespace vantor::bench {

struct WholeProcessOptions {
  std::vector<std::string> tools;  // vantor executables, in the order of the table's columns
  int repeat = 3;
  bool xmp = false;  // run the peers, found on the PATH
  bool openmpt = false;
};

struct ToolPass {
  Measure measure;
  bool refused = false;  // the tool said the file is no XM file or its loader refuses it
  uint64_t hash = 0;     // FNV-1a 64 of the PCM in the WAV file
};

struct WholeProcessSong {
  std::string name;
  std::vector<ToolPass> tools;  // one per executable
  Measure xmp;
  Measure openmpt;
};

// Measures one song; the work directory holds the output files. The peers only run on
// songs that the first tool loads.
WholeProcessSong measureWholeProcesses(const std::filesystem::path& song, const WholeProcessOptions& options,
                                       const std::filesystem::path& work);

void printWholeProcessTable(const std::vector<WholeProcessSong>& songs, const WholeProcessOptions& options);

}  // namespace vantor::bench
