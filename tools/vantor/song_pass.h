// One pass of a song: from play start until the sequencer first comes back to a row
// it has already played, not counting the rows that a pattern loop (E6x) plays
// again. A song never ends by itself, so this is where a listener would say that it
// has heard the whole song.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

#include "loading/song.h"
#include "output/renderer.h"
#include "tick_watch.h"

namespace vantor::tool {

// Nothing is rendered or measured beyond 20 minutes.
constexpr uint64_t passLimitFrames = uint64_t{20} * 60 * mixRate;

// Fed with every row tick right after the sequencer processed it; says when the row
// begins the second pass.
class PassTracker {
 public:
  bool comesBack(const Song& song);

 private:
  std::unordered_set<uint64_t> playedRows_;
};

struct PassLength {
  uint64_t frames;  // at most passLimitFrames
  bool limited;     // no row came back within passLimitFrames
};

// measurePass, a few ticks at a time, for a caller that must not wait for the whole
// pass at once (a web page that keeps playing meanwhile). Its tick watch is installed
// while it exists, so no other may run at the same time.
class PassRun {
 public:
  PassRun(Song* song, const TickWatch::Listener& alsoWatching);
  // Runs at most `ticks` more ticks; true once the pass has ended.
  bool advance(uint64_t ticks);
  PassLength length() const;

 private:
  Song* song_;
  PassTracker tracker_;
  std::optional<uint64_t> end_;
  TickWatch::Listener alsoWatching_;
  TickWatch watch_;
};

// Runs the song's own sequencer from play start, without mixing (voices never steer
// the song), until one pass ends. The song is left wherever that was, and keeps what
// its effects changed for later plays (a finetune set by E5x), so measure on a song
// that will not be played afterwards. A listener, when given, is shown every tick of
// the pass (not the row that begins the second pass) and may mix.
PassLength measurePass(Song* song, const TickWatch::Listener& alsoWatching = nullptr);

}  // namespace vantor::tool

namespace vantor::tool {

// Frames as minutes, seconds and milliseconds: "3:05.123".
std::string formatDuration(uint64_t frames);

}  // namespace vantor::tool
