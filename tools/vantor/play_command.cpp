// vantor play: the song in real time through PulseAudio. playSong runs as it does for
// the host, over the software sound device with a play cursor that the PulseAudio
// backend moves, so the player's own feeder thread keeps the ring filled.
#include <cstdio>

#include "commands.h"
#include "exit_codes.h"

#if VANTOR_WITH_PULSEAUDIO

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "output/release.h"
#include "output/stream.h"
#include "pulse_output.h"
#include "row_log.h"
#include "song_input.h"
#include "song_pass.h"
#include "stop_signals.h"
#include "tick_watch.h"

namespace vantor::tool {

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onStopSignal(int signal) { stopSignal = signal; }

// One status line: the row heard now (the renderer runs about 2 s ahead of it) and
// the time heard so far.
void showStatus(const RowLog& rows, uint64_t framesHeard) {
  std::optional<RowStart> heard = rows.rowAt(framesHeard);
  if (heard) {
    std::fprintf(stderr, "\rorder %3d  row %3d  %s ", heard->orderPosition, heard->row,
                 formatDuration(framesHeard).c_str());
  } else {
    std::fprintf(stderr, "\r%s ", formatDuration(framesHeard).c_str());
  }
  std::fflush(stderr);
}

}  // namespace

int runPlay(const Options& options) {
  LoadedSong loaded = loadSongFrom(options.song);
  if (loaded.song == nullptr) return loaded.exitCode;
  Song* song = loaded.song.get();

  PulseOutput output;
  if (!output.open(options.song.demo ? "vantor demo song" : options.song.path)) {
    std::fprintf(stderr, "vantor: PulseAudio is unavailable: %s\n", output.error().c_str());
    return exitNoPulseAudio;
  }
  platform::SoftwareDevice device(platform::CursorMode::manual);
  device.setRecording(false);
  RowLog rows;
  TickWatch watch(song, [&rows](const Song& ticked, const TickCall& call) {
    if (call.rowTick) rows.publish({call.startFrame, ticked.orderPosition, ticked.row});
  });
  if (!playSong(song, &device, 0, 1)) {
    std::fprintf(stderr, "vantor: the sound stream could not start\n");
    return exitFailure;
  }
  setSongVolume(song, static_cast<float>(options.volume));
  std::optional<uint64_t> framesToPlay;
  if (options.seconds) framesToPlay = std::max<uint64_t>(1, std::llround(*options.seconds * mixRate));
  catchStopSignals(onStopSignal);
  output.start(device.newestBuffer(), framesToPlay);

  const bool showing = isatty(STDERR_FILENO) != 0;
  while (stopSignal == 0 && !output.failed() && !output.finished()) {
    if (showing) showStatus(rows, output.framesHeard());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (showing) showStatus(rows, output.framesHeard());
  output.close();
  // The feeder thread calls the watched handler, so it ends before the watch does.
  stopSong(song);
  if (showing) std::fprintf(stderr, "\n");
  if (output.failed()) {
    std::fprintf(stderr, "vantor: PulseAudio stopped playing: %s\n", output.error().c_str());
    return exitFailure;
  }
  return stopSignal != 0 ? 128 + stopSignal : exitSuccess;
}

}  // namespace vantor::tool

#else

namespace vantor::tool {

int runPlay(const Options&) {
  std::fprintf(stderr, "vantor: PulseAudio is unavailable: this vantor was built without libpulse-simple\n");
  return exitNoPulseAudio;
}

}  // namespace vantor::tool

#endif
