// The render benchmark. Renders each song of the corpus once through (one pass, or
// --seconds of audio when that is shorter) and reports, per song and overall, the speed
// in seconds of audio per CPU second (times real time) and the peak memory. Each render
// runs in a child process of its own, so that CPU time and peak memory come from that
// process's resource usage; the same is done for the peer players found on the PATH
// (xmp and openmpt123, at 44100 Hz with linear interpolation), on the same songs and
// for the same length of audio, and the ratios are printed.
//
// A second table times the command-line tool itself against the peers, each program
// writing one pass of the song to a WAV file (see whole_process.h).
//
//   vantor_bench [--corpus DIR] [--seconds S] [--repeat N] [--no-peers] [--feeder S]
//                [--tool VANTOR]... [--tool-only]
//
// --repeat takes the least CPU time of N runs (the machine may be busy). --feeder
// also plays every song in real time for S seconds and reports the feeder thread's
// share of one core. --tool names a vantor executable to time end to end (by default
// the one built with the benchmark); given more than once, each gets its own columns,
// so that builds before and after a change are measured in one sitting. --tool-only
// leaves out the first table.
//
//   vantor_bench --latency [--corpus DIR] [--rounds N] [--library LIBVANTOR]...
//   vantor_bench --latency-table FILE TITLE
//
// --latency measures instead how long each command holds the game's thread (see
// latency.h), --rounds N rounds per song (default 20), for each --library given (by
// default the libvantor.so built with the benchmark). --latency-table prints the tables
// of a latency run's raw lines, such as the Windows latency host prints.
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "feeder_load.h"
#include "latency.h"
#include "measure.h"
#include "pass_render.h"
#include "whole_process.h"

namespace fs = std::filesystem;
using namespace vantor::bench;

