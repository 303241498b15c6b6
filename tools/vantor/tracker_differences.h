// The places where a song sounds different in vantor than in trackers. vantor keeps
// its own replay rules, which the game's songs were made for, and some of them differ from what
// trackers play; a place counts only where the difference can be heard.
//
// Each rule is one unit (tools/vantor/rules/): what it looks for, how it knows that the
// difference is heard, and its words. Most can only be known while playing (which
// sample a channel holds, whether a pattern loop ran before the pattern ends), so the
// song is replayed once, mixer included, and every rule is shown the channels after
// every tick. Rules of the loader look at the file once, before the replay.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "loading/load_notes.h"
#include "loading/song.h"
#include "sequencer/channel.h"
#include "tick_watch.h"

namespace vantor::tool {

// Versions before this one store their parts in another layout, which vantor does not read.
constexpr uint16_t firstReadXmVersion = 0x0104;

// The words of a rule, shared by info, check and the compatibility manual's table
// (vantor check --list-rules --markdown).
struct RuleText {
  const char* construct;   // what the composer wrote: "9xx beyond the sample's loop end"
  const char* vantorDoes;  // "vantor restarts the playing sample"
  const char* trackersDo;  // "trackers are silent"
  const char* sameInBoth;  // how to write it so that both play it alike
};

struct CellPosition {
  int order;
  int row;
  int channel;  // counted from 0, as the trace shows them
};

// The tracker a file says saved it. Trackers' players follow the tracker that saved a
// song in a few rules, so a few differences are heard only in songs of some trackers.
// FastTracker 2 pads the song's title with spaces; a file that gives its name with a
// title padded with zero bytes was saved by another program, and one of the players
// plays it as an older editor did, which in a few rules is as vantor plays.
enum class SavedBy : uint8_t { fastTracker, openMpt, otherAsFastTracker, other };

// From the tracker field and the title field of the module header, as stored.
SavedBy savedBy(const std::string& trackerField, const std::string& titleField);

// A channel as the previous tick left it (for the row tick: before the row).
struct ChannelBefore {
  int32_t period;
  int32_t volume;
  int32_t panning;
  int32_t fadeoutVolume;
  int32_t volumeOffset;
  uint8_t keyOff;
  uint8_t instrumentIndex;
  uint8_t note;
  uint8_t lastEffect;  // the effect of the row the tick played
  EnvelopeState volumeEnvelope;
  EnvelopeState panningEnvelope;
  uint32_t voiceStartOffset;  // an offset waiting on the channel's voice for its next trigger
  int32_t voiceVolume;
  bool sounding;  // its voice was heard
};

// What a rule sees after each tick: the song and its channels as the tick left them,
// and each channel as the tick before left it.
class TickView {
 public:
  TickView(Song& song, const std::array<ChannelBefore, channelTableSize>& before,
           const std::array<bool, channelTableSize>& played,
           const std::array<bool, channelTableSize>& silentAhead, bool rowTick, int tickInRow,
           SavedBy savedBy)
      : song_(song),
        before_(before),
        played_(played),
        silentAhead_(silentAhead),
        rowTick_(rowTick),
        tickInRow_(tickInRow),
        savedBy_(savedBy) {}

  Song& song() const { return song_; }
  bool rowTick() const { return rowTick_; }
  int tickInRow() const { return tickInRow_; }  // 0 on the row tick, counting on through a pattern delay
  int channelCount() const;
  // The channels the song plays, for the finder's and each rule's loop: a bound of its
  // own would be one more place to read past the channel tables. (Not std::views::iota:
  // the browser build's standard library lacks it.)
  struct Channels {
    struct Next {
      int c;
      int operator*() const { return c; }
      Next& operator++() {
        ++c;
        return *this;
      }
      bool operator!=(const Next& other) const { return c != other.c; }
    };
    int count;
    Next begin() const { return {0}; }
    Next end() const { return {count}; }
  };
  Channels channelIndices() const { return {channelCount()}; }
  const Channel& channel(int c) const { return channels[c]; }
  const NoteCell& cell(int c) const;
  const ChannelBefore& before(int c) const { return before_[c]; }
  // A note has started on the channel before this tick.
  bool played(int c) const { return played_[c]; }
  // The channel's sample plays on but holds only a near silence (below -40 dB) for about
  // a row from where it is: the quiet tail of a sample that does not loop.
  bool silentAhead(int c) const { return silentAhead_[c]; }
  CellPosition here(int c) const { return {song_.orderPosition, song_.row, c}; }
  SavedBy savedBy() const { return savedBy_; }

