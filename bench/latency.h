// The latency benchmark: how long each command holds the game's thread. Every corpus
// song is played through a build of the plug-in (libvantor.so, loaded as a game loads
// it, into a software sound device whose cursor moves with the clock), for rounds of
// the commands of latency_rounds.h, under both timer models of the platform stand-in:
// precise, and Windows' default timer, whose sleeps and time-outs end on 15.625 ms
// ticks. Each build, model and song runs in a child process of its own. Several builds
// are measured in one sitting, their runs interleaved song by song. The tables give
// the least, median and most time of each command per song, and whether the targets
// hold. Reported, never asserted.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantor::bench {

struct LatencyOptions {
  std::vector<std::string> libraries;  // libvantor.so files
  std::vector<std::filesystem::path> songs;
  int rounds = 20;
  std::string self;  // this program, which runs each measurement as its child
};

void runLatency(const LatencyOptions& options);

// The child's side: plays one song through the library under the timer model
// ("precise" or "windows") and prints what latency_rounds.h prints.
int latencyChild(const char* library, const char* song, const char* timerModel, int rounds);

// Prints the tables of what a latency run printed (the Windows latency host's output,
// say) under a title; false when the file holds no song.
bool printLatencyFile(const std::filesystem::path& file, const std::string& title);

}  // namespace vantor::bench
