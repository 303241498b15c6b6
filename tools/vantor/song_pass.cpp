#include "song_pass.h"

#include <algorithm>
#include <cstdio>

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

PassRun::PassRun(Song* song, const TickWatch::Listener& alsoWatching)
    : song_(song),
      alsoWatching_(alsoWatching),
      watch_(song, [this](const Song& played, const TickCall& call) {
        if (call.rowTick && !end_ && tracker_.comesBack(played)) end_ = call.startFrame;
        if (!end_ && alsoWatching_) alsoWatching_(played, call);
      }) {
  resetForPlay(song_);
}

bool PassRun::advance(uint64_t ticks) {
  for (uint64_t i = 0; i < ticks && !end_ && watch_.framesTicked() < passLimitFrames; ++i)
    song_->tickHandler(song_);
  return end_ || watch_.framesTicked() >= passLimitFrames;
}

PassLength PassRun::length() const {
  if (end_ && *end_ <= passLimitFrames) return {*end_, false};
  return {passLimitFrames, true};
}

PassLength measurePass(Song* song, const TickWatch::Listener& alsoWatching) {
  PassRun run(song, alsoWatching);
  run.advance(UINT64_MAX);
  return run.length();
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
