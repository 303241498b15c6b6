#include "framework/logger.h"

#include <cstdio>
#include <cstring>

namespace pellgameapi {

namespace {

constexpr std::size_t lineSize = 4096;
constexpr uint32_t readWriteUnshared = 2;

}  // namespace

logger::logger() : filename(lineSize), line(lineSize), enabled(0) {}

logger::~logger() { close(); }

BOOL logger::open() {
  if (!enabled) return FALSE;
  if (fileexists(filename.text)) return file.open(filename.text, TRUE, readWriteUnshared);
  return file.create(filename.text, readWriteUnshared);
}

void logger::close() {
  if (enabled) file.close();
}

void logger::writeline(const char* s) {
  if (!enabled || s == nullptr) return;
  if (file.handle != INVALID_HANDLE_VALUE) {
    file.writeline(s);
  } else if (open()) {
    file.writeline(s);
    close();
  }
}

void logger::logv(const char* fmt, va_list args) {
  if (!enabled || fmt == nullptr) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  line.format("%04d-%02d-%02d-%02d:%02d:%02d.%03d :-: ", now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute, now.wSecond, now.wMilliseconds);
  if (line.text == nullptr) return;
  std::size_t prefixLength = std::strlen(line.text);
  std::size_t capacity = static_cast<std::size_t>(line.capacity);
  if (prefixLength >= capacity) return;
  // The message is cut so that the whole line stays below the buffer's capacity.
  std::vsnprintf(line.text + prefixLength, capacity - prefixLength, fmt, args);
  writeline(line.text);
}

void logger::log(const char* fmt, ...) {
  if (!enabled || fmt == nullptr) return;
  va_list args;
  va_start(args, fmt);
  logv(fmt, args);
  va_end(args);
}

}  // namespace pellgameapi
