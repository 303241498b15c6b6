#include "loading/byte_source.h"

#include <cstdlib>

namespace vantor {

FileCallbacks fileCallbacks = {};

void setFileCallbacks(SourceOpen open, SourceClose close, SourceRead read, SourceSeek seek, SourceTell tell) {
  // A partial set could leave the player calling through null, so it clears the registry.
  if (open && close && read && seek && tell) {
    fileCallbacks = {open, close, read, seek, tell};
  } else {
    fileCallbacks = {};
  }
}

bool fileCallbacksRegistered() { return fileCallbacks.open != nullptr; }

SourceHandle* openSource(const char* name) {
  if (!fileCallbacksRegistered()) return nullptr;
  auto* source = static_cast<SourceHandle*>(std::calloc(1, sizeof(SourceHandle)));
  if (source == nullptr) return nullptr;
  source->handle = fileCallbacks.open(name);
  if (source->handle == nullptr) {
    std::free(source);
    return nullptr;
  }
  return source;
}

void closeSource(SourceHandle* source) {
  if (source == nullptr) return;
  fileCallbacks.close(source->handle);
  std::free(source);
}

uint32_t readSource(void* buffer, uint32_t count, SourceHandle* source) {
  if (source == nullptr) return 0;
  return fileCallbacks.read(buffer, count, source->handle);
}

int32_t seekSource(SourceHandle* source, int32_t offset, uint8_t origin) {
  if (source == nullptr) return 0;
  return fileCallbacks.seek(source->handle, offset, origin);
}

int32_t tellSource(SourceHandle* source) {
  if (source == nullptr) return 0;
  return fileCallbacks.tell(source->handle);
}

}  // namespace vantor
