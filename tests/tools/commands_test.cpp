// The vantor tool run as its users run it: render, info and trace on generated songs,
// the built-in demo song and the corpus, and the exit code of every kind of failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "output/play_start.h"
#include "output/release.h"
#include "output/renderer.h"
#include "platform/software_device.h"
#include "support/corpus.h"
#include "support/song_loading.h"
#include "tool_process.h"
#include "tool_test_songs.h"
#include "vantor/demo/demo_song.h"

namespace vantor::test {
namespace {

constexpr uint64_t blockBytes = uint64_t{blockFrames} * 4;
constexpr uint64_t framesPerTick = 882;  // at 125 BPM

// The number after "label: " in info's output, or -1.
long long infoNumber(const std::string& info, const std::string& label) {
  std::smatch match;
  if (!std::regex_search(info, match, std::regex("(^|\n)" + label + ": (-?[0-9]+)"))) return -1;
  return std::stoll(match[2]);
}

long long passFrames(const std::string& info) {
  std::smatch match;
  if (!std::regex_search(info, match, std::regex("one pass: [0-9:.]+ \\(([0-9]+) frames\\)"))) return -1;
  return std::stoll(match[1]);
}

uint64_t blocksCovering(uint64_t frames) { return (frames + blockFrames - 1) / blockFrames; }

// The song's first blocks rendered in this process, through the same library path.
std::vector<uint8_t> renderInProcess(const std::vector<uint8_t>& xm, int blocks) {
  SongPointer song = loadFromMemory(xm);
  platform::SoftwareDevice device;
  WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, mixRate, mixRate * 4, 4, 16, 0};
  DSBUFFERDESC description = {
      sizeof(DSBUFFERDESC), DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2, ringBytes, 0, &format, {}};
  resetForPlay(song.get());
  device.CreateSoundBuffer(&description, &soundBuffer, nullptr);
  allocateMixBuffer();
  currentSong = song.get();
  std::vector<uint8_t> pcm;
  std::vector<uint8_t> block(blockBytes);
  for (int i = 0; i < blocks; ++i) {
    DWORD offset = static_cast<DWORD>(blockIndex * blockBytes);
    renderBlock();
    device.newestBuffer()->read(offset, blockBytes, block.data());
    pcm.insert(pcm.end(), block.begin(), block.end());
  }
  stopSong(song.get());
  return pcm;
}

class ToolTest : public ::testing::Test {
 protected:
  std::string songFile(const std::vector<uint8_t>& bytes, const std::string& name = "song.xm") {
    writeFile(directory_ / name, bytes);
    return (directory_ / name).string();
  }
  std::string path(const std::string& name) { return (directory_ / name).string(); }

  TemporaryDirectory directory_;
};

TEST_F(ToolTest, RenderWritesTheLibrarysBlocksInWholeBlocksCoveringTheSeconds) {
  std::vector<uint8_t> xm = xm::buildXm(audibleSong());
  std::string song = songFile(xm);
  struct Case {
    const char* seconds;
    uint64_t blocks;
  };
  // 884-frame blocks: 1 s needs 49.9 of them, 884 frames exactly one.
  for (Case c : {Case{"1", 50}, Case{"0.020045351", 1}, Case{"0.0001", 1}, Case{"2.5", 125}}) {
    SCOPED_TRACE(c.seconds);
    ToolRun run = runTool({"render", song, "-o", path("out.wav"), "--seconds", c.seconds});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    WavFile wav = readWav(path("out.wav"));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100u);
    EXPECT_EQ(wav.byteRate, 176400u);
    EXPECT_EQ(wav.blockAlign, 4);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.data.size(), c.blocks * blockBytes);
    EXPECT_EQ(run.errors, "") << "no progress bar when standard error is not a terminal";
  }
  std::vector<uint8_t> expected = renderInProcess(xm, 125);
  EXPECT_TRUE(readWav(path("out.wav")).data == expected);
}

// Patterns of 4 rows, one channel, speed 6 at 125 BPM: a row lasts 6 ticks of 882 frames.
struct PassCase {
  const char* name;
  std::vector<uint8_t> orders;
  uint16_t restartPosition;
  std::vector<std::tuple<int, int, uint8_t, uint8_t>> effects;  // pattern, row, effect, parameter
  uint64_t ticks;                                               // of one pass
};

