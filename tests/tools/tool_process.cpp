#include "tool_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace vantor::test {

TemporaryDirectory::TemporaryDirectory() {
  static std::atomic<int> counter{0};
  static const unsigned run = std::random_device{}();
  path_ = std::filesystem::temp_directory_path() /
          ("vantor-tool-test-" + std::to_string(run) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Process::Process(const std::vector<std::string>& arguments, const Environment& environment,
                 const std::filesystem::path& outputFile, const std::filesystem::path& errorFile) {
  Environment merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    std::size_t equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : environment) merged[name] = value;
  std::vector<std::string> environmentTexts;
  for (const auto& [name, value] : merged) environmentTexts.push_back(name + "=" + value);

  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& text : environmentTexts) envp.push_back(text.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
  if (pid_ > 0 && status_ < 0) stop(SIGKILL);
}

int Process::wait() {
  if (pid_ <= 0) return -1;
  if (status_ < 0) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return status_;
}

int Process::waitFor(std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (pid_ > 0 && status_ < 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (std::chrono::steady_clock::now() > end) {
      return -1;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return status_;
}

int Process::stop(int signal) {
  send(signal);
  return wait();
}

void Process::send(int signal) {
  if (pid_ > 0 && status_ < 0) kill(pid_, signal);
}

ToolRun runTool(const std::vector<std::string>& arguments, const Environment& environment) {
  TemporaryDirectory directory;
  std::vector<std::string> command = {VANTOR_TOOL_PATH};
  command.insert(command.end(), arguments.begin(), arguments.end());
  Process tool(command, environment, directory / "out", directory / "err");
  int exitCode = tool.wait();
  return {exitCode, readText(directory / "out"), readText(directory / "err")};
}

ToolRun runToolOnTerminal(const std::vector<std::string>& arguments, const Environment& environment) {
  int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0)
    return {-1, "", "no pseudo-terminal"};
  std::string terminalSide = ptsname(terminal);
  // Held open here too, so that reading never meets a terminal side that is not open yet.
  int heldSide = open(terminalSide.c_str(), O_RDWR | O_NOCTTY);
  std::string shown;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t got;
    while ((got = read(terminal, buffer, sizeof buffer)) > 0)
      shown.append(buffer, static_cast<std::size_t>(got));
  });
  TemporaryDirectory directory;
  std::vector<std::string> command = {VANTOR_TOOL_PATH};
  command.insert(command.end(), arguments.begin(), arguments.end());
  Process tool(command, environment, directory / "out", terminalSide);
  int exitCode = tool.wait();
  close(heldSide);  // now the reader meets the end
  reader.join();
  close(terminal);
  return {exitCode, readText(directory / "out"), shown};
}

bool programInstalled(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream directories(path != nullptr ? path : "");
  for (std::string directory; std::getline(directories, directory, ':');) {
    if (!directory.empty() && access((std::filesystem::path(directory) / program).c_str(), X_OK) == 0)
      return true;
  }
  return false;
}

std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace vantor::test
