#include "pulse_output.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "output/renderer.h"

namespace vantor::tool {

namespace {

constexpr std::size_t chunkFrames = mixRate / 100;                    // 10 ms per write
constexpr uint32_t serverBufferBytes = mixRate / 10 * bytesPerFrame;  // about 100 ms held by PulseAudio

// The buffer volume as DirectSound applies it: an amplitude factor of at most 1,
// which leaves the samples as they are at full level.
void applyVolume(int16_t* samples, std::size_t count, double amplitude) {
  if (amplitude >= 1.0) return;
  for (std::size_t i = 0; i < count; ++i)
    samples[i] = static_cast<int16_t>(std::lround(samples[i] * amplitude));
}

}  // namespace

PulseOutput::~PulseOutput() { close(); }

bool PulseOutput::open(const std::string& description) {
  pa_sample_spec format{};
  format.format = PA_SAMPLE_S16LE;
  format.rate = mixRate;
  format.channels = 2;
  pa_buffer_attr attributes;
  std::memset(&attributes, 0xFF, sizeof attributes);  // -1: the server's choice
  attributes.tlength = serverBufferBytes;
  int code = 0;
  stream_ = pa_simple_new(nullptr, "vantor", PA_STREAM_PLAYBACK, nullptr, description.c_str(), &format,
                          nullptr, &attributes, &code);
  if (stream_ == nullptr) error_ = pa_strerror(code);
  return stream_ != nullptr;
}

void PulseOutput::start(platform::BufferRef buffer, std::optional<uint64_t> framesToPlay) {
  buffer_ = std::move(buffer);
  stopping_ = false;
  finished_ = false;
  thread_ = std::thread([this, framesToPlay] { run(framesToPlay); });
}

void PulseOutput::close() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (stream_ != nullptr) {
    int code = 0;
    if (!finished_ && !failed_) pa_simple_flush(stream_, &code);
    pa_simple_free(stream_);
    stream_ = nullptr;
  }
  buffer_ = {};
}

// The frames to play are counted where PulseAudio takes them, so however late the
// server starts playing, the length heard is the length asked for; the drain waits
// until the last of them has been played.
void PulseOutput::run(std::optional<uint64_t> framesToPlay) {
  std::vector<int16_t> chunk(chunkFrames * 2);
  uint64_t written = 0;
  while (!stopping_ && (!framesToPlay || written < *framesToPlay)) {
    std::size_t wanted =
        framesToPlay ? std::min<uint64_t>(chunkFrames, *framesToPlay - written) : chunkFrames;
    std::size_t frames = buffer_->consume(chunk.data(), wanted);
    if (frames == 0) {  // the buffer is stopped
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    applyVolume(chunk.data(), frames * 2, platform::amplitudeOfVolume(buffer_->volume()));
    int code = 0;
    if (pa_simple_write(stream_, chunk.data(), frames * bytesPerFrame, &code) < 0) return fail(code);
    written += frames;
    pa_usec_t latency = pa_simple_get_latency(stream_, &code);
    uint64_t held = latency == static_cast<pa_usec_t>(-1) ? 0 : latency * mixRate / 1000000;
    framesHeard_.store(written > held ? written - held : 0, std::memory_order_relaxed);
  }
  if (stopping_) return;
  int code = 0;
  if (pa_simple_drain(stream_, &code) < 0) return fail(code);
  framesHeard_.store(written, std::memory_order_relaxed);
  finished_ = true;
}

void PulseOutput::fail(int code) {
  error_ = pa_strerror(code);
  failed_ = true;
}

}  // namespace vantor::tool
