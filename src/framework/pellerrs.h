// The framework's fatal error report, exported to the host. reporterror never
// returns: it either shows the message in a box and ends the process with exit
// code 69, or throws it to the host as a pellerrsexception, as the host chose.
// The members and the exception's layout are part of the interface the host is
// built against.
#pragma once

#include <cstdint>

#include "framework/exports.h"

namespace pellgameapi {

class VANTOR_EXPORT pellerrsexception {
 public:
  char text[4096];    // the message, NUL-terminated; at most 4095 characters
  uint32_t reserved;  // the host's to use; 0 in every new exception

  pellerrsexception(pellerrsexception& other);  // copies text only
  pellerrsexception& operator=(const pellerrsexception& other);
  ~pellerrsexception();

 protected:
  pellerrsexception();  // all of text zero
  friend class pellerrs;
};

class VANTOR_EXPORT pellerrs {
 public:
  // Formats the message printf-style and reports it; see above.
  [[noreturn]] static void reporterror(const char* format, ...);
  pellerrs& operator=(const pellerrs& other);
};

}  // namespace pellgameapi
