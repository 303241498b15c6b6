// The framework's log writer: each line starts with the local date and time,
// "YYYY-MM-DD-hh:mm:ss.mmm :-: ". It writes only while enabled, and this library
// never enables it, so every call returns at once and no log file appears.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdint>

#include "framework/textbuf.h"
#include "framework/winfile.h"

namespace pellgameapi {

class logger {
 public:
  textbuf filename;  // path of the log file
  textbuf line;      // where one line is built
  int32_t enabled;   // nonzero while logging is on
  logfile file;      // the log file while it is held open

  logger();
  ~logger();
  logger(const logger&) = delete;
  logger& operator=(const logger&) = delete;

  // Opens filename for appending, creating it when it does not exist.
  BOOL open();
  void close();
  // Appends s as one line; a file that is not held open is opened for the line and
  // closed again.
  void writeline(const char* s);
  void logv(const char* fmt, va_list args);
  void log(const char* fmt, ...);
};

}  // namespace pellgameapi
