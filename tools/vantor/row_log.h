// The rows that the renderer has started, each with the output frame at which it
// starts. The rendering thread publishes them from its tick watch; a display thread
// asks which row is heard at a frame. They meet only through atomics, so the display
// never reads the song's replay state while the renderer changes it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace vantor::tool {

struct RowStart {
  uint64_t frame;
  int orderPosition;
  int row;
};

class RowLog {
 public:
  // Rendering thread only.
  void publish(const RowStart& start);

  // The newest published row that starts at or before frame; none when no row does,
  // or when it has already been overwritten (the log keeps the newest rows only).
  std::optional<RowStart> rowAt(uint64_t frame) const;

 private:
  // Far more rows than the renderer can run ahead of what is heard (about 2 s).
  static constexpr std::size_t capacity = 1 << 16;

  std::array<std::atomic<uint64_t>, capacity> entries_{};  // frame:40 order:8 row:16
  std::atomic<uint64_t> published_{0};
};

}  // namespace vantor::tool
