#include "row_log.h"

namespace vantor::tool {

namespace {

constexpr int frameShift = 24;
constexpr int orderShift = 16;

uint64_t pack(const RowStart& start) {
  return (start.frame << frameShift) | (uint64_t{static_cast<uint8_t>(start.orderPosition)} << orderShift) |
         static_cast<uint16_t>(start.row);
}

RowStart unpack(uint64_t entry) {
  return {entry >> frameShift, static_cast<int>((entry >> orderShift) & 0xFF),
          static_cast<int>(entry & 0xFFFF)};
}

}  // namespace

void RowLog::publish(const RowStart& start) {
  uint64_t count = published_.load(std::memory_order_relaxed);
  entries_[count % capacity].store(pack(start), std::memory_order_relaxed);
  published_.store(count + 1, std::memory_order_release);
}

std::optional<RowStart> RowLog::rowAt(uint64_t frame) const {
  uint64_t count = published_.load(std::memory_order_acquire);
  // Keep clear of the entries the renderer may be overwriting meanwhile.
  uint64_t oldest = count > capacity / 2 ? count - capacity / 2 : 0;
  for (uint64_t i = count; i > oldest; --i) {
    RowStart start = unpack(entries_[(i - 1) % capacity].load(std::memory_order_relaxed));
    if (start.frame <= frame) return start;
  }
  return std::nullopt;
}

}  // namespace vantor::tool
