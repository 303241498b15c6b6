// Builds a Song in memory for tests, in a few lines that read like a tracker pattern:
//
//   Song* song = SongBuilder()
//                    .channels(2)
//                    .instrument()
//                    .pattern(0, 4)
//                    .rows({"C-4 01 .. ... | ... .. .. D10",
//                           "... .. 30 A10 | ... .. .. ..."})
//                    .build();
//
// A cell is "note instrument volume effect", cells of a row are separated by '|':
// - note: "C-4", "C#4" (octave 0..7; C-4 is 0-based note 48), "===" key-off,
//   "..." or "---" no note;
// - instrument: two hex digits as in the file ("01"), ".." none;
// - volume: the raw volume-column byte in hex ("50" sets 64, "B4" vibrato depth 4,
//   "F2" tone portamento), ".." none;
// - effect: its letter or digit and two hex digits ("A10", "E62", "R03"), "..." none.
// Trailing fields may be left out. The song is allocated the way the loader does
// (calloc, allocateSampleData), so freeSong releases it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "loading/song.h"

namespace vantor::test {

struct SamplePlan {
  uint32_t length = 1024;
  uint32_t loopStart = 0;
  uint32_t loopLength = 0;  // 0: no loop (the sample then gets loopLength = length)
  uint8_t loopMode = LoopNone;
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint32_t panning = 128;
  int8_t relativeNote = 0;
};

struct EnvelopePlan {
  std::vector<std::pair<int, int>> points;  // (tick, value)
  int sustainPoint = -1;                    // -1: no sustain
  int loopStart = -1;                       // -1: no loop
  int loopEnd = -1;
};

class SongBuilder {
 public:
  SongBuilder& channels(int count);                      // default 1
  SongBuilder& speed(int ticksPerRow);                   // default 6
  SongBuilder& bpm(int beatsPerMinute);                  // default 125
  SongBuilder& amigaTable();                             // default: linear table
  SongBuilder& orders(std::vector<int> patternNumbers);  // default {0}
  SongBuilder& restartPosition(int position);            // default 0
  SongBuilder& globalVolume(int volume);                 // default 64

  // Makes pattern `number` current, with rowCount empty rows (replacing an earlier
  // description of it); row() and rows() fill it. Patterns named by the orders but
  // never described get 64 empty rows.
  SongBuilder& pattern(int number, int rowCount = 64);
  SongBuilder& rows(std::vector<std::string_view> texts);  // from row 0 on
  SongBuilder& row(int index, std::string_view text);

  // Adds the next instrument (numbered from 1). Every note maps to slot 0.
  SongBuilder& instrument(std::vector<SamplePlan> samples = {SamplePlan{}});
  // For the last instrument: notes first..last (0-based) use sample slot `slot`.
  SongBuilder& keymap(int firstNote, int lastNote, int slot);
  SongBuilder& volumeEnvelope(const EnvelopePlan& envelope);
  SongBuilder& panningEnvelope(const EnvelopePlan& envelope);
  SongBuilder& fadeout(int perTick);
  SongBuilder& autoVibrato(int type, int sweep, int depth, int rate);

  // A new song; release it with freeSong. Its tick handler is sequencerTick.
  Song* build() const;

 private:
  struct PatternPlan {
    int number;
    int rowCount;
    std::vector<std::pair<int, std::string>> rows;
  };
  struct InstrumentPlan {
    std::vector<SamplePlan> samples;
    std::vector<std::pair<std::pair<int, int>, int>> keymapRanges;
    EnvelopePlan volumeEnvelope;
    EnvelopePlan panningEnvelope;
    int fadeout = 0;
    int vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  };

  int channelCount_ = 1;
  int speed_ = 6;
  int bpm_ = 125;
  bool linear_ = true;
  std::vector<int> orders_ = {0};
  int restartPosition_ = 0;
  int globalVolume_ = 64;
  std::vector<PatternPlan> patterns_;
  std::vector<InstrumentPlan> instruments_;
};

// One cell from its text (format above).
NoteCell parseCell(std::string_view text);

// The cell of a built song, for cases that need bytes the text cannot say.
NoteCell& cellAt(Song& song, int pattern, int row, int channel);

}  // namespace vantor::test
