// vantor info: what the module header says, what the loader made of it, how long
// one pass of the song lasts, and where it sounds different from trackers.
#include <cstdio>
#include <string>

#include "commands.h"
#include "difference_report.h"
#include "exit_codes.h"
#include "loading/load_notes.h"
#include "song_input.h"
#include "song_pass.h"
#include "tracker_differences.h"

namespace vantor::tool {

namespace {

int sampleCount(const Song& song) {
  int count = 0;
  for (int i = 0; i < song.instrumentCount; ++i) count += static_cast<int>(song.instruments[i].sampleCount);
  return count;
}

void printLoaderNotes(const LoadNotes& notes) {
  char text[2048];
  describeLoadNotes(notes, text, sizeof text);
  if (text[0] == '\0') {
    std::printf("loader notes: none\n");
    return;
  }
  std::printf("loader notes:\n");
  std::string lines = text;
  for (std::size_t start = 0; start < lines.size();) {
    std::size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    std::printf("  %s\n", lines.substr(start, end - start).c_str());
    start = end + 1;
  }
}

}  // namespace

int runInfo(const Options& options) {
  LoadedSong loaded = loadSongFrom(options.song);
  LoadNotes notes = lastLoadNotes();  // the notes of this load, before anything else runs
  if (loaded.song == nullptr) {
    if (loaded.exitCode == exitRefusedSong) {
      for (const std::string& text : refusalDifferences(notes, readHeaderNames(options.song).version))
        std::fprintf(stderr, "vantor: %s\n", text.c_str());
    }
    return loaded.exitCode;
  }
  HeaderNames names = readHeaderNames(options.song);
  Song& song = *loaded.song;

  std::printf("module name: %s\n", names.module.c_str());
  std::printf("tracker name: %s\n", names.tracker.c_str());
  std::printf("channels: %d\n", song.channelCount);
  std::printf("song length: %d\n", song.songLength);
  std::printf("restart position: %d\n", song.restartPosition);
  std::printf("patterns: %d\n", song.patternCount);
  std::printf("instruments: %d\n", song.instrumentCount < 0 ? 0 : song.instrumentCount);
  std::printf("samples: %d\n", sampleCount(song));
  std::printf("frequency table: %s\n", (song.flags & LinearFrequencyTable) != 0 ? "linear" : "Amiga");
  std::printf("default speed: %d\n", song.defaultSpeed);
  std::printf("default BPM: %d\n", song.defaultBpm);
  DifferenceFinder differences(&song);
  differences.examineFile(songBytes(options.song), notes, names.version, names.tracker);
  PassLength pass =
      measurePass(&song, [&](const Song&, const TickCall& call) { differences.afterTick(call); });
  if (pass.limited) {
    std::printf("one pass: more than %s (no row comes back within it)\n",
                formatDuration(pass.frames).c_str());
  } else {
    std::printf("one pass: %s (%llu frames)\n", formatDuration(pass.frames).c_str(),
                static_cast<unsigned long long>(pass.frames));
  }
  printLoaderNotes(notes);
  printTrackerDifferences(differences);
  return exitSuccess;
}

}  // namespace vantor::tool
