// vantor trace: the line format that other tools compare line by line.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "support/corpus.h"
#include "tool_process.h"
#include "tool_test_songs.h"

namespace vantor::test {
namespace {

// Four ticks of the audible song (speed 3): a row tick starting both channels, two
// effect ticks with the second channel's vibrato and both volume envelopes moving,
// and the next row tick with a new note on the first channel.
const char goldenTrace[] =
    "tick 0 0 0 1 3 125 64\n"
    "ch 0 5376 0 64 0 128 64 32 65536 0 0 127 128 63 63 0 407194064\n"
    "ch 1 6144 0 32 0 128 64 32 65536 0 1 63 128 31 31 0 203548336\n"
    "tick 1 0 0 2 3 125 64\n"
    "ch 0 5376 0 64 0 128 61 32 65536 0 0 121 128 60 60 0 407194064\n"
    "ch 1 6144 0 32 0 128 61 32 65536 0 1 60 128 29 30 0 203548336\n"
    "tick 2 0 0 0 3 125 64\n"
    "ch 0 5376 0 64 0 128 58 32 65536 0 0 115 128 57 57 0 407194064\n"
    "ch 1 6144 -16 32 0 128 58 32 65536 0 1 57 128 28 28 0 200626590\n"
    "tick 3 0 1 1 3 125 64\n"
    "ch 0 5056 0 64 0 128 64 32 65536 0 32 127 128 63 63 0 543542233\n"
    "ch 1 6144 0 32 0 128 55 32 65536 0 1 54 128 26 27 0 203548336\n";

TEST(TraceTest, PrintsTheSongAndEveryChannelAfterEachTickExactly) {
  TemporaryDirectory directory;
  writeFile(directory / "song.xm", xm::buildXm(audibleSong()));
  ToolRun run = runTool({"trace", (directory / "song.xm").string(), "--ticks", "4"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.output, goldenTrace);
}

// Every line of a long trace of a real song has the shape of the format, ticks
// counted from 0 and channels from 0 to the last.
TEST(TraceTest, EveryLineHasTheFormatsShape) {
  TemporaryDirectory directory;
  std::vector<std::string> song = {"--demo"};
  std::vector<std::filesystem::path> songs = corpusFiles("songs");
  if (!songs.empty()) song = {songs.back().string()};
  std::vector<std::string> arguments = {"trace"};
  arguments.insert(arguments.end(), song.begin(), song.end());
  arguments.insert(arguments.end(), {"--ticks", "500"});
  ToolRun run = runTool(arguments);
  ASSERT_EQ(run.exitCode, 0) << run.errors;

  const std::regex tickLine("tick (0|[1-9][0-9]*)( -?(0|[1-9][0-9]*)){6}");
  const std::regex channelLine("ch (0|[1-9][0-9]*)( -?(0|[1-9][0-9]*)){15} (0|[1-9][0-9]*)");
  std::istringstream lines(run.output);
  long long ticks = 0;
  int channel = -1;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("tick ")) {
      ASSERT_TRUE(std::regex_match(line, tickLine)) << line;
      EXPECT_EQ(line.substr(5, line.find(' ', 5) - 5), std::to_string(ticks)) << line;
      ticks += 1;
      channel = 0;
    } else {
      ASSERT_TRUE(std::regex_match(line, channelLine)) << line;
      EXPECT_EQ(line.substr(3, line.find(' ', 3) - 3), std::to_string(channel)) << line;
      channel += 1;
    }
  }
  EXPECT_EQ(ticks, 500);
}

}  // namespace
}  // namespace vantor::test
