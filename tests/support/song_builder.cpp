#include "support/song_builder.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "sequencer/sequencer.h"

namespace vantor::test {

namespace {

// Rows of a pattern the orders name but the test never describes, as the loader gives them.
constexpr int undescribedPatternRows = 64;

std::string_view trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    std::size_t at = text.find(separator);
    std::string_view part = trim(text.substr(0, at));
    if (separator != ' ' || !part.empty()) parts.push_back(part);
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

[[noreturn]] void badCell(std::string_view cell, const char* why) {
  throw std::invalid_argument(std::string("cell \"") + std::string(cell) + "\": " + why);
}

bool isEmptyField(std::string_view field) { return field.find_first_not_of(".-") == std::string_view::npos; }

uint8_t parseHexByte(std::string_view cell, std::string_view field) {
  if (field.size() != 2) badCell(cell, "expected two hex digits");
  return static_cast<uint8_t>(std::stoul(std::string(field), nullptr, 16));
}

uint8_t parseNote(std::string_view cell, std::string_view field) {
  if (field == "===" || field == "^^^") return 255;
  if (isEmptyField(field)) return 0;
  static constexpr std::string_view names = "C-C#D-D#E-F-F#G-G#A-A#B-";
  if (field.size() != 3 || field[2] < '0' || field[2] > '7') badCell(cell, "expected a note like C-4 or C#4");
  std::size_t semitone = names.find(field.substr(0, 2));
  if (semitone == std::string_view::npos || semitone % 2 != 0) badCell(cell, "unknown note name");
  return static_cast<uint8_t>(1 + (field[2] - '0') * 12 + semitone / 2);
}

void parseEffect(std::string_view cell, std::string_view field, NoteCell& out) {
  if (isEmptyField(field)) return;
  if (field.size() != 3) badCell(cell, "expected an effect like A10");
  char letter = field[0];
  if (letter >= '0' && letter <= '9') {
    out.effect = static_cast<uint8_t>(letter - '0');
  } else if (letter >= 'A' && letter <= 'Z') {
    out.effect = static_cast<uint8_t>(letter - 'A' + 10);
  } else {
    badCell(cell, "unknown effect");
  }
  out.effectParam = parseHexByte(cell, field.substr(1));
}

void fillEnvelope(const EnvelopePlan& plan, EnvelopePoint* points, uint8_t& count, uint8_t& sustain,
                  uint8_t& loopStart, uint8_t& loopEnd, uint8_t& type) {
  if (plan.points.empty()) return;
  count = static_cast<uint8_t>(std::min<std::size_t>(plan.points.size(), envelopePointSlots));
  for (int i = 0; i < count; ++i) {
    points[i] = {static_cast<uint16_t>(plan.points[i].first), static_cast<uint16_t>(plan.points[i].second)};
  }
  type = EnvelopeOn;
  if (plan.sustainPoint >= 0) {
    type |= EnvelopeSustain;
    sustain = static_cast<uint8_t>(plan.sustainPoint);
  }
  if (plan.loopStart >= 0) {
    type |= EnvelopeLoop;
    loopStart = static_cast<uint8_t>(plan.loopStart);
    loopEnd = static_cast<uint8_t>(plan.loopEnd);
  }
}

// A falling saw, loud enough to be heard in any mix.
Sample* buildSample(const SamplePlan& plan) {
  auto* sample = static_cast<Sample*>(std::calloc(1, sizeof(Sample)));
  sample->length = plan.length;
  sample->data = allocateSampleData(plan.length);
  for (uint32_t i = 0; i < plan.length; ++i) sample->data[i] = static_cast<int16_t>(8000 - (i * 500) % 16000);
  bool loops = plan.loopLength != 0 && plan.loopMode != LoopNone;
  sample->loopStart = loops ? plan.loopStart : 0;
  sample->loopLength = loops ? plan.loopLength : plan.length;
  sample->loopMode = loops ? plan.loopMode : LoopNone;
  sample->volume = plan.volume;
  sample->finetune = plan.finetune;
  sample->panning = plan.panning;
  sample->bitsPerSample = 16;
  sample->relativeNote = plan.relativeNote;
  return sample;
}

}  // namespace

NoteCell parseCell(std::string_view text) {
  std::vector<std::string_view> fields = split(trim(text), ' ');
  if (fields.size() > 4) badCell(text, "more than four fields");
  NoteCell cell = {};
  if (fields.size() > 0) cell.note = parseNote(text, fields[0]);
  if (fields.size() > 1 && !isEmptyField(fields[1])) cell.instrument = parseHexByte(text, fields[1]);
  if (fields.size() > 2 && !isEmptyField(fields[2])) cell.volume = parseHexByte(text, fields[2]);
  if (fields.size() > 3) parseEffect(text, fields[3], cell);
  return cell;
}

NoteCell& cellAt(Song& song, int pattern, int row, int channel) {
  return song.patterns[pattern].cells[row * song.channelCount + channel];
}

SongBuilder& SongBuilder::channels(int count) {
  channelCount_ = count;
  return *this;
}

SongBuilder& SongBuilder::speed(int ticksPerRow) {
  speed_ = ticksPerRow;
  return *this;
}

SongBuilder& SongBuilder::bpm(int beatsPerMinute) {
  bpm_ = beatsPerMinute;
  return *this;
}

SongBuilder& SongBuilder::amigaTable() {
  linear_ = false;
  return *this;
}

SongBuilder& SongBuilder::orders(std::vector<int> patternNumbers) {
  orders_ = std::move(patternNumbers);
  return *this;
}

SongBuilder& SongBuilder::restartPosition(int position) {
  restartPosition_ = position;
  return *this;
}

SongBuilder& SongBuilder::globalVolume(int volume) {
  globalVolume_ = volume;
  return *this;
}

SongBuilder& SongBuilder::pattern(int number, int rowCount) {
  std::erase_if(patterns_, [number](const PatternPlan& plan) { return plan.number == number; });
  patterns_.push_back({number, rowCount, {}});
  return *this;
}

SongBuilder& SongBuilder::rows(std::vector<std::string_view> texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) row(static_cast<int>(i), texts[i]);
  return *this;
}

