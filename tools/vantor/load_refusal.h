// Why the loader gave no song, in the tool's words and with its exit code: the same
// reason whether the song came from a file, the demo song or a web page's bytes.
#pragma once

#include <string>

#include "loading/load_notes.h"

namespace vantor::tool {

struct Refusal {
  int exitCode;
  std::string reason;  // "the loader refuses 'a.xm':\n  refused: ..."
};

// From the notes of the load that failed; `name` is how the song is named in the
// reason ("'a.xm'", "the demo song").
Refusal refusalOf(const LoadNotes& notes, const std::string& name);

}  // namespace vantor::tool
