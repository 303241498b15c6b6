// The C++ runtime's own resources, released when the library is unloaded. The Windows
// DLLs carry the runtime linked in, and each load of a DLL sets up its own copy;
// elsewhere the library shares the host's runtime and leaves it alone. The build picks
// the file that fits (linked_runtime.cpp or shared_runtime.cpp).
#pragma once

namespace vantor {

// Called at an unload, when nothing of the library runs any more.
void releaseRuntimeAtUnload();

}  // namespace vantor
