#include "difference_report.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vantor::tool {

namespace {

constexpr int positionsShown = 3;

struct RuleText {
  const char* construct;
  const char* difference;  // what vantor does, then what trackers do
};

// In the order of CellRule.
constexpr RuleText cellRuleTexts[cellRuleCount] = {
    {"9xx beyond the sample's loop end", "vantor restarts the playing sample, trackers are silent"},
    {"E6x loop followed by the pattern's natural end",
     "vantor starts the next pattern at row 0, trackers at the loop's first row"},
    {"volume-column tone portamento (Fx) with a note",
     "vantor jumps to the note at once, trackers slide to it"},
    {"Rxy on from row to row",
     "vantor counts y ticks from each row's first tick and never retriggers on it, trackers count on across "
     "rows from the note"},
    {"E90 without a note", "vantor does not retrigger, trackers restart the note"},
    {"EDx without an instrument number",
     "vantor resets volume, panning, envelopes and fadeout at the delayed note, trackers keep them"},
    {"E3x (glissando) before a tone portamento", "vantor slides smoothly, trackers slide in semitone steps"},
    {"Lxx with a panning envelope",
     "vantor moves only the volume envelope, trackers move the panning envelope too"},
    {"an instrument number without a note",
     "vantor gives the sample that plays on the new instrument's volume, envelopes and fadeout, trackers "
     "keep "
     "the playing instrument until the next note"},
};

std::string plural(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "order 0 row 6 channel 3, order 0 row 14 channel 3, ..."
std::string cellList(const std::vector<CellPosition>& cells) {
  std::string list;
  for (std::size_t i = 0; i < cells.size() && i < positionsShown; ++i) {
    if (i > 0) list += ", ";
    list += "order " + std::to_string(cells[i].order) + " row " + std::to_string(cells[i].row) + " channel " +
            std::to_string(cells[i].channel);
  }
  if (cells.size() > positionsShown) list += ", ...";
  return list;
}

std::string stereoList(const LoadNotes& notes) {
  std::string list;
  int kept = static_cast<int>(std::size(notes.firstStereoSamples));
  for (int i = 0; i < notes.stereoSamples && i < kept; ++i) {
    if (i > 0) list += ", ";
    // Instruments as the pattern numbers them, samples as their slot.
    list += "instrument " + std::to_string(notes.firstStereoSamples[i].instrument + 1) + " sample " +
            std::to_string(notes.firstStereoSamples[i].slot);
  }
  if (notes.stereoSamples > kept) list += ", ...";
  return list;
}

std::string versionText(uint16_t version) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02x", version >> 8, version & 0xFF);
  return text;
}

}  // namespace

void printTrackerDifferences(const CellFindings& cells, const LoadNotes& notes, uint16_t version) {
  std::vector<std::string> lines;
  for (int rule = 0; rule < cellRuleCount; ++rule) {
    const std::vector<CellPosition>& found = cells[rule];
    if (found.empty()) continue;
    lines.push_back(std::string(cellRuleTexts[rule].construct) + ": " +
                    plural(static_cast<int>(found.size()), "cell", "cells") + " (" + cellList(found) +
                    ") — " + cellRuleTexts[rule].difference);
  }
  if (notes.stereoSamples > 0) {
    lines.push_back(
        "stereo samples: " + plural(notes.stereoSamples, "sample", "samples") + " (" + stereoList(notes) +
        ") — vantor plays both channels one after the other as one mono sample, trackers play them "
        "in stereo");
  }
  if (notes.channelsLimited) {
    lines.push_back("more than 32 channels: " + std::to_string(notes.channelCountFromFile) +
                    " in the file — vantor plays the first 32, trackers that write more play them all");
  }
  if (version < firstReadXmVersion) {
    lines.push_back("XM version older than 1.04: " + versionText(version) +
                    " — vantor reads every file in the layout of 1.04, trackers also read the older layouts");
  }
  if (lines.empty()) {
    std::printf(
        "sounds different from trackers: none — the song plays as trackers play it, as far as these "
        "rules go\n");
    return;
  }
  std::printf("sounds different from trackers:\n");
  for (const std::string& line : lines) std::printf("  %s\n", line.c_str());
}

void explainRefusal(const LoadNotes& notes, uint16_t version) {
  if (notes.refusal == LoadRefusal::TooManySamples) {
    std::fprintf(stderr,
                 "vantor: an instrument holds at most 16 samples here; trackers that write more play them "
                 "(keep every instrument at 16 samples or fewer)\n");
  }
  if (version < firstReadXmVersion) {
    std::fprintf(stderr,
                 "vantor: the file is XM version %s; vantor reads only the layout of version 1.04, trackers "
                 "also read the older layouts (save the song again in a current tracker)\n",
                 versionText(version).c_str());
  }
}

}  // namespace vantor::tool
