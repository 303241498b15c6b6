// What vantor info says about a loaded song, field by field: the module header's
// names, what the loader made of the header, how long one pass lasts and what the
// loader had to change. The tool prints these lines; the browser module hands the
// same values and words to a page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "loading/load_notes.h"
#include "loading/song.h"
#include "song_pass.h"

namespace vantor::tool {

// The two names of the module header (20 bytes each at offsets 17 and 38), with
// trailing blanks removed and bytes that are not printable ASCII shown as '?'; and
// the format version after them, which the loader does not read.
struct HeaderNames {
  std::string module{};
  std::string tracker{};
  uint16_t version = 0;  // 0x0104 for version 1.04
};

// The header's first bytes that hold the names and the version.
constexpr std::size_t headerNamesBytes = 60;

// From the first headerNamesBytes of the file (fewer read as zero bytes).
HeaderNames headerNames(const uint8_t* bytes, std::size_t size);

struct SongInfo {
  HeaderNames names;
  int channels;
  int songLength;
  int restartPosition;
  int patterns;
  int instruments;
  int samples;
  bool linearFrequencyTable;
  int defaultSpeed;
  int defaultBpm;
  PassLength pass;
  std::vector<std::string> loaderNotes;  // one line each, none when the loader changed nothing
};

SongInfo describeSong(const Song& song, const HeaderNames& names, const PassLength& pass,
                      const LoadNotes& notes);

// info's lines before the loader notes, as (field, value): ("channels", "8"), ...
std::vector<std::pair<std::string, std::string>> infoLines(const SongInfo& info);

}  // namespace vantor::tool
