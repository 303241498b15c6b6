// What an engine does by accident: commands from two threads at once, and unloading
// the library between levels with a song still loaded (or, against the rules, playing).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host.h"
#include "xm_builder/xm_builder.h"

namespace vantor::hosttest {
namespace {

constexpr uint32_t volumeControl = 2;

using HostThreads = HostTest;

// One command a thread gives, and every outcome it may have when it runs alone at some
// point between the other threads' commands: a return (empty text) or these messages.
struct Step {
  int32_t cmd;
  std::vector<std::string> outcomes;
};

// Overlapping commands run one after the other: each one's outcome is one it can have
// alone, the library never crashes or hangs, and afterwards it plays as before.
TEST_F(HostThreads, OverlappingCommandsRunOneAfterTheOther) {
  const std::vector<uint8_t> bytes = songBytes();
  const std::string missing = std::string(song.path()) + ".missing";
  const std::string notLoaded = " song not yet loaded.";
  const std::vector<std::vector<Step>> scripts = {
      // A loading thread: a song from memory, then a file that fails and leaves none.
      {{3, {""}}, {2, {"vantor; failed while loading file '" + missing + "'"}}, {3, {""}}},
      // The main thread plays, sets the volume and stops whatever is loaded.
      {{4, {"", "vantor::play;" + notLoaded}},
       {6, {"", "vantor::vol;" + notLoaded}},
       {4, {"", "vantor::play;" + notLoaded}},
       {5, {"", "vantor::stop;" + notLoaded}}},
      // A third sets the caption and loads from the file.
      {{0, {""}}, {2, {""}}, {5, {"", "vantor::stop;" + notLoaded}}, {7, {""}}},
  };

  std::mutex faultsMutex;
  std::vector<std::string> faults;
  std::atomic<bool> running{true};
  auto give = [&](const Step& step) {
    float half = 0.5f;
    char caption[] = "overlapping";
    void* arg = nullptr;
    uint32_t arg2 = 0;
    switch (step.cmd) {
      case 0: arg = caption; break;
      case 2: arg = const_cast<char*>(step.outcomes.size() == 1 && step.outcomes[0].empty() ? song.path()
                                                                                           : missing.c_str());
        break;
      case 3: arg = const_cast<uint8_t*>(bytes.data()), arg2 = static_cast<uint32_t>(bytes.size()); break;
      case 4: arg = directSound(), arg2 = volumeControl; break;
      case 6: arg = &half; break;
      default: break;
    }
    std::optional<Fatal> fatal = command(step.cmd, arg, arg2);
    const std::string text = fatal ? fatal->text : "";
    bool allowed = false;
    for (const std::string& outcome : step.outcomes) allowed = allowed || outcome == text;
    if (!allowed || (fatal && fatal->reserved != 0)) {
      std::lock_guard lock(faultsMutex);
      faults.push_back("command " + std::to_string(step.cmd) + " gave \"" + text + "\"");
    }
  };
  std::vector<std::thread> threads;
  for (const std::vector<Step>& script : scripts) {
    threads.emplace_back([&, script] {
      while (running.load()) {
        for (const Step& step : script) give(step);
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  running.store(false);
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(faults.empty()) << faults.size() << " unexpected outcomes, the first: " << faults.front();

  modproc(2, const_cast<char*>(song.path()));
  modproc(4, directSound(), 0);
  EXPECT_TRUE(sounding(device));
  EXPECT_EQ(device.liveBufferCount(), 1) << "one stream, whatever the threads left";
  modproc(5);
  EXPECT_EQ(device.liveBufferCount(), 0);
}

// A library of its own, under a file name of its own, so that closing it unloads it.
class OwnLibrary {
 public:
  OwnLibrary() : path_(std::filesystem::temp_directory_path() / ("vantor-unload-" + std::to_string(getpid()) + ".so")) {
    std::filesystem::copy_file(VANTOR_LIBRARY_PATH, path_, std::filesystem::copy_options::overwrite_existing);
  }
  ~OwnLibrary() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }

  // Opens it (again) and gives the command entry.
  void (*open())(int32_t, void*, uint32_t) {
    handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void (*)(int32_t, void*, uint32_t)>(dlsym(handle_, "modproc"));
  }
  void close() { dlclose(handle_); }
  bool loaded() const {
    void* found = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (found != nullptr) dlclose(found);
    return found != nullptr;
  }

 private:
  std::filesystem::path path_;
  void* handle_ = nullptr;
};

// A song whose sample data takes 2 MB, so that losing it shows.
std::vector<uint8_t> largeSongBytes() {
  xm::XmModule module;
  module.channelCount = 2;
  module.patterns.push_back(xm::XmPattern::empty(16, 2));
  module.patterns[0].at(0, 0) = {.note = 49, .instrument = 1};
  std::vector<int> values(1'000'000);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int>(i % 200) - 100;
  module.instruments.push_back(xm::XmInstrument::withSample(xm::XmSample::eightBit(values)));
  return xm::buildXm(module);
}

std::size_t heapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

TEST_F(HostThreads, UnloadingTheLibraryFreesItsSong) {
  const std::vector<uint8_t> bytes = largeSongBytes();
  OwnLibrary library;
  std::size_t afterFirstRound = 0;
  for (int round = 0; round < 6; ++round) {
    auto entry = library.open();
    ASSERT_NE(entry, nullptr);
    entry(3, const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    entry(4, directSound(), 0);
    entry(5, nullptr, 0);
    library.close();
    ASSERT_FALSE(library.loaded());
    if (round == 0) afterFirstRound = heapInUse();
  }
  const std::size_t grown = heapInUse() - std::min(heapInUse(), afterFirstRound);
  EXPECT_LT(grown, 500'000u) << "five rounds kept " << grown << " bytes";
}

// Against the rules: a library unloaded while it plays stays loaded and playing (its
// feeder thread holds a reference); opened again it stops, and then it unloads.
TEST_F(HostThreads, LibraryUnloadedWhilePlayingStaysUntilStopped) {
  OwnLibrary library;
  auto entry = library.open();
  ASSERT_NE(entry, nullptr);
  const std::vector<uint8_t> bytes = songBytes();
  entry(3, const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
  entry(4, directSound(), 0);
  library.close();
  ASSERT_TRUE(library.loaded());
  device.clearCalls();
  for (int wait = 0; wait < 400 && callsTo(device, "GetCurrentPosition").empty(); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(callsTo(device, "GetCurrentPosition").empty()) << "the feeder thread goes on polling";

  entry = library.open();
  entry(5, nullptr, 0);
  EXPECT_EQ(device.liveBufferCount(), 0);
  library.close();
  EXPECT_FALSE(library.loaded());
}

}  // namespace
}  // namespace vantor::hosttest
