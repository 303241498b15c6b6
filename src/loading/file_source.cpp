// The file source: the byte-source callbacks over the standard library's buffered streams.
#include <cstdint>
#include <cstdio>

#include "loading/byte_source.h"

namespace vantor {

void* fileOpen(const char* name) {
  if (name == nullptr) return nullptr;
  return std::fopen(name, "rb");
}

void fileClose(void* stream) {
  if (stream != nullptr) std::fclose(static_cast<std::FILE*>(stream));
}

uint32_t fileRead(void* buffer, uint32_t count, void* stream) {
  return static_cast<uint32_t>(std::fread(buffer, 1, count, static_cast<std::FILE*>(stream)));
}

int32_t fileSeek(void* stream, int32_t offset, uint8_t origin) {
  // The Windows C runtime ends the process on an invalid origin, so only the three
  // standard ones reach fseek.
  int signedOrigin = static_cast<int8_t>(origin);
  int whence;
  switch (signedOrigin) {
    case 0:
      whence = SEEK_SET;
      break;
    case 1:
      whence = SEEK_CUR;
      break;
    case 2:
      whence = SEEK_END;
      break;
    default:
      return -1;
  }
  return std::fseek(static_cast<std::FILE*>(stream), offset, whence);
}

int32_t fileTell(void* stream) {
  // A position that does not fit the callback's 32 bits is reported as a failure.
  long position = std::ftell(static_cast<std::FILE*>(stream));
  if (position < 0 || position > INT32_MAX) return -1;
  return static_cast<int32_t>(position);
}

}  // namespace vantor
