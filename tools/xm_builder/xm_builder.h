// Builds XM files from a readable description: header fields, orders,
// patterns as cells, instruments with envelopes and samples given as plain PCM values
// (the builder delta-encodes them). Every field a malformed file might get wrong can be
// overridden, and XmLayout tells where each part landed so a test can cut the file.
//
//   xm::XmModule module;
//   module.channelCount = 2;
//   module.patterns.push_back(XmPattern::empty(4, 2));
//   module.patterns[0].at(0, 1) = {.note = 49, .instrument = 1};
//   module.instruments.push_back(XmInstrument::withSample(XmSample::eightBit({0, 10, 20})));
//   std::vector<uint8_t> bytes = buildXm(module);
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantor::xm {

struct XmCell {
  uint8_t note = 0;
  uint8_t instrument = 0;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t effectParam = 0;
};

struct XmPattern {
  uint16_t rowCount = 64;
  int channelCount = 0;
  std::vector<XmCell> cells{};  // rowCount x channelCount, row-major; none: no data (packed size 0)
  bool packed = true;           // false writes every cell as five plain bytes
  std::optional<std::vector<uint8_t>> rawData{};  // written instead of the cells
  std::optional<uint16_t> packedSizeField{};      // default: the data's length
  uint32_t headerLength = 9;

  // A pattern whose cells are all empty (written as data, one 0x80 byte each).
  static XmPattern empty(uint16_t rowCount, int channelCount);
  // A pattern with packed size 0 and no data.
  static XmPattern withoutData(uint16_t rowCount);
  XmCell& at(int row, int channel) { return cells[static_cast<std::size_t>(row) * channelCount + channel]; }
};

struct XmEnvelopePoint {
  uint16_t x = 0;
  uint16_t y = 0;
};

struct XmEnvelope {
  std::vector<XmEnvelopePoint> points{};     // the first 12 are written
  std::optional<uint8_t> pointCountField{};  // default: points.size()
  uint8_t sustainPoint = 0;
  uint8_t loopStart = 0;
  uint8_t loopEnd = 0;
  uint8_t type = 0;  // bit 0 on, bit 1 sustain, bit 2 loop
};

enum class XmLoop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct XmSample {
  std::vector<int> values{};  // PCM: -128..127 for 8-bit samples, -32768..32767 for 16-bit
  bool sixteenBit = false;
  XmLoop loop = XmLoop::None;
  uint32_t loopStart = 0;  // in values
  uint32_t loopLength = 0;
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
  std::string name{};
  // Raw header fields, in bytes as stored, instead of the ones derived from the above.
  std::optional<uint32_t> lengthField{};
  std::optional<uint32_t> loopStartField{};
  std::optional<uint32_t> loopLengthField{};
  std::optional<uint8_t> typeField{};
  std::optional<std::vector<uint8_t>> rawData{};  // stored bytes instead of the encoded values

  static XmSample eightBit(std::vector<int> values);
  static XmSample sixteenBits(std::vector<int> values);
};

struct XmInstrument {
  std::string name{};
  std::optional<uint32_t> headerSize{};        // default: 263 with samples, 29 without
  std::optional<uint32_t> headerSizeField{};   // written instead, without moving anything
  std::optional<uint16_t> sampleCountField{};  // default: samples.size()
  uint32_t sampleHeaderSize = 40;
  std::array<uint8_t, 96> keymap{};
  XmEnvelope volumeEnvelope{};
  XmEnvelope panningEnvelope{};
  uint8_t vibratoType = 0;
  uint8_t vibratoSweep = 0;
  uint8_t vibratoDepth = 0;
  uint8_t vibratoRate = 0;
  uint16_t fadeout = 0;  // as stored (the loader doubles it)
  std::vector<XmSample> samples{};

  static XmInstrument withSample(XmSample sample);
};

struct XmModule {
  std::string name = "xm builder song";
  std::string tracker = "xm builder";
  uint16_t version = 0x0104;
  uint32_t headerSize = 276;                  // the first pattern starts at 60 + headerSize
  std::optional<uint32_t> headerSizeField{};  // written instead, without moving anything
  std::vector<uint8_t> orders{0};
  std::optional<uint16_t> songLengthField{};  // default: orders.size()
  uint16_t restartPosition = 0;
  uint16_t channelCount = 4;
  std::optional<uint16_t> patternCountField{};     // default: patterns.size()
  std::optional<uint16_t> instrumentCountField{};  // default: instruments.size()
  uint16_t flags = 1;                              // linear frequency table
  uint16_t defaultSpeed = 6;
  uint16_t defaultBpm = 125;
  std::vector<XmPattern> patterns{};
  std::vector<XmInstrument> instruments{};
};

// Where the parts of a built file start, as byte offsets.
struct XmLayout {
  std::size_t orderTableEnd = 0;  // 336: the end of the module header and order table
  std::vector<std::size_t> patternStarts;
  std::size_t instrumentsStart = 0;
  std::vector<std::size_t> instrumentStarts;
  std::vector<std::size_t> sampleHeaderStarts;             // per instrument: its first sample header
  std::vector<std::vector<std::size_t>> sampleDataStarts;  // per instrument, per sample
  std::size_t end = 0;
};

std::vector<uint8_t> buildXm(const XmModule& module, XmLayout* layout = nullptr);

// The stored (delta-encoded) bytes of a sample's values.
std::vector<uint8_t> encodeSampleData(const XmSample& sample);

// The first `length` bytes of a file.
std::vector<uint8_t> cutAt(const std::vector<uint8_t>& bytes, std::size_t length);

}  // namespace vantor::xm
