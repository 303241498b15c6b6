// The feeder thread's load while a song plays in real time: the song is played into a
// software sound buffer whose play cursor moves with the clock, and a thread feeds it
// the way the stream's feeder does (read the cursor, render every block it has left,
// sleep 5 ms). Its CPU time over the wall time is the share of one core it takes.
#pragma once

#include <cstdint>
#include <vector>

namespace vantor::bench {

struct FeederLoad {
  bool loaded = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;  // the feeder thread's own CPU time
  int blocksRendered = 0;
};

FeederLoad measureFeeder(const std::vector<uint8_t>& bytes, double seconds);

}  // namespace vantor::bench
