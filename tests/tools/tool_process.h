// Running the vantor tool and the PulseAudio programs from tests: a process with
// its output in files, an environment of the test's own, and an end on request.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vantor::test {

// A directory of its own under the system's temporary directory, removed with all it holds.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

using Environment = std::map<std::string, std::string>;  // added to, or replacing, the test's own

class Process {
 public:
  // Starts program (searched in PATH) with its standard output and error in files.
  Process(const std::vector<std::string>& arguments, const Environment& environment,
          const std::filesystem::path& outputFile, const std::filesystem::path& errorFile);
  ~Process();  // ends a process still running
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return pid_ > 0; }
  // Waits for the end; the exit code, or 128 + the signal that ended it.
  int wait();
  // The same, but waits no longer than limit; -1 if the process still runs.
  int waitFor(std::chrono::milliseconds limit);
  // Sends the signal to this process, then waits for it.
  int stop(int signal);
  void send(int signal);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

struct ToolRun {
  int exitCode;
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs the vantor tool with the arguments and waits for it.
ToolRun runTool(const std::vector<std::string>& arguments, const Environment& environment = {});

// The same with standard error on a pseudo-terminal: errors is what the terminal was
// shown, as the tool wrote it.
ToolRun runToolOnTerminal(const std::vector<std::string>& arguments, const Environment& environment = {});

// Whether program is found in PATH.
bool programInstalled(const std::string& program);

std::string readText(const std::filesystem::path& path);

}  // namespace vantor::test
