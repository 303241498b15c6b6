// The PulseAudio backend of vantor play. A thread takes PCM from the play cursor of
// the software device's buffer (which moves the cursor past it), applies the
// buffer's volume as DirectSound would, and writes it to PulseAudio's simple API,
// which blocks while its own buffer is full. So the play cursor moves with what
// PulseAudio has taken, and the player's feeder thread keeps the ring filled behind
// it exactly as over DirectSound.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "platform/software_device.h"

struct pa_simple;

namespace vantor::tool {

class PulseOutput {
 public:
  PulseOutput() = default;
  ~PulseOutput();
  PulseOutput(const PulseOutput&) = delete;
  PulseOutput& operator=(const PulseOutput&) = delete;

  // Connects a 16-bit stereo 44100 Hz playback stream; false, with error(), when
  // PulseAudio cannot be reached.
  bool open(const std::string& description);
  // Starts the thread that plays the buffer from its play cursor: framesToPlay
  // frames, or without end when none are given.
  void start(platform::BufferRef buffer, std::optional<uint64_t> framesToPlay);
  // Ends the thread, drops what PulseAudio still holds, and disconnects.
  void close();

  // Frames of the buffer that have been heard so far (written less what PulseAudio
  // still holds), from the first frame PulseAudio played; any thread.
  uint64_t framesHeard() const { return framesHeard_.load(std::memory_order_relaxed); }
  // True once all framesToPlay frames have been played out; the thread has then ended.
  bool finished() const { return finished_.load(); }
  // True once a write to PulseAudio failed; the thread has then ended.
  bool failed() const { return failed_.load(); }
  const std::string& error() const { return error_; }

 private:
  void run(std::optional<uint64_t> framesToPlay);
  void fail(int code);

  pa_simple* stream_ = nullptr;
  platform::BufferRef buffer_{};
  std::thread thread_{};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> failed_{false};
  std::atomic<uint64_t> framesHeard_{0};
  std::string error_{};  // written before failed_ is raised
};

}  // namespace vantor::tool
