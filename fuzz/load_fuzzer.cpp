// Loads arbitrary bytes as a song through the memory source, as the load-from-memory
// command does, and frees whatever loaded. Any crash, leak or undefined behaviour
// while reading a hostile file shows here.
#include <cstddef>
#include <cstdint>

#include "loading/byte_source.h"
#include "loading/xm_loader.h"
#include "output/release.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantor;
  memoryBlock = {data, static_cast<uint32_t>(size), 0};
  setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
  Song* song = loadSong("memload", nullptr);
  if (song != nullptr) freeSong(song);
  memoryBlock = {};
  return 0;
}
