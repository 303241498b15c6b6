#include "host/process_attach.h"

namespace vantor {

HINSTANCE moduleHandle = nullptr;

}  // namespace vantor

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // The library has no per-thread state, so thread notifications are switched off.
    DisableThreadLibraryCalls(instance);
    vantor::moduleHandle = instance;
  }
  // Detach neither stops playback nor frees the loaded song: waiting for the feeder
  // thread here, under the system's loader lock, could deadlock. The host stops
  // playback before it unloads the library.
  return TRUE;
}
