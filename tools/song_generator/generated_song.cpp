#include "song_generator/generated_song.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vantor::generator {

namespace {

using xm::XmCell;
using xm::XmEnvelope;
using xm::XmInstrument;
using xm::XmLoop;
using xm::XmModule;
using xm::XmPattern;
using xm::XmSample;

// Numbers drawn from the seed (splitmix64): the same on every machine and compiler,
// which the standard library's distributions are not.
class Chance {
 public:
  explicit Chance(uint64_t seed) : state_(seed) {}

  uint64_t next() {
    state_ += 0x9E3779B97F4A7C15u;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  int below(int bound) { return static_cast<int>(next() % static_cast<uint64_t>(bound)); }
  int between(int low, int high) { return low + below(high - low + 1); }
  bool percent(int chance) { return below(100) < chance; }
  double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }  // 0 .. 1

 private:
  uint64_t state_;
};

constexpr double pi = 3.14159265358979323846;
constexpr uint8_t keyOff = 97;
constexpr int highestNote = 96;

// Effect numbers as the file writes them.
enum Effect : uint8_t {
  arpeggio = 0x0,
  portamentoUp = 0x1,
  portamentoDown = 0x2,
  tonePortamento = 0x3,
  vibrato = 0x4,
  tonePortamentoSlide = 0x5,
  vibratoSlide = 0x6,
  tremolo = 0x7,
  setPanning = 0x8,
  sampleOffset = 0x9,
  volumeSlide = 0xA,
  positionJump = 0xB,
  setVolume = 0xC,
  patternBreak = 0xD,
  extended = 0xE,
  setSpeed = 0xF,
  globalVolume = 0x10,
  globalVolumeSlide = 0x11,
  keyOffEffect = 0x14,
  envelopePosition = 0x15,
  panningSlide = 0x19,
  multiRetrigger = 0x1B,
  tremor = 0x1D,
  extraFinePortamento = 0x21,
};

// One cycle of a waveform, `length` values at amplitude `top`.
std::vector<int> cycle(Chance& chance, int length, int top) {
  std::vector<int> values(static_cast<std::size_t>(length));
  int shape = chance.below(4);
  int width = chance.between(length / 8, length - length / 8);  // of the square
  for (int i = 0; i < length; ++i) {
    double phase = static_cast<double>(i) / length;
    double value = shape == 0   ? 2 * phase - 1
                   : shape == 1 ? (i < width ? 1.0 : -1.0)
                   : shape == 2 ? 1 - 4 * std::abs(phase - 0.5)
                                : std::sin(2 * pi * phase);
    values[static_cast<std::size_t>(i)] = static_cast<int>(std::lround(value * top));
  }
  return values;
}

// A tone: an attack of a few cycles with noise, then cycles that loop (forward or
// ping-pong), or a long stretch that dies away where it does not loop.
XmSample toneSample(Chance& chance) {
  bool sixteenBit = chance.percent(30);
  int top = sixteenBit ? 24000 : 96;
  int octaves = chance.below(4);
  int length = 16 << octaves;
  std::vector<int> shape = cycle(chance, length, top);
  std::vector<int> values;
  int attackCycles = chance.percent(50) ? 0 : chance.between(1, 6);
  for (int c = 0; c < attackCycles; ++c) {
    for (int value : shape)
      values.push_back(std::clamp(value + static_cast<int>((chance.unit() - 0.5) * top), -top, top));
  }
  XmSample sample;
  int loopCycles = chance.between(1, 4);
  int loopKind = chance.below(10);
  if (loopKind == 0) {
    int total = chance.between(2000, 12000);
    for (int i = 0; static_cast<int>(values.size()) < total; ++i) {
      double fade = 1.0 - static_cast<double>(values.size()) / total;
      values.push_back(static_cast<int>(shape[static_cast<std::size_t>(i % length)] * fade));
    }
  } else {
    sample.loop = loopKind <= 7 ? XmLoop::Forward : XmLoop::PingPong;
    sample.loopStart = static_cast<uint32_t>(values.size());
    sample.loopLength = static_cast<uint32_t>(loopCycles * length);
    for (int c = 0; c < loopCycles; ++c) values.insert(values.end(), shape.begin(), shape.end());
  }
  sample.values = std::move(values);
  sample.sixteenBit = sixteenBit;
  // Cycles of 16 to 128 values, each brought to play C-4 at about 262 Hz.
  sample.relativeNote = static_cast<int8_t>(12 * (octaves - 1));
  return sample;
}

// A drum: noise or a falling tone that dies away, played once.
XmSample drumSample(Chance& chance) {
  bool sixteenBit = chance.percent(30);
  int top = sixteenBit ? 24000 : 100;
  int length = chance.between(1500, 8000);
  bool noise = chance.percent(60);
  std::vector<int> values(static_cast<std::size_t>(length));
  double phase = 0;
  for (int i = 0; i < length; ++i) {
    double fade = std::pow(1.0 - static_cast<double>(i) / length, 2);
    phase += 0.02 + 0.2 * (1.0 - static_cast<double>(i) / length);
    double value = noise ? chance.unit() * 2 - 1 : std::sin(phase);
    values[static_cast<std::size_t>(i)] = static_cast<int>(value * fade * top);
  }
  XmSample sample = sixteenBit ? XmSample::sixteenBits(values) : XmSample::eightBit(values);
  return sample;
}

// An envelope of two to six points, now and then at the edges of the range, with a
// sustain point and a loop that may lie anywhere (a loop of one point too). Each point
// lies at least a tick after the one before, as trackers' editors keep them.
XmEnvelope envelope(Chance& chance, bool panning) {
  XmEnvelope shape;
  int count = chance.between(2, 6);
  uint16_t x = 0;
  for (int i = 0; i < count; ++i) {
    uint16_t y = static_cast<uint16_t>(i == 0 && !panning && chance.percent(60) ? 64 : chance.between(0, 64));
    shape.points.push_back({x, y});
    x = static_cast<uint16_t>(x + chance.between(1, 30));
  }
  shape.type = 1;
  if (chance.percent(50)) {
    shape.type |= 2;
    shape.sustainPoint = static_cast<uint8_t>(chance.below(count));
  }
  if (chance.percent(30)) {
    shape.type |= 4;
    shape.loopStart = static_cast<uint8_t>(chance.below(count));
    shape.loopEnd = static_cast<uint8_t>(chance.between(shape.loopStart, count - 1));
  }
  return shape;
}

XmInstrument instrument(Chance& chance, bool drum) {
  XmInstrument made;
  made.samples.push_back(drum ? drumSample(chance) : toneSample(chance));
  // Now and then a second sample for the notes from a split upward.
  if (!drum && chance.percent(15)) {
    made.samples.push_back(toneSample(chance));
    int split = chance.between(30, 70);
    for (int note = split; note < 96; ++note) made.keymap[static_cast<std::size_t>(note)] = 1;
  }
  for (XmSample& sample : made.samples) {
    sample.volume = static_cast<uint8_t>(chance.between(24, 64));
    sample.panning = static_cast<uint8_t>(chance.percent(50) ? 128 : chance.below(256));
    sample.finetune = static_cast<int8_t>(chance.percent(60) ? 0 : chance.between(-128, 127));
    if (chance.percent(20))
      sample.relativeNote = static_cast<int8_t>(sample.relativeNote + chance.between(-12, 12));
  }
  if (chance.percent(drum ? 20 : 65)) made.volumeEnvelope = envelope(chance, false);
  if (chance.percent(25)) made.panningEnvelope = envelope(chance, true);
  made.fadeout = static_cast<uint16_t>(chance.percent(30) ? 0 : chance.between(32, 4095));
  if (chance.percent(25)) {
    made.vibratoType = static_cast<uint8_t>(chance.below(4));
    made.vibratoSweep = static_cast<uint8_t>(chance.percent(50) ? 0 : chance.between(1, 64));
    made.vibratoDepth = static_cast<uint8_t>(chance.between(1, 15));
    made.vibratoRate = static_cast<uint8_t>(chance.between(1, 63));
  }
  return made;
}

uint8_t nibbles(int high, int low) { return static_cast<uint8_t>(high << 4 | low); }

// The volume column: a volume, a slide, a fine slide, the vibrato's speed or depth, a
// panning, a panning slide or a tone portamento, with a value drawn across its range.
uint8_t volumeColumn(Chance& chance) {
  int kind = chance.below(12);
  if (kind < 2) return static_cast<uint8_t>(0x10 + chance.between(0, 64));
  return nibbles(kind + 4, chance.percent(15) ? 0 : chance.between(1, 15));
}

struct SongShape {
  int speed;
  int channels;
  int instruments;
  std::vector<int> sampleFrames;  // per instrument, of its first sample
};

// The parameter of an effect, drawn where it is musical to use it.
uint8_t parameter(Chance& chance, uint8_t effect, const SongShape& song) {
  switch (effect) {
    case arpeggio:
      return nibbles(chance.between(0, 12), chance.between(1, 12));
    case portamentoUp:
    case portamentoDown:
      return static_cast<uint8_t>(chance.percent(10) ? chance.between(0x20, 0xFF) : chance.between(1, 0x20));
    case tonePortamento:
      return static_cast<uint8_t>(chance.between(1, 0x60));
    case vibrato:
    case tremolo:
      return nibbles(chance.between(1, 15), chance.between(1, 15));
    case tonePortamentoSlide:
    case vibratoSlide:
    case volumeSlide:
    case globalVolumeSlide:
    case panningSlide:
      return chance.percent(50) ? nibbles(chance.between(1, 15), 0) : nibbles(0, chance.between(1, 15));
    case setPanning:
      return static_cast<uint8_t>(chance.below(256));
    case setVolume:
    case globalVolume:
      return static_cast<uint8_t>(chance.percent(5) ? chance.between(65, 255) : chance.between(0, 64));
    case keyOffEffect:
      return static_cast<uint8_t>(chance.percent(40) ? 0 : chance.between(1, song.speed + 1));
    case envelopePosition:
      return static_cast<uint8_t>(chance.between(0, 60));
    case multiRetrigger:
      return nibbles(chance.between(0, 15), chance.between(1, 8));
    case tremor:
      return nibbles(chance.between(0, 4), chance.between(0, 4));
    case extraFinePortamento:
      return nibbles(chance.between(1, 2), chance.between(0, 15));
    default:
      return 0;
  }
}

// The E effects that do not change which rows play: x drawn for each.
uint8_t extendedParameter(Chance& chance, const SongShape& song) {
  static const uint8_t kinds[] = {0x1, 0x2, 0x3, 0x4, 0x5, 0x7, 0x8, 0x9, 0xA, 0xB, 0xC, 0xD};
  uint8_t kind = kinds[chance.below(sizeof kinds)];
  int value = chance.between(0, 15);
  if (kind == 0x4 || kind == 0x7) value = chance.between(0, 7);
  if (kind == 0x9 || kind == 0xC || kind == 0xD) value = chance.between(0, song.speed + 1);
  return nibbles(kind, value);
}

// Effects that carry on over the next rows, each row with its own parameter or 0 for
// the one before.
bool carriesOn(uint8_t effect) {
  return effect != setPanning && effect != setVolume && effect != globalVolume && effect != keyOffEffect &&
         effect != envelopePosition && effect != extended && effect != positionJump &&
         effect != patternBreak && effect != setSpeed;
}

// The effects of a cell, drawn with weights that leave the ones that change which rows
// play (and so the song's length) rare.
void drawEffect(Chance& chance, XmCell& cell, const SongShape& song, int orders) {
  int kind = chance.below(100);
  if (kind < 2) {
    cell.effect = setSpeed;
    cell.effectParam =
        static_cast<uint8_t>(chance.percent(60) ? chance.between(2, 9) : chance.between(80, 200));
  } else if (kind < 3) {
    cell.effect = patternBreak;
    cell.effectParam = nibbles(0, chance.between(0, 8));
  } else if (kind < 4) {
    cell.effect = positionJump;
    cell.effectParam = static_cast<uint8_t>(chance.below(orders + 1));
  } else if (kind < 5) {
    cell.effect = extended;
    cell.effectParam = nibbles(0xE, chance.between(1, 2));
  } else if (kind < 24) {
    cell.effect = extended;
    cell.effectParam = extendedParameter(chance, song);
  } else {
    static const uint8_t common[] = {arpeggio,     portamentoUp,        portamentoDown, tonePortamento,
                                     vibrato,      tonePortamentoSlide, vibratoSlide,   tremolo,
                                     setPanning,   sampleOffset,        volumeSlide,    setVolume,
                                     globalVolume, globalVolumeSlide,   keyOffEffect,   envelopePosition,
                                     panningSlide, multiRetrigger,      tremor,         extraFinePortamento};
    cell.effect = common[chance.below(sizeof common)];
    cell.effectParam = parameter(chance, cell.effect, song);
  }
}

// 9xx within the sample mostly, now and then past its end.
uint8_t offsetFor(Chance& chance, int frames) {
  int units = std::max(1, frames / 256);
  return static_cast<uint8_t>(chance.percent(85) ? chance.between(1, units)
                                                 : chance.between(units, units + 8));
}

struct ChannelPart {
  int instrument;  // from 1
  int octave;      // notes above the key's lowest
  int density;     // of 100 rows, how many start a note
  int lastEffect = -1;
  int carryRows = 0;
};

XmPattern pattern(Chance& chance, int rows, const SongShape& song, std::vector<ChannelPart>& parts,
                  const std::vector<int>& scale, int key, int orders) {
  XmPattern made = XmPattern::empty(static_cast<uint16_t>(rows), song.channels);
  for (int c = 0; c < song.channels; ++c) {
    ChannelPart& part = parts[static_cast<std::size_t>(c)];
    int loopRow = -1;
    for (int row = 0; row < rows; ++row) {
      XmCell& cell = made.at(row, c);
      bool onBeat = row % 4 == 0;
      if (chance.percent(onBeat ? part.density + 20 : part.density)) {
        int degree = chance.below(static_cast<int>(scale.size()));
        cell.note = static_cast<uint8_t>(
            std::clamp(key + part.octave + scale[static_cast<std::size_t>(degree)], 1, highestNote));
        int choice = chance.below(20);
        cell.instrument = static_cast<uint8_t>(choice < 17   ? part.instrument
                                               : choice < 19 ? chance.between(1, song.instruments)
                                                             : 0);
      } else if (chance.percent(6)) {
        cell.note = keyOff;
      } else if (chance.percent(3)) {
        cell.instrument = static_cast<uint8_t>(chance.between(1, song.instruments));
      }
      if (chance.percent(20)) cell.volume = volumeColumn(chance);

      if (part.carryRows > 0) {
        part.carryRows -= 1;
        cell.effect = static_cast<uint8_t>(part.lastEffect);
        cell.effectParam = chance.percent(40) ? 0 : parameter(chance, cell.effect, song);
      } else if (chance.percent(22)) {
        drawEffect(chance, cell, song, orders);
        if (cell.effect == sampleOffset)
          cell.effectParam =
              offsetFor(chance, song.sampleFrames[static_cast<std::size_t>(part.instrument - 1)]);
        // A zero parameter after the same effect takes the effect's memory.
        if (static_cast<int>(cell.effect) == part.lastEffect && cell.effect != extended && chance.percent(30))
          cell.effectParam = 0;
        if (carriesOn(cell.effect) && chance.percent(35)) part.carryRows = chance.between(1, 4);
        part.lastEffect = cell.effect;
      }
      // Now and then a pattern loop: its start (most often the pattern's first row, as
      // one that starts later changes which rows play after it in trackers), and a row
      // or more later its end.
      if (loopRow == -1 && (row == 0 ? chance.percent(4) : chance.below(1000) < 3)) {
        cell = {cell.note, cell.instrument, cell.volume, extended, nibbles(0x6, 0)};
        loopRow = row;
      } else if (loopRow >= 0 && row > loopRow && chance.percent(10)) {
        cell = {cell.note, cell.instrument, cell.volume, extended, nibbles(0x6, chance.between(1, 2))};
        loopRow = -2;
      }
    }
  }
  return made;
}

}  // namespace

