// vantor play into a PulseAudio null sink. The test starts its own PulseAudio daemon
// in a private runtime directory, records the sink's monitor with parecord while the
// tool plays, and compares the recording with vantor render of the same song. It
// skips where PulseAudio is not installed, except with CI=true, where it must run.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "support/corpus.h"
#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

constexpr int sampleRate = 44100;

bool mustRun() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::strcmp(ci, "true") == 0;
}

#define SKIP_UNLESS_CI(reason)                                                    \
  do {                                                                            \
    if (mustRun()) FAIL() << (reason) << ", but with CI=true this test must run"; \
    GTEST_SKIP() << (reason);                                                     \
  } while (0)

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A PulseAudio daemon of the test's own with one null sink, reachable only through
// its socket in a private directory; clients get an environment that points there.
class PrivatePulseAudio {
 public:
  explicit PrivatePulseAudio(const TemporaryDirectory& directory)
      : socket_(directory / "native"),
        environment_{{"XDG_RUNTIME_DIR", directory.path().string()},
                     {"HOME", directory.path().string()},
                     {"PULSE_RUNTIME_PATH", (directory / "runtime").string()},
                     {"PULSE_STATE_PATH", (directory / "state").string()},
                     {"PULSE_SERVER", "unix:" + socket_.string()}},
        daemon_({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                 "--load=module-null-sink sink_name=vantor_test rate=44100 channels=2 format=s16le",
                 "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_.string()},
                environment_, directory / "pulseaudio.out", directory / "pulseaudio.log") {}

  ~PrivatePulseAudio() { daemon_.stop(SIGTERM); }
  void kill() { daemon_.stop(SIGKILL); }

  bool ready() {
    return daemon_.started() &&
           waitFor([&] { return std::filesystem::exists(socket_); }, std::chrono::seconds(10));
  }
  const Environment& clientEnvironment() const { return environment_; }

 private:
  std::filesystem::path socket_;
  Environment environment_;
  Process daemon_;
};

std::vector<int16_t> samplesOf(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// The first frame where the sound rises above silence.
std::size_t onsetFrame(const std::vector<int16_t>& samples) {
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > 64) return i / 2;
  }
  return samples.size() / 2;
}

// Pearson correlation of the frames recorded[at + i] and reference[from + i] for i below count.
double correlation(const std::vector<int16_t>& recorded, std::size_t at,
                   const std::vector<int16_t>& reference, std::size_t from, std::size_t count) {
  double sumA = 0, sumB = 0, sumAA = 0, sumBB = 0, sumAB = 0;
  std::size_t n = count * 2;
  for (std::size_t i = 0; i < n; ++i) {
    double a = recorded[at * 2 + i], b = reference[from * 2 + i];
    sumA += a;
    sumB += b;
    sumAA += a * a;
    sumBB += b * b;
    sumAB += a * b;
  }
  double covariance = sumAB - sumA * sumB / n;
  double spread = std::sqrt((sumAA - sumA * sumA / n) * (sumBB - sumB * sumB / n));
  return spread > 0 ? covariance / spread : 0;
}

// The frame of the recording at which the song's frame 0 lies. The onsets place it
// to within the start that PulseAudio may drop; a tenth of a second of the song
// half a second in, matched within 0.2 s around that, settles it.
bool align(const std::vector<int16_t>& recorded, const std::vector<int16_t>& reference, std::size_t& lag) {
  constexpr std::size_t windowStart = sampleRate / 2, window = sampleRate / 10, search = sampleRate / 5;
  long long coarse =
      static_cast<long long>(onsetFrame(recorded)) - static_cast<long long>(onsetFrame(reference));
  double best = 0.5;
  bool found = false;
  for (long long candidate = std::max(0LL, coarse - static_cast<long long>(search));
       candidate <= coarse + static_cast<long long>(search); ++candidate) {
    std::size_t at = static_cast<std::size_t>(candidate) + windowStart;
    if (at + window > recorded.size() / 2 || windowStart + window > reference.size() / 2) break;
    double r = correlation(recorded, at, reference, windowStart, window);
    if (r > best) {
      best = r;
      lag = static_cast<std::size_t>(candidate);
      found = true;
    }
  }
  return found;
}

TEST(PlayTest, WithoutAReachableServerPlaySaysSoAndFails) {
  TemporaryDirectory directory;
  writeFile(directory / "song.xm", xm::buildXm(audibleSong()));
  ToolRun run = runTool({"play", (directory / "song.xm").string(), "--seconds", "1"},
                        {{"PULSE_SERVER", "unix:" + (directory / "no-server").string()},
                         {"HOME", directory.path().string()},
                         {"XDG_RUNTIME_DIR", directory.path().string()}});
  EXPECT_EQ(run.exitCode, 7);
  EXPECT_NE(run.errors.find("PulseAudio is unavailable"), std::string::npos) << run.errors;
}

