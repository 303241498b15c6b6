// The memory source: the byte-source callbacks over the one block the host hands over.
// Every callback ignores its handle, since there is only one block.
#include <cstring>

#include "loading/byte_source.h"

namespace vantor {

MemoryBlock memoryBlock = {};

void* memOpen(const char*) { return reinterpret_cast<void*>(uintptr_t{1}); }

void memClose(void*) {}

uint32_t memRead(void* buffer, uint32_t count, void*) {
  MemoryBlock& block = memoryBlock;
  // A block without a base holds nothing, whatever its size says.
  if (block.base == nullptr || buffer == nullptr || block.position >= block.size) return 0;
  uint32_t left = block.size - block.position;
  uint32_t delivered = count < left ? count : left;
  if (delivered == 0) return 0;
  std::memcpy(buffer, block.base + block.position, delivered);
  block.position += delivered;
  return delivered;
}

int32_t memSeek(void*, int32_t offset, uint8_t origin) {
  MemoryBlock& block = memoryBlock;
  // Targets wrap modulo 2^32 and then clamp to the end, so a seek before the start
  // lands at the end of the block.
  uint32_t distance = static_cast<uint32_t>(offset);
  uint32_t target = block.position;
  switch (origin) {
    case 0:
      target = distance;
      break;
    case 1:
      target = block.position + distance;
      break;
    case 2:
      target = block.size + distance;
      break;
    default:
      break;
  }
  block.position = target > block.size ? block.size : target;
  return 0;
}

int32_t memTell(void*) { return static_cast<int32_t>(memoryBlock.position); }

}  // namespace vantor
