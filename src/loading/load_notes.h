// What the last load had to refuse, limit or repair. The loader normalises values a
// player could not use instead of refusing the file; these notes let a tool show
// what it changed. Filled by every loadSong / loadXmModule, read with lastLoadNotes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor {

// Why a load was refused; None for a load that succeeded.
enum class LoadRefusal : uint8_t {
  None,
  CannotOpen,         // the source could not be opened
  SizeUnknown,        // the source could not tell its size
  NotExtendedModule,  // the 17-byte ID is missing or different
  HeaderCut,          // the module header or order table ends early, or the first pattern lies past the end
  PatternCut,         // a pattern header or its data ends early
  PatternsTooLarge,   // the patterns would need more than the song-wide cell budget
  TooManySamples,     // an instrument declares more than 16 samples
  OutOfMemory,        // an allocation failed
};

struct LoadNotes {
  LoadRefusal refusal;
  int refusedPattern;     // the file pattern at which the load was refused; -1 otherwise
  int refusedInstrument;  // TooManySamples: the instrument's index; -1 otherwise

  // Header values replaced; the *FromFile fields hold what the file said.
  bool songLengthLimited;  // outside 1..256
  uint16_t songLengthFromFile;
  bool restartPositionReset;  // at or beyond the song length: 0 instead
  uint16_t restartPositionFromFile;
  bool channelsLimited;  // more than 32 channels: only 0..31 are kept
  uint16_t channelCountFromFile;
  bool bpmReplaced;  // 0 or negative: 125 instead
  int16_t defaultBpmFromFile;
  bool instrumentCountNegative;  // 0x8000 or more reads as negative: no instruments

  int emptyPatternsAdded;  // patterns named by the order table beyond the file's patterns
  int zeroRowPatterns;     // patterns of 0 rows, kept as 64 empty rows

  // The file ends inside the instrument list: instruments from this index on are empty.
  int instrumentsCutAt;  // -1 when every instrument was read whole
  int instrumentsCut;

  int samplesShortened;      // sample data that ran out at the end of the file
  int sampleLengthsLimited;  // declared lengths of 2^30 values or more
  int loopsClamped;          // loops reaching beyond their sample, made to fit or removed
  int envelopesLimited;      // point counts above 12, indexes above 12 or values above 64

  // Samples whose type byte carries the stereo bit: their data is read as one mono
  // sample, both channels one after the other. Not a repair, so describeLoadNotes
  // leaves it out; a tool names the first few (0-based instrument index and slot).
  int stereoSamples;
  struct SampleSlot {
    int instrument;
    int slot;
  } firstStereoSamples[3];
};

// The notes of the most recent load (all clear before the first one).
const LoadNotes& lastLoadNotes();

// Writes one line per note, in plain words, into text (NUL-terminated, cut to fit).
// Returns the length the full text needs, without the NUL.
std::size_t describeLoadNotes(const LoadNotes& notes, char* text, std::size_t capacity);

// For the loader: clears the notes at the start of a load and hands them out to fill.
LoadNotes& beginLoadNotes();

}  // namespace vantor
