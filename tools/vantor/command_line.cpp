#include "command_line.h"

#include <charconv>
#include <filesystem>
#include <string_view>

#include "output_file.h"

namespace vantor::tool {

namespace {

struct NamedCommand {
  Command command;
  const char* name;
};

constexpr NamedCommand namedCommands[] = {{Command::render, "render"}, {Command::info, "info"},
                                          {Command::check, "check"},   {Command::trace, "trace"},
                                          {Command::play, "play"},     {Command::exportXm, "export"}};

std::optional<Command> commandNamed(std::string_view name) {
  for (const NamedCommand& named : namedCommands) {
    if (name == named.name) return named.command;
  }
  return std::nullopt;
}

bool isHelp(std::string_view argument) {
  return argument == "help" || argument == "--help" || argument == "-h";
}

// Numbers are plain decimal: digits with at most one decimal point, and nothing else
// (no sign, exponent, hexadecimal or blanks), so that what is read is what was meant.
std::optional<double> parseDecimal(std::string_view text) {
  bool digits = false;
  int points = 0;
  for (char c : text) {
    if (c == '.') {
      points += 1;
    } else if (c >= '0' && c <= '9') {
      digits = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digits || points > 1) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<long long> parseWhole(std::string_view text) {
  if (text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string notValue(const std::string& value) { return " (not '" + value + "')"; }

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
    if (options_.command == Command::check) {
      options_.songs.push_back({argument, false});
      return {};
    }
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
    if (options_.command == Command::check && !inlineValue &&
        (name == "--list-rules" || name == "--markdown")) {
      (name == "--list-rules" ? options_.listRules : options_.markdown) = true;
      return {};
    }
    if (name == "--demo" && !inlineValue) {
      if (options_.command == Command::check) {
        options_.songs.push_back({{}, true});
        return {};
      }
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
      std::optional<double> seconds = parseDecimal(value);
      if (!seconds || *seconds <= 0 || *seconds > maxSeconds)
        return "--seconds needs a number of seconds above 0 and at most " +
               std::to_string(static_cast<int>(maxSeconds)) + ", written like 90 or 2.5" + notValue(value);
      options_.seconds = seconds;
    } else if (name == "--ticks") {
      std::optional<long long> ticks = parseWhole(value);
      if (!ticks || *ticks > maxTicks)
        return "--ticks needs a whole number from 0 to " + std::to_string(maxTicks) + notValue(value);
      options_.ticks = ticks;
    } else if (name == "--volume") {
      std::optional<double> volume = parseDecimal(value);
      if (!volume || *volume > 1)
        return "--volume needs a number from 0 to 1, written like 0.5" + notValue(value);
      options_.volume = *volume;
    }
    return {};
  }

  std::string checkComplete() const {
    if (options_.command == Command::check) {
      if (options_.markdown && !options_.listRules) return "--markdown goes with --list-rules";
      if (options_.listRules) return options_.songs.empty() ? "" : "--list-rules takes no song";
      return options_.songs.empty() ? "no song given (SONG.xm..., or --demo)" : "";
    }
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

const char* commandName(Command command) {
  for (const NamedCommand& named : namedCommands) {
    if (command == named.command) return named.name;
  }
  return "help";
}

std::vector<Command> songCommands() {
  std::vector<Command> commands;
  for (const NamedCommand& named : namedCommands) commands.push_back(named.command);
  return commands;
}

ParsedCommandLine parseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  if (argc < 2) {
    parsed.error = "no command given";
    return parsed;
  }
  std::string_view first = argv[1];
  if (first == "--version") {
    options.command = Command::version;
    if (argc > 2) parsed.error = "--version takes nothing after it";
    return parsed;
  }
  if (isHelp(first)) {
    options.command = Command::help;
    if (argc == 2) return parsed;
    if (argc == 3 && std::string_view(argv[2]) == "--man") {
      options.manPage = true;
      return parsed;
    }
    options.helpTopic = argc == 3 ? commandNamed(argv[2]) : std::nullopt;
    if (!options.helpTopic)
      parsed.error = "help takes one command name: render, info, check, trace, play or export";
    return parsed;
  }
  std::optional<Command> command = commandNamed(first);
  if (!command) {
    parsed.error = "unknown command '" + std::string(first) + "'";
    return parsed;
  }
  options.command = *command;
  for (int i = 2; i < argc; ++i) {
    std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      options.command = Command::help;
      options.helpTopic = command;
      return parsed;
    }
  }
  parsed.error = ArgumentReader(options, argc, argv).readAll();
  return parsed;
}

}  // namespace vantor::tool
