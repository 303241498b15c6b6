// Byte sources: the player reads song data only through five registered callbacks
// (open, close, read, seek, tell). The library provides two sets: files through the
// standard library's buffered streams, and one memory block handed over by the host.
#pragma once

#include <cstdint>

namespace vantor {

using SourceOpen = void* (*)(const char* name);                           // null: cannot open
using SourceClose = void (*)(void* handle);
using SourceRead = uint32_t (*)(void* buffer, uint32_t count, void* handle);  // bytes delivered
using SourceSeek = int32_t (*)(void* handle, int32_t offset, uint8_t origin); // 0 start, 1 current, 2 end
using SourceTell = int32_t (*)(void* handle);

struct FileCallbacks {
  SourceOpen open;
  SourceClose close;
  SourceRead read;
  SourceSeek seek;
  SourceTell tell;
};

// The registry: complete (all five set) or empty (all five null).
extern FileCallbacks fileCallbacks;

// Stores the five callbacks when all are non-null; otherwise clears the registry.
void setFileCallbacks(SourceOpen open, SourceClose close, SourceRead read, SourceSeek seek, SourceTell tell);
bool fileCallbacksRegistered();

// The player's record of one open source.
struct SourceHandle {
  void* handle;
};

SourceHandle* openSource(const char* name);
void closeSource(SourceHandle* source);
uint32_t readSource(void* buffer, uint32_t count, SourceHandle* source);
int32_t seekSource(SourceHandle* source, int32_t offset, uint8_t origin);
int32_t tellSource(SourceHandle* source);

// File source, over fopen/fread/fseek/ftell.
void* fileOpen(const char* name);
void fileClose(void* stream);
uint32_t fileRead(void* buffer, uint32_t count, void* stream);
int32_t fileSeek(void* stream, int32_t offset, uint8_t origin);
int32_t fileTell(void* stream);

// The one memory block the memory source reads. The block stays the host's.
struct MemoryBlock {
  const uint8_t* base;
  uint32_t size;
  uint32_t position;  // always 0..size
};

extern MemoryBlock memoryBlock;

void* memOpen(const char* name);
void memClose(void* handle);
uint32_t memRead(void* buffer, uint32_t count, void* handle);
int32_t memSeek(void* handle, int32_t offset, uint8_t origin);
int32_t memTell(void* handle);

}  // namespace vantor
