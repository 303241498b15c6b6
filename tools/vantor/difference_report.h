// The part of vantor info that tells a composer where the song will sound different
// from trackers: each rule the song meets, where, and what each side plays.
#pragma once

#include <cstdint>

#include "loading/load_notes.h"
#include "tracker_differences.h"

namespace vantor::tool {

// Versions before this one store their parts in another layout, which vantor does not read.
constexpr uint16_t firstReadXmVersion = 0x0104;

// The section "sounds different from trackers", on standard output. version is the
// format version the file states.
void printTrackerDifferences(const CellFindings& cells, const LoadNotes& notes, uint16_t version);

// For a song the loader refused: the rule behind it, on standard error.
void explainRefusal(const LoadNotes& notes, uint16_t version);

}  // namespace vantor::tool
