// Every documented limit of every option, accepted at its edge and refused just past
// it. The song does not exist, so an accepted command line ends in the missing-song
// code (3; play without PulseAudio built in: 7) without rendering or playing
// anything, and a refused one in the usage code (2).
#include <gtest/gtest.h>

#include "tool_process.h"

namespace vantor::test {
namespace {

TEST(OptionBoundaries, EachLimitIsAcceptedAtItsEdgeAndRefusedPastIt) {
  struct Case {
    const char* command;
    const char* option;
    const char* value;
    bool accepted;
  };
  const Case cases[] = {
      {"render", "--seconds", "0.001", true},
      {"render", "--seconds", "21600", true},
      {"render", "--seconds", "21600.01", false},
      {"render", "--seconds", "2.5", true},
      {"play", "--seconds", "21600", true},
      {"play", "--volume", "0", true},
      {"play", "--volume", "1", true},
      {"play", "--volume", "1.01", false},
      {"trace", "--ticks", "0", true},
      {"trace", "--ticks", "100000000", true},
      {"trace", "--ticks", "100000001", false},
      {"trace", "--ticks", "2.5", false},
      {"render", "--output", "", false},
      {"export", "--seconds", "1", false},
      {"info", "--volume", "1", false},
  };
  TemporaryDirectory directory;
  for (const Case& c : cases) {
    std::string option = std::string(c.option) + "=" + c.value;
    std::vector<std::string> arguments = {c.command, (directory / "missing.xm").string(), option};
    if (c.command == std::string("render") || c.command == std::string("export"))
      arguments.insert(arguments.begin() + 2, {"-o", (directory / "unused").string()});
    ToolRun run = runTool(arguments);
    int acceptedCode = c.command == std::string("play") && !VANTOR_TOOL_PULSEAUDIO ? 7 : 3;
    EXPECT_EQ(run.exitCode, c.accepted ? acceptedCode : 2) << c.command << " " << option << "\n"
                                                           << run.errors;
  }
}

}  // namespace
}  // namespace vantor::test
