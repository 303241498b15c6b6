// The demo song's instruments, synthesized: band-limited waveforms built from their
// harmonics (so that high notes do not alias), drums from swept sines and filtered
// noise, each with its envelopes, loop and stereo place.
//
// Tuning: a sample whose waveform repeats every 64 values, with relative note +12 and
// finetune +2, sounds at 261.6 Hz on C-4; every melodic sample here is built on that
// rule (a 128-value cycle takes relative note +24), so all of them play in tune.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "vantor/demo/demo_parts.h"

namespace vantor::demo {
namespace {

using xm::XmEnvelope;
using xm::XmInstrument;
using xm::XmLoop;
using xm::XmSample;

constexpr double pi = 3.14159265358979323846;
constexpr int8_t inTune = 2;  // finetune that brings the 64-value cycle onto 261.6 Hz at C-4

// The rate at which drum samples play on C-4 with relative note 12 and 24.
constexpr double rateAtOctaveUp = 16726.0;
constexpr double rateAtTwoOctavesUp = 33452.0;

// Noise that is the same on every machine (the song must be the same bytes everywhere).
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  double next() {  // -1 .. 1
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t state_;
};

// One harmonic: amplitude of its sine and of its cosine component.
struct Harmonic {
  double sine = 0;
  double cosine = 0;
};

// `length` values holding `cycles` whole cycles of the waveform with these harmonics,
// each harmonic shifted by `phase` (in radians) times its number.
std::vector<double> additive(int length, int cycles, int harmonicCount,
                             const std::function<Harmonic(int)>& harmonic, double phase = 0) {
  std::vector<double> values(static_cast<std::size_t>(length), 0.0);
  for (int h = 1; h <= harmonicCount; ++h) {
    Harmonic amplitude = harmonic(h);
    if (amplitude.sine == 0 && amplitude.cosine == 0) continue;
    for (int k = 0; k < length; ++k) {
      double x = 2 * pi * h * (static_cast<double>(cycles) * k / length) + h * phase;
      values[static_cast<std::size_t>(k)] += amplitude.sine * std::sin(x) + amplitude.cosine * std::cos(x);
    }
  }
  return values;
}

void addTo(std::vector<double>& sum, const std::vector<double>& part, double gain) {
  for (std::size_t k = 0; k < sum.size(); ++k) sum[k] += part[k] * gain;
}

// Scales the values so that their peak is `peak` of full scale, as 8- or 16-bit PCM.
std::vector<int> toPcm(const std::vector<double>& values, double peak, bool sixteenBit) {
  double largest = 0;
  for (double value : values) largest = std::max(largest, std::abs(value));
  double fullScale = sixteenBit ? 32767.0 : 127.0;
  double scale = largest > 0 ? peak * fullScale / largest : 0;
  std::vector<int> pcm;
  pcm.reserve(values.size());
  for (double value : values) pcm.push_back(static_cast<int>(std::lround(value * scale)));
  return pcm;
}

// Envelope type bits of the XM format.
constexpr uint8_t envelopeOn = 1;
constexpr uint8_t envelopeSustain = 2;
constexpr uint8_t envelopeLoop = 4;

XmEnvelope envelope(std::vector<xm::XmEnvelopePoint> points) {
  XmEnvelope result;
  result.points = std::move(points);
  result.type = envelopeOn;
  return result;
}

XmEnvelope withSustain(XmEnvelope result, uint8_t point) {
  result.sustainPoint = point;
  result.type |= envelopeSustain;
  return result;
}

XmEnvelope withLoop(XmEnvelope result, uint8_t start, uint8_t end) {
  result.loopStart = start;
  result.loopEnd = end;
  result.type |= envelopeLoop;
  return result;
}

XmSample looped(XmSample sample, XmLoop loop) {
  sample.loop = loop;
  sample.loopStart = 0;
  sample.loopLength = static_cast<uint32_t>(sample.values.size());
  return sample;
}

XmInstrument instrument(const char* name, XmSample sample, uint8_t volume, uint8_t panning,
                        int8_t relativeNote) {
  sample.volume = volume;
  sample.panning = panning;
  sample.relativeNote = relativeNote;
  sample.name = name;
  XmInstrument result = XmInstrument::withSample(std::move(sample));
  result.name = name;
  return result;
}

// Punchy kick: a sine falling from about 170 Hz to 48 Hz, with a short click.
XmInstrument kick() {
  const double rate = rateAtOctaveUp;
  const int length = static_cast<int>(0.32 * rate);
  Noise noise(0x6b1c4u);
  std::vector<double> values;
  double phase = 0;
  for (int k = 0; k < length; ++k) {
    double t = k / rate;
    double frequency = 48 + 120 * std::exp(-t / 0.03);
    phase += 2 * pi * frequency / rate;
    double body = std::sin(phase) * (1 - std::exp(-t / 0.0015)) * std::exp(-t / 0.16);
    double click = noise.next() * 0.25 * std::exp(-t / 0.002);
    double tail = std::min(1.0, (length - k) / (0.02 * rate));  // reaches 0 at the end
    values.push_back(std::tanh(1.6 * (body + click)) * tail);
  }
  return instrument("kick", XmSample::sixteenBits(toPcm(values, 0.97, true)), 64, 128, 12);
}

// Snare: two short tones for the drum head and band-passed noise for the wires, softly
// saturated so that the hit is full without a high peak.
XmInstrument snare() {
  const double rate = rateAtTwoOctavesUp;
  const int length = static_cast<int>(0.28 * rate);
  Noise noise(0x5a4e3u);
  std::vector<double> values;
  double low = 0, lower = 0, previous = 0;
  for (int k = 0; k < length; ++k) {
    double t = k / rate;
    double head = 0.8 * std::sin(2 * pi * 185 * t) * std::exp(-t / 0.06) +
                  0.4 * std::sin(2 * pi * 330 * t) * std::exp(-t / 0.035);
    low += (noise.next() - low) * 0.45;       // the wires' hiss, centred near 3 kHz:
    lower += (low - lower) * 0.45;            // without the very top
    double wires = (lower - previous) * 2.5;  // and without the rumble
    previous = lower;
    wires *= 0.9 * std::exp(-t / 0.09);
    double tail = std::min(1.0, (length - k) / (0.02 * rate));
    values.push_back(std::tanh(1.8 * (head * (1 - std::exp(-t / 0.0008)) + wires)) * tail);
  }
  return instrument("snare", XmSample::sixteenBits(toPcm(values, 0.95, true)), 56, 112, 24);
}

// Hi-hat, 8-bit: high-passed noise that rings like an open hat; closed hats cut it short.
XmInstrument hat() {
  const double rate = rateAtTwoOctavesUp;
  const int length = static_cast<int>(0.3 * rate);
  Noise noise(0x4a7u);
  std::vector<double> values;
  double previous = 0, previousHigh = 0;
  for (int k = 0; k < length; ++k) {
    double t = k / rate;
    double white = noise.next();
    double high = white - previous;  // first difference: only the top octaves remain
    previous = white;
    double higher = high - 0.5 * previousHigh;
    previousHigh = high;
    double tail = std::min(1.0, (length - k) / (0.02 * rate));
    values.push_back(higher * std::exp(-t / 0.075) * tail);
  }
  return instrument("hat", XmSample::eightBit(toPcm(values, 0.9, false)), 34, 164, 24);
}

// Bass, 8-bit: a band-limited 30 % pulse with a stronger fundamental for weight.
XmInstrument bass() {
  auto pulse = additive(64, 1, 20, [](int h) {
    return Harmonic{0, 2 / (h * pi) * std::sin(pi * h * 0.3) * std::exp(-h / 9.0)};
  });
  auto body = additive(64, 1, 1, [](int) { return Harmonic{1, 0}; });
  addTo(pulse, body, 0.5);
  XmInstrument result =
      instrument("bass", looped(XmSample::eightBit(toPcm(pulse, 0.95, false)), XmLoop::Forward), 42, 128, 12);
  result.samples[0].finetune = inTune;
  result.volumeEnvelope = withSustain(envelope({{0, 64}, {4, 54}, {24, 42}, {34, 0}}), 2);
  result.fadeout = 0x300;
  return result;
}

// Chip, 8-bit: a square wave with its harmonics up to the 15th, plucked.
XmInstrument chip() {
  auto square = additive(64, 1, 15, [](int h) { return Harmonic{h % 2 ? 1.0 / h : 0.0, 0}; });
  XmInstrument result =
      instrument("chip", looped(XmSample::eightBit(toPcm(square, 0.9, false)), XmLoop::Forward), 24, 84, 12);
  result.samples[0].finetune = inTune;
  result.volumeEnvelope = envelope({{0, 64}, {3, 44}, {14, 28}, {40, 14}});
  result.fadeout = 0x800;
  return result;
}

// Pad: three slightly detuned saws on the root and three on the fifth above, in one
// long loop that holds whole cycles of each. The volume swells in a loop, the panning
// envelope drifts the pad from side to side, and the fadeout releases it.
XmInstrument pad() {
  constexpr int length = 4096;  // the root's cycle is 64 values: 64 cycles in the loop
  std::vector<double> sum(length, 0.0);
  Noise phases(0x9ad5u);
  // A soft saw, without the harmonics that would alias on the higher pad notes.
  auto saw = [](int cycles) {
    return [cycles](int h) {
      return h * cycles < length * 4 / 9 ? Harmonic{std::exp(-h / 7.0) / h, 0} : Harmonic{};
    };
  };
  for (int cycles : {63, 64, 65})
    addTo(sum, additive(length, cycles, 40, saw(cycles), phases.next() * pi), 1.0);
  for (int cycles : {95, 96, 97})
    addTo(sum, additive(length, cycles, 40, saw(cycles), phases.next() * pi), 0.6);
  XmInstrument result =
      instrument("pad", looped(XmSample::sixteenBits(toPcm(sum, 0.9, true)), XmLoop::Forward), 40, 128, 12);
  result.samples[0].finetune = inTune;
  result.volumeEnvelope = withLoop(envelope({{0, 16}, {12, 44}, {52, 54}, {92, 44}}), 1, 3);
  result.panningEnvelope = withLoop(envelope({{0, 32}, {24, 22}, {72, 42}, {96, 32}}), 0, 3);
  result.fadeout = 0x180;
  return result;
}

// Lead: a saw blended with a narrow pulse, with a delayed auto-vibrato that makes long
// notes sing.
XmInstrument lead() {
  auto saw = additive(128, 1, 26, [](int h) { return Harmonic{std::exp(-h / 24.0) / h, 0}; });
  auto pulse = additive(128, 1, 26, [](int h) {
    return Harmonic{0, 2 / (h * pi) * std::sin(pi * h * 0.2) * std::exp(-h / 24.0)};
  });
  addTo(saw, pulse, 0.7);
  XmInstrument result =
      instrument("lead", looped(XmSample::sixteenBits(toPcm(saw, 0.9, true)), XmLoop::Forward), 46, 136, 24);
  result.samples[0].finetune = inTune;
  result.volumeEnvelope = withSustain(envelope({{0, 40}, {2, 64}, {12, 50}, {26, 0}}), 2);
  result.fadeout = 0x200;
  result.vibratoType = 0;
  result.vibratoSweep = 30;
  result.vibratoDepth = 6;
  result.vibratoRate = 14;
  return result;
}

// Flute: half a cycle of a soft cosine wave, played back and forth by a ping-pong loop,
// which rebuilds the whole symmetric cycle (64 values) from 32.
XmInstrument flute() {
  constexpr int half = 32;
  std::vector<double> values;
  for (int k = 0; k < half; ++k) {
    double x = pi * (k + 0.5) / half;
    values.push_back(std::cos(x) + 0.25 * std::cos(2 * x) + 0.12 * std::cos(3 * x) + 0.05 * std::cos(5 * x));
  }
  XmInstrument result = instrument(
      "flute", looped(XmSample::sixteenBits(toPcm(values, 0.9, true)), XmLoop::PingPong), 36, 176, 12);
  result.samples[0].finetune = inTune;
  result.volumeEnvelope = withSustain(envelope({{0, 20}, {4, 64}, {12, 48}, {30, 0}}), 2);
  result.fadeout = 0x300;
  return result;
}

}  // namespace

std::vector<XmInstrument> demoInstruments() {
  // In the order of the Instrument numbers.
  return {kick(), snare(), hat(), bass(), chip(), pad(), lead(), flute()};
}

}  // namespace vantor::demo
