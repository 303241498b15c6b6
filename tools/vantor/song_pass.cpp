#include "song_pass.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "output/play_start.h"
#include "sequencer/channel.h"

namespace vantor::tool {

namespace {

// While any channel counts the repeats of a pattern loop, the rows played are the
// loop's repeats. The counter is back at 0 once the loop has played its last time.
bool patternLoopRepeating(const Song& song) {
  int count = std::clamp<int>(song.channelCount, 0, channelTableSize);
  for (int c = 0; c < count; ++c) {
    if (channels[c].loopCount != 0) return true;
  }
  return false;
}

}  // namespace

bool PassTracker::comesBack(const Song& song) {
  if (patternLoopRepeating(song)) return false;
  uint64_t row =
      (uint64_t{static_cast<uint32_t>(song.orderPosition)} << 32) | static_cast<uint32_t>(song.row);
  return !playedRows_.insert(row).second;
}

PassLength measurePass(Song* song, const TickWatch::Listener& alsoWatching) {
  resetForPlay(song);
  PassTracker tracker;
  std::optional<uint64_t> end;
  TickWatch watch(song, [&](const Song& played, const TickCall& call) {
    if (call.rowTick && !end && tracker.comesBack(played)) end = call.startFrame;
    if (!end && alsoWatching) alsoWatching(played, call);
  });
  while (!end && watch.framesTicked() < passLimitFrames) song->tickHandler(song);
  if (end && *end <= passLimitFrames) return {*end, false};
  return {passLimitFrames, true};
}

}  // namespace vantor::tool

namespace vantor::tool {

std::string formatDuration(uint64_t frames) {
  uint64_t milliseconds = frames * 1000 / mixRate;
  char text[32];
  std::snprintf(text, sizeof text, "%llu:%02llu.%03llu",
                static_cast<unsigned long long>(milliseconds / 60000),
                static_cast<unsigned long long>(milliseconds / 1000 % 60),
                static_cast<unsigned long long>(milliseconds % 1000));
  return text;
}

}  // namespace vantor::tool
