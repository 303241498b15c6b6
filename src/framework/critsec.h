// A Windows critical section as an object, and a lock held for one scope.
#pragma once

#include <windows.h>

#include <cstdint>

namespace pellgameapi {

class critsec {
 public:
  CRITICAL_SECTION section;

  critsec();
  ~critsec();
  critsec(const critsec&) = delete;
  critsec& operator=(const critsec&) = delete;

  void enter();
  void leave();
};

// Holds cs from lock to unlock (or to the end of the scope). A null cs makes every
// operation do nothing, so callers can run unguarded when no lock could be made.
class scopedlock {
 public:
  critsec* cs;
  int32_t locked;  // 1 while this object holds cs

  scopedlock(critsec* section, int32_t locknow);
  ~scopedlock();
  scopedlock(const scopedlock&) = delete;
  scopedlock& operator=(const scopedlock&) = delete;

  void lock();
  void unlock();
};

}  // namespace pellgameapi
