// The command line of the vantor tool: a subcommand, the song (a file or --demo)
// and the subcommand's options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantor::tool {

enum class Command { help, version, render, info, check, trace, play, exportXm };

// The name a command is given by on the command line ("help" for help and version).
const char* commandName(Command command);

// The commands that take a song, in the order the help lists them.
std::vector<Command> songCommands();

// Where the song comes from: a file, or the built-in demo song.
struct SongSource {
  std::string path{};
  bool demo = false;

  std::string displayName() const { return demo ? "the demo song" : "'" + path + "'"; }
};

struct Options {
  Command command = Command::help;
  std::optional<Command> helpTopic{};  // help: the command asked about; none for all of them
  bool manPage = false;                // help --man: the man page, every command in full
  SongSource song{};
  std::vector<SongSource> songs{};   // check: every song given, in order
  bool listRules = false;            // check: list the rules instead of checking songs
  bool markdown = false;             // check --list-rules: as a Markdown table
  std::string outputPath{};          // render, export: -o
  std::optional<double> seconds{};   // render, play
  std::optional<long long> ticks{};  // trace
  double volume = 1.0;               // play
};

// The longest render or play that --seconds accepts (a WAV file holds at most 4 GiB;
// six hours of it take 3.8 GB).
constexpr double maxSeconds = 6 * 60 * 60;
constexpr long long maxTicks = 100000000;

struct ParsedCommandLine {
  Options options{};
  std::string error{};  // empty when the command line is valid
};

ParsedCommandLine parseCommandLine(int argc, const char* const* argv);

}  // namespace vantor::tool
