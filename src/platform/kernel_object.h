// What a HANDLE of the stand-in points at: threads, open files and file searches
// share one base, so CloseHandle and WaitForSingleObject can tell them apart. Every
// live object is registered, so a closed or made-up handle is refused with
// ERROR_INVALID_HANDLE, as on Windows, instead of being followed.
#pragma once

#include <windows.h>

namespace vantor::platform {

class KernelObject {
 public:
  KernelObject();
  virtual ~KernelObject();
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;

  // WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED, as WaitForSingleObject reports them.
  virtual DWORD wait(DWORD milliseconds);

 private:
  // The registry of live objects is an intrusive list, so registering never allocates.
  friend KernelObject* kernelObject(HANDLE handle);
  KernelObject* previous_ = nullptr;
  KernelObject* next_ = nullptr;
};

// The handle of an object: always its KernelObject address, whatever the derived type.
inline HANDLE handleOf(KernelObject* object) { return object; }

// The live object behind a handle, or null for null, INVALID_HANDLE_VALUE and any
// handle that was closed or never handed out.
KernelObject* kernelObject(HANDLE handle);

// Records err as the calling thread's last error (errno translated).
void setLastErrorFromErrno(int err);

}  // namespace vantor::platform
