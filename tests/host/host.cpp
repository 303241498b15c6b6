#include "host.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "framework/pellerrs.h"
#include "xm_builder/xm_builder.h"

namespace vantor::hosttest {

namespace {

using Entry = void (*)(int32_t cmd, void* arg, uint32_t arg2);

Entry openLibrary() {
  void* library = dlopen(VANTOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot open %s: %s\n", VANTOR_LIBRARY_PATH, dlerror());
    std::abort();
  }
  auto entry = reinterpret_cast<Entry>(dlsym(library, "modproc"));
  if (entry == nullptr) {
    std::fprintf(stderr, "no modproc in %s\n", VANTOR_LIBRARY_PATH);
    std::abort();
  }
  return entry;  // the library stays loaded, as in a host
}

}  // namespace

void modproc(int32_t cmd, void* arg, uint32_t arg2) {
  static const Entry entry = openLibrary();
  entry(cmd, arg, arg2);
}

std::optional<Fatal> command(int32_t cmd, void* arg, uint32_t arg2) {
  try {
    modproc(cmd, arg, arg2);
  } catch (pellgameapi::pellerrsexception& error) {
    return Fatal{error.text, error.reserved};
  }
  return std::nullopt;
}

std::vector<uint8_t> songBytes() {
  xm::XmModule module;
  module.channelCount = 2;
  module.patterns.push_back(xm::XmPattern::empty(16, 2));
  module.patterns[0].at(0, 0) = {.note = 49, .instrument = 1};
  std::vector<int> square(64);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = i < 32 ? 100 : -100;
  xm::XmSample sample = xm::XmSample::eightBit(square);
  sample.loop = xm::XmLoop::Forward;
  sample.loopLength = 64;
  module.instruments.push_back(xm::XmInstrument::withSample(sample));
  return xm::buildXm(module);
}

SongFile::SongFile() {
  static std::atomic<int> count{0};
  path_ = (std::filesystem::temp_directory_path() /
           ("vantor-host-" + std::to_string(getpid()) + "-" + std::to_string(count++) + ".xm"))
              .string();
  std::vector<uint8_t> bytes = songBytes();
  std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

SongFile::~SongFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

ChildOutcome runInChild(const std::function<void()>& body) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  std::fflush(nullptr);  // the child must not write the parent's buffered output again
  pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    dup2(pipeEnds[1], STDERR_FILENO);
    try {
      body();
    } catch (...) {
      _exit(100);
    }
    _exit(0);
  }
  close(pipeEnds[1]);
  ChildOutcome outcome;
  char chunk[4096];
  ssize_t got;
  while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0) outcome.standardError.append(chunk, got);
  close(pipeEnds[0]);
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    outcome.exitCode = WEXITSTATUS(status);
  }
  return outcome;
}

std::vector<platform::RecordedCall> callsTo(const platform::SoftwareDevice& device,
                                            const std::string& method) {
  std::vector<platform::RecordedCall> found;
  for (const platform::RecordedCall& call : device.calls()) {
    if (call.method == method) found.push_back(call);
  }
  return found;
}

bool sounding(const platform::SoftwareDevice& device) {
  platform::BufferRef buffer = device.newestBuffer();
  if (!buffer || !buffer->playing() || !buffer->looping()) return false;
  std::vector<uint8_t> pcm = buffer->contents();
  return std::any_of(pcm.begin(), pcm.end(), [](uint8_t byte) { return byte != 0; });
}

void HostTest::SetUp() {
  modproc(1, nullptr, 1);
  unloadSong();
}

void HostTest::TearDown() { unloadSong(); }

void HostTest::unloadSong() {
  std::optional<Fatal> fatal = command(3, nullptr, 0);
  ASSERT_TRUE(fatal.has_value());
}

std::string HostTest::fatalText(int32_t cmd, void* arg, uint32_t arg2) {
  std::optional<Fatal> fatal = command(cmd, arg, arg2);
  if (!fatal) {
    ADD_FAILURE() << "command " << cmd << " reported nothing";
    return {};
  }
  EXPECT_EQ(fatal->reserved, 0u) << "a new exception has reserved 0";
  return fatal->text;
}

}  // namespace vantor::hosttest
