#include "framework/critsec.h"

namespace pellgameapi {

critsec::critsec() { InitializeCriticalSection(&section); }

critsec::~critsec() { DeleteCriticalSection(&section); }

void critsec::enter() { EnterCriticalSection(&section); }

void critsec::leave() { LeaveCriticalSection(&section); }

scopedlock::scopedlock(critsec* section, int32_t locknow) : cs(section), locked(0) {
  if (locknow != 0) lock();
}

scopedlock::~scopedlock() { unlock(); }

// A second lock without an unlock between would leave one entry behind for ever,
// so the lock is entered only while this object does not hold it yet.
void scopedlock::lock() {
  if (cs == nullptr || locked != 0) return;
  cs->enter();
  locked = 1;
}

// Only an entry that this object made is left: leaving a section held by another
// owner would let a third thread in, or make a waiter wait for ever.
void scopedlock::unlock() {
  if (cs == nullptr || locked != 1) return;
  cs->leave();
  locked = 0;
}

}  // namespace pellgameapi
