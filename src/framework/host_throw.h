// The last step of a fatal error in exception mode: a copy of the finished report
// leaves the library as a C++ exception, thrown in the C++ ABI of the host the
// library is built for (src/abi/gcc or src/abi/microsoft).
#pragma once

#include "framework/pellerrs.h"

namespace pellgameapi {

// Copy-constructs a pellerrsexception from report and throws it to the host.
[[noreturn]] void throwToHost(pellerrsexception& report);

}  // namespace pellgameapi
