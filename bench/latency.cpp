#include "latency.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "latency_rounds.h"
#include "loading/song.h"
#include "measure.h"
#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"
#include "pass_render.h"
#include "platform/software_device.h"

namespace fs = std::filesystem;

namespace vantor::bench {

namespace {

const char* const commandTitles[latencyCommandCount] = {"caption", "mode",       "load file", "load memory",
                                                        "play",    "play again", "volume",    "stop"};
const char* const timerModels[] = {"precise", "windows"};

struct SongLatency {
  std::string name;
  uint64_t bytes = 0;
  std::vector<double> times[latencyCommandCount];
  std::vector<double> insideDirectSound[latencyCommandCount];  // where the host measured it
  std::vector<double> fill;                                    // the first fill of play alone, where measured
  bool refused = false;
};

using ModprocEntry = void (*)(int, void*, unsigned);

// What a game is to the library: it calls modproc with the device and the song.
class LinuxHost {
 public:
  LinuxHost(ModprocEntry modproc, IDirectSound* device, std::string path, std::vector<uint8_t> bytes)
      : modproc_(modproc), device_(device), path_(std::move(path)), bytes_(std::move(bytes)) {}

  void command(int cmd, void* arg, unsigned arg2) { modproc_(cmd, arg, arg2); }
  double milliseconds() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
  void* device() { return device_; }
  const char* songPath() const { return path_.c_str(); }
  const void* songBytes() const { return bytes_.data(); }
  unsigned songSize() const { return static_cast<unsigned>(bytes_.size()); }

