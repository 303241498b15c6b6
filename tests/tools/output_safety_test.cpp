// What render and export leave at their output path: the whole file or what was there
// before, never a part of one, and never less than was there. Every path a test writes
// lies in its own directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "support/corpus.h"
#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(song_, xm::buildXm(audibleSong())); }
  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  TemporaryDirectory directory_;
  std::string song_ = path("song.xm");
};

// The device is reached through a link in the test's own directory. As root the link
// leads to a node of the test's own, so that no fault can replace /dev/full itself.
TEST_F(OutputTest, AFullDeviceFailsTheWriteAndIsLeftInPlace) {
  std::vector<std::string> outputs = {path("full")};
  std::string device = "/dev/full";
  if (geteuid() == 0 && mknod(path("full-node").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0) {
    device = path("full-node");
    outputs.push_back(device);
  }
  std::filesystem::create_symlink(device, outputs[0]);
  for (const std::string& output : outputs) {
    for (std::string command : {"render", "export"}) {
      SCOPED_TRACE(command + " -o " + output);
      // A render longer than the write buffer fails before its end; the reason stays that of the write.
      std::vector<std::string> arguments = {command, song_, "-o", output};
      if (command == "render") arguments.insert(arguments.end(), {"--seconds", "5"});
      ToolRun run = runTool(arguments);
      EXPECT_EQ(run.exitCode, 6);
      EXPECT_NE(run.errors.find("cannot write"), std::string::npos) << run.errors;
      EXPECT_NE(run.errors.find(std::strerror(ENOSPC)), std::string::npos) << run.errors;
      std::error_code error;
      EXPECT_TRUE(std::filesystem::is_character_file(output, error)) << "the device is gone";
    }
  }
  EXPECT_TRUE(std::filesystem::is_symlink(outputs[0]));
}

// The names in a directory, sorted: a temporary file left behind shows here.
std::vector<std::string> namesIn(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What render leaves at each kind of output path: the whole new file or what was there,
// the link where it was, and no temporary file. Each case has a directory of its own
// and runs with umask 022 and, where it says so, a limit on the size of a file.
TEST_F(OutputTest, EachKindOfOutputPathGetsTheWholeFileOrKeepsWhatItHad) {
  enum class At { nothing, fileOfMode0640, linkToFile, linkToNothing, linkToDevice, fileAndSizeLimit };
  struct Case {
    const char* name;
    At at;
    int exitCode;
    bool newWav;  // else "keep" (or nothing) stays
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"a new file takes the permissions the umask allows", At::nothing, 0, true, {"out.wav"}},
      {"a replaced file keeps its permissions", At::fileOfMode0640, 0, true, {"out.wav"}},
      {"a link's file is replaced and the link stays", At::linkToFile, 0, true, {"out.wav", "real.wav"}},
      {"a link that leads nowhere is refused", At::linkToNothing, 6, false, {"out.wav"}},
      {"a device behind a link is written straight through", At::linkToDevice, 0, false, {"null", "out.wav"}},
      {"a file-size limit part-way removes only the new file", At::fileAndSizeLimit, 6, false, {"out.wav"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::path folder = directory_ / std::to_string(&c - cases);
    std::filesystem::create_directory(folder);
    std::filesystem::path out = folder / "out.wav", leadsTo = out;
    const std::vector<uint8_t> keep = {'k', 'e', 'e', 'p'};
    std::string limit = "unlimited";
    if (c.at == At::fileOfMode0640 || c.at == At::fileAndSizeLimit) {
      writeFile(out, keep);
      chmod(out.c_str(), 0640);
    }
    if (c.at == At::fileAndSizeLimit) limit = "64";  // 32 KiB in blocks of 512 bytes
    if (c.at == At::linkToFile || c.at == At::linkToNothing) leadsTo = folder / "real.wav";
    if (c.at == At::linkToFile) writeFile(leadsTo, keep);
    if (c.at == At::linkToDevice) {
      // As root a null device of the test's own, so that no fault can replace /dev/null.
      leadsTo = "/dev/null";
      if (geteuid() == 0 && mknod((folder / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        leadsTo = folder / "null";
    }
    if (leadsTo != out) std::filesystem::create_symlink(leadsTo, out);

    Process render({"sh", "-c", "umask 022; ulimit -f " + limit + "; exec \"$0\" \"$@\"", VANTOR_TOOL_PATH,
                    "render", song_, "-o", out.string(), "--seconds", "2"},
                   {}, path("render.out"), path("render.err"));
    EXPECT_EQ(render.wait(), c.exitCode) << readText(path("render.err"));
    EXPECT_EQ(namesIn(folder), leadsTo == "/dev/null" ? std::vector<std::string>{"out.wav"} : c.left);
    EXPECT_EQ(std::filesystem::is_symlink(out), leadsTo != out);
    std::error_code missing;
    if (c.at == At::linkToDevice) {
      EXPECT_TRUE(std::filesystem::is_character_file(leadsTo, missing));
      continue;
    }
    if (c.at == At::linkToNothing) continue;
    if (c.newWav) {
      EXPECT_EQ(readWav(leadsTo).data.size(), 100u * 884 * 4);
      struct stat made;
      ASSERT_EQ(stat(leadsTo.c_str(), &made), 0);
      EXPECT_EQ(made.st_mode & 0777, c.at == At::fileOfMode0640 ? 0640u : 0644u);
    } else {
      EXPECT_EQ(readFileBytes(leadsTo), std::vector<unsigned char>(keep.begin(), keep.end()));
    }
  }
}

// Each stop signal the tool catches ends a render with the target as it was and the
// temporary file removed.
TEST_F(OutputTest, AStopSignalLeavesTheTargetAsItWasAndNothingElse) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    std::filesystem::path folder = directory_ / std::to_string(signal);
    std::filesystem::create_directory(folder);
    const std::vector<uint8_t> before = {'k', 'e', 'e', 'p'};
    writeFile(folder / "out.wav", before);
    Process render(
        {VANTOR_TOOL_PATH, "render", song_, "-o", (folder / "out.wav").string(), "--seconds", "21600"}, {},
        path("render.out"), path("render.err"));
    ASSERT_TRUE(render.started());
    // Stop it once the temporary file is there.
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (namesIn(folder).size() < 2 && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(render.stop(signal), 128 + signal);
    EXPECT_EQ(readFileBytes(folder / "out.wav"), std::vector<unsigned char>(before.begin(), before.end()));
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"out.wav"});
  }
}

// "-o -" is standard output, here a pipe, which cannot be rewound to fix the header.
TEST_F(OutputTest, DashWritesTheSameWavToStandardOutput) {
  ASSERT_EQ(runTool({"render", song_, "-o", path("file.wav"), "--seconds", "1.5"}).exitCode, 0);
  Process pipeline({"sh", "-c",
                    "cd '" + directory_.path().string() + "' && '" + VANTOR_TOOL_PATH + "' render '" + song_ +
                        "' -o - --seconds 1.5 | cat > piped.wav"},
                   {}, path("pipeline.out"), path("pipeline.err"));
  ASSERT_EQ(pipeline.wait(), 0) << readText(path("pipeline.err"));
  WavFile piped = readWav(path("piped.wav"));
  EXPECT_TRUE(piped.valid);
  EXPECT_TRUE(piped.data == readWav(path("file.wav")).data);
  EXPECT_FALSE(std::filesystem::exists(path("-")));
}

TEST_F(OutputTest, AnOutputThatIsTheSongIsRefusedBeforeAnythingIsWritten) {
  std::vector<unsigned char> original = readFileBytes(song_);
  for (std::string command : {"render", "export"}) {
    SCOPED_TRACE(command);
    ToolRun run = runTool({command, song_, "-o", path("./song.xm")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.errors.find("is the song"), std::string::npos) << run.errors;
    EXPECT_EQ(readFileBytes(song_), original);
  }
}

}  // namespace
}  // namespace vantor::test
