// One pass of a song rendered through the player's own path: memory load, play-start
// reset, renderBlock into a software sound buffer. A pass ends when the sequencer first
// comes back to a row it has already played (repeats of a pattern loop do not count).
#pragma once

#include <cstdint>
#include <vector>

#include "loading/song.h"

namespace vantor::bench {

struct PassRender {
  bool loaded = false;
  double seconds = 0;     // audio rendered: whole blocks up to the one that ended the pass
  double cpuSeconds = 0;  // this thread's CPU time rendering and reading the blocks back
  uint64_t hash = 0;      // with a hash: FNV-1a 64 of the PCM as read back from the sound buffer
};

// Loads the XM bytes through the memory source; null when the loader refuses them.
Song* loadFromMemory(const std::vector<uint8_t>& bytes);

// CPU seconds the calling thread has used.
double threadCpuSeconds();

// Renders one pass, or maxSeconds of audio when that is shorter; the hash costs about
// as much as the rendering itself, so it is only computed on request.
PassRender renderPass(const std::vector<uint8_t>& bytes, double maxSeconds, bool withHash);

}  // namespace vantor::bench
