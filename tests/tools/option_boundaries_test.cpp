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

// The help of each command states the limits that the table above checks, and a usage
// error names the help to read.
TEST(OptionBoundaries, TheHelpStatesTheLimitsAndAUsageErrorNamesTheHelp) {
  struct Case {
    std::vector<std::string> arguments;
    std::string shown;  // in the output, or for a usage error in its errors
  };
  const Case cases[] = {
      {{"help", "render"},
       "above 0 and at most 21600\n" + std::string(24, ' ') + "(6 hours, a WAV file of 3.8 GB)"},
      {{"help", "play"}, "from 0 (silent) to 1 (full, the default)"},
      {{"help", "play"}, "above 0 and at most 21600 (6 hours)"},
      {{"help", "trace"}, "a whole number from 0 to 100000000"},
      {{"--version", "render"}, "\n(vantor --help shows the commands)\n"},
      {{"render", "--volume=1"}, "\n(vantor render --help shows how to use it)\n"},
  };
  for (const Case& c : cases) {
    ToolRun run = runTool(c.arguments);
    EXPECT_NE((run.exitCode == 0 ? run.output : run.errors).find(c.shown), std::string::npos)
        << c.arguments[0] << " " << c.arguments[1] << ":\n"
        << run.output << run.errors;
  }
}

}  // namespace
}  // namespace vantor::test