 private:
  ModprocEntry modproc_;
  IDirectSound* device_;
  std::string path_;
  std::vector<uint8_t> bytes_;
};

std::vector<SongLatency> parseLatency(std::istream& in) {
  std::vector<SongLatency> songs;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "song" || key == "refused") {
      songs.emplace_back();
      words >> songs.back().name >> songs.back().bytes;
      songs.back().refused = key == "refused";
      continue;
    }
    double time;
    if (key == "fill" && !songs.empty()) {
      while (words >> time) songs.back().fill.push_back(time);
      continue;
    }
    const std::string directSoundSuffix = ".dsound";
    bool directSound =
        key.size() > directSoundSuffix.size() &&
        key.compare(key.size() - directSoundSuffix.size(), std::string::npos, directSoundSuffix) == 0;
    if (directSound) key.resize(key.size() - directSoundSuffix.size());
    auto found = std::find(std::begin(latencyCommandKeys), std::end(latencyCommandKeys), key);
    if (found == std::end(latencyCommandKeys) || songs.empty()) continue;  // a note of the host's
    auto which = found - std::begin(latencyCommandKeys);
    auto& series = directSound ? songs.back().insideDirectSound[which] : songs.back().times[which];
    while (words >> time) series.push_back(time);
  }
  return songs;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double most(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

// Five characters for any time from a microsecond to minutes.
std::string timeText(double milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, milliseconds < 100 ? (milliseconds < 10 ? "%.3f" : "%.2f") : "%.0f",
                milliseconds);
  return text;
}

std::string cellText(const std::vector<double>& values) {
  if (values.empty()) return "-";
  return timeText(*std::min_element(values.begin(), values.end())) + "/" + timeText(median(values)) + "/" +
         timeText(most(values));
}

struct Worst {
  double time = -1;
  std::string song;
  void take(double candidate, const std::string& name) {
    if (candidate > time) time = candidate, song = name;
  }
};

void printTargets(const std::vector<SongLatency>& songs) {
  Worst quick, plays;
  // The load that comes closest to its allowance (or exceeds it most).
  double loadMost = 0, loadAllowed = 0;
  std::string loadSong;
  for (const SongLatency& song : songs) {
    for (auto which : {timedCaption, timedMode, timedVolume, timedStop})
      if (!song.times[which].empty()) quick.take(most(song.times[which]), song.name);
    for (auto which : {timedPlay, timedPlayAgain})
      if (!song.times[which].empty()) plays.take(most(song.times[which]), song.name);
    double allowed = 1 + static_cast<double>(song.bytes) / (1 << 20);
    for (auto which : {timedLoadFile, timedLoadMemory}) {
      if (song.times[which].empty()) continue;
      double time = most(song.times[which]);
      if (loadSong.empty() || time - allowed > loadMost - loadAllowed)
        loadMost = time, loadAllowed = allowed, loadSong = song.name;
    }
  }
  auto status = [](bool met) { return met ? "met" : "MISSED"; };
  std::printf("targets: stop, volume, caption and mode under 0.5 ms at most: %s (most %s ms, %s)\n",
              status(quick.time < 0.5), timeText(quick.time).c_str(), quick.song.c_str());
  std::printf("         play and play again under 3 ms at most: %s (most %s ms, %s)\n",
              status(plays.time < 3), timeText(plays.time).c_str(), plays.song.c_str());
  std::printf("         load under 1 ms + 1 ms per MiB: %s (closest %s: most %s ms of %s ms allowed)\n",
              status(loadMost < loadAllowed), loadSong.c_str(), timeText(loadMost).c_str(),
              timeText(loadAllowed).c_str());
}

// With insideDirectSound, the part of each command spent inside DirectSound calls.
void printTable(const std::string& title, const std::vector<SongLatency>& songs,
                bool insideDirectSound = false) {
  bool withFill = !insideDirectSound &&
                  std::any_of(songs.begin(), songs.end(), [](auto& song) { return !song.fill.empty(); });
  std::printf("\n%s\n%-28s %5s", title.c_str(), "song", "KiB");
  for (const char* name : commandTitles) std::printf("  %-17s", name);
  if (withFill) std::printf("  %-17s", "(fill of play)");
  std::printf("\n");
  SongLatency all;
  all.name = "all songs";
  for (const SongLatency& song : songs) {
    std::printf("%-28s %5.0f", song.name.c_str(), static_cast<double>(song.bytes) / 1024);
    if (song.refused) {
      std::printf("  refused by the loader\n");
      continue;
    }
    for (int which = 0; which < latencyCommandCount; ++which) {
      const auto& series = insideDirectSound ? song.insideDirectSound[which] : song.times[which];
      std::printf("  %-17s", cellText(series).c_str());
      all.times[which].insert(all.times[which].end(), series.begin(), series.end());
    }
    if (withFill) std::printf("  %-17s", cellText(song.fill).c_str());
    all.fill.insert(all.fill.end(), song.fill.begin(), song.fill.end());
    std::printf("\n");
  }
  std::printf("%-28s %5s", all.name.c_str(), "");
  for (const auto& times : all.times) std::printf("  %-17s", cellText(times).c_str());
  if (withFill) std::printf("  %-17s", cellText(all.fill).c_str());
  std::printf("\n");
  if (!insideDirectSound) printTargets(songs);
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string oneMinute;
  in >> oneMinute;
  return oneMinute.empty() ? "unknown" : oneMinute;
}

// The first fill alone, through the benchmark's own copy of the player: the whole ring
// that play renders before it starts the buffer, from the song's start.
std::vector<double> fillTimes(const std::vector<uint8_t>& bytes, int rounds) {
  std::vector<double> times;
  Song* song = loadFromMemory(bytes);
  platform::SoftwareDevice device;
  device.setRecording(false);
  IDirectSoundBuffer* buffer = createRingBuffer(&device, 0);
  if (song != nullptr && buffer != nullptr && allocateMixBuffer()) {
    soundBuffer = buffer;
    for (int round = -1; round < rounds; ++round) {  // the first brings in code and pages
      resetForPlay(song);
      currentSong = song;
      blockIndex = 0;
      auto start = std::chrono::steady_clock::now();
      do {
        renderBlock();
      } while (blockIndex != 0);
      auto time = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (round >= 0) times.push_back(time);
    }
  }
  soundBuffer = nullptr;
  currentSong = nullptr;
  freeMixBuffer();
  if (buffer != nullptr) buffer->Release();
  freeSong(song);
  return times;
}

}  // namespace

