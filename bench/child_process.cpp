#include "child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace vantor::bench {

ChildRun runChild(const std::vector<std::string>& arguments, const std::string& directory) {
  ChildRun run;
  int pipeEnds[2];
  if (arguments.empty() || pipe(pipeEnds) != 0) return run;
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDERR_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    return run;
  }
  char chunk[4096];
  ssize_t got;
  while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0)
    run.output.append(chunk, static_cast<size_t>(got));
  close(pipeEnds[0]);

  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return run;
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.exited = run.exitCode == 0;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  run.peakKiB = usage.ru_maxrss;
  return run;
}

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::stringstream directories(path);
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    std::error_code error;
    auto candidate = std::filesystem::path(directory) / program;
    if (std::filesystem::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0)
      return true;
  }
  return false;
}

}  // namespace vantor::bench
