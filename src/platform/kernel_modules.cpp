// References to loaded libraries, kept by the dynamic loader: taking one is a dlopen of
// the library already loaded, dropping one a dlclose. A library is unloaded when its
// last reference goes, as on Windows.
#include <dlfcn.h>
#include <windows.h>

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *module = nullptr;
  if (flags != GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(moduleName), &info) == 0 || info.dli_fname == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  // RTLD_NOLOAD finds only a library that is loaded already, and adds a reference to it;
  // the program itself is not found by its name.
  void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  *module = static_cast<HMODULE>(handle);
  return TRUE;
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr || dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

void FreeLibraryAndExitThread(HMODULE module, DWORD exitCode) {
  FreeLibrary(module);
  ExitThread(exitCode);
}