XmModule generatedSong(uint64_t seed) {
  Chance chance(seed * 0x2545F4914F6CDD1Du + 1);
  XmModule song;
  char title[21];
  std::snprintf(title, sizeof title, "generated song %5u", static_cast<unsigned>(seed % 100000));
  song.name = title;  // twenty characters, padded as FastTracker 2 pads them
  song.tracker = chance.percent(80) ? "FastTracker v2.00" : "OpenMPT 1.31.06.00";
  song.flags = chance.percent(80) ? 1 : 0;
  SongShape shape;
  shape.speed = chance.between(2, 8);
  shape.channels = chance.between(2, 6);
  shape.instruments = chance.between(2, 5);
  song.defaultSpeed = static_cast<uint16_t>(shape.speed);
  song.defaultBpm = static_cast<uint16_t>(chance.between(90, 180));
  song.channelCount = static_cast<uint16_t>(shape.channels);

  int drums = chance.below(2);
  for (int i = 0; i < shape.instruments; ++i) {
    song.instruments.push_back(instrument(chance, i < drums));
    shape.sampleFrames.push_back(static_cast<int>(song.instruments.back().samples[0].values.size()));
  }

  // About twelve seconds at the song's first speed and tempo.
  int rows = 16 + 8 * chance.below(3);
  double rowSeconds = shape.speed * 2.5 / song.defaultBpm;
  int orders = std::clamp(static_cast<int>(12.0 / (rowSeconds * rows)), 1, 8);
  int patterns = std::min(orders, chance.between(1, 3));

  static const std::vector<int> major = {0, 2, 4, 5, 7, 9, 11, 12}, minor = {0, 2, 3, 5, 7, 8, 10, 12};
  const std::vector<int>& scale = chance.percent(50) ? major : minor;
  int key = chance.between(25, 48);
  std::vector<ChannelPart> parts;
  for (int c = 0; c < shape.channels; ++c) {
    parts.push_back(
        {chance.between(1, shape.instruments), 12 * chance.between(0, 2), chance.between(15, 60)});
  }
  for (int p = 0; p < patterns; ++p)
    song.patterns.push_back(pattern(chance, rows, shape, parts, scale, key, orders));
  song.orders.clear();
  for (int o = 0; o < orders; ++o)
    song.orders.push_back(static_cast<uint8_t>(o < patterns ? o : chance.below(patterns)));
  return song;
}

}  // namespace vantor::generator
