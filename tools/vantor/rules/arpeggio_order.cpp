// Arpeggio in vantor follows the tick counter from the row's start: x semitones on
// ticks 1, 4, 7, ..., y on ticks 2, 5, 8, ... Trackers count from the row's end, as
// FastTracker 2's tick counter runs down from the speed: at speed 6 they play y, x, the
// note, y, x; past the sixteenth tick they play another order. So the players play songs
// of FastTracker 2 and of OpenMPT; for other trackers' songs one of them plays the
// arpeggio as vantor does. Heard on a row whose order differs, while the note sounds,
// where a tick lasts 40 ms or more: shorter steps blend into one sound, whose order a
// listener does not follow (the comparison with the players, in 50 ms windows, hears it
// in a few songs; docs/compatibility.md says why it is not named).
#include "rule_support.h"

namespace vantor::tool::rules {

namespace {

constexpr int ticksInTrackersTable = 16;
constexpr double clearLevel = 0.1;         // -20 dB: a pitch clearly heard
constexpr int32_t stepHeardFrames = 1764;  // 40 ms

int semitones(uint8_t param, int phase) { return phase == 1 ? param >> 4 : phase == 2 ? param & 0x0F : 0; }

// Whether the two orders give another pitch on some tick of a row of rowTicks ticks. A
// pattern delay repeats the row's ticks in trackers and counts on in vantor.
bool orderDiffers(uint8_t param, int speed, int rowTicks) {
  if (speed <= 0) return false;
  for (int tick = 1; tick < rowTicks; ++tick) {
    int inRow = tick % speed;
    int trackersPhase = inRow == 0 ? 0 : (speed - inRow) % 3;
    if (semitones(param, tick % 3) != semitones(param, trackersPhase)) return true;
  }
  return false;
}

class ArpeggioOrder : public Rule {
 public:
  const RuleText& text() const override {
    static const RuleText words = {
        "0xy (arpeggio)", "vantor counts x, y and the note from the row's first tick",
        "trackers count them from the row's last tick (at speed 6: y, x, the note), and play another order "
        "past the sixteenth tick",
        "at a speed of 3, 6, 9, 12 or 15, write x and y the other way round"};
    return words;
  }

  void afterTick(const TickView& view, Heard& heard) override {
    if (!view.rowTick() || (view.savedBy() != SavedBy::fastTracker && view.savedBy() != SavedBy::openMpt))
      return;
    const Song& song = view.song();
    if (song.samplesPerTick < stepHeardFrames) return;
    int rowTicks = song.speed + song.patternDelayTicks;
    for (int c : view.channelIndices()) {
      const NoteCell& cell = view.cell(c);
      if (cell.effect != effect::Arpeggio || cell.effectParam == 0) continue;
      const Channel& channel = view.channel(c);
      // A note that fades out after its release hides its pitch in the mix.
      if ((orderDiffers(cell.effectParam, song.speed, rowTicks) || rowTicks > ticksInTrackersTable) &&
          soundsOn(view, c) && !channel.keyOff && channelLevel(channel, song) >= clearLevel)
        heard.at(view.here(c));
    }
  }
};

const RuleRegistration registered(make<ArpeggioOrder>);

}  // namespace

}  // namespace vantor::tool::rules