 private:
  Song& song_;
  const std::array<ChannelBefore, channelTableSize>& before_;
  const std::array<bool, channelTableSize>& played_;
  const std::array<bool, channelTableSize>& silentAhead_;
  bool rowTick_;
  int tickInRow_;
  SavedBy savedBy_;
};

// What a rule of the loader sees: the file as read, and what the loader noted.
struct FileView {
  const std::vector<uint8_t>& bytes;
  const LoadNotes& notes;
  uint16_t version;            // the format version the file states
  const std::string& tracker;  // the tracker name the file states
  const Song& song;
};

// One place where a rule is heard: a cell, or the whole file with a few words of
// where (for the loader's rules).
struct Finding {
  int rule;  // index into the finder's rules
  bool wholeFile;
  CellPosition cell;
  std::string where;  // wholeFile: "instrument 2 sample 0", "40 in the file"
};

class Findings {
 public:
  // Each cell once per rule; kept in the order first found.
  void atCell(int rule, CellPosition cell);
  void forFile(int rule, std::string where);
  const std::vector<Finding>& all() const { return all_; }

 private:
  std::vector<Finding> all_;
  std::unordered_set<uint64_t> recorded_;
};

// The cells of a passage that parts vantor from trackers, in the order played: the cell
// that starts it (or that set the memory it repeats) and each later cell that carries it
// on. A difference that builds up over a passage is named at all of them, from its
// start, so that a composer who edits the cells named removes the cause, not only the
// place where it is first heard.
class Passage {
 public:
  void add(CellPosition cell);  // once, however many ticks the cell plays
  void clear() { cells_.clear(); }
  bool empty() const { return cells_.empty(); }
  const std::vector<CellPosition>& cells() const { return cells_; }

 private:
  std::vector<CellPosition> cells_;
};

// Where a rule hears its difference, tick by tick. A note or a silence in one and not
// the other, a pitch or a retrigger is heard at once; a level or a panning apart only
// once it has lasted, on a cell's account (a passage's: on its first cell's), at least
// levelHeardFrames (shorter than a twentieth of a second, a listener does not tell a
// step in level from the notes around it).
class Heard {
 public:
  void at(CellPosition cell) { entries_.push_back({{cell}, 1, nullptr, false}); }
  void levelAt(CellPosition cell) { entries_.push_back({{cell}, 1, nullptr, true}); }
  // Heard at a cell that repeats what an earlier cell set (a memory): named at both.
  void at(CellPosition setBy, CellPosition here) { entries_.push_back({{setBy, here}, 2, nullptr, false}); }
  // Heard at every cell of the passage; nowhere while it has none.
  void at(const Passage& passage) { entries_.push_back({{}, 0, &passage, false}); }
  void levelAt(const Passage& passage) { entries_.push_back({{}, 0, &passage, true}); }

 private:
  friend class DifferenceFinder;
  struct Entry {
    std::array<CellPosition, 2> cells;
    std::size_t count;
    const Passage* passage;  // read before the rule's next tick
    bool level;
  };
  std::vector<Entry> entries_;
};

constexpr int32_t levelHeardFrames = 2205;

class Rule {
 public:
  virtual ~Rule() = default;
  virtual const RuleText& text() const = 0;
  // A rule of the loader: it acts on the whole file and names the file, not cells.
  virtual bool wholeFile() const { return false; }
  // Once, before the replay. The rules of the loader name the file here.
  virtual void examineFile(const FileView& /*file*/, std::vector<std::string>& /*where*/) {}
  // After every tick of the pass; records the cells where the rule is heard.
  virtual void afterTick(const TickView& /*view*/, Heard& /*heard*/) {}
};

using RuleFactory = std::unique_ptr<Rule> (*)();

// A rule's unit registers its factory with one of these at namespace scope.
struct RuleRegistration {
  explicit RuleRegistration(RuleFactory factory);
};

// A fresh instance of every registered rule, in a fixed order.
std::vector<std::unique_ptr<Rule>> makeRules();

// The listener for measurePass: shows every rule each tick, then mixes the tick's
// frames so that voices end when their samples run out, as they do in play.
class DifferenceFinder {
 public:
  explicit DifferenceFinder(Song* song);

  void examineFile(const std::vector<uint8_t>& bytes, const LoadNotes& notes, uint16_t version,
                   const std::string& tracker);
  void afterTick(const TickCall& call);

  const std::vector<std::unique_ptr<Rule>>& rules() const { return rules_; }
  const Findings& findings() const { return findings_; }

 private:
  void mixTick();
  void remember();

  Song* song_;
  std::vector<std::unique_ptr<Rule>> rules_;
  Findings findings_;
  std::array<ChannelBefore, channelTableSize> before_{};
  std::array<bool, channelTableSize> played_{};
  std::array<bool, channelTableSize> silentAhead_{};
  int tickInRow_ = 0;
  SavedBy savedBy_ = SavedBy::other;
  Heard heard_;
  std::unordered_map<uint64_t, int32_t> levelFrames_;  // per rule and cell, how long a level has differed
};

}  // namespace vantor::tool
