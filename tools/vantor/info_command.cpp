// vantor info: what the module header says, what the loader made of it, how long
// one pass of the song lasts, and where it sounds different from trackers.
#include <cstdio>
#include <string>

#include "commands.h"
#include "difference_report.h"
#include "exit_codes.h"
#include "loading/load_notes.h"
#include "song_info.h"
#include "song_input.h"
#include "song_pass.h"
#include "tracker_differences.h"

namespace vantor::tool {

namespace {

void printLoaderNotes(const std::vector<std::string>& lines) {
  if (lines.empty()) {
    std::printf("loader notes: none\n");
    return;
  }
  std::printf("loader notes:\n");
  for (const std::string& line : lines) std::printf("  %s\n", line.c_str());
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

  DifferenceFinder differences(&song);
  differences.examineFile(songBytes(options.song), notes, names.version, names.tracker);
  PassLength pass =
      measurePass(&song, [&](const Song&, const TickCall& call) { differences.afterTick(call); });
  SongInfo info = describeSong(song, names, pass, notes);
  for (const auto& [field, value] : infoLines(info)) std::printf("%s: %s\n", field.c_str(), value.c_str());
  printLoaderNotes(info.loaderNotes);
  printTrackerDifferences(differences);
  return exitSuccess;
}

}  // namespace vantor::tool
