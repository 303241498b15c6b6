#include "host/runtime/runtime.h"

// Frees the pool that the runtime keeps for exceptions thrown when memory runs out
// (about 73 KB, made at each load); without this every unload of the DLL leaves it
// behind. Nothing is thrown once the library is being unloaded.
namespace __gnu_cxx {
void __freeres();
}  // namespace __gnu_cxx

namespace vantor {

void releaseRuntimeAtUnload() { __gnu_cxx::__freeres(); }

}  // namespace vantor
