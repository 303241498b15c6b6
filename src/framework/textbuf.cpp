#include "framework/textbuf.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace pellgameapi {

constinit std::atomic<critsec*> textlock{nullptr};

// Two threads that both find no lock may both make one; only the first to publish
// it wins and the other frees its own, so every buffer uses the same lock.
critsec* sharedTextlock() {
  critsec* existing = textlock.load(std::memory_order_acquire);
  if (existing != nullptr) return existing;
  critsec* created = new (std::nothrow) critsec;
  if (created == nullptr) return nullptr;
  if (textlock.compare_exchange_strong(existing, created, std::memory_order_acq_rel)) return created;
  delete created;
  return existing;
}

namespace {

constexpr int32_t formatMinimumSize = 512;

// A request for size bytes gets the next multiple of 128 above it. Requests whose
// capacity would not fit a signed 32-bit count give -1.
int64_t capacityFor(std::size_t size) {
  if (size >= static_cast<std::size_t>(INT32_MAX)) return -1;
  int64_t capacity = (static_cast<int64_t>(size) / 128 + 1) * 128;
  return capacity > INT32_MAX ? -1 : capacity;
}

// Zeroed storage for capacity usable bytes and the final 0, or null.
char* allocateStorage(int64_t capacity) {
  return static_cast<char*>(std::calloc(static_cast<std::size_t>(capacity) + 1, 1));
}

// Length of the text in storage, looking at no more than limit bytes.
std::size_t textLength(const char* storage, int64_t limit) {
  const void* end = std::memchr(storage, 0, static_cast<std::size_t>(limit));
  return end == nullptr ? static_cast<std::size_t>(limit)
                        : static_cast<std::size_t>(static_cast<const char*>(end) - storage);
}

}  // namespace

textbuf::textbuf() : text(nullptr), capacity(0) { reserve(2); }

textbuf::textbuf(std::size_t size) : text(nullptr), capacity(0) { reserve(size); }

textbuf::~textbuf() { release(); }

BOOL textbuf::reserve(std::size_t size) {
  scopedlock guard(sharedTextlock(), 1);
  if (text != nullptr) return FALSE;
  int64_t newCapacity = capacityFor(size);
  if (newCapacity < 0) return FALSE;
  text = allocateStorage(newCapacity);
  if (text == nullptr) {
    capacity = 0;
    return FALSE;
  }
  capacity = static_cast<int32_t>(newCapacity);
  return TRUE;
}

BOOL textbuf::grow(std::size_t size) {
  scopedlock guard(sharedTextlock(), 1);
  int64_t newCapacity = capacityFor(size);
  if (newCapacity < 0) return FALSE;
  char* storage = allocateStorage(newCapacity);
  if (storage == nullptr) return FALSE;
  // A released buffer, or one whose first storage could not be made, has no text
  // to keep.
  if (text != nullptr) {
    std::size_t kept = textLength(text, std::min<int64_t>(capacity, newCapacity));
    std::memcpy(storage, text, kept);
    std::free(text);
  }
  text = storage;
  capacity = static_cast<int32_t>(newCapacity);
  text[capacity] = 0;
  return TRUE;
}

void textbuf::release() {
  scopedlock guard(sharedTextlock(), 1);
  std::free(text);
  text = nullptr;
  capacity = 0;
}

textbuf& textbuf::assign(const char* s) {
  if (s == nullptr) s = "";
  std::size_t length = std::strlen(s);
  if (length >= static_cast<std::size_t>(capacity) && !grow(length)) return *this;
  if (text == nullptr) return *this;
  // s may lie inside this buffer's own text.
  std::memmove(text, s, length + 1);
  return *this;
}

textbuf& textbuf::operator=(const char* s) { return assign(s); }

void textbuf::format(const char* fmt, ...) {
  if (capacity <= formatMinimumSize && !grow(formatMinimumSize)) return;
  if (text == nullptr) return;
  if (fmt == nullptr) {
    text[0] = 0;
    return;
  }
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, static_cast<std::size_t>(capacity) + 1, fmt, args);
  va_end(args);
}

}  // namespace pellgameapi
