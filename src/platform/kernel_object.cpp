// The registry of live kernel objects and the per-thread last error.
#include "platform/kernel_object.h"

#include <cerrno>
#include <mutex>

namespace vantor::platform {

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

std::mutex registryMutex;
KernelObject* registryHead = nullptr;

}  // namespace

KernelObject::KernelObject() {
  std::lock_guard lock(registryMutex);
  next_ = registryHead;
  if (registryHead != nullptr) registryHead->previous_ = this;
  registryHead = this;
}

KernelObject::~KernelObject() {
  std::lock_guard lock(registryMutex);
  if (previous_ != nullptr)
    previous_->next_ = next_;
  else
    registryHead = next_;
  if (next_ != nullptr) next_->previous_ = previous_;
}

DWORD KernelObject::wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

KernelObject* kernelObject(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  // Only addresses are compared: an unknown handle is never dereferenced.
  std::lock_guard lock(registryMutex);
  for (KernelObject* object = registryHead; object != nullptr; object = object->next_) {
    if (static_cast<HANDLE>(object) == handle) return object;
  }
  return nullptr;
}

void setLastErrorFromErrno(int err) {
  switch (err) {
    case 0:
      lastError = ERROR_SUCCESS;
      break;
    case ENOENT:
      lastError = ERROR_FILE_NOT_FOUND;
      break;
    case ENOTDIR:
      lastError = ERROR_PATH_NOT_FOUND;
      break;
    case EACCES:
    case EPERM:
    case EISDIR:
      lastError = ERROR_ACCESS_DENIED;
      break;
    case EEXIST:
      lastError = ERROR_FILE_EXISTS;
      break;
    case EBADF:
      lastError = ERROR_INVALID_HANDLE;
      break;
    case ENOMEM:
      lastError = ERROR_NOT_ENOUGH_MEMORY;
      break;
    default:
      lastError = ERROR_INVALID_PARAMETER;
      break;
  }
}

}  // namespace vantor::platform

DWORD GetLastError() { return vantor::platform::lastError; }

void SetLastError(DWORD error) { vantor::platform::lastError = error; }
