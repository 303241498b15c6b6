#include "framework/winfile.h"

#include <cstdint>
#include <cstring>

namespace pellgameapi {

namespace {

DWORD accessFor(uint32_t mode) {
  switch (mode & 0xFFu) {
    case 1:
      return GENERIC_WRITE;
    case 2:
      return GENERIC_READ | GENERIC_WRITE;
    default:
      return GENERIC_READ;
  }
}

DWORD shareFor(uint32_t mode) {
  DWORD share = 0;
  if (mode & 0x100u) share |= FILE_SHARE_READ;
  if (mode & 0x200u) share |= FILE_SHARE_WRITE;
  if (mode & 0x400u) share |= FILE_SHARE_DELETE;
  return share;
}

}  // namespace

winfile::winfile() : handle(INVALID_HANDLE_VALUE) {}

winfile::~winfile() { winfile::close(); }

BOOL winfile::open(const wchar_t* name, BOOL seektoend, uint32_t mode) {
  if (name == nullptr) return FALSE;
  close();
  handle = CreateFileW(name, accessFor(mode), shareFor(mode), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  return opened(seektoend);
}

BOOL winfile::open(const char* name, BOOL seektoend, uint32_t mode) {
  if (name == nullptr) return FALSE;
  close();
  handle = CreateFileA(name, accessFor(mode), shareFor(mode), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  return opened(seektoend);
}

BOOL winfile::create(const wchar_t* name, uint32_t mode) {
  if (name == nullptr) return FALSE;
  close();
  handle = CreateFileW(name, accessFor(mode), shareFor(mode), nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  return opened(FALSE);
}

BOOL winfile::create(const char* name, uint32_t mode) {
  if (name == nullptr) return FALSE;
  close();
  handle = CreateFileA(name, accessFor(mode), shareFor(mode), nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  return opened(FALSE);
}

BOOL winfile::opened(BOOL seektoend) {
  if (handle == INVALID_HANDLE_VALUE) return FALSE;
  return seektoend ? seekend(0) : TRUE;
}

void winfile::close() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

BOOL winfile::read(void* buffer, DWORD count, DWORD* done) {
  DWORD moved = 0;
  if (!ReadFile(handle, buffer, count, &moved, nullptr)) return FALSE;
  if (done != nullptr) {
    *done = moved;
    return TRUE;
  }
  return moved == count;
}

BOOL winfile::write(const void* buffer, DWORD count, DWORD* done) {
  DWORD moved = 0;
  if (!WriteFile(handle, buffer, count, &moved, nullptr)) return FALSE;
  if (done != nullptr) {
    *done = moved;
    return TRUE;
  }
  return moved == count;
}

// The line end's own outcome is not examined: the count reports the text.
int32_t winfile::writeline(const char* s) {
  if (s == nullptr) return -1;
  std::size_t length = std::strlen(s);
  if (length > static_cast<std::size_t>(INT32_MAX)) return 0;
  if (!write(s, static_cast<DWORD>(length), nullptr)) return 0;
  write("\r\n", 2, nullptr);
  return static_cast<int32_t>(length);
}

BOOL winfile::seekend(LONG offset) {
  return SetFilePointer(handle, offset, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
}

logfile::logfile() { clearspare(); }

logfile::~logfile() { logfile::close(); }

BOOL logfile::open(const wchar_t* name, BOOL seektoend, uint32_t mode) {
  return winfile::open(name, seektoend, mode);
}

BOOL logfile::open(const char* name, BOOL seektoend, uint32_t mode) {
  return winfile::open(name, seektoend, mode);
}

BOOL logfile::create(const wchar_t* name, uint32_t mode) { return winfile::create(name, mode); }

BOOL logfile::create(const char* name, uint32_t mode) { return winfile::create(name, mode); }

void logfile::close() {
  winfile::close();
  clearspare();
}

void logfile::clearspare() {
  std::memset(spare, 0, sizeof spare);
  std::memset(sparewords, 0, sizeof sparewords);
}

BOOL fileexists(const char* path) {
  if (path == nullptr) return FALSE;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(search);
  return TRUE;
}

}  // namespace pellgameapi
