// What a HANDLE of the stand-in points at: threads, open files and file searches
// share one base, so CloseHandle and WaitForSingleObject can tell them apart.
#pragma once

#include <windows.h>

namespace vantor::platform {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED, as WaitForSingleObject reports them.
  virtual DWORD wait(DWORD milliseconds);
};

// The object behind a handle, or null for null and INVALID_HANDLE_VALUE.
KernelObject* kernelObject(HANDLE handle);

// Records err as the calling thread's last error (errno translated).
void setLastErrorFromErrno(int err);

}  // namespace vantor::platform