int latencyChild(const char* library, const char* song, const char* timerModel, int rounds) {
  std::vector<uint8_t> bytes = readFile(song);
  std::string name = fs::path(song).filename().string();
  // A refused song would end the process through the fatal-error box.
  Song* check = loadFromMemory(bytes);
  if (check == nullptr) {
    std::printf("refused %s %zu\n", name.c_str(), bytes.size());
    return 0;
  }
  freeSong(check);

  // The platform stand-in inside the library reads its timer model when it first waits.
  setenv("VANTOR_TIMER", timerModel, 1);
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  auto modproc = handle != nullptr ? reinterpret_cast<ModprocEntry>(dlsym(handle, "modproc")) : nullptr;
  if (modproc == nullptr) {
    std::fprintf(stderr, "cannot load modproc from %s: %s\n", library, dlerror());
    return 1;
  }
  platform::SoftwareDevice device(platform::CursorMode::clock);
  device.setRecording(false);
  std::vector<double> fill = fillTimes(bytes, rounds);
  LinuxHost host(modproc, &device, fs::absolute(song).string(), std::move(bytes));
  runLatencyRounds(host, name.c_str(), rounds);
  std::printf("fill");
  for (double time : fill) std::printf(" %.4f", time);
  std::printf("\n");
  return 0;
}

void runLatency(const LatencyOptions& options) {
  std::printf(
      "latency: %zu songs, %d rounds each (per round: 3 plays from stopped, 1 of each other command)\n",
      options.songs.size(), options.rounds);
  std::printf("machine load (1-minute average) at the start: %s\n", loadAverage().c_str());
  std::fflush(stdout);
  // results[library][model]: the songs in order.
  std::vector<std::vector<std::vector<SongLatency>>> results(options.libraries.size(),
                                                             std::vector<std::vector<SongLatency>>(2));
  std::string rounds = std::to_string(options.rounds);
  for (const fs::path& song : options.songs) {
    std::fprintf(stderr, "  %s\n", song.filename().c_str());
    for (int model = 0; model < 2; ++model) {
      for (std::size_t library = 0; library < options.libraries.size(); ++library) {
        ChildRun run = runChild({options.self, "--latency-one", options.libraries[library], song.string(),
                                 timerModels[model], rounds});
        std::istringstream output(run.output);
        std::vector<SongLatency> parsed = parseLatency(output);
        if (!run.exited || parsed.empty()) {
          if (run.output.rfind("refused", 0) != 0)
            std::fprintf(stderr, "    %s failed (exit %d)\n", options.libraries[library].c_str(),
                         run.exitCode);
          continue;
        }
        results[library][model].push_back(std::move(parsed.front()));
      }
    }
  }
  std::printf("machine load (1-minute average) at the end: %s\n", loadAverage().c_str());
  std::printf(
      "\nMilliseconds each command held the calling thread: least/median/most per song. Loads, 'play\n"
      "again' and 'stop' come while the song plays; 'play' starts a stopped song (it renders the whole\n"
      "2 s ring first). '(fill of play)' is that rendering alone, timed inside the benchmark.\n");
  for (std::size_t library = 0; library < options.libraries.size(); ++library) {
    for (int model = 0; model < 2; ++model) {
      std::string title =
          "== " + options.libraries[library] +
          ", timer: " + (model == 0 ? "precise" : "Windows' default (sleeps end on 15.625 ms ticks)") + " ==";
      printTable(title, results[library][model]);
    }
  }
}

bool printLatencyFile(const fs::path& file, const std::string& title) {
  std::ifstream in(file);
  std::vector<SongLatency> songs = parseLatency(in);
  if (songs.empty()) return false;
  printTable("== " + title + " ==", songs);
  bool sawDirectSound = std::any_of(songs.begin(), songs.end(), [](const SongLatency& song) {
    return std::any_of(std::begin(song.insideDirectSound), std::end(song.insideDirectSound),
                       [](auto& series) { return !series.empty(); });
  });
  if (sawDirectSound) printTable("== " + title + ": of that, inside DirectSound's calls ==", songs, true);
  return true;
}

}  // namespace vantor::bench
