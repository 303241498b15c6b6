#include "tick_watch.h"

#include <utility>

namespace vantor::tool {

namespace {
TickWatch* installedWatch = nullptr;
}  // namespace

TickWatch::TickWatch(Song* song, Listener listener)
    : song_(song), original_(song->tickHandler), listener_(std::move(listener)) {
  installedWatch = this;
  song_->tickHandler = handle;
}

TickWatch::~TickWatch() {
  song_->tickHandler = original_;
  installedWatch = nullptr;
}

void TickWatch::handle(Song* song) {
  TickWatch& watch = *installedWatch;
  TickCall call{watch.calls_, song->tick == 0, watch.frames_};
  if (watch.original_ != nullptr) watch.original_(song);
  watch.calls_ += 1;
  watch.frames_ += static_cast<uint64_t>(song->samplesPerTick > 0 ? song->samplesPerTick : 0);
  if (watch.listener_) watch.listener_(*song, call);
}

}  // namespace vantor::tool
