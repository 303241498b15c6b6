// vantor takes every pattern header to be 9 bytes long and finds the next pattern
// where the last cell ends. Trackers skip the header by its stated length and the data
// by its stated size. A file where the two differ is read from there on as something
// else: wrong notes, or none.
#include <cstdio>

#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr std::size_t headerSizeOffset = 60;
constexpr std::size_t channelCountOffset = 68;
constexpr std::size_t patternCountOffset = 70;
constexpr uint32_t readHeaderLength = 9;

uint32_t readLittle(const std::vector<uint8_t>& bytes, std::size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | (at + i < bytes.size() ? bytes[at + i] : 0);
  return value;
}

// The bytes the cells of a pattern take, read as vantor reads them.
std::size_t cellBytes(const std::vector<uint8_t>& bytes, std::size_t at, std::size_t cells) {
  std::size_t start = at;
  for (std::size_t i = 0; i < cells && at < bytes.size(); ++i) {
    uint8_t first = bytes[at];
    at += first & 0x80 ? 1 + __builtin_popcount(first & 0x1F) : 5;
  }
  return at - start;
}

class PatternLayout : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "a pattern header length other than 9, or a packed size other than its cells'",
        "vantor reads the rest of the file from the wrong place", "trackers read it by the stated sizes",
        "save the song again in a current tracker"};
    return words;
  }

  bool wholeFile() const override { return true; }

  void examineFile(const FileView& file, std::vector<std::string>& where) override {
    const std::vector<uint8_t>& bytes = file.bytes;
    std::size_t at = headerSizeOffset + readLittle(bytes, headerSizeOffset, 4);
    std::size_t channels = readLittle(bytes, channelCountOffset, 2);
    uint32_t patterns = readLittle(bytes, patternCountOffset, 2);
    for (uint32_t pattern = 0; pattern < patterns && at + readHeaderLength <= bytes.size(); ++pattern) {
      uint32_t length = readLittle(bytes, at, 4);
      std::size_t rows = readLittle(bytes, at + 5, 2);
      uint32_t packed = readLittle(bytes, at + 7, 2);
      char text[96];
      if (length != readHeaderLength) {
        std::snprintf(text, sizeof text, "pattern %u of the file: header length %u", pattern, length);
        where.push_back(text);
        return;
      }
      std::size_t used = packed == 0 ? 0 : cellBytes(bytes, at + readHeaderLength, rows * channels);
      if (used != packed) {
        std::snprintf(text, sizeof text, "pattern %u of the file: packed size %u for %zu bytes of cells",
                      pattern, packed, used);
        where.push_back(text);
        return;
      }
      at += readHeaderLength + packed;
    }
  }
};

const RuleRegistration registered(make<PatternLayout>);

}  // namespace

}  // namespace vantor::tool::rules