// Only play uses PulseAudio, so the tool loads its client library when play starts:
// loading it (and the libraries it needs) with the program cost every command, even
// a render of a short song, more CPU time than the rendering.
TEST(PlayTest, TheToolStartsWithoutLoadingPulseAudio) {
  // The dynamic loader lists the libraries a program starts with, and exits.
  ToolRun run = runTool({"--help"}, {{"LD_TRACE_LOADED_OBJECTS", "1"}});
  ASSERT_NE(run.output.find("libc.so"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("libpulse"), std::string::npos) << run.output;
}

// The null sink's monitor recorded while the tool plays the audible song into the sink.
class NullSinkRecording {
 public:
  NullSinkRecording() : server_(directory_) {}

  // Plays with these options after the song; false, with a failure recorded, when the
  // server, the recorder or the tool did not work.
  bool record(const std::vector<std::string>& options) {
    if (!server_.ready()) {
      ADD_FAILURE() << readText(directory_ / "pulseaudio.log");
      return false;
    }
    Process recorder({"parecord", "--raw", "--device=vantor_test.monitor", "--rate=44100", "--channels=2",
                      "--format=s16le", "--latency-msec=20"},
                     server_.clientEnvironment(), directory_ / "recorded.raw", directory_ / "parecord.log");
    bool recording = waitFor(
        [&] {
          std::error_code missing;
          return std::filesystem::file_size(directory_ / "recorded.raw", missing) > 0 && !missing;
        },
        std::chrono::seconds(10));
    EXPECT_TRUE(recording) << readText(directory_ / "parecord.log");
    if (!recording) return false;

    writeFile(song(), xm::buildXm(audibleSong()));
    std::vector<std::string> arguments = {"play", song()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    ToolRun play = runTool(arguments, server_.clientEnvironment());
    EXPECT_EQ(play.exitCode, 0) << play.errors;
    EXPECT_EQ(play.errors, "") << "no status line when standard error is not a terminal";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    recorder.stop(SIGINT);
    samples_ = samplesOf(readFileBytes(directory_ / "recorded.raw"));
    return play.exitCode == 0;
  }

  // The song's first seconds as vantor render writes them.
  std::vector<int16_t> rendered(const std::string& seconds) {
    std::string wav = (directory_ / "reference.wav").string();
    ToolRun render = runTool({"render", song(), "-o", wav, "--seconds", seconds});
    EXPECT_EQ(render.exitCode, 0) << render.errors;
    return samplesOf(readWav(wav).data);
  }

  const std::vector<int16_t>& samples() const { return samples_; }

 private:
  std::string song() const { return (directory_ / "song.xm").string(); }

  TemporaryDirectory directory_;
  PrivatePulseAudio server_;
  std::vector<int16_t> samples_;
};

#define SKIP_WITHOUT_PULSEAUDIO()                                                       \
  do {                                                                                  \
    if (!VANTOR_TOOL_PULSEAUDIO) SKIP_UNLESS_CI("vantor was built without PulseAudio"); \
    if (!programInstalled("pulseaudio") || !programInstalled("parecord"))               \
      SKIP_UNLESS_CI("PulseAudio is not installed");                                    \
  } while (0)

TEST(PlayTest, WhatPlaysIntoANullSinkMatchesTheRenderedSong) {
  SKIP_WITHOUT_PULSEAUDIO();
  NullSinkRecording recording;
  ASSERT_TRUE(recording.record({"--seconds", "3"}));
  const std::vector<int16_t>& recorded = recording.samples();
  std::vector<int16_t> reference = recording.rendered("3");

  std::size_t lag = 0;
  ASSERT_TRUE(align(recorded, reference, lag)) << "the song is not in the recording";
  // PulseAudio may drop the first few milliseconds of a new stream from the monitor;
  // the comparison starts where the recording has sound.
  std::size_t first = std::max(onsetFrame(recorded), lag) - lag;
  std::size_t overlap = std::min(recorded.size() / 2 - lag, reference.size() / 2) - first;
  ASSERT_GE(overlap, std::size_t{2 * sampleRate}) << "less than 2 s of the song was recorded";
  double r = correlation(recorded, lag + first, reference, first, overlap);
  std::cout << "play vs render: correlation " << r << " over " << overlap << " frames from song frame "
            << first << ", recording offset " << lag << " frames\n";
  RecordProperty("correlation", std::to_string(r));
  EXPECT_GE(r, 0.99);
}

// The seconds are what the sink plays, from the song's first frame to its last: none
// are lost while the server starts, and what it holds at the end is neither cut nor
// added to.
TEST(PlayTest, PlayForSecondsIsHeardForThoseSeconds) {
  SKIP_WITHOUT_PULSEAUDIO();
  NullSinkRecording recording;
  ASSERT_TRUE(recording.record({"--seconds", "2"}));
  const std::vector<int16_t>& recorded = recording.samples();
  std::size_t lag = 0;
  ASSERT_TRUE(align(recorded, recording.rendered("2"), lag)) << "the song is not in the recording";
  // The audible song sounds on every frame, so its last loud frame is where it stopped.
  std::size_t end = 0;
  for (std::size_t i = recorded.size(); i > 0; --i) {
    if (std::abs(recorded[i - 1]) > 64) {
      end = (i - 1) / 2 + 1;
      break;
    }
  }
  ASSERT_GT(end, lag);
  double heard = static_cast<double>(end - lag) / sampleRate;
  std::cout << "play --seconds 2: heard " << end - lag << " frames, " << heard << " s\n";
  RecordProperty("heard", std::to_string(heard));
  EXPECT_NEAR(heard, 2.0, 0.05);
}

// Volume 0.5 lies 50 dB below full volume: the loudest frame heard is far below the
// loudest one rendered.
TEST(PlayTest, VolumeMakesItQuieter) {
  SKIP_WITHOUT_PULSEAUDIO();
  NullSinkRecording recording;
  ASSERT_TRUE(recording.record({"--seconds", "1", "--volume", "0.5"}));
  auto loudest = [](const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t sample : samples) peak = std::max(peak, std::abs(int{sample}));
    return peak;
  };
  int rendered = loudest(recording.rendered("1"));
  ASSERT_GT(rendered, 1000);
  EXPECT_LT(loudest(recording.samples()), rendered / 30);
}

// On a terminal the status line names the row being heard, from the row's first tick
// on. 0.49 s (21609 frames) end in the first tick of row 8 (rows of 3 ticks of 882
// frames), where the time shown is still below half a second.
TEST(PlayTest, TheStatusLineShowsTheRowBeingHeard) {
  SKIP_WITHOUT_PULSEAUDIO();
  TemporaryDirectory directory;
  PrivatePulseAudio server(directory);
  ASSERT_TRUE(server.ready()) << readText(directory / "pulseaudio.log");
  writeFile(directory / "song.xm", xm::buildXm(audibleSong()));
  ToolRun play = runToolOnTerminal({"play", (directory / "song.xm").string(), "--seconds", "0.49"},
                                   server.clientEnvironment());
  EXPECT_EQ(play.exitCode, 0) << play.errors;
  std::size_t last = play.errors.rfind("\rorder");
  ASSERT_NE(last, std::string::npos) << play.errors;
  EXPECT_TRUE(play.errors.substr(last).starts_with("\rorder   0  row   8  0:00.4"))
      << play.errors.substr(last);
}

// Ctrl-C ends play at once, and a server that goes away ends it with a failure:
// neither waits for the 30 s asked for. Both come once the server plays the stream.
TEST(PlayTest, CtrlCOrALostServerEndsPlayAtOnce) {
  SKIP_WITHOUT_PULSEAUDIO();
  for (bool serverLost : {false, true}) {
    SCOPED_TRACE(serverLost ? "server lost" : "Ctrl-C");
    TemporaryDirectory directory;
    PrivatePulseAudio server(directory);
    ASSERT_TRUE(server.ready()) << readText(directory / "pulseaudio.log");
    writeFile(directory / "song.xm", xm::buildXm(audibleSong()));
    Process play({VANTOR_TOOL_PATH, "play", (directory / "song.xm").string(), "--seconds", "30"},
                 server.clientEnvironment(), directory / "play.out", directory / "play.err");
    auto playing = [&] {
      Process list({"pactl", "list", "short", "sink-inputs"}, server.clientEnvironment(),
                   directory / "list.out", directory / "list.err");
      return list.wait() == 0 && !readText(directory / "list.out").empty();
    };
    ASSERT_TRUE(waitFor(playing, std::chrono::seconds(10))) << readText(directory / "play.err");
    if (serverLost) {
      server.kill();
    } else {
      play.send(SIGINT);
    }
    EXPECT_EQ(play.waitFor(std::chrono::seconds(5)), serverLost ? 1 : 128 + SIGINT)
        << readText(directory / "play.err");
  }
}

}  // namespace
}  // namespace vantor::test
