// Hosts of GCC's C++ ABI, and the build off Windows: the language's own throw. On
// 32-bit Windows the exception reaches the host through the shared unwinder DLL that
// both modules use.
#include "framework/host_throw.h"

namespace pellgameapi {

void throwToHost(pellerrsexception& report) { throw pellerrsexception(report); }

}  // namespace pellgameapi
