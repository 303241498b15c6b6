#include "tracker_differences.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "output/mixer.h"
#include "sequencer/song_position.h"

namespace vantor::tool {

namespace {

constexpr int mixChunkFrames = 1024;

std::vector<RuleFactory>& registeredFactories() {
  static std::vector<RuleFactory> factories;
  return factories;
}

bool voiceSounds(const Voice* voice) {
  return voice != nullptr && voice->sample != nullptr && voice->sample->length > 0 && voice->volume > 0;
}

constexpr int valuesLookedAt = 2048;
constexpr double silentValue = 328;  // -40 dB of full scale

// Whether the frames a voice plays over the next outputFrames lie below -40 dB, their
// root mean square taken. Where it reaches the loop, the whole loop counts. A long
// stretch is looked at in even steps, which finds the level of a sound.
bool silentAhead(const Voice* voice, int32_t outputFrames) {
  if (voice == nullptr || voice->sample == nullptr || voice->sample->data == nullptr) return false;
  const Sample& sample = *voice->sample;
  double step = voice->stepInt + voice->stepFrac / 4294967296.0;
  int64_t first = std::clamp<int64_t>(voice->position, 0, sample.length);
  int64_t last = first + static_cast<int64_t>(step * outputFrames) + 1;
  if (voice->direction != directionForward) first = std::max<int64_t>(0, first - (last - first));
  int64_t loopEnd = int64_t{sample.loopStart} + sample.loopLength;
  if (sample.loopMode != LoopNone && last >= loopEnd) {
    first = std::min<int64_t>(first, sample.loopStart);
    last = loopEnd;
  }
  last = std::min<int64_t>(last, sample.length);
  if (last <= first) return false;
  int64_t stride = std::max<int64_t>(1, (last - first) / valuesLookedAt);
  double sum = 0;
  int64_t count = 0;
  for (int64_t i = first; i < last; i += stride, ++count)
    sum += static_cast<double>(sample.data[i]) * sample.data[i];
  return sum < silentValue * silentValue * static_cast<double>(count);
}

}  // namespace

SavedBy savedBy(const std::string& trackerField, const std::string& titleField) {
  if (trackerField.starts_with("OpenMPT")) return SavedBy::openMpt;
  if (!trackerField.starts_with("FastTracker v2.00")) return SavedBy::other;
  return titleField.find('\0') == std::string::npos ? SavedBy::fastTracker : SavedBy::otherAsFastTracker;
}

int TickView::channelCount() const { return playedChannelCount(song_); }

const NoteCell& TickView::cell(int c) const { return currentCell(song_, c); }

namespace {

uint64_t cellKey(int rule, CellPosition cell) {
  return uint64_t{static_cast<uint8_t>(rule)} << 56 |
         uint64_t{static_cast<uint32_t>(cell.order) & 0xFFFF} << 40 |
         uint64_t{static_cast<uint32_t>(cell.row)} << 8 | static_cast<uint8_t>(cell.channel);
}

constexpr std::size_t titleOffset = 17, titleLength = 20, trackerOffset = 38, trackerLength = 20;

std::string headerField(const std::vector<uint8_t>& bytes, std::size_t offset, std::size_t length) {
  if (bytes.size() < offset + length) return {};
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

}  // namespace

void Passage::add(CellPosition cell) {
  auto same = [&](const CellPosition& named) {
    return named.order == cell.order && named.row == cell.row && named.channel == cell.channel;
  };
  if (std::none_of(cells_.begin(), cells_.end(), same)) cells_.push_back(cell);
}

void Findings::atCell(int rule, CellPosition cell) {
  if (recorded_.insert(cellKey(rule, cell)).second) all_.push_back({rule, false, cell, {}});
}

void Findings::forFile(int rule, std::string where) { all_.push_back({rule, true, {}, std::move(where)}); }

RuleRegistration::RuleRegistration(RuleFactory factory) { registeredFactories().push_back(factory); }

std::vector<std::unique_ptr<Rule>> makeRules() {
  std::vector<std::unique_ptr<Rule>> rules;
  for (RuleFactory factory : registeredFactories()) rules.push_back(factory());
  // The units register in whatever order the program starts them; the words order them.
  std::sort(rules.begin(), rules.end(), [](const std::unique_ptr<Rule>& a, const std::unique_ptr<Rule>& b) {
    return std::strcmp(a->text().construct, b->text().construct) < 0;
  });
  return rules;
}

DifferenceFinder::DifferenceFinder(Song* song) : song_(song), rules_(makeRules()) {}

void DifferenceFinder::examineFile(const std::vector<uint8_t>& bytes, const LoadNotes& notes,
                                   uint16_t version, const std::string& tracker) {
  savedBy_ =
      savedBy(headerField(bytes, trackerOffset, trackerLength), headerField(bytes, titleOffset, titleLength));
  FileView file{bytes, notes, version, tracker, *song_};
  for (std::size_t rule = 0; rule < rules_.size(); ++rule) {
    std::vector<std::string> where;
    rules_[rule]->examineFile(file, where);
    for (std::string& place : where) findings_.forFile(static_cast<int>(rule), std::move(place));
  }
}

void DifferenceFinder::afterTick(const TickCall& call) {
  tickInRow_ = call.rowTick ? 0 : tickInRow_ + 1;
  int count = playedChannelCount(*song_);
  int32_t rowFrames = song_->samplesPerTick * std::max(1, song_->speed);
  for (int c : TickView::Channels{count}) silentAhead_[c] = silentAhead(channels[c].voice, rowFrames);
  TickView view(*song_, before_, played_, silentAhead_, call.rowTick, tickInRow_, savedBy_);
  for (std::size_t rule = 0; rule < rules_.size(); ++rule) {
    heard_.entries_.clear();
    rules_[rule]->afterTick(view, heard_);
    for (const Heard::Entry& entry : heard_.entries_) {
      std::span<const CellPosition> cells(entry.cells.data(), entry.count);
      if (entry.passage != nullptr) cells = entry.passage->cells();
      if (cells.empty()) continue;
      if (entry.level) {
        int32_t& frames = levelFrames_[cellKey(static_cast<int>(rule), cells.front())];
        frames += song_->samplesPerTick;
        if (frames < levelHeardFrames) continue;
      }
      for (const CellPosition& cell : cells) findings_.atCell(static_cast<int>(rule), cell);
    }
  }
  for (int c : TickView::Channels{count}) {
    if (channels[c].updateFlags & Trigger) played_[c] = true;
  }
  mixTick();
  remember();
}

// Only the voices' positions matter here: where a sample has run out, its voice stops.
void DifferenceFinder::mixTick() {
  static float scratch[2 * mixChunkFrames];
  for (int32_t left = song_->samplesPerTick; left > 0; left -= mixChunkFrames)
    mixVoices(scratch, std::min(left, mixChunkFrames));
}

void DifferenceFinder::remember() {
  int count = playedChannelCount(*song_);
  for (int c : TickView::Channels{count}) {
    const Channel& channel = channels[c];
    const Voice* voice = channel.voice;
    before_[c] = {channel.period,
                  channel.volume,
                  channel.panning,
                  channel.fadeoutVolume,
                  channel.volumeOffset,
                  channel.keyOff,
                  channel.instrumentIndex,
                  channel.note,
                  channel.lastEffect,
                  channel.volumeEnvelopeState,
                  channel.panningEnvelopeState,
                  voice != nullptr ? voice->startOffset : 0,
                  voice != nullptr ? voice->volume : 0,
                  voiceSounds(voice)};
  }
}

}  // namespace vantor::tool