namespace {

constexpr int peerRate = 44100;

struct Options {
  fs::path songs;
  double seconds = 60;
  int repeat = 3;
  bool peers = true;
  double feederSeconds = 0;
  std::vector<std::string> tools;
  bool toolOnly = false;
  bool latency = false;
  int rounds = 20;
  std::vector<std::string> libraries;
};

struct SongResult {
  std::string name;
  bool refused = false;
  Measure vantor;        // whole child process: start, load, render
  double renderCpu = 0;  // inside renderBlock only
  uint64_t hash = 0;
  Measure xmp;
  Measure openmpt;
};

fs::path defaultSongs() {
  const char* corpus = std::getenv("VANTOR_CORPUS");
  return fs::path(corpus && *corpus ? corpus : VANTOR_CORPUS_DIR) / "songs";
}

// The child's side: render one song and print what came out.
int renderOne(const char* file, double seconds, bool withHash) {
  PassRender pass = renderPass(readFile(file), seconds, withHash);
  if (!pass.loaded) {
    std::printf("refused\n");
    return 0;
  }
  std::printf("%.6f %.6f %016" PRIx64 "\n", pass.seconds, pass.cpuSeconds, pass.hash);
  return 0;
}

Measure runXmp(const fs::path& song, double seconds, const fs::path& work) {
  fs::path out = work / "xmp.raw";
  fs::remove(out);
  // xmp takes whole seconds; what it rendered is read from the file's size.
  std::string time = std::to_string(static_cast<int>(std::ceil(seconds)));
  ChildRun run = runChild({"xmp", "--nocmd", "--norc", "-q", "-i", "linear", "-f", std::to_string(peerRate),
                           "-t", time, "-o", out.string(), song.string()});
  Measure measure;
  std::error_code error;
  measure.ran = run.exited && fs::exists(out, error);
  if (measure.ran) measure.seconds = pcmSeconds(fs::file_size(out));
  measure.cpuSeconds = run.cpuSeconds;
  measure.peakKiB = run.peakKiB;
  return measure;
}

Measure runOpenmpt(const fs::path& song, double seconds, const fs::path& work) {
  // It writes its WAV file next to the song, so the song is linked into the work directory.
  fs::path link = work / "song.xm";
  fs::path out = work / "song.xm.wav";
  fs::remove(link);
  fs::remove(out);
  fs::create_symlink(fs::absolute(song), link);
  char time[32];
  std::snprintf(time, sizeof time, "%.3f", seconds);
  ChildRun run =
      runChild({"openmpt123", "--render", "--filter", "2", "--samplerate", std::to_string(peerRate),
                "--no-float", "--end-time", time, "--force", "-q", "song.xm"},
               work.string());
  Measure measure;
  std::error_code error;
  measure.ran = run.exited && fs::exists(out, error);
  if (measure.ran) measure.seconds = pcmSeconds(readWavPcm(out).bytes);
  measure.cpuSeconds = run.cpuSeconds;
  measure.peakKiB = run.peakKiB;
  return measure;
}

SongResult measureSong(const fs::path& song, const Options& options, const std::string& self, bool xmp,
                       bool openmpt, const fs::path& work) {
  SongResult result;
  result.name = song.filename().string();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", options.seconds);
  auto renderChild = [&](const char* mode, Measure& measure, double& renderCpu, uint64_t& hash) {
    ChildRun run = runChild({self, mode, song.string(), seconds});
    if (!run.exited) return;
    if (run.output.rfind("refused", 0) == 0) {
      result.refused = true;
      return;
    }
    if (std::sscanf(run.output.c_str(), "%lf %lf %" SCNx64, &measure.seconds, &renderCpu, &hash) != 3) return;
    measure.ran = true;
    measure.cpuSeconds = run.cpuSeconds;
    measure.peakKiB = run.peakKiB;
  };
  result.vantor = leastOf(options.repeat, [&] {
    Measure measure;
    double renderCpu = 0;
    uint64_t unused = 0;
    renderChild("--render-one", measure, renderCpu, unused);
    if (measure.ran && (result.renderCpu == 0 || renderCpu < result.renderCpu)) result.renderCpu = renderCpu;
    return measure;
  });
  if (!result.vantor.ran) return result;
  // The hash comes from one more run, untimed.
  Measure hashed;
  double unused = 0;
  renderChild("--hash-one", hashed, unused, result.hash);
  // The peers render as much audio as the pass took here.
  double length = result.vantor.seconds;
  if (xmp) result.xmp = leastOf(options.repeat, [&] { return runXmp(song, length, work); });
  if (openmpt) result.openmpt = leastOf(options.repeat, [&] { return runOpenmpt(song, length, work); });
  return result;
}

void printTable(const std::vector<SongResult>& results) {
  std::printf("\n%-28s %7s %9s %9s %7s %9s %7s %9s %7s %7s %7s  %s\n", "song", "audio s", "render", "vantor",
              "MiB", "xmp", "MiB", "openmpt", "MiB", "/xmp", "/mpt", "PCM hash");
  Measure vantor, xmp, openmpt;
  double renderCpu = 0;
  for (const auto& result : results) {
    if (result.refused || !result.vantor.ran) {
      std::printf("%-28s %s\n", result.name.c_str(), result.refused ? "refused by the loader" : "failed");
      continue;
    }
    Measure render{true, result.vantor.seconds, result.renderCpu, 0};
    std::printf("%-28s %7.1f %9s %9s %7s %9s %7s %9s %7s %7s %7s  %016" PRIx64 "\n", result.name.c_str(),
                result.vantor.seconds, speedText(render).c_str(), speedText(result.vantor).c_str(),
                peakText(result.vantor).c_str(), speedText(result.xmp).c_str(), peakText(result.xmp).c_str(),
                speedText(result.openmpt).c_str(), peakText(result.openmpt).c_str(),
                ratioText(result.vantor, result.xmp).c_str(),
                ratioText(result.vantor, result.openmpt).c_str(), result.hash);
    addTo(vantor, result.vantor);
    renderCpu += result.renderCpu;
    addTo(xmp, result.xmp);
    addTo(openmpt, result.openmpt);
  }
  Measure render{vantor.ran, vantor.seconds, renderCpu, 0};
  std::printf("%-28s %7.1f %9s %9s %7s %9s %7s %9s %7s %7s %7s\n", "overall", vantor.seconds,
              speedText(render).c_str(), speedText(vantor).c_str(), peakText(vantor).c_str(),
              speedText(xmp).c_str(), peakText(xmp).c_str(), speedText(openmpt).c_str(),
              peakText(openmpt).c_str(), ratioText(vantor, xmp).c_str(), ratioText(vantor, openmpt).c_str());
  std::printf(
      "\nSpeeds are seconds of audio per CPU second (times real time). 'render' counts the CPU time\n"
      "of rendering the blocks and reading them back from the sound buffer; 'vantor', 'xmp' and\n"
      "'openmpt' count the whole process (start, load, render, output), least of the repeated runs.\n"
      "/xmp and /mpt are vantor's whole-process speed over the peer's. MiB is the peak resident\n"
      "memory of the process (overall: the largest). The PCM hash (FNV-1a 64) comes from one more,\n"
      "untimed run; it changes only when the output changes.\n");
}

void printFeederLoads(const std::vector<fs::path>& songs, double seconds) {
  std::printf("\nFeeder thread in real-time play (%.0f s per song, cursor moved by the clock):\n", seconds);
  std::printf("%-28s %9s %11s\n", "song", "CPU s", "share");
  for (const auto& song : songs) {
    FeederLoad load = measureFeeder(readFile(song), seconds);
    if (!load.loaded) continue;
    std::printf("%-28s %9.3f %10.2f%%\n", song.filename().string().c_str(), load.cpuSeconds,
                100.0 * load.cpuSeconds / load.wallSeconds);
  }
}

bool parse(int argc, char** argv, Options& options) {
  options.songs = defaultSongs();
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    bool hasValue = i + 1 < argc;
    if (flag == "--corpus" && hasValue) {
      options.songs = fs::path(argv[++i]) / "songs";
    } else if (flag == "--seconds" && hasValue) {
      options.seconds = std::atof(argv[++i]);
    } else if (flag == "--repeat" && hasValue) {
      options.repeat = std::max(1, std::atoi(argv[++i]));
    } else if (flag == "--no-peers") {
      options.peers = false;
    } else if (flag == "--feeder" && hasValue) {
      options.feederSeconds = std::atof(argv[++i]);
    } else if (flag == "--tool" && hasValue) {
      options.tools.push_back(fs::absolute(argv[++i]).string());
    } else if (flag == "--tool-only") {
      options.toolOnly = true;
    } else if (flag == "--latency") {
      options.latency = true;
    } else if (flag == "--rounds" && hasValue) {
      options.rounds = std::max(1, std::atoi(argv[++i]));
    } else if (flag == "--library" && hasValue) {
      options.libraries.push_back(fs::absolute(argv[++i]).string());
    } else {
      return false;
    }
  }
  if (options.tools.empty() && *VANTOR_TOOL_PATH != 0) options.tools.push_back(VANTOR_TOOL_PATH);
  if (options.libraries.empty()) options.libraries.push_back(VANTOR_LIBRARY_PATH);
  return options.seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--render-one") == 0)
    return renderOne(argv[2], std::atof(argv[3]), false);
  if (argc == 4 && std::strcmp(argv[1], "--hash-one") == 0)
    return renderOne(argv[2], std::atof(argv[3]), true);
  if (argc == 6 && std::strcmp(argv[1], "--latency-one") == 0)
    return latencyChild(argv[2], argv[3], argv[4], std::atoi(argv[5]));
  if (argc == 4 && std::strcmp(argv[1], "--latency-table") == 0)
    return printLatencyFile(argv[2], argv[3]) ? 0 : 1;
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s [--corpus DIR] [--seconds S] [--repeat N] [--no-peers] [--feeder S]\n"
                 "       [--tool VANTOR]... [--tool-only]\n"
                 "       %s --latency [--corpus DIR] [--rounds N] [--library LIBVANTOR]...\n"
                 "       %s --latency-table FILE TITLE\n",
                 argv[0], argv[0], argv[0]);
    return 2;
  }
  std::vector<fs::path> songs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(options.songs, error)) {
    if (entry.path().extension() == ".xm") songs.push_back(entry.path());
  }
  std::sort(songs.begin(), songs.end());
  if (songs.empty()) {
    std::fprintf(stderr, "no songs in %s\n", options.songs.c_str());
    return 1;
  }

  std::string self = fs::read_symlink("/proc/self/exe", error).string();
  if (options.latency) {
    runLatency({options.libraries, songs, options.rounds, self});
    return 0;
  }
  bool xmp = options.peers && onPath("xmp");
  bool openmpt = options.peers && onPath("openmpt123");
  if (options.toolOnly) {
    std::printf("songs: %s (least CPU of %d runs)\n", options.songs.c_str(), options.repeat);
  } else {
    std::printf("songs: %s (one pass or %.0f s each, least CPU of %d runs)\n", options.songs.c_str(),
                options.seconds, options.repeat);
  }
  auto peerState = [&](bool found) {
    return !options.peers ? "not run" : found ? "found" : "absent (skipped)";
  };
  std::printf("peers: xmp %s, openmpt123 %s\n", peerState(xmp), peerState(openmpt));
  std::fflush(stdout);  // before the progress lines on standard error

  fs::path work = fs::temp_directory_path() / ("vantor-bench-" + std::to_string(getpid()));
  fs::create_directories(work);
  std::vector<SongResult> results;
  if (!options.toolOnly) {
    for (const auto& song : songs) {
      std::fprintf(stderr, "  %s\n", song.filename().c_str());
      results.push_back(measureSong(song, options, self, xmp, openmpt, work));
    }
  }
  WholeProcessOptions whole{options.tools, options.repeat, xmp, openmpt};
  std::vector<WholeProcessSong> wholeResults;
  if (!whole.tools.empty()) {
    std::fprintf(stderr, "whole process:\n");
    for (const auto& song : songs) {
      std::fprintf(stderr, "  %s\n", song.filename().c_str());
      wholeResults.push_back(measureWholeProcesses(song, whole, work));
    }
  }
  fs::remove_all(work, error);
  if (!options.toolOnly) printTable(results);
  if (!whole.tools.empty()) printWholeProcessTable(wholeResults, whole);
  if (options.feederSeconds > 0) printFeederLoads(songs, options.feederSeconds);
  return 0;
}
