// render's progress bar when standard error is a terminal (a pseudo-terminal here):
// drawn again at each new percentage, from 0 to 100, and wiped from the line at the end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>

#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

TEST(ProgressBar, OnATerminalItCountsTo100PercentAndIsWipedAtTheEnd) {
  TemporaryDirectory directory;
  writeFile(directory / "song.xm", xm::buildXm(audibleSong()));
  // 5 s are 250 blocks: every percentage from 0 to 100 is reached.
  ToolRun render = runToolOnTerminal(
      {"render", (directory / "song.xm").string(), "-o", (directory / "out.wav").string(), "--seconds", "5"});
  EXPECT_EQ(render.exitCode, 0);

  std::string expected;
  for (int percent = 0; percent <= 100; ++percent) {
    int filled = percent * 40 / 100;
    char line[64];
    std::snprintf(line, sizeof line, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                  std::string(40 - filled, '.').c_str(), percent);
    expected += line;
  }
  expected.append("\r").append(48, ' ').append("\r");
  EXPECT_EQ(render.errors, expected);
}

// A render that fails wipes its bar, even one still at 0%, before it says why. The
// device is reached through a link, as root to a node of the test's own.
TEST(ProgressBar, AFailedRenderWipesTheBarBeforeItsMessage) {
  TemporaryDirectory directory;
  writeFile(directory / "song.xm", xm::buildXm(audibleSong()));
  std::string device = "/dev/full";
  if (geteuid() == 0 && mknod((directory / "full").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0)
    device = (directory / "full").string();
  std::filesystem::create_symlink(device, directory / "out.wav");
  ToolRun render = runToolOnTerminal({"render", (directory / "song.xm").string(), "-o",
                                      (directory / "out.wav").string(), "--seconds", "21600"});
  EXPECT_EQ(render.exitCode, 6);
  std::string wiped =
      "\r[" + std::string(40, '.') + "]   0%\r" + std::string(48, ' ') + "\rvantor: cannot write";
  EXPECT_TRUE(render.errors.starts_with(wiped)) << render.errors;
}

}  // namespace
}  // namespace vantor::test
