#include "vantor/demo/pattern_writer.h"

#include <charconv>
#include <cstddef>

#include "vantor/demo/demo_parts.h"

namespace vantor::demo {

uint8_t noteNumber(std::string_view name) {
  static constexpr std::string_view letters = "C D EF G A B";
  if (name.size() != 3) return 0;
  std::size_t semitone = letters.find(name[0]);
  if (semitone == std::string_view::npos || name[0] == ' ') return 0;
  if (name[1] == '#')
    ++semitone;
  else if (name[1] != '-')
    return 0;
  if (name[2] < '0' || name[2] > '7') return 0;
  return static_cast<uint8_t>((name[2] - '0') * 12 + static_cast<int>(semitone) + 1);
}

PatternWriter::PatternWriter(uint16_t rowCount) : pattern_(xm::XmPattern::empty(rowCount, channelCount)) {}

xm::XmCell& PatternWriter::cell(int channel, int row) { return pattern_.at(row, channel); }

void PatternWriter::note(int channel, int row, std::string_view name, uint8_t instrument, uint8_t volume) {
  xm::XmCell& target = cell(channel, row);
  target.note = noteNumber(name);
  target.instrument = instrument;
  if (volume != 0) target.volume = volume;
}

void PatternWriter::keyOff(int channel, int row) { cell(channel, row).note = keyOffNote; }

void PatternWriter::effect(int channel, int row, uint8_t effect, uint8_t param) {
  xm::XmCell& target = cell(channel, row);
  target.effect = effect;
  target.effectParam = param;
}

void PatternWriter::volume(int channel, int row, uint8_t volumeByte) {
  cell(channel, row).volume = volumeByte;
}

int PatternWriter::phrase(int channel, int row, std::string_view tokens, uint8_t instrument, uint8_t volume) {
  while (!tokens.empty()) {
    std::size_t end = tokens.find(' ');
    std::string_view token = tokens.substr(0, end);
    tokens = end == std::string_view::npos ? std::string_view{} : tokens.substr(end + 1);
    if (token.empty()) continue;
    std::size_t colon = token.find(':');
    std::string_view name = token.substr(0, colon);
    int length = 1;
    if (colon != std::string_view::npos)
      std::from_chars(token.data() + colon + 1, token.data() + token.size(), length);
    if (name == "==")
      keyOff(channel, row);
    else if (name != "...")
      note(channel, row, name, instrument, volume);
    row += length;
  }
  return row;
}

void PatternWriter::drumLine(int channel, int row, std::string_view steps, std::initializer_list<Hit> hits) {
  for (char step : steps) {
    for (const Hit& hit : hits) {
      if (hit.symbol != step) continue;
      note(channel, row, hit.note, hit.instrument, hit.volume);
      if (hit.effect != 0 || hit.param != 0) effect(channel, row, hit.effect, hit.param);
    }
    ++row;
  }
}

}  // namespace vantor::demo
