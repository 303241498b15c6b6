#include "tracker_differences.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

SavedBy savedBy(const std::string& trackerName) {
  std::string name = trackerName;
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (name.starts_with("fasttracker")) return SavedBy::fastTracker;
  if (name.starts_with("openmpt")) return SavedBy::openMpt;
  return SavedBy::other;
}

int TickView::channelCount() const { return playedChannelCount(song_); }

const NoteCell& TickView::cell(int c) const { return currentCell(song_, c); }

void Findings::atCell(int rule, CellPosition cell) {
  uint64_t key = uint64_t{static_cast<uint8_t>(rule)} << 56 |
                 uint64_t{static_cast<uint32_t>(cell.order) & 0xFFFF} << 40 |
                 uint64_t{static_cast<uint32_t>(cell.row)} << 8 | static_cast<uint8_t>(cell.channel);
  if (recorded_.insert(key).second) all_.push_back({rule, false, cell, {}});
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
  savedBy_ = savedBy(tracker);
  FileView file{bytes, notes, version, tracker, *song_};
  for (std::size_t rule = 0; rule < rules_.size(); ++rule) {
    std::vector<std::string> where;
    rules_[rule]->examineFile(file, where);
    for (std::string& place : where) findings_.forFile(static_cast<int>(rule), std::move(place));
  }
}

void DifferenceFinder::afterTick(const TickCall& call) {
  tickInRow_ = call.rowTick ? 0 : tickInRow_ + 1;
  TickView view(*song_, before_, played_, call.rowTick, tickInRow_, savedBy_);
  for (std::size_t rule = 0; rule < rules_.size(); ++rule) {
    heard_.clear();
    rules_[rule]->afterTick(view, heard_);
    for (const CellPosition& cell : heard_) findings_.atCell(static_cast<int>(rule), cell);
  }
  int count = playedChannelCount(*song_);
  for (int c = 0; c < count; ++c) {
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
  for (int c = 0; c < count; ++c) {
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
