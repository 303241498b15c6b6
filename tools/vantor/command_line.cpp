#include "command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "output_file.h"

namespace vantor::tool {

const char helpText[] =
    "usage: vantor COMMAND (SONG.xm | --demo) [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  render SONG.xm -o OUT.wav [--seconds S]\n"
    "      Write the song as a WAV file (16-bit stereo PCM, 44100 Hz): S seconds, or\n"
    "      else one pass of the song, at most 20 minutes.\n"
    "  info SONG.xm\n"
    "      Show the module's names, channels, orders, patterns, instruments, frequency\n"
    "      table, speed and tempo, the length of one pass, and what the loader had to\n"
    "      refuse or limit.\n"
    "  trace SONG.xm --ticks N\n"
    "      Print the replay state of the song and of every channel after each of the\n"
    "      first N ticks.\n"
    "  play SONG.xm [--volume V] [--seconds S]\n"
    "      Play the song through PulseAudio at volume V (0 to 1, default 1) until\n"
    "      Ctrl-C, or for S seconds.\n"
    "\n"
    "  --demo instead of SONG.xm uses the built-in demo song.\n"
    "  One pass lasts until the song first comes back to a row it has already played;\n"
    "  rows that a pattern loop (E6x) repeats do not count.\n"
    "\n"
    "Exit codes:\n"
    "  0  success\n"
    "  1  another failure (out of memory, the sound output failed)\n"
    "  2  usage error\n"
    "  3  the song file is missing or cannot be read\n"
    "  4  the file is not an XM (Extended Module) file\n"
    "  5  the loader refuses the song\n"
    "  6  the output file cannot be written\n"
    "  7  PulseAudio is unavailable\n";

namespace {

std::optional<Command> commandNamed(std::string_view name) {
  if (name == "render") return Command::render;
  if (name == "info") return Command::info;
  if (name == "trace") return Command::trace;
  if (name == "play") return Command::play;
  if (name == "export") return Command::exportXm;
  if (name == "help" || name == "--help" || name == "-h") return Command::help;
  return std::nullopt;
}

std::optional<double> parseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<long long> parseCount(const std::string& text) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

// Whether the output would overwrite the song, however either is spelled.
bool isTheSong(const SongSource& song, const std::string& outputPath) {
  if (song.demo || outputPath == standardOutputPath) return false;
  std::error_code missing;
  return std::filesystem::equivalent(song.path, outputPath, missing);
}

// Reads the arguments after the subcommand into options; returns an error text.
class ArgumentReader {
 public:
  ArgumentReader(Options& options, int argc, const char* const* argv)
      : options_(options), argc_(argc), argv_(argv) {}

  std::string readAll() {
    for (index_ = 2; index_ < argc_; ++index_) {
      std::string argument = argv_[index_];
      std::string error =
          argument.size() > 1 && argument[0] == '-' ? readOption(argument) : readSong(argument);
      if (!error.empty()) return error;
    }
    return checkComplete();
  }

 private:
  bool allows(std::string_view option) const {
    switch (options_.command) {
      case Command::render:
        return option == "--output" || option == "--seconds";
      case Command::exportXm:
        return option == "--output";
      case Command::trace:
        return option == "--ticks";
      case Command::play:
        return option == "--volume" || option == "--seconds";
      default:
        return false;
    }
  }

  std::string readSong(const std::string& argument) {
    if (!options_.song.path.empty() || options_.song.demo)
      return "more than one song given ('" + argument + "')";
    options_.song.path = argument;
    return {};
  }

  std::string readOption(std::string name) {
    std::optional<std::string> inlineValue;
    if (std::size_t equals = name.find('='); equals != std::string::npos && name.starts_with("--")) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "-o") name = "--output";
    if (name == "--demo" && !inlineValue) {
      if (!options_.song.path.empty() || options_.song.demo) return "more than one song given (--demo)";
      options_.song.demo = true;
      return {};
    }
    if (!allows(name)) return "unknown option '" + name + "' for this command";
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (index_ + 1 < argc_) {
      value = argv_[++index_];
    } else {
      return "option " + name + " needs a value";
    }
    return storeOption(name, value);
  }

  std::string storeOption(const std::string& name, const std::string& value) {
    if (name == "--output") {
      if (value.empty()) return "option --output needs a file name";
      options_.outputPath = value;
    } else if (name == "--seconds") {
      std::optional<double> seconds = parseNumber(value);
      if (!seconds || *seconds <= 0 || *seconds > maxSeconds)
        return "--seconds needs a number of seconds above 0 and at most " +
               std::to_string(static_cast<int>(maxSeconds));
      options_.seconds = seconds;
    } else if (name == "--ticks") {
      std::optional<long long> ticks = parseCount(value);
      if (!ticks || *ticks > maxTicks)
        return "--ticks needs a whole number from 0 to " + std::to_string(maxTicks);
      options_.ticks = ticks;
    } else if (name == "--volume") {
      std::optional<double> volume = parseNumber(value);
      if (!volume || *volume < 0 || *volume > 1) return "--volume needs a number from 0 to 1";
      options_.volume = *volume;
    }
    return {};
  }

  std::string checkComplete() const {
    if (options_.song.path.empty() && !options_.song.demo) return "no song given (SONG.xm or --demo)";
    if (options_.command == Command::render && options_.outputPath.empty()) return "render needs -o OUT.wav";
    if (options_.command == Command::exportXm && options_.outputPath.empty()) return "export needs -o OUT.xm";
    if (options_.command == Command::trace && !options_.ticks) return "trace needs --ticks N";
    if (!options_.outputPath.empty() && isTheSong(options_.song, options_.outputPath))
      return "the output '" + options_.outputPath + "' is the song itself; writing it would destroy the song";
    return {};
  }

  Options& options_;
  int argc_;
  const char* const* argv_;
  int index_ = 0;
};

}  // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  if (argc < 2) {
    parsed.error = "no command given";
    return parsed;
  }
  std::optional<Command> command = commandNamed(argv[1]);
  if (!command) {
    parsed.error = std::string("unknown command '") + argv[1] + "'";
    return parsed;
  }
  parsed.options.command = *command;
  if (*command == Command::help) return parsed;
  for (int i = 2; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      parsed.options.command = Command::help;
      return parsed;
    }
  }
  parsed.error = ArgumentReader(parsed.options, argc, argv).readAll();
  return parsed;
}

}  // namespace vantor::tool
