// How info and check tell a composer where the song will sound different from
// trackers: each rule the song meets, where, what each side plays, and how to write
// it so that both play it alike. Both take the words from the rules themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "loading/load_notes.h"
#include "tracker_differences.h"

namespace vantor::tool {

// info's section "sounds different from trackers", on standard output: one line per
// rule, with the number of cells and the first three.
void printTrackerDifferences(const DifferenceFinder& finder);

// check's lines, on standard output, one per finding:
//   SONG:order:row:channel: construct: what vantor does; what trackers do
//   SONG: construct (where): what vantor does; what trackers do   (for the whole file)
// Returns the number of lines.
int printCheckFindings(const std::string& song, const DifferenceFinder& finder);

// The rules behind a refusal that trackers would not make ("an instrument with more
// than 16 samples: vantor refuses the whole file; ..."), one text each; none when
// trackers refuse it too.
std::vector<std::string> refusalDifferences(const LoadNotes& notes, uint16_t version);

// check --list-rules: every rule, one line each ("construct: what vantor does; what
// trackers do; to sound the same in both: ..."), or, for the compatibility manual, as
// a Markdown table. The rules of the loader are marked "(for the file)", its refusals
// "(the refusal)".
void printRuleList(bool markdown);

}  // namespace vantor::tool