std::vector<uint8_t> passSong(const PassCase& c) {
  xm::XmModule module;
  module.channelCount = 1;
  module.orders = c.orders;
  module.restartPosition = c.restartPosition;
  for (int p = 0; p < 3; ++p) module.patterns.push_back(xm::XmPattern::empty(4, 1));
  for (auto [pattern, row, effect, parameter] : c.effects) {
    module.patterns[pattern].at(row, 0).effect = effect;
    module.patterns[pattern].at(row, 0).effectParam = parameter;
  }
  return xm::buildXm(module);
}

TEST_F(ToolTest, OnePassEndsWhereTheSongComesBackToARowItPlayed) {
  const PassCase cases[] = {
      {"orders played once, then the restart at order 0", {0, 1}, 0, {}, 8 * 6},
      {"restart position 1 replays orders 1 and 2", {0, 1, 2}, 1, {}, 12 * 6},
      {"B01 on row 1 of order 2 jumps back to order 1", {0, 1, 2}, 0, {{2, 1, 0xB, 0x01}}, 10 * 6},
      {"D02 breaks to row 2 of the next order", {0, 1}, 0, {{0, 1, 0xD, 0x02}}, 4 * 6},
      {"E60/E62 play rows 1 and 2 three times", {0}, 0, {{0, 1, 0xE, 0x60}, {0, 2, 0xE, 0x62}}, 8 * 6},
      {"E62 loop inside a song with a restart position", {0, 1}, 1, {{1, 3, 0xE, 0x62}}, 16 * 6},
      {"F03 makes every row 3 ticks", {0}, 0, {{0, 0, 0xF, 0x03}}, 4 * 3},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string song = songFile(passSong(c));
    ToolRun info = runTool({"info", song});
    ASSERT_EQ(info.exitCode, 0) << info.errors;
    EXPECT_EQ(passFrames(info.output), static_cast<long long>(c.ticks * framesPerTick)) << info.output;
    ToolRun render = runTool({"render", song, "-o", path("pass.wav")});
    ASSERT_EQ(render.exitCode, 0) << render.errors;
    EXPECT_EQ(readWav(path("pass.wav")).data.size(), blocksCovering(c.ticks * framesPerTick) * blockBytes);
  }
}

TEST_F(ToolTest, OnePassOfASongThatNeverComesBackIsLimitedToTwentyMinutes) {
  // 256 orders of 256 rows at the slowest speed and tempo: about 44 hours.
  xm::XmModule module;
  module.channelCount = 1;
  module.defaultBpm = 32;
  module.defaultSpeed = 31;
  module.orders.assign(256, 0);
  module.patterns.push_back(xm::XmPattern::empty(256, 1));
  std::string song = songFile(xm::buildXm(module));
  ToolRun info = runTool({"info", song});
  ASSERT_EQ(info.exitCode, 0) << info.errors;
  EXPECT_NE(info.output.find("one pass: more than 20:00.000"), std::string::npos) << info.output;
}

TEST_F(ToolTest, InfoShowsTheHeaderAndWhatTheLoaderLimited) {
  xm::XmModule module;
  module.name = "Name of the song!!!!xx";  // 20 bytes are kept
  module.tracker = "Tracker~\x01\x7f";  // printable ASCII ends at ~
  module.channelCount = 3;
  module.orders = {0, 1, 0};
  module.restartPosition = 5;  // beyond the song: 0 instead
  module.flags = 0;
  module.defaultSpeed = 5;
  module.defaultBpm = 140;
  module.patterns = {xm::XmPattern::empty(8, 3), xm::XmPattern::empty(8, 3)};
  module.instruments.push_back(xm::XmInstrument::withSample(xm::XmSample::eightBit({1, 2})));
  module.instruments.push_back(xm::XmInstrument::withSample(xm::XmSample::eightBit({1, 2})));
  module.instruments[1].samples.push_back(xm::XmSample::sixteenBits({1, 2}));

  ToolRun info = runTool({"info", songFile(xm::buildXm(module))});
  ASSERT_EQ(info.exitCode, 0) << info.errors;
  std::string expected =
      "module name: Name of the song!!!!\n"
      "tracker name: Tracker~??\n"
      "channels: 3\n"
      "song length: 3\n"
      "restart position: 0\n"
      "patterns: 2\n"
      "instruments: 2\n"
      "samples: 3\n"
      "frequency table: Amiga\n"
      "default speed: 5\n"
      "default BPM: 140\n"
      "one pass: 0:02.141 (94440 frames)\n"  // 24 rows of 5 ticks of 787 frames
      "loader notes:\n"
      "  restart position 5 reset to 0\n"
      "sounds different from trackers: none — the song plays as trackers play it, as far as these rules go\n";
  EXPECT_EQ(info.output, expected);
}

