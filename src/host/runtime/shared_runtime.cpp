#include "host/runtime/runtime.h"

namespace vantor {

// The runtime is the host's, shared with everything else in the process.
void releaseRuntimeAtUnload() {}

}  // namespace vantor
