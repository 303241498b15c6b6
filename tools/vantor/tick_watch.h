// Watches a song's tick handler: a wrapper calls the song's own handler (the
// sequencer) and then shows a listener the song as that call left it. The wrapper
// also counts output frames the way the renderer does: every tick lasts the
// samplesPerTick read right after its handler returned, from frame 0 at play start.
//
// The handler takes no context, so one watch at a time is installed (a global); the
// listener runs on whichever thread renders.
#pragma once

#include <cstdint>
#include <functional>

#include "loading/song.h"

namespace vantor::tool {

struct TickCall {
  uint64_t number;      // calls before this one since the watch was installed
  bool rowTick;         // the call processed a row (the song's tick was 0 when it began)
  uint64_t startFrame;  // output frame at which the tick begins
};

class TickWatch {
 public:
  using Listener = std::function<void(const Song& song, const TickCall& call)>;

  // Installs the wrapper; the song's handler is put back by the destructor.
  TickWatch(Song* song, Listener listener);
  ~TickWatch();
  TickWatch(const TickWatch&) = delete;
  TickWatch& operator=(const TickWatch&) = delete;

  uint64_t calls() const { return calls_; }
  uint64_t framesTicked() const { return frames_; }  // where the next tick begins

 private:
  static void handle(Song* song);

  Song* song_;
  TickHandler original_;
  Listener listener_;
  uint64_t calls_ = 0;
  uint64_t frames_ = 0;
};

}  // namespace vantor::tool
