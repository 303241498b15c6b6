// vantor: renders, describes, traces, plays and exports XM songs with the player library.
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "help_text.h"
#include "man_page.h"

int main(int argc, char** argv) {
  using namespace vantor::tool;
  ParsedCommandLine parsed = parseCommandLine(argc, argv);
  if (!parsed.error.empty()) {
    Command command = parsed.options.command;
    if (command == Command::help || command == Command::version) {
      std::fprintf(stderr, "vantor: %s\n(vantor --help shows the commands)\n", parsed.error.c_str());
    } else {
      std::fprintf(stderr, "vantor: %s\n(vantor %s --help shows how to use it)\n", parsed.error.c_str(),
                   commandName(command));
    }
    return exitUsage;
  }
  switch (parsed.options.command) {
    case Command::render:
      return runRender(parsed.options);
    case Command::info:
      return runInfo(parsed.options);
    case Command::check:
      return runCheck(parsed.options);
    case Command::trace:
      return runTrace(parsed.options);
    case Command::play:
      return runPlay(parsed.options);
    case Command::exportXm:
      return runExport(parsed.options);
    case Command::version:
      std::fputs(versionText().c_str(), stdout);
      return exitSuccess;
    case Command::help:
      break;
  }
  const Options& options = parsed.options;
  std::fputs((options.manPage ? manPage() : helpText(options.helpTopic)).c_str(), stdout);
  return exitSuccess;
}
