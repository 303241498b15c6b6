#include "song_input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "exit_codes.h"
#include "load_refusal.h"
#include "loading/byte_source.h"
#include "loading/load_notes.h"
#include "loading/xm_loader.h"
#include "output/release.h"
#include "vantor/demo/demo_song.h"

namespace vantor::tool {

namespace {

constexpr const char* demoSourceName = "demo";

// The memory source reads the block only while a load runs, but the names are read
// later from the same bytes, so they live as long as the tool.
const std::vector<uint8_t>& demoBytes() {
  static const std::vector<uint8_t> bytes = demo::demoSongBytes();
  return bytes;
}

// Registers the source's callbacks; returns the name to open.
const char* registerSource(const SongSource& source) {
  if (source.demo) {
    const std::vector<uint8_t>& bytes = demoBytes();
    memoryBlock = {bytes.data(), static_cast<uint32_t>(bytes.size()), 0};
    setFileCallbacks(memOpen, memClose, memRead, memSeek, memTell);
    return demoSourceName;
  }
  setFileCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell);
  return source.path.c_str();
}

// What a path is when it is not a regular file.
const char* kindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something other than a regular file";
}

// The loader only says that a file cannot be opened; this says why. Only a regular
// file is opened: the loader seeks and needs the size, and opening a FIFO would wait
// for a writer. Returns the reason it cannot be read, or nothing.
std::string unreadableReason(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return "cannot read '" + path + "': " + std::strerror(errno);
  if (!S_ISREG(info.st_mode))
    return "cannot read '" + path + "': it is " + kindOfFile(info.st_mode) + ", not a song file";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "cannot read '" + path + "': " + std::strerror(errno);
  std::fclose(file);
  return {};
}

}  // namespace

void SongRelease::operator()(Song* song) const { freeSong(song); }

LoadedSong loadSongSilently(const SongSource& source) {
  LoadedSong loaded;
  if (!source.demo) {
    loaded.error = unreadableReason(source.path);
    if (!loaded.error.empty()) {
      loaded.exitCode = exitUnreadableSong;
      return loaded;
    }
  }
  loaded.song.reset(loadSong(registerSource(source), nullptr));
  if (loaded.song == nullptr) {
    Refusal refusal = refusalOf(lastLoadNotes(), source.displayName());
    loaded.exitCode = refusal.exitCode;
    loaded.error = refusal.reason;
  }
  return loaded;
}

LoadedSong loadSongFrom(const SongSource& source) {
  LoadedSong loaded = loadSongSilently(source);
  if (loaded.song == nullptr) std::fprintf(stderr, "vantor: %s\n", loaded.error.c_str());
  return loaded;
}

std::vector<uint8_t> songBytes(const SongSource& source) {
  if (source.demo) return demoBytes();
  std::vector<uint8_t> bytes;
  std::FILE* file = std::fopen(source.path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  if (std::ferror(file)) bytes.clear();
  std::fclose(file);
  return bytes;
}

HeaderNames readHeaderNames(const SongSource& source) {
  uint8_t header[headerNamesBytes] = {};
  SourceHandle* handle = openSource(registerSource(source));
  readSource(header, sizeof header, handle);
  closeSource(handle);
  return headerNames(header, sizeof header);
}

}  // namespace vantor::tool
