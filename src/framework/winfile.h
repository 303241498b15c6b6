// Files over Windows file handles, the log file kind of them, and a test for
// whether a path names anything.
#pragma once

#include <windows.h>

#include <cstdint>

namespace pellgameapi {

// mode: the low 8 bits choose the access (0 read, 1 write, 2 read and write, any
// other value read); bit 8 shares reading, bit 9 writing, bit 10 deleting.
class winfile {
 public:
  HANDLE handle;  // INVALID_HANDLE_VALUE while no file is open

  winfile();
  virtual ~winfile();
  winfile(const winfile&) = delete;
  winfile& operator=(const winfile&) = delete;

  // Opens an existing file (closing any open one first), then optionally moves to
  // its end. A null name or a missing file gives false.
  virtual BOOL open(const wchar_t* name, BOOL seektoend, uint32_t mode);
  virtual BOOL open(const char* name, BOOL seektoend, uint32_t mode);
  // Creates the file, or empties it when it exists.
  virtual BOOL create(const wchar_t* name, uint32_t mode);
  virtual BOOL create(const char* name, uint32_t mode);
  virtual void close();

  // With done given, true whenever the call succeeds and done tells how many bytes
  // moved; without it, true only when all count bytes moved.
  BOOL read(void* buffer, DWORD count, DWORD* done);
  BOOL write(const void* buffer, DWORD count, DWORD* done);
  // Writes s and "\r\n"; the number of text bytes written, 0 if that failed, -1
  // for a null s.
  int32_t writeline(const char* s);
  BOOL seekend(LONG offset);

 private:
  BOOL opened(BOOL seektoend);
};

// The framework's log file: a winfile with room for bookkeeping that nothing in
// this library uses; opening and closing keep that room zeroed.
class logfile : public winfile {
 public:
  char spare[256];
  uint32_t sparewords[3];

  logfile();
  ~logfile() override;

  BOOL open(const wchar_t* name, BOOL seektoend, uint32_t mode) override;
  BOOL open(const char* name, BOOL seektoend, uint32_t mode) override;
  BOOL create(const wchar_t* name, uint32_t mode) override;
  BOOL create(const char* name, uint32_t mode) override;
  void close() override;

 private:
  void clearspare();
};

// True when FindFirstFileA finds a match for path.
BOOL fileexists(const char* path);

}  // namespace pellgameapi
