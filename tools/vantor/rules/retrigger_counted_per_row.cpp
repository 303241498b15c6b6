// Trackers count the ticks of Rxy on from the note with Rxy, across rows, also across
// rows, notes and key-offs without the effect (the count waits there); after such a pause
// they finish the interval they started before they take a new y. So a retrigger may
// fall on a row tick or soon after an Rxy that follows a pause. vantor counts from each
// row tick and retriggers on effect ticks whose number is a multiple of y. Heard where
// the restart is: the sample's start sounds otherwise than where it plays (startHeard),
// the retrigger changes the volume, or it starts a volume envelope or a released note's
// fade again; a sample that is one loop from its start, at a steady level, only jumps in
// phase.
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr uint8_t unchangedVolume = 8;  // R0y and R8y leave the volume as it is

class RetriggerCountedPerRow : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "Rxy on from row to row",
        "vantor counts y ticks from each row's first tick and never retriggers on it",
        "trackers count on from the note with Rxy, also across rows without it",
        "give every Rxy row its own note"};
    return words;
  }

  // A retrigger in one only, followed within 50 ms by one in the other alone, is the same
  // restart a tick or two apart: not told from it. Heard once 50 ms pass without it.
  void afterTick(const TickView& view, Heard& heard) override {
    for (int c : view.channelIndices()) {
      Count& count = counts_[c];
      int alone = differs(view, c);
      if (count.pendingSide != 0) {
        count.pendingFrames += view.song().samplesPerTick;
        if (count.pendingFrames >= levelHeardFrames) {
          heard.at(count.pendingCell);
          count.pendingSide = 0;
        } else if (alone == -count.pendingSide) {
          count.pendingSide = 0;
          continue;
        }
      }
      if (alone != 0 && count.pendingSide == 0) {
        count.pendingSide = alone;
        count.pendingFrames = 0;
        count.pendingCell = view.here(c);
      }
    }
  }

 private:
  struct Count {
    bool counting;       // a note with Rxy has started a count
    bool keyedOff;       // a key-off since the count started
    bool retriggerRow;   // the previous row ran Rxy
    int retriggerTicks;  // ticks since the note or the last retrigger, counted across rows
    int interval;        // the y the count runs to, taken where it started
    bool released;       // a key-off since the last note: each restart starts its fade again
    int pendingSide;     // a heard retrigger in trackers alone (1) or vantor alone (-1), not yet matched
    int32_t pendingFrames;
    CellPosition pendingCell;
  };

  // 1 where trackers alone retrigger this tick, -1 where vantor alone does, 0 where both
  // or neither do or the restart would not be heard.
  int differs(const TickView& view, int c) {
    const NoteCell& cell = view.cell(c);
    const Channel& channel = view.channel(c);
    Count& count = counts_[c];
    bool rowTick = view.rowTick();
    // Released by a key-off until the next note (an instrument number alone leaves the
    // fade running in trackers).
    if (rowTick && cell.note == keyOffNote) count.released = true;
    if (rowTick && givesNote(cell)) count.released = false;
    if (rowTick && cell.note == keyOffNote) count.keyedOff = true;
    if (rowTick && cell.effect == effect::KeyOff) count.keyedOff = true;
    if (cell.effect != effect::MultiRetrig) {
      if (rowTick) count.retriggerRow = false;
      return 0;
    }
    if (rowTick) {
      // Across a key-off the players keep the count too, but where a released note
      // restarts after a pause, generated songs sound alike in all three: left out.
      bool carried = count.counting && !count.keyedOff;
      if (givesNote(cell) || !(count.retriggerRow || carried)) {
        count.counting = givesNote(cell);  // xmp starts no count without a note
        count.retriggerRow = true;
        count.keyedOff = false;
        count.retriggerTicks = 0;
        count.interval = channel.retrigInterval;
        return 0;
      }
      if (count.retriggerRow) count.interval = channel.retrigInterval;  // row after row: the row's y
      count.retriggerRow = true;
    }
    if (count.interval == 0) count.interval = channel.retrigInterval;
    bool trackerRetriggers = false;
    if (++count.retriggerTicks >= count.interval && count.interval != 0) {
      count.retriggerTicks = 0;
      count.interval = channel.retrigInterval;
      trackerRetriggers = true;
    }
    bool vantorRetriggers = !rowTick && (channel.updateFlags & Trigger);
    if (trackerRetriggers == vantorRetriggers || !view.played(c)) return 0;
    // A retrigger is heard where the note it starts again would sound, and its restart
    // sounds otherwise than playing on.
    ChannelSource source = selectSource(view.song(), channel);
    if (source.sample->length == 0 || channelLevel(channel, view.song()) < silentLevel) return 0;
    bool restartHeard = startHeard(view, c, *source.sample) ||
                        (channel.retrigVolumeChange != 0 && channel.retrigVolumeChange != unchangedVolume) ||
                        envelopeMoves(volumeEnvelope(*source.instrument)) || count.released;
    if (!restartHeard) return 0;
    return trackerRetriggers ? 1 : -1;
  }

  std::array<Count, channelTableSize> counts_{};
};

const RuleRegistration registered(make<RetriggerCountedPerRow>);

}  // namespace

}  // namespace vantor::tool::rules
