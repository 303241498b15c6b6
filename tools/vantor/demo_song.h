// The built-in demo song, composed in code and serialised as XM bytes, so that every
// command can run on it without a file (--demo).
#pragma once

#include <cstdint>
#include <vector>

std::vector<uint8_t> demoSongBytes();
