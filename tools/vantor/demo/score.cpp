// The demo song's score: a synth-pop piece in A minor at 125 beats per minute, one
// row per sixteenth note, 16 rows to the bar and one chord per bar.
//
//   order 0  intro    Am F C G   pad and arpeggio, hats and bass come in, snare build
//   order 1  verse    Am F C G   drums, bass riff, arpeggio, pad, flute counter-melody
//   order 2  verse    Am F C G   the same with the lead melody
//   order 3  chorus   F G Em Am  lead with a ping-pong echo, octave bass, open hats
//   order 4  break    F G F G E  half time, looped twice, then a snare-roll build
//   order 5  chorus
//   order 6  outro    Am F G Am  slows down and fades out
//
// The song restarts at the first verse, which puts tempo, speed and global volume back.
#include <string>
#include <string_view>
#include <utility>

#include "vantor/demo/demo_parts.h"
#include "vantor/demo/pattern_writer.h"

namespace vantor::demo {
namespace {

constexpr int barRows = 16;

struct Chord {
  std::string_view bass;  // root in the bass octave
  std::string_view pad;   // root of the root-and-fifth pad
  std::string_view chip;  // root of the arpeggio
  uint8_t arpeggio;       // semitones of the third and fifth: 0x37 minor, 0x47 major
};

constexpr Chord Am{"A-2", "A-3", "A-4", 0x37};
constexpr Chord F{"F-2", "F-3", "F-4", 0x47};
constexpr Chord C{"C-3", "C-4", "C-5", 0x47};
constexpr Chord G{"G-2", "G-3", "G-4", 0x47};
constexpr Chord Em{"E-2", "E-3", "E-4", 0x37};
constexpr Chord E{"E-2", "E-3", "E-4", 0x47};

// A riff written with R for the chord's bass note and O for the octave above it.
std::string bassLine(std::string_view riff, const Chord& chord) {
  std::string octave(chord.bass);
  ++octave[2];
  std::string line;
  for (char symbol : riff) {
    if (symbol == 'R')
      line += chord.bass;
    else if (symbol == 'O')
      line += octave;
    else
      line += symbol;
  }
  return line;
}

// Rhythms of one bar.
constexpr std::string_view fourOnTheFloor = "x...x...x...x...";
constexpr std::string_view backbeat = "....x.......x...";
constexpr std::string_view backbeatWithGhost = "....x.......x.g.";
constexpr std::string_view threeThreeTwo = "x..x..x.x..x..x.";

// Drum hits. Ghost snares start 2048 frames into the sample, where only the wires ring;
// closed hats are the open hat cut short.
const Hit kickHit{'x', "C-4", Kick};
const Hit snareHit{'x', "C-4", Snare};
const Hit ghostSnare{'g', "C-4", Snare, setVolume(22), SampleOffset, 0x08};
const Hit flamSnare{'d', "C-4", Snare, setVolume(34), Extended, NoteDelay | 3};
const Hit closedHat{'c', "C-4", Hat, 0, Extended, NoteCut | 1};
const Hit softHat{'s', "C-4", Hat, setVolume(20), Extended, NoteCut | 1};
const Hit shortHat{'o', "C-4", Hat, setVolume(30), Extended, NoteCut | 3};
const Hit openHat{'O', "C-4", Hat, setVolume(28)};

void chordBar(PatternWriter& w, int bar, const Chord& chord) {
  w.note(PadTrack, bar * barRows, chord.pad, Pad);
}

// The arpeggio sounds the chord on every tick, so it runs on every row of the bar.
void arpeggioBar(PatternWriter& w, int bar, const Chord& chord, std::string_view rhythm, uint8_t volume) {
  int first = bar * barRows;
  for (int row = first; row < first + barRows; ++row) w.effect(ChipTrack, row, Arpeggio, chord.arpeggio);
  w.drumLine(ChipTrack, first, rhythm, {{'x', chord.chip, Chip, volume}});
}

void verseDrums(PatternWriter& w) {
  for (int bar = 0; bar < 4; ++bar) {
    int row = bar * barRows;
    w.drumLine(KickTrack, row, bar == 3 ? "x...x...x.x.x.x." : fourOnTheFloor, {kickHit});
    w.drumLine(HatTrack, row, "csoscsoscsoscsOs", {closedHat, softHat, shortHat, openHat});
  }
  w.drumLine(SnareTrack, 0, backbeat, {snareHit});
  w.drumLine(SnareTrack, 16, backbeatWithGhost, {snareHit, ghostSnare});
  w.drumLine(SnareTrack, 32, backbeat, {snareHit});
  w.drumLine(SnareTrack, 48, "....x...x.gdx.xx", {snareHit, ghostSnare, flamSnare});
}

// The first verse alone, or the second with the lead; both start by putting back what
// the outro changed, since the song restarts at the first verse.
xm::XmPattern verse(bool withLead) {
  PatternWriter w(64);
  w.effect(KickTrack, 0, SetGlobalVolume, 64);
  w.effect(SnareTrack, 0, SetSpeed, 6);
  w.effect(BassTrack, 0, SetSpeed, 125);
  verseDrums(w);
  const Chord chords[] = {Am, F, C, G};
  for (int bar = 0; bar < 4; ++bar) {
    w.phrase(BassTrack, bar * barRows, bassLine("R:2 ==:1 R:2 ==:1 R:2 O:2 R:2 R:2 O:2", chords[bar]), Bass);
    arpeggioBar(w, bar, chords[bar], threeThreeTwo, setVolume(20));
    chordBar(w, bar, chords[bar]);
  }
  uint8_t fluteVolume = setVolume(withLead ? 24 : 34);
  w.phrase(EchoTrack, 0, "E-4:6 D-4:2 C-4:8 C-4:6 D-4:2 F-4:8 E-4:6 F-4:2 G-4:8 D-4:6 B-3:2 D-4:4 ==:4",
           Flute, fluteVolume);
  if (withLead) {
    w.phrase(LeadTrack, 0,
             "A-4:2 C-5:2 E-5:4 D-5:2 C-5:2 D-5:4 "
             "C-5:4 A-4:4 F-4:2 A-4:2 C-5:4 "
             "G-4:2 C-5:2 E-5:4 G-5:4 E-5:4 "
             "D-5:6 B-4:2 G-4:4 A-4:2 B-4:2",
             Lead);
    for (int row = 50; row < 54; ++row) w.effect(LeadTrack, row, Vibrato, 0x52);
  }
  return w.take();
}

xm::XmPattern intro() {
  PatternWriter w(64);
  const Chord chords[] = {Am, F, C, G};
  for (int bar = 0; bar < 4; ++bar) {
    arpeggioBar(w, bar, chords[bar], threeThreeTwo, setVolume(bar == 0 ? 12 : 18));
    chordBar(w, bar, chords[bar]);
  }
  // The pad swells in from almost nothing.
  w.volume(PadTrack, 0, setVolume(6));
  for (int row = 1; row < 8; ++row) w.volume(PadTrack, row, volumeSlideUp(1));
  // Hats in eighths, then sixteenths; the bass comes in and dives into the verse.
  w.drumLine(HatTrack, 32, "c.o.c.o.c.o.c.o.", {closedHat, shortHat});
  w.drumLine(HatTrack, 48, "cscscscscscscsOs", {closedHat, softHat, openHat});
  w.phrase(BassTrack, 32, "C-3:14 ==:2 G-2:6 ==:2 G-2:4 G-2:4", Bass);
  for (int row = 61; row < 64; ++row) w.effect(BassTrack, row, PortamentoDown, 0x08);
  w.drumLine(KickTrack, 48, "x...x...x...x.x.", {kickHit});
  // A snare build: eighths, sixteenths, then retriggered thirty-seconds, growing louder.
  w.drumLine(SnareTrack, 52, "x...x.x.xxxx", {snareHit});
  for (int row = 52; row < 64; ++row) w.volume(SnareTrack, row, setVolume(20 + (row - 52) * 3));
  for (int row = 62; row < 64; ++row) w.effect(SnareTrack, row, Extended, Retrigger | 3);
  return w.take();
}

xm::XmPattern chorus() {
  PatternWriter w(64);
  const Chord chords[] = {F, G, Em, Am};
  for (int bar = 0; bar < 4; ++bar) {
    int row = bar * barRows;
    w.drumLine(KickTrack, row, fourOnTheFloor, {kickHit});
    w.drumLine(SnareTrack, row, bar == 3 ? "....x.......x.xx" : backbeat, {snareHit});
    w.drumLine(HatTrack, row, "s.O.s.O.s.O.s.Os", {softHat, openHat});
    w.phrase(BassTrack, row, bassLine("R:2 O:2 R:2 O:2 R:2 O:2 R:2 O:2", chords[bar]), Bass);
    arpeggioBar(w, bar, chords[bar], "x.xx.xx.x.xx.xx.", setVolume(16));
    chordBar(w, bar, chords[bar]);
  }
  // A crash on the one: the hat, lower and left of centre, left to ring.
  w.note(HatTrack, 0, "G-3", Hat, setVolume(40));
  w.effect(HatTrack, 0, Extended, SetPanningCoarse | 6);

  w.phrase(LeadTrack, 0,
           "C-5:2 F-5:2 A-5:4 G-5:2 F-5:2 E-5:2 F-5:2 "
           "G-5:6 D-5:2 B-4:2 D-5:2 G-5:4 "
           "E-5:4 G-5:4 B-5:4 A-5:2 G-5:2",
           Lead);
  for (int row = 17; row < 22; ++row) w.effect(LeadTrack, row, Vibrato, 0x62);
  // Slides up from G to the long A, which sings with vibrato, then fades.
  w.note(LeadTrack, 48, "A-5", 0);
  w.effect(LeadTrack, 48, TonePortamento, 0x08);
  for (int row = 50; row < 56; ++row) w.effect(LeadTrack, row, Vibrato, 0x62);
  for (int row = 56; row < 60; ++row) w.effect(LeadTrack, row, VibratoVolumeSlide, 0x01);
  w.keyOff(LeadTrack, 60);

  // The echo: the lead three rows later, quieter, bouncing between left and right.
  bool left = true;
  for (int row = 0; row + 3 < 64; ++row) {
    const xm::XmCell& source = w.cell(LeadTrack, row);
    if (source.note == 0) continue;
    if (source.note == keyOffNote) {
      w.keyOff(EchoTrack, row + 3);
      continue;
    }
    xm::XmCell& echo = w.cell(EchoTrack, row + 3);
    echo = {.note = source.note, .instrument = Lead, .volume = setVolume(16)};
    w.effect(EchoTrack, row + 3, SetPanning, left ? 0x30 : 0xD0);
    left = !left;
  }
  return w.take();
}

// Two bars in half time, played twice by a pattern loop, then one bar that builds up
// to the chorus on the dominant chord.
xm::XmPattern breakdown() {
  PatternWriter w(48);
  w.effect(SnareTrack, 0, Extended, PatternLoop | 0);
  w.effect(SnareTrack, 31, Extended, PatternLoop | 1);
  const Chord chords[] = {F, G};
  for (int bar = 0; bar < 2; ++bar) {
    int row = bar * barRows;
    w.drumLine(KickTrack, row, "x.........x.....", {kickHit});
    w.drumLine(SnareTrack, row, "........x.......", {snareHit});
    arpeggioBar(w, bar, chords[bar], threeThreeTwo, setVolume(14));
    chordBar(w, bar, chords[bar]);
    for (int r = row; r < row + barRows; ++r) w.effect(PadTrack, r, Tremolo, 0x64);
  }
  // Hats that alternate between the sides.
  for (int row = 0; row < 32; row += 2) {
    w.note(HatTrack, row, "C-4", Hat, panTo(row % 4 == 0 ? 4 : 12));
    w.effect(HatTrack, row, Extended, NoteCut | 1);
  }
  // The bass glides from F up to G.
  w.note(BassTrack, 0, "F-2", Bass);
  w.note(BassTrack, 16, "G-2", 0);
  w.effect(BassTrack, 16, TonePortamento, 0x10);
  w.keyOff(BassTrack, 29);
  // The flute sweeps from right to left and back; its notes after the first come without
  // an instrument, which would put the panning back.
  w.phrase(EchoTrack, 0, "A-4:8", Flute, setVolume(32));
  w.note(EchoTrack, 8, "C-5", 0);
  w.note(EchoTrack, 16, "B-4", 0);
  w.note(EchoTrack, 24, "D-5", 0);
  for (int row = 0; row < 32; ++row) w.effect(EchoTrack, row, PanningSlide, row < 16 ? 0x02 : 0x20);
  w.keyOff(EchoTrack, 31);

  // The build on E: four on the floor, the bass in eighths, a rising lead, and a snare
  // roll from eighths to thirty-seconds (multi-retrigger, then retrigger) getting louder.
  w.drumLine(KickTrack, 32, "x...x...x...x.x.", {kickHit});
  w.phrase(BassTrack, 32, "E-2:2 E-2:2 E-2:2 E-2:2 E-2:2 E-2:2 E-2:2 E-3:1 ==:1", Bass);
  arpeggioBar(w, 2, E, "x.x.x.x.x.x.x.x.", setVolume(16));
  chordBar(w, 2, E);
  w.drumLine(SnareTrack, 32, "x.x.x.x.xxxxxxxx", {snareHit});
  for (int row = 32; row < 48; ++row) w.volume(SnareTrack, row, setVolume(18 + (row - 32) * 2));
  for (int row = 40; row < 44; ++row) w.effect(SnareTrack, row, MultiRetrigger, 0xA3);
  for (int row = 44; row < 48; ++row) w.effect(SnareTrack, row, Extended, Retrigger | 3);
  w.note(LeadTrack, 32, "E-4", Lead, setVolume(12));
  for (int row = 32; row < 47; ++row) {
    w.effect(LeadTrack, row, PortamentoUp, 0x02);
    if (row > 32) w.volume(LeadTrack, row, volumeSlideUp(1));
  }
  w.keyOff(LeadTrack, 47);
  return w.take();
}

// The last phrase slows down over its last two bars while everything fades out.
xm::XmPattern outro() {
  PatternWriter w(64);
  const Chord chords[] = {Am, F, G, Am};
  for (int bar = 0; bar < 4; ++bar) {
    chordBar(w, bar, chords[bar]);
    if (bar < 3) arpeggioBar(w, bar, chords[bar], threeThreeTwo, setVolume(16));
  }
  for (int bar = 0; bar < 2; ++bar) {
    int row = bar * barRows;
    w.drumLine(KickTrack, row, fourOnTheFloor, {kickHit});
    w.drumLine(SnareTrack, row, backbeat, {snareHit});
    w.drumLine(HatTrack, row, "csoscsoscsoscsOs", {closedHat, softHat, shortHat, openHat});
    w.phrase(BassTrack, row, bassLine("R:2 ==:1 R:2 ==:1 R:2 O:2 R:2 R:2 O:2", chords[bar]), Bass);
  }
  w.drumLine(HatTrack, 32, "c.o.c.o.c.o.c.O.", {closedHat, shortHat, openHat});
  for (int row : {32, 48}) w.note(KickTrack, row, "C-4", Kick);
  w.phrase(BassTrack, 32, "G-2:14 ==:2 A-2:12 ==:4", Bass);
  w.note(HatTrack, 48, "G-3", Hat, setVolume(32));

  w.phrase(LeadTrack, 0,
           "A-4:2 C-5:2 E-5:4 D-5:2 C-5:2 B-4:4 "
           "C-5:4 A-4:4 F-4:4 A-4:4 "
           "B-4:4 D-5:4 G-5:8 "
           "A-5:12",
           Lead);
  for (int row = 42; row < 48; ++row) w.effect(LeadTrack, row, Vibrato, 0x52);
  for (int row = 50; row < 58; ++row) w.effect(LeadTrack, row, Vibrato, 0x62);
  for (int row = 58; row < 61; ++row) w.effect(LeadTrack, row, PortamentoDown, 0x03);
  w.keyOff(LeadTrack, 61);
  w.phrase(EchoTrack, 0, "E-4:16 C-4:16 D-4:16 E-4:12 ==:4", Flute, setVolume(26));

  // The last chord: the arpeggio drifts to the right and is released, the pad fades.
  w.note(ChipTrack, 48, "A-4", Chip, setVolume(18));
  for (int row = 48; row < 60; ++row) w.effect(ChipTrack, row, Arpeggio, 0x37);
  for (int row = 49; row < 60; ++row) w.volume(ChipTrack, row, panSlideRight(2));
  w.effect(ChipTrack, 60, KeyOffEffect, 0);
  for (int row = 56; row < 64; ++row) w.effect(PadTrack, row, VolumeSlide, 0x01);
  w.keyOff(PadTrack, 60);

  // Ritardando, then the fade of the global volume.
  const std::pair<int, uint8_t> tempos[] = {{40, 118}, {44, 110}, {48, 100}, {52, 92}, {56, 84}, {60, 8}};
  for (auto [row, value] : tempos) w.effect(SnareTrack, row, SetSpeed, value);
  for (int row = 50; row < 64; ++row) w.effect(KickTrack, row, GlobalVolumeSlide, 0x01);
  return w.take();
}

}  // namespace

Score demoScore() {
  Score score;
  score.patterns = {intro(), verse(false), verse(true), chorus(), breakdown(), outro()};
  score.orders = {0, 1, 2, 3, 4, 3, 5};
  score.restartPosition = 1;
  return score;
}

}  // namespace vantor::demo
