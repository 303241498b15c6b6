// Drives libvantor.so as a host engine does: the library is opened at run time and
// called only through its exported modproc. The host's DirectSound object is the
// software device, which records what the library asks of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/software_device.h"

namespace vantor::hosttest {

// The library's modproc; the library is opened once for the whole run.
void modproc(int32_t cmd, void* arg = nullptr, uint32_t arg2 = 0);

// What a fatal error in exception mode threw, caught by type.
struct Fatal {
  std::string text;
  uint32_t reserved;
};

// Runs one command; the fatal error it threw, if any.
std::optional<Fatal> command(int32_t cmd, void* arg = nullptr, uint32_t arg2 = 0);

// A small two-channel song: one note on a looping sample, as XM file bytes.
std::vector<uint8_t> songBytes();

// A song file for command 2, removed again with the object.
class SongFile {
 public:
  SongFile();
  ~SongFile();
  SongFile(const SongFile&) = delete;
  SongFile& operator=(const SongFile&) = delete;
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// Runs body in a child process with its standard error captured.
struct ChildOutcome {
  int exitCode = -1;  // -1 when the child did not exit normally
  std::string standardError;
};
ChildOutcome runInChild(const std::function<void()>& body);

// The calls of one method the device has received.
std::vector<platform::RecordedCall> callsTo(const platform::SoftwareDevice& device,
                                            const std::string& method);

// True when the device's newest buffer plays in a loop and holds rendered sound.
bool sounding(const platform::SoftwareDevice& device);

// Every test starts and ends with no song loaded, in exception mode.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Frees the loaded song: a load from an empty block frees it and fails.
  static void unloadSong();
  static std::string fatalText(int32_t cmd, void* arg = nullptr, uint32_t arg2 = 0);
  IDirectSound* directSound() { return &device; }

  platform::SoftwareDevice device;
  SongFile song;
};

}  // namespace vantor::hosttest