SongBuilder& SongBuilder::row(int index, std::string_view text) {
  if (patterns_.empty()) throw std::logic_error("row() before pattern()");
  patterns_.back().rows.emplace_back(index, std::string(text));
  return *this;
}

SongBuilder& SongBuilder::instrument(std::vector<SamplePlan> samples) {
  instruments_.push_back({});
  instruments_.back().samples = std::move(samples);
  return *this;
}

SongBuilder& SongBuilder::keymap(int firstNote, int lastNote, int slot) {
  instruments_.back().keymapRanges.push_back({{firstNote, lastNote}, slot});
  return *this;
}

SongBuilder& SongBuilder::volumeEnvelope(const EnvelopePlan& envelope) {
  instruments_.back().volumeEnvelope = envelope;
  return *this;
}

SongBuilder& SongBuilder::panningEnvelope(const EnvelopePlan& envelope) {
  instruments_.back().panningEnvelope = envelope;
  return *this;
}

SongBuilder& SongBuilder::fadeout(int perTick) {
  instruments_.back().fadeout = perTick;
  return *this;
}

SongBuilder& SongBuilder::autoVibrato(int type, int sweep, int depth, int rate) {
  InstrumentPlan& plan = instruments_.back();
  plan.vibratoType = type;
  plan.vibratoSweep = sweep;
  plan.vibratoDepth = depth;
  plan.vibratoRate = rate;
  return *this;
}

