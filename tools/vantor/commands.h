// The subcommands of the vantor tool. Each returns the process exit code and has
// reported any failure on standard error.
#pragma once

#include "command_line.h"

namespace vantor::tool {

int runRender(const Options& options);
int runInfo(const Options& options);
int runCheck(const Options& options);
int runTrace(const Options& options);
int runPlay(const Options& options);
int runExport(const Options& options);

}  // namespace vantor::tool
