// Files map onto POSIX descriptors. Share modes have no equivalent here and are
// accepted without effect (each call's arguments are kept for tests:
// platform/file_requests.h); access and creation dispositions behave as on Windows.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "platform/file_requests.h"
#include "platform/kernel_object.h"

namespace vantor::platform {

namespace {

std::mutex requestMutex;
FileRequest lastRequest{};

void keepRequest(DWORD access, DWORD shareMode, DWORD creation) {
  std::lock_guard lock(requestMutex);
  lastRequest = {access, shareMode, creation};
}

class FileObject final : public KernelObject {
 public:
  explicit FileObject(int descriptor) : descriptor_(descriptor) {}
  ~FileObject() override { ::close(descriptor_); }
  int descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

std::atomic<int> searchCount{0};

// A search holds nothing open: FindFirstFileA reads the whole match at once.
class SearchObject final : public KernelObject {
 public:
  SearchObject() { ++searchCount; }
  ~SearchObject() override { --searchCount; }
};

FileObject* fileObject(HANDLE handle) { return dynamic_cast<FileObject*>(kernelObject(handle)); }

HANDLE openFile(const char* name, DWORD access, DWORD creation) {
  if (name == nullptr || *name == '\0') {
    SetLastError(name == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  bool read = (access & GENERIC_READ) != 0;
  bool write = (access & GENERIC_WRITE) != 0;
  int flags = O_CLOEXEC;
  if (read && write)
    flags |= O_RDWR;
  else if (write)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  switch (creation) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      // Emptying a file needs write access; the system would empty it regardless.
      if (!write) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      flags |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  int descriptor = ::open(name, flags, 0666);
  if (descriptor < 0) {
    setLastErrorFromErrno(errno);
    return INVALID_HANDLE_VALUE;
  }
  struct stat status;
  if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
    ::close(descriptor);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  auto* object = new (std::nothrow) FileObject(descriptor);
  if (object == nullptr) {
    ::close(descriptor);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return handleOf(object);
}

// A wide name is UTF-32 here; the file system takes UTF-8 bytes. False for a value
// that is no Unicode scalar value.
bool appendUtf8(std::string& text, wchar_t character) {
  auto code = static_cast<uint32_t>(character);
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code <= 0x10FFFF) {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    return false;
  }
  return true;
}

// A descriptor error of an open file: EBADF then means the file was not opened for
// this direction, which Windows reports as access denied.
void setLastErrorFromTransfer(int err) { setLastErrorFromErrno(err == EBADF ? EACCES : err); }

}  // namespace

FileRequest lastFileRequest() {
  std::lock_guard lock(requestMutex);
  return lastRequest;
}

int openSearches() { return searchCount.load(); }

}  // namespace vantor::platform

using namespace vantor::platform;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                   HANDLE) {
  keepRequest(access, shareMode, creation);
  return openFile(name, access, creation);
}

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                   HANDLE) {
  keepRequest(access, shareMode, creation);
  if (name == nullptr) return openFile(nullptr, access, creation);
  std::string narrow;
  try {
    for (const wchar_t* c = name; *c != L'\0'; ++c) {
      if (!appendUtf8(narrow, *c)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
      }
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return openFile(narrow.c_str(), access, creation);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED) {
  if (done) *done = 0;
  FileObject* object = fileObject(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD total = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (total < count) {
    ssize_t n = ::read(object->descriptor(), bytes + total, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      setLastErrorFromTransfer(errno);
      if (done) *done = total;
      return FALSE;
    }
    if (n == 0) break;  // end of file: success with fewer bytes
    total += static_cast<DWORD>(n);
  }
  if (done) *done = total;
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED) {
  if (done) *done = 0;
  FileObject* object = fileObject(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD total = 0;
  auto* bytes = static_cast<const char*>(buffer);
  while (total < count) {
    ssize_t n = ::write(object->descriptor(), bytes + total, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      setLastErrorFromTransfer(n < 0 ? errno : EIO);
      if (done) *done = total;
      return FALSE;
    }
    total += static_cast<DWORD>(n);
  }
  if (done) *done = total;
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
  FileObject* object = fileObject(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int whence;
  switch (method) {
    case FILE_BEGIN:
      whence = SEEK_SET;
      break;
    case FILE_CURRENT:
      whence = SEEK_CUR;
      break;
    case FILE_END:
      whence = SEEK_END;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the distance is a signed 32-bit value and the new position
  // must fit in 32 bits; with one, the two halves form a signed 64-bit distance.
  int64_t offset =
      distanceHigh
          ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                 static_cast<uint32_t>(distance))
          : static_cast<int64_t>(distance);
  int descriptor = object->descriptor();
  off_t previous = lseek(descriptor, 0, SEEK_CUR);
  off_t result = lseek(descriptor, static_cast<off_t>(offset), whence);
  if (result < 0) {
    SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh == nullptr && static_cast<uint64_t>(result) > 0xFFFFFFFFu) {
    lseek(descriptor, previous, SEEK_SET);
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(result) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(static_cast<uint64_t>(result) & 0xFFFFFFFFu);
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
  if (pattern == nullptr || found == nullptr || *pattern == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string path(pattern);
  std::size_t slash = path.find_last_of('/');
  std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string namePattern = slash == std::string::npos ? path : path.substr(slash + 1);
  if (namePattern.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string match;
  if (namePattern.find_first_of("*?") == std::string::npos) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
      setLastErrorFromErrno(errno);
      return INVALID_HANDLE_VALUE;
    }
    match = namePattern;
  } else {
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) {
      setLastErrorFromErrno(errno);
      return INVALID_HANDLE_VALUE;
    }
    while (dirent* entry = readdir(listing)) {
      if (fnmatch(namePattern.c_str(), entry->d_name, FNM_PERIOD) == 0) {
        match = entry->d_name;
        break;
      }
    }
    closedir(listing);
    if (match.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
  }
  std::memset(found, 0, sizeof *found);
  struct stat status;
  std::string full = directory + "/" + match;
  if (stat(full.c_str(), &status) == 0) {
    found->dwFileAttributes = S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    found->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(status.st_size) >> 32);
    found->nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(status.st_size) & 0xFFFFFFFFu);
  }
  std::strncpy(found->cFileName, match.c_str(), MAX_PATH - 1);
  auto* search = new (std::nothrow) SearchObject;
  if (search == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return handleOf(search);
}

BOOL FindClose(HANDLE search) {
  auto* object = dynamic_cast<SearchObject*>(kernelObject(search));
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete object;
  return TRUE;
}
