// The built-in demo song of the command-line tool: a short synth-pop piece in A minor
// composed in code, with synthesized instruments, serialised as the bytes of an XM file
// so that it goes through the same loader as any song.
#pragma once

#include <cstdint>
#include <vector>

namespace vantor::demo {

// The demo song as XM file bytes; the same bytes on every call.
std::vector<uint8_t> demoSongBytes();

}  // namespace vantor::demo
