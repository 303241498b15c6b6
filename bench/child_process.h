// Runs a program as a child process and reports what it cost: CPU time and peak
// resident memory from the child's own resource usage.
#pragma once

#include <string>
#include <vector>

namespace vantor::bench {

struct ChildRun {
  bool exited = false;    // started and exited with status 0
  int exitCode = -1;      // its exit status; -1 when it did not start or did not exit
  double cpuSeconds = 0;  // user + system
  long peakKiB = 0;       // peak resident set size
  std::string output;     // standard output; standard error is discarded
};

ChildRun runChild(const std::vector<std::string>& arguments, const std::string& directory = {});

// Whether a program of that name is found on the PATH.
bool onPath(const std::string& program);

}  // namespace vantor::bench
