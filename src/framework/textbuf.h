// The framework's growable NUL-terminated text. Storage comes in steps of 128
// bytes and is always larger than what was asked for; every change of storage, in
// any buffer of the process, happens under the one shared textlock.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "framework/critsec.h"

namespace pellgameapi {

// Guards the storage changes of every textbuf together. Made by the first storage
// operation of any buffer and never destroyed; while it cannot be made it stays
// null, those operations run unguarded, and the next one tries again.
extern std::atomic<critsec*> textlock;

// The shared lock, made now if it does not exist yet; null while it cannot be made.
critsec* sharedTextlock();

class textbuf {
 public:
  char* text;        // null when there is no storage
  int32_t capacity;  // usable bytes; the storage holds one more, always 0 at the end

  textbuf();  // capacity 128, empty text
  explicit textbuf(std::size_t size);
  ~textbuf();
  // One buffer owns its storage; a copy would free it twice.
  textbuf(const textbuf&) = delete;
  textbuf& operator=(const textbuf&) = delete;

  // Makes storage for size bytes when there is none; false if there was storage
  // already (nothing changes) or it could not be made (text null, capacity 0).
  BOOL reserve(std::size_t size);
  // Replaces the storage by a larger one and keeps the text; false if the new
  // storage could not be made, in which case the buffer is unchanged.
  BOOL grow(std::size_t size);
  void release();

  // Copies s (null counts as empty), growing first when it does not fit. If the
  // storage cannot grow, the buffer keeps its old text.
  textbuf& assign(const char* s);
  textbuf& operator=(const char* s);

  // printf into the buffer from its start. A buffer of 512 bytes or less grows to
  // 640 first; the result is cut at capacity characters.
  void format(const char* fmt, ...);
};

}  // namespace pellgameapi
