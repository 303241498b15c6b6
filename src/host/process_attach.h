// The library's entry for the system's process and thread notifications. The
// system calls it at process attach, after the library's static objects (the
// caption, then the logger) are constructed, and at detach before they are
// destroyed.
#pragma once

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace vantor {

// The library's own instance handle, stored at process attach.
extern HINSTANCE moduleHandle;

}  // namespace vantor
