// vantor check: for a game's build or a composer's folder. One line per place where a
// song will sound different from trackers, in the form that editors and build tools
// read, the songs that do not load with the reason, and a summary. Every song given is
// read, even after one fails. With --list-rules it lists every rule instead.
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

struct CheckCounts {
  int songs = 0;
  int findings = 0;
  int songsWithFindings = 0;
  int notLoaded = 0;
};

std::string songName(const SongSource& source) { return source.demo ? "demo" : source.path; }

// On one line: the loader's reasons come one per line, indented, after a colon.
std::string oneLine(std::string text) {
  if (std::size_t at = text.find(":\n  "); at != std::string::npos) text.replace(at, 4, ": ");
  for (std::size_t at = text.find("\n  "); at != std::string::npos; at = text.find("\n  ", at))
    text.replace(at, 3, "; ");
  return text;
}

void checkSong(const SongSource& source, CheckCounts& counts) {
  const std::string name = songName(source);
  counts.songs += 1;
  LoadedSong loaded = loadSongSilently(source);
  LoadNotes notes = lastLoadNotes();  // the notes of this load, before anything else runs
  if (loaded.song == nullptr) {
    counts.notLoaded += 1;
    std::fprintf(stderr, "%s: not loaded: %s\n", name.c_str(), oneLine(loaded.error).c_str());
    if (loaded.exitCode == exitRefusedSong) {
      for (const std::string& text : refusalDifferences(notes, readHeaderNames(source).version))
        std::fprintf(stderr, "%s: %s\n", name.c_str(), text.c_str());
    }
    return;
  }
  Song* song = loaded.song.get();
  DifferenceFinder finder(song);
  HeaderNames names = readHeaderNames(source);
  finder.examineFile(songBytes(source), notes, names.version, names.tracker);
  measurePass(song, [&](const Song&, const TickCall& call) { finder.afterTick(call); });
  int found = printCheckFindings(name, finder);
  counts.findings += found;
  if (found > 0) counts.songsWithFindings += 1;
}

std::string counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

int runCheck(const Options& options) {
  if (options.listRules) {
    printRuleList(options.markdown);
    return std::fflush(stdout) == 0 ? exitSuccess : exitFailure;
  }
  CheckCounts counts;
  for (const SongSource& source : options.songs) checkSong(source, counts);
  std::string summary = counted(counts.songs, "song", "songs") + " checked: ";
  if (counts.findings == 0) {
    summary += "nothing sounds different from trackers";
  } else {
    summary += counted(counts.findings, "finding", "findings") + " in " +
               counted(counts.songsWithFindings, "song", "songs");
  }
  if (counts.notLoaded > 0) summary += ", " + counted(counts.notLoaded, "song", "songs") + " not loaded";
  std::printf("%s\n", summary.c_str());
  if (std::fflush(stdout) != 0) return exitFailure;
  return counts.findings > 0 || counts.notLoaded > 0 ? exitFound : exitSuccess;
}

}  // namespace vantor::tool
