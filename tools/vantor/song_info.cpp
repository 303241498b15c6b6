#include "song_info.h"

#include <algorithm>

namespace vantor::tool {

namespace {

constexpr std::size_t moduleNameOffset = 17;
constexpr std::size_t trackerNameOffset = 38;
constexpr std::size_t nameLength = 20;
constexpr std::size_t versionOffset = 58;
static_assert(versionOffset + 2 == headerNamesBytes);

std::string cleanName(const uint8_t* bytes) {
  std::string name;
  for (std::size_t i = 0; i < nameLength && bytes[i] != 0; ++i)
    name += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '?';
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

int sampleCount(const Song& song) {
  int count = 0;
  for (int i = 0; i < song.instrumentCount; ++i) count += static_cast<int>(song.instruments[i].sampleCount);
  return count;
}

std::vector<std::string> noteLines(const LoadNotes& notes) {
  char text[2048];
  describeLoadNotes(notes, text, sizeof text);
  std::vector<std::string> lines;
  std::string all = text;
  for (std::size_t start = 0; start < all.size();) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    lines.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string passText(const PassLength& pass) {
  if (pass.limited) return "more than " + formatDuration(pass.frames) + " (no row comes back within it)";
  return formatDuration(pass.frames) + " (" + std::to_string(pass.frames) + " frames)";
}

}  // namespace

HeaderNames headerNames(const uint8_t* bytes, std::size_t size) {
  uint8_t header[headerNamesBytes] = {};
  std::copy(bytes, bytes + std::min(size, headerNamesBytes), header);
  return {cleanName(header + moduleNameOffset), cleanName(header + trackerNameOffset),
          static_cast<uint16_t>(header[versionOffset] | header[versionOffset + 1] << 8)};
}

SongInfo describeSong(const Song& song, const HeaderNames& names, const PassLength& pass,
                      const LoadNotes& notes) {
  return {names,
          song.channelCount,
          song.songLength,
          song.restartPosition,
          song.patternCount,
          song.instrumentCount < 0 ? 0 : song.instrumentCount,
          sampleCount(song),
          (song.flags & LinearFrequencyTable) != 0,
          song.defaultSpeed,
          song.defaultBpm,
          pass,
          noteLines(notes)};
}

std::vector<std::pair<std::string, std::string>> infoLines(const SongInfo& info) {
  return {{"module name", info.names.module},
          {"tracker name", info.names.tracker},
          {"channels", std::to_string(info.channels)},
          {"song length", std::to_string(info.songLength)},
          {"restart position", std::to_string(info.restartPosition)},
          {"patterns", std::to_string(info.patterns)},
          {"instruments", std::to_string(info.instruments)},
          {"samples", std::to_string(info.samples)},
          {"frequency table", info.linearFrequencyTable ? "linear" : "Amiga"},
          {"default speed", std::to_string(info.defaultSpeed)},
          {"default BPM", std::to_string(info.defaultBpm)},
          {"one pass", passText(info.pass)}};
}

}  // namespace vantor::tool
