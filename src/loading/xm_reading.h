// The XM loader's pieces and the state they share while one module is read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "loading/byte_reader.h"
#include "loading/load_notes.h"
#include "loading/song.h"

namespace vantor {

// The player's channel table has 32 records; a file's further channels are read and dropped.
constexpr int maxStoredChannels = 32;

struct XmLoad {
  Song& song;
  ByteReader& reader;
  LoadNotes& notes;
  uint16_t fileChannelCount;  // channels as stored in the pattern data
  uint16_t filePatternCount;
};

// Every allocation of a load, zero-filled: std::calloc, and allocateSampleData for
// sample data. Null when memory runs out, or when a test asked (failLoadAllocation).
void* loadAllocation(std::size_t count, std::size_t size);
int16_t* loadSampleData(uint32_t length);

// Marks the load as refused; always returns false, for `return refuse(...)`.
bool refuse(XmLoad& load, LoadRefusal why);

// Reads the file's patterns and adds the empty ones the order table needs.
bool readPatterns(XmLoad& load);

// Reads the instruments with their samples. Only a sample count above 16 or a failed
// allocation refuse the song; a file that ends inside the list leaves the rest empty.
bool readInstruments(XmLoad& load);

}  // namespace vantor
