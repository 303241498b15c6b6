// render's progress bar when standard error is a terminal (a pseudo-terminal here):
// drawn again at each new percentage, from 0 to 100, and wiped from the line at the end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

TEST(ProgressBar, OnATerminalItCountsTo100PercentAndIsWipedAtTheEnd) {
  TemporaryDirectory directory;
  writeFile(directory / "song.xm", xm::buildXm(audibleSong()));
  int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(grantpt(terminal), 0);
  ASSERT_EQ(unlockpt(terminal), 0);
  std::string terminalSide = ptsname(terminal);
  // Held open here too, so that reading never meets a terminal side that is not open yet.
  int heldSide = open(terminalSide.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(heldSide, 0);
  std::string shown;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t got;
    while ((got = read(terminal, buffer, sizeof buffer)) > 0)
      shown.append(buffer, static_cast<std::size_t>(got));
  });
  // 5 s are 250 blocks: every percentage from 0 to 100 is reached.
  Process render({VANTOR_TOOL_PATH, "render", (directory / "song.xm").string(), "-o",
                  (directory / "out.wav").string(), "--seconds", "5"},
                 {}, directory / "render.out", terminalSide);
  int exitCode = render.wait();
  close(heldSide);  // now the reader meets the end
  reader.join();
  close(terminal);
  EXPECT_EQ(exitCode, 0);

  std::string expected;
  for (int percent = 0; percent <= 100; ++percent) {
    int filled = percent * 40 / 100;
    char line[64];
    std::snprintf(line, sizeof line, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                  std::string(40 - filled, '.').c_str(), percent);
    expected += line;
  }
  expected += "\r" + std::string(48, ' ') + "\r";
  EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace vantor::test