TEST_F(ToolTest, EachFailureHasItsOwnExitCode) {
  std::string song = songFile(xm::buildXm(audibleSong()));
  std::string notXm = songFile({'h', 'e', 'l', 'l', 'o'}, "hello.xm");
  std::vector<uint8_t> cut = xm::buildXm(audibleSong());
  cut.resize(200);  // inside the order table
  std::string refused = songFile(cut, "cut.xm");
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
  };
  const Case cases[] = {
      {"no command", {}, 2},
      {"unknown command", {"convert", song}, 2},
      {"no song", {"info"}, 2},
      {"two songs", {"info", song, "--demo"}, 2},
      {"render without -o", {"render", song}, 2},
      {"trace without --ticks", {"trace", song}, 2},
      {"option of another command", {"info", song, "--ticks", "3"}, 2},
      {"seconds not above 0", {"render", song, "-o", path("x.wav"), "--seconds", "0"}, 2},
      {"seconds not a number", {"play", song, "--seconds", "ten"}, 2},
      {"seconds in hexadecimal", {"render", song, "-o", path("x.wav"), "--seconds", "0x10"}, 2},
      {"seconds with an exponent", {"render", song, "-o", path("x.wav"), "--seconds", "1e1"}, 2},
      {"volume above 1", {"play", song, "--volume", "1.5"}, 2},
      {"negative ticks", {"trace", song, "--ticks", "-1"}, 2},
      {"missing file", {"info", path("missing.xm")}, 3},
      {"a directory", {"trace", directory_.path().string(), "--ticks", "1"}, 3},
      {"not an XM file", {"render", notXm, "-o", path("x.wav")}, 4},
      {"refused by the loader", {"info", refused}, 5},
      {"output in a missing directory", {"render", song, "-o", path("none/x.wav")}, 6},
      {"output is a directory", {"render", song, "-o", directory_.path().string()}, 6},
      {"export without -o", {"export", "--demo"}, 2},
      {"export of what is not XM", {"export", notXm, "-o", path("x.xm")}, 4},
      {"export of what the loader refuses", {"export", refused, "-o", path("x.xm")}, 5},
      {"export into a missing directory", {"export", song, "-o", path("none/x.xm")}, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ToolRun run = runTool(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.errors;
    EXPECT_NE(run.errors, "");
    EXPECT_EQ(run.output, "");
  }
  // A song cut short is told only that, none of the explanations of other refusals.
  EXPECT_EQ(runTool({"info", refused}).errors.find("trackers"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path("x.wav"))) << "no output is left by a failed render";
  EXPECT_FALSE(std::filesystem::exists(path("x.xm"))) << "nothing is exported of a song the loader refuses";
  ToolRun help = runTool({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("7  PulseAudio is unavailable"), std::string::npos);
}

// A song that is not a regular file is not read at all: a FIFO would block or fail
// without a reason. The test holds the FIFO open, so a read would not block.
TEST_F(ToolTest, ASongThatIsAFifoIsRefusedWithTheReason) {
  std::string fifo = path("song.xm");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int held = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(held, 0);
  ToolRun info = runTool({"info", fifo});
  close(held);
  EXPECT_EQ(info.exitCode, 3);
  EXPECT_NE(info.errors.find("FIFO"), std::string::npos) << info.errors;
}

TEST_F(ToolTest, EveryCommandHasItsOwnHelpAndTheToolItsVersion) {
  ToolRun general = runTool({"--help"});
  ASSERT_EQ(general.exitCode, 0);
  for (const char* command : {"render", "info", "check", "trace", "play", "export"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(general.output.find(std::string("\n  ") + command + " "), std::string::npos) << general.output;
    ToolRun help = runTool({command, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.starts_with(std::string("usage: vantor ") + command + " ")) << help.output;
    EXPECT_NE(help.output.find("Example"), std::string::npos) << help.output;
    EXPECT_EQ(runTool({"help", command}).output, help.output);
  }
  // The largest --seconds, where the option is explained.
  EXPECT_NE(runTool({"render", "--help"}).output.find("21600"), std::string::npos);
  EXPECT_NE(runTool({"play", "-h"}).output.find("21600"), std::string::npos);
  ToolRun version = runTool({"--version"});
  EXPECT_EQ(version.exitCode, 0) << version.errors;
  EXPECT_EQ(version.output, "vantor " VANTOR_VERSION "\n");
}

TEST_F(ToolTest, EveryCommandRunsOnTheDemoSong) {
  ToolRun info = runTool({"info", "--demo"});
  ASSERT_EQ(info.exitCode, 0) << info.errors;
  EXPECT_TRUE(info.output.starts_with("module name: vantor demo\n")) << info.output;
  long long frames = passFrames(info.output);
  EXPECT_GT(frames, 0);
  ToolRun render = runTool({"render", "--demo", "-o", path("demo.wav")});
  ASSERT_EQ(render.exitCode, 0) << render.errors;
  EXPECT_EQ(readWav(path("demo.wav")).data.size(), blocksCovering(frames) * blockBytes);
  ToolRun trace = runTool({"trace", "--demo", "--ticks", "5"});
  ASSERT_EQ(trace.exitCode, 0) << trace.errors;
  EXPECT_EQ(std::count(trace.output.begin(), trace.output.end(), '\n'),
            5 * (1 + infoNumber(info.output, "channels")));
}

// The demo song as a file of its own: the demo's bytes, and so the demo's sound when
// that file is rendered. A song file is exported unchanged.
TEST_F(ToolTest, ExportWritesTheSongsXmBytes) {
  ToolRun demo = runTool({"export", "--demo", "-o", path("demo.xm")});
  ASSERT_EQ(demo.exitCode, 0) << demo.errors;
  std::vector<unsigned char> exported = readFileBytes(path("demo.xm"));
  std::vector<uint8_t> demoBytes = demo::demoSongBytes();
  EXPECT_TRUE(std::equal(exported.begin(), exported.end(), demoBytes.begin(), demoBytes.end()));
  ASSERT_EQ(runTool({"render", "--demo", "-o", path("builtin.wav"), "--seconds", "2"}).exitCode, 0);
  ASSERT_EQ(runTool({"render", path("demo.xm"), "-o", path("file.wav"), "--seconds", "2"}).exitCode, 0);
  EXPECT_EQ(readWav(path("builtin.wav")).data, readWav(path("file.wav")).data);

  // One byte beyond a whole number of 64 KiB pieces, where the last read holds one byte.
  std::vector<uint8_t> xm = xm::buildXm(audibleSong());
  xm.resize(65536 + 1);
  ToolRun copy = runTool({"export", songFile(xm), "-o", path("copy.xm")});
  ASSERT_EQ(copy.exitCode, 0) << copy.errors;
  std::vector<unsigned char> copied = readFileBytes(path("copy.xm"));
  EXPECT_TRUE(std::equal(copied.begin(), copied.end(), xm.begin(), xm.end()));
}

// Songs the loader accepts run through every command; the others fail the same way
// in every command, with the not-XM or refused code.
TEST_F(ToolTest, EveryCommandRunsOnTheCorpus) {
  VANTOR_REQUIRE_CORPUS();
  std::vector<std::filesystem::path> files = corpusFiles("songs");
  for (const auto& file : corpusFiles("malformed")) files.push_back(file);
  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    ToolRun info = runTool({"info", file.string()});
    ToolRun render = runTool({"render", file.string(), "-o", path("corpus.wav"), "--seconds", "1"});
    ToolRun trace = runTool({"trace", file.string(), "--ticks", "3"});
    if (info.exitCode != 0) {
      EXPECT_TRUE(info.exitCode == 4 || info.exitCode == 5) << info.errors;
      EXPECT_EQ(render.exitCode, info.exitCode);
      EXPECT_EQ(trace.exitCode, info.exitCode);
      continue;
    }
    EXPECT_GT(passFrames(info.output), 0) << info.output;
    ASSERT_EQ(render.exitCode, 0) << render.errors;
    WavFile wav = readWav(path("corpus.wav"));
    EXPECT_TRUE(wav.valid);
    EXPECT_EQ(wav.data.size(), 50 * blockBytes);
    ASSERT_EQ(trace.exitCode, 0) << trace.errors;
    EXPECT_EQ(std::count(trace.output.begin(), trace.output.end(), '\n'),
              3 * (1 + infoNumber(info.output, "channels")));
  }
}

}  // namespace
}  // namespace vantor::test
