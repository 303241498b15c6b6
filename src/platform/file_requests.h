// What the stand-in keeps of the file calls it was asked for, so that tests can check
// how the library opens its files and that it closes its searches. Share modes have no
// effect on POSIX descriptors, so this record is the only place where they show.
#pragma once

#include <windows.h>

namespace vantor::platform {

struct FileRequest {
  DWORD access;
  DWORD shareMode;
  DWORD creation;
  bool operator==(const FileRequest&) const = default;
};

// The arguments of the most recent CreateFileA or CreateFileW call, whether it
// succeeded or not; all zero before the first.
FileRequest lastFileRequest();

// Searches that FindFirstFileA has opened and FindClose has not yet closed.
int openSearches();

}  // namespace vantor::platform
