// What vantor --help, vantor help COMMAND and vantor --version print.
#pragma once

#include <optional>
#include <string>

#include "command_line.h"

namespace vantor::tool {

// Every command in a line, and the exit codes; or one command in full: its usage,
// what it does, its options with their limits, and an example.
std::string helpText(std::optional<Command> command);

// "vantor 1.2.3", the version the build was given.
std::string versionText();

}  // namespace vantor::tool
