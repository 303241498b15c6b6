// A bounded little-endian reader over an open byte source, for the loader.
//
// It learns the source's size once, never asks the source for bytes past that size,
// and reads through a small buffer so that unpacking patterns a byte at a time stays
// cheap. Whatever the source does not deliver reads as zero and marks the reader
// short; the mark stays, so a caller reads a whole structure and then decides once
// whether it arrived. Positions are 64-bit and never negative.
#pragma once

#include <cstddef>
#include <cstdint>

#include "loading/byte_source.h"

namespace vantor {

class ByteReader {
 public:
  // Learns the size (seek to the end, tell, seek back to 0). False when the source
  // cannot tell a usable position.
  bool open(SourceHandle* source);

  int64_t position() const { return bufferStart_ + bufferOffset_; }
  int64_t size() const { return size_; }
  int64_t remaining() const { return size_ - position(); }
  bool ranShort() const { return ranShort_; }

  // Moves to an absolute position. A target outside 0..size marks the reader short
  // and leaves the position unchanged.
  bool seekTo(int64_t target);
  bool skip(int64_t count) { return seekTo(position() + count); }

  // Copies count bytes into destination and returns how many the source delivered;
  // the rest of destination is zero-filled and the reader is marked short.
  uint64_t read(void* destination, uint64_t count);

  uint8_t u8() {
    if (bufferOffset_ < bufferFill_) return buffer_[bufferOffset_++];
    uint8_t value = 0;
    read(&value, 1);
    return value;
  }
  uint16_t u16() {
    uint8_t bytes[2];
    read(bytes, sizeof bytes);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  }
  uint32_t u32() {
    uint8_t bytes[4];
    read(bytes, sizeof bytes);
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
  }

 private:
  // Reads from the source at the given position, seeking it there first if needed.
  uint32_t readFromSource(void* destination, uint32_t count, int64_t at);
  bool refill();

  static constexpr uint32_t bufferSize = 4096;

  SourceHandle* source_ = nullptr;
  int64_t size_ = 0;
  int64_t sourcePosition_ = 0;  // where the source itself stands
  int64_t bufferStart_ = 0;     // source position of buffer_[0]
  uint32_t bufferFill_ = 0;
  uint32_t bufferOffset_ = 0;
  bool ranShort_ = false;
  uint8_t buffer_[bufferSize];
};

}  // namespace vantor
