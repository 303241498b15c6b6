// What render and export leave at their output path: the whole file or what was there
// before, never a part of one, and never less than was there. Every path a test writes
// lies in its own directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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
      ToolRun run = runTool({command, song_, "-o", output});
      EXPECT_EQ(run.exitCode, 6);
      EXPECT_NE(run.errors.find("cannot write"), std::string::npos) << run.errors;
      std::error_code error;
      EXPECT_TRUE(std::filesystem::is_character_file(output, error)) << "the device is gone";
    }
  }
  EXPECT_TRUE(std::filesystem::is_symlink(outputs[0]));
}

TEST_F(OutputTest, AnInterruptedRenderLeavesTheTargetAsItWasAndNothingElse) {
  const std::vector<uint8_t> before = {'k', 'e', 'e', 'p'};
  writeFile(path("out.wav"), before);
  Process render({VANTOR_TOOL_PATH, "render", song_, "-o", path("out.wav"), "--seconds", "21600"}, {},
                 path("render.out"), path("render.err"));
  ASSERT_TRUE(render.started());
  // Interrupt once the render has written something, wherever it writes.
  auto written = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(directory_.path())) {
      std::string name = entry.path().filename().string();
      std::error_code gone;
      if (name != "song.xm" && name != "render.out" && name != "render.err" && entry.file_size(gone) != 4)
        return true;
    }
    return false;
  };
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!written() && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(render.stop(SIGINT), 128 + SIGINT);

  EXPECT_EQ(readFileBytes(path("out.wav")), std::vector<unsigned char>(before.begin(), before.end()));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(directory_.path()))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"out.wav", "render.err", "render.out", "song.xm"}));
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
