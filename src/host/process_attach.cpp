#include "host/process_attach.h"

#include "host/modproc.h"
#include "host/runtime/runtime.h"

namespace vantor {

HINSTANCE moduleHandle = nullptr;

}  // namespace vantor

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    // The library has no per-thread state, so thread notifications are switched off.
    DisableThreadLibraryCalls(instance);
    vantor::moduleHandle = instance;
  }
  // Unloaded by FreeLibrary (no reserved pointer), the library frees the song it holds
  // and what its own copy of the C++ runtime set up, which an engine that unloads its
  // plug-ins between levels would lose each time. At the end of the process (a reserved
  // pointer) the system takes everything back, and other threads may have been ended
  // anywhere: nothing is touched. Detach never stops playback: waiting for the feeder
  // thread under the loader lock could deadlock, and a playing library holds its own
  // reference, so FreeLibrary does not unload it.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    vantor::releaseSongAtUnload();
    vantor::releaseRuntimeAtUnload();
  }
  return TRUE;
}
