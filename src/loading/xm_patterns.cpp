// The XM loader's patterns: pattern headers, cell unpacking, and the empty patterns
// that order entries beyond the file's patterns refer to.
#include "loading/xm_reading.h"

namespace vantor {

namespace {

constexpr uint8_t keyOffInFile = 97;
constexpr uint8_t keyOff = 255;
constexpr uint8_t highestInstrument = 128;
constexpr uint32_t emptyPatternRows = 64;
// Every pattern kept costs rows x channels x 5 bytes, data or not; a file of 9-byte
// empty pattern headers could otherwise ask for hundreds of gigabytes.
constexpr uint64_t patternCellBudgetBytes = uint64_t{64} << 20;

// Mask bits of a packed cell's first byte.
constexpr uint8_t packedCell = 0x80;
constexpr uint8_t hasNote = 0x01;
constexpr uint8_t hasInstrument = 0x02;
constexpr uint8_t hasVolume = 0x04;
constexpr uint8_t hasEffect = 0x08;
constexpr uint8_t hasEffectParam = 0x10;

NoteCell readCell(ByteReader& reader) {
  NoteCell cell{};
  uint8_t first = reader.u8();
  if (first & packedCell) {
    if (first & hasNote) cell.note = reader.u8();
    if (first & hasInstrument) cell.instrument = reader.u8();
    if (first & hasVolume) cell.volume = reader.u8();
    if (first & hasEffect) cell.effect = reader.u8();
    if (first & hasEffectParam) cell.effectParam = reader.u8();
  } else {
    cell.note = first;
    cell.instrument = reader.u8();
    cell.volume = reader.u8();
    cell.effect = reader.u8();
    cell.effectParam = reader.u8();
  }
  if (cell.note == keyOffInFile) cell.note = keyOff;
  if (cell.instrument > highestInstrument) cell.instrument = 0;
  return cell;
}

// Allocates the cells of one pattern within the song-wide budget.
bool allocateCells(XmLoad& load, Pattern& pattern, uint32_t rowCount, uint64_t& budgetUsed) {
  uint64_t cellCount = uint64_t{rowCount} * static_cast<uint64_t>(load.song.channelCount);
  budgetUsed += cellCount * sizeof(NoteCell);
  if (budgetUsed > patternCellBudgetBytes) return refuse(load, LoadRefusal::PatternsTooLarge);
  pattern.rowCount = rowCount;
  if (cellCount == 0) return true;  // a song of 0 channels has patterns without cells
  pattern.cells = static_cast<NoteCell*>(loadAllocation(cellCount, sizeof(NoteCell)));
  if (pattern.cells == nullptr) return refuse(load, LoadRefusal::OutOfMemory);
  return true;
}

// Unpacks rowCount rows of the file's channels, keeping the first channelCount of each
// row. The packed size does not say where the data ends; the last cell does.
void unpackCells(XmLoad& load, Pattern& pattern) {
  ByteReader& reader = load.reader;
  int storedChannels = load.song.channelCount;
  NoteCell* cell = pattern.cells;
  for (uint32_t row = 0; row < pattern.rowCount && !reader.ranShort(); ++row) {
    for (int channel = 0; channel < load.fileChannelCount; ++channel) {
      NoteCell value = readCell(reader);
      if (channel < storedChannels) *cell++ = value;
    }
  }
}

bool readFilePattern(XmLoad& load, Pattern& pattern, uint64_t& budgetUsed) {
  ByteReader& reader = load.reader;
  reader.u32();  // header length: the header is always taken to be 9 bytes
  reader.u8();   // packing type
  uint32_t rowCount = reader.u16();
  uint16_t packedSize = reader.u16();
  if (reader.ranShort()) return refuse(load, LoadRefusal::PatternCut);

  // Rows are played from 0 upwards, so a pattern needs at least one; 0 rows become the
  // usual empty pattern, and no cells are read for it.
  bool hasCells = packedSize != 0 && rowCount != 0;
  if (rowCount == 0) {
    rowCount = emptyPatternRows;
    ++load.notes.zeroRowPatterns;
  }
  // Every cell takes at least one byte, so more cells than bytes left cannot be there.
  if (hasCells && int64_t{rowCount} * load.fileChannelCount > reader.remaining()) {
    return refuse(load, LoadRefusal::PatternCut);
  }
  if (!allocateCells(load, pattern, rowCount, budgetUsed)) return false;
  if (!hasCells) return true;
  unpackCells(load, pattern);
  if (reader.ranShort()) return refuse(load, LoadRefusal::PatternCut);
  return true;
}

}  // namespace

bool readPatterns(XmLoad& load) {
  Song& song = load.song;
  // Every order entry the song can reach must name an existing pattern.
  int span = 0;
  for (int position = 0; position < song.songLength; ++position) {
    if (song.orders[position] >= span) span = song.orders[position] + 1;
  }
  song.orderPatternSpan = span;
  int patternCount = load.filePatternCount > span ? load.filePatternCount : span;
  song.patterns = static_cast<Pattern*>(loadAllocation(patternCount, sizeof(Pattern)));
  if (song.patterns == nullptr) return refuse(load, LoadRefusal::OutOfMemory);
  song.patternCount = patternCount;

  uint64_t budgetUsed = 0;
  for (int index = 0; index < load.filePatternCount; ++index) {
    if (!readFilePattern(load, song.patterns[index], budgetUsed)) {
      load.notes.refusedPattern = index;
      return false;
    }
  }
  for (int index = load.filePatternCount; index < span; ++index) {
    if (!allocateCells(load, song.patterns[index], emptyPatternRows, budgetUsed)) return false;
    ++load.notes.emptyPatternsAdded;
  }
  return true;
}

}  // namespace vantor
