// The loader's allocations, and the one failure a test can ask of them.
#include <cstdlib>

#include "loading/xm_loader.h"
#include "loading/xm_reading.h"

namespace vantor {

namespace {

int allocationsBeforeFailure = -1;  // -1: none is to fail

bool failsAsAsked() {
  if (allocationsBeforeFailure < 0) return false;
  return allocationsBeforeFailure-- == 0;
}

}  // namespace

void failLoadAllocation(int after) { allocationsBeforeFailure = after; }

void* loadAllocation(std::size_t count, std::size_t size) {
  return failsAsAsked() ? nullptr : std::calloc(count, size);
}

int16_t* loadSampleData(uint32_t length) { return failsAsAsked() ? nullptr : allocateSampleData(length); }

}  // namespace vantor
