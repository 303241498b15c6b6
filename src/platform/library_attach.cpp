// The system's process notifications, for a shared library off Windows. There the
// loader calls a library's DllMain at process attach and detach; here the library
// calls it itself when it is loaded and unloaded. The build links the platform's
// objects after all others, so attach runs after the library's static objects are
// constructed and detach before they are destroyed, as on Windows.
#include <dlfcn.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace vantor::platform {
namespace {

// A module's instance handle is the address it is loaded at.
HINSTANCE ownInstance() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ownInstance), &info) == 0) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void attachProcess() { DllMain(ownInstance(), DLL_PROCESS_ATTACH, nullptr); }

__attribute__((destructor)) void detachProcess() { DllMain(ownInstance(), DLL_PROCESS_DETACH, nullptr); }

}  // namespace
}  // namespace vantor::platform
