#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "framework/critsec.h"

namespace pellgameapi {
namespace {

// Asks from a second thread; true when the section was free there.
bool anotherThreadCanEnter(critsec& section) {
  bool entered = false;
  std::thread([&] {
    if (TryEnterCriticalSection(&section.section)) {
      entered = true;
      LeaveCriticalSection(&section.section);
    }
  }).join();
  return entered;
}

TEST(Scopedlock, HoldsTheSectionUntilUnlockOrScopeEnd) {
  critsec section;
  {
    scopedlock guard(&section, 1);
    EXPECT_FALSE(anotherThreadCanEnter(section));
    guard.unlock();
    EXPECT_TRUE(anotherThreadCanEnter(section));
    guard.lock();
    guard.lock();  // already held: not entered a second time
    EXPECT_FALSE(anotherThreadCanEnter(section));
  }
  EXPECT_TRUE(anotherThreadCanEnter(section));
}

// The test thread holds the section itself throughout; a scopedlock that left an
// entry it never made would hand the section to the other thread.
TEST(Scopedlock, LeavesOnlyEntriesItMade) {
  critsec section;
  section.enter();
  { scopedlock never(&section, 0); }
  EXPECT_FALSE(anotherThreadCanEnter(section));
  {
    scopedlock once(&section, 0);
    once.lock();
    once.unlock();
  }
  EXPECT_FALSE(anotherThreadCanEnter(section));
  section.leave();
  EXPECT_TRUE(anotherThreadCanEnter(section));
}

}  // namespace
}  // namespace pellgameapi
