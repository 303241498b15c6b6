// Plays song bytes the way the stream does, without the feeder thread: loads them
// through the memory source, applies the play-start reset and renders blocks into a
// software sound buffer, timing the work and guarding against a render that never
// returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantor::test {

struct RenderResult {
  bool loaded = false;
  double seconds = 0.0;       // processor time of all blocks
  double slowestBlock = 0.0;  // seconds
  int64_t nonZeroValues = 0;  // 16-bit values of the output that are not 0
  int rowTicks = 0;           // rows processed (counted at the tick handler)
};

// Loads and renders `blocks` blocks, timing them in processor time. If the blocks
// take longer than `hangSeconds` on the wall clock, the process is aborted with the song's name: a hang in a
// renderer cannot be interrupted any other way.
RenderResult renderOffline(const std::string& name, const std::vector<uint8_t>& bytes, int blocks,
                           double hangSeconds);

}  // namespace vantor::test
