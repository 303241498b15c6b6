// The cells of a song that vantor plays differently from trackers. vantor keeps the
// replay rules of the game's own player, and a few of them differ from what trackers
// play; a cell counts only where the difference can be heard. Most of these can only
// be known while playing (which sample a channel holds, whether a pattern loop ran
// before the pattern ends), so the song is replayed once, mixer included, and its
// channels are watched after every tick.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "loading/song.h"
#include "sequencer/channel.h"
#include "tick_watch.h"

namespace vantor::tool {

enum class CellRule : uint8_t {
  sampleOffsetBeyondLoopEnd,       // 9xx at or beyond the loop end while a sample sounds
  loopThenNaturalEnd,              // E6x looped back to a row other than 0, then the pattern ran out
  volumeColumnPortamentoWithNote,  // volume column Fx with a note of another pitch
  retriggerCountedPerRow,          // Rxy whose retriggers fall elsewhere when counted across rows
  retriggerZero,                   // E90 on a row that starts no note
  noteDelayWithoutInstrument,      // EDx without an instrument number, where the reset changes something
  glissandoBeforePortamento,       // E3x on, then a tone portamento that slides
  envelopePositionWithPanning,     // Lxx where the instrument has a panning envelope that moves
  instrumentWithoutNote,           // another instrument number without a note while a sample sounds
};
constexpr int cellRuleCount = 9;

struct CellPosition {
  int order;
  int row;
  int channel;  // counted from 0, as the trace shows them
};

// For each rule, the cells that meet it, each once, in the order they were first played.
using CellFindings = std::array<std::vector<CellPosition>, cellRuleCount>;

// The listener for measurePass: checks every channel after each tick, then mixes the
// tick's frames so that voices end when their samples run out, as they do in play.
class DifferenceFinder {
 public:
  explicit DifferenceFinder(Song* song) : song_(song) {}

  void afterTick(const TickCall& call);
  const CellFindings& findings() const { return findings_; }

 private:
  // A channel as the previous tick left it.
  struct ChannelBefore {
    int32_t period;
    int32_t volume;
    int32_t panning;
    int32_t fadeoutVolume;
    uint8_t keyOff;
    uint8_t instrumentIndex;
    EnvelopeState volumeEnvelope;
    EnvelopeState panningEnvelope;
  };
  // What trackers would do, tracked beside the replay.
  struct TrackerChannel {
    bool played;         // a note has started on the channel
    bool retriggerRow;   // the previous row ran Rxy
    int retriggerTicks;  // ticks since the note or the last retrigger, counted across rows
    bool glissando;      // E3x switched it on
    CellPosition glissandoCell;
  };
  struct PendingLoop {
    bool active;
    int order;
    int loopRow;
    CellPosition cell;
  };

  void checkRow();
  void checkEffectTick();
  void checkRetrigger(int channel, bool rowTick);
  void checkPatternLoop();
  void mixTick();
  void remember();
  void record(CellRule rule, CellPosition cell);
  CellPosition here(int channel) const;

  Song* song_;
  CellFindings findings_{};
  std::unordered_set<uint64_t> recorded_;
  std::array<ChannelBefore, channelTableSize> before_{};
  std::array<TrackerChannel, channelTableSize> tracker_{};
  PendingLoop pendingLoop_{};
  int tickInRow_ = 0;
};

}  // namespace vantor::tool