Song* SongBuilder::build() const {
  auto* song = static_cast<Song*>(std::calloc(1, sizeof(Song)));
  song->channelCount = static_cast<int16_t>(channelCount_);
  song->songLength = static_cast<int16_t>(orders_.size());
  song->restartPosition = static_cast<int16_t>(restartPosition_);
  for (std::size_t i = 0; i < orders_.size() && i < 256; ++i) {
    song->orders[i] = static_cast<uint8_t>(orders_[i]);
    song->orderPatternSpan = std::max(song->orderPatternSpan, orders_[i] + 1);
  }
  song->patternCount = song->orderPatternSpan;
  for (const PatternPlan& plan : patterns_)
    song->patternCount = std::max(song->patternCount, plan.number + 1);
  song->flags = linear_ ? LinearFrequencyTable : 0;
  song->defaultSpeed = static_cast<int16_t>(speed_);
  song->defaultBpm = static_cast<int16_t>(bpm_);
  song->defaultGlobalVolume = static_cast<uint8_t>(globalVolume_);
  song->tickHandler = sequencerTick;

  std::size_t channels = static_cast<std::size_t>(std::max(channelCount_, 0));
  song->patterns =
      static_cast<Pattern*>(std::calloc(static_cast<std::size_t>(song->patternCount), sizeof(Pattern)));
  for (int number = 0; number < song->patternCount; ++number) {
    int rowCount = undescribedPatternRows;
    for (const PatternPlan& plan : patterns_) {
      if (plan.number == number) rowCount = plan.rowCount;
    }
    Pattern& pattern = song->patterns[number];
    pattern.rowCount = static_cast<uint32_t>(rowCount);
    if (rowCount > 0 && channels > 0) {
      pattern.cells = static_cast<NoteCell*>(
          std::calloc(static_cast<std::size_t>(rowCount) * channels, sizeof(NoteCell)));
    }
  }
  for (const PatternPlan& plan : patterns_) {
    for (const auto& [index, text] : plan.rows) {
      std::vector<std::string_view> cells = split(text, '|');
      if (index < 0 || index >= plan.rowCount || cells.size() > channels) {
        throw std::invalid_argument("row " + std::to_string(index) + " does not fit its pattern: " + text);
      }
      for (std::size_t c = 0; c < cells.size(); ++c)
        cellAt(*song, plan.number, index, static_cast<int>(c)) = parseCell(cells[c]);
    }
  }

  song->instrumentCount = static_cast<int16_t>(instruments_.size());
  song->instruments = static_cast<Instrument*>(std::calloc(instruments_.size(), sizeof(Instrument)));
  for (std::size_t i = 0; i < instruments_.size(); ++i) {
    const InstrumentPlan& plan = instruments_[i];
    Instrument& instrument = song->instruments[i];
    instrument.sampleCount = static_cast<uint32_t>(plan.samples.size());
    for (int slot = 0; slot < instrumentSampleSlots; ++slot) {
      instrument.samples[slot] =
          slot < static_cast<int>(plan.samples.size()) ? buildSample(plan.samples[slot]) : &emptySample;
    }
    for (const auto& [range, slot] : plan.keymapRanges) {
      for (int note = range.first; note <= range.second; ++note)
        instrument.keymap[note] = static_cast<uint8_t>(slot);
    }
    fillEnvelope(plan.volumeEnvelope, instrument.volumeEnvelopePoints, instrument.volumeEnvelopePointCount,
                 instrument.volumeEnvelopeSustainPoint, instrument.volumeEnvelopeLoopStart,
                 instrument.volumeEnvelopeLoopEnd, instrument.volumeEnvelopeType);
    fillEnvelope(plan.panningEnvelope, instrument.panningEnvelopePoints, instrument.panningEnvelopePointCount,
                 instrument.panningEnvelopeSustainPoint, instrument.panningEnvelopeLoopStart,
                 instrument.panningEnvelopeLoopEnd, instrument.panningEnvelopeType);
    instrument.fadeout = static_cast<uint16_t>(plan.fadeout);
    instrument.vibratoType = static_cast<uint8_t>(plan.vibratoType);
    instrument.vibratoSweep = static_cast<uint8_t>(plan.vibratoSweep);
    instrument.vibratoDepth = static_cast<uint8_t>(plan.vibratoDepth);
    instrument.vibratoRate = static_cast<uint8_t>(plan.vibratoRate);
  }
  return song;
}

}  // namespace vantor::test
