#include "loading/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace vantor {

bool ByteReader::open(SourceHandle* source) {
  source_ = source;
  seekSource(source, 0, 2);
  int32_t end = tellSource(source);
  seekSource(source, 0, 0);
  int32_t start = tellSource(source);
  if (end < 0 || start != 0) return false;
  size_ = end;
  sourcePosition_ = 0;
  bufferStart_ = 0;
  bufferFill_ = 0;
  bufferOffset_ = 0;
  ranShort_ = false;
  return true;
}

bool ByteReader::seekTo(int64_t target) {
  if (target < 0 || target > size_) {
    ranShort_ = true;
    return false;
  }
  if (target >= bufferStart_ && target <= bufferStart_ + bufferFill_) {
    bufferOffset_ = static_cast<uint32_t>(target - bufferStart_);
  } else {
    bufferStart_ = target;
    bufferFill_ = 0;
    bufferOffset_ = 0;
  }
  return true;
}

uint32_t ByteReader::readFromSource(void* destination, uint32_t count, int64_t at) {
  // Every position here is at most size_, which came from a 32-bit tell.
  if (sourcePosition_ != at) {
    seekSource(source_, static_cast<int32_t>(at), 0);
    sourcePosition_ = at;
  }
  uint32_t delivered = readSource(destination, count, source_);
  delivered = std::min(delivered, count);
  sourcePosition_ += delivered;
  // A source that delivers less than its size promised has ended there.
  if (delivered < count) size_ = at + delivered;
  return delivered;
}

bool ByteReader::refill() {
  int64_t at = position();
  uint32_t wanted = static_cast<uint32_t>(std::min<int64_t>(bufferSize, size_ - at));
  bufferStart_ = at;
  bufferOffset_ = 0;
  bufferFill_ = wanted == 0 ? 0 : readFromSource(buffer_, wanted, at);
  return bufferFill_ > 0;
}

uint64_t ByteReader::read(void* destination, uint64_t count) {
  auto* out = static_cast<uint8_t*>(destination);
  uint64_t delivered = 0;
  while (delivered < count) {
    uint64_t wanted = count - delivered;
    if (bufferOffset_ < bufferFill_) {
      uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(wanted, bufferFill_ - bufferOffset_));
      std::memcpy(out + delivered, buffer_ + bufferOffset_, chunk);
      bufferOffset_ += chunk;
      delivered += chunk;
      continue;
    }
    int64_t at = position();
    if (at >= size_) break;
    uint64_t available = std::min<uint64_t>(wanted, static_cast<uint64_t>(size_ - at));
    if (available < bufferSize) {
      if (!refill()) break;
      continue;
    }
    // Large reads (sample data) go straight to the destination.
    uint32_t got = readFromSource(out + delivered, static_cast<uint32_t>(available), at);
    bufferStart_ = at + got;
    bufferFill_ = 0;
    bufferOffset_ = 0;
    delivered += got;
    if (got < available) break;
  }
  if (delivered < count) {
    std::memset(out + delivered, 0, count - delivered);
    ranShort_ = true;
  }
  return delivered;
}

}  // namespace vantor
