#include "xm_builder/xm_builder.h"

#include <algorithm>

namespace vantor::xm {

namespace {

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  void u8(uint8_t value) { bytes_.push_back(value); }
  void u16(uint16_t value) {
    u8(static_cast<uint8_t>(value));
    u8(static_cast<uint8_t>(value >> 8));
  }
  void u32(uint32_t value) {
    u16(static_cast<uint16_t>(value));
    u16(static_cast<uint16_t>(value >> 16));
  }
  void text(const std::string& value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) u8(i < value.size() ? static_cast<uint8_t>(value[i]) : 0);
  }
  void bytes(const std::vector<uint8_t>& values) {
    bytes_.insert(bytes_.end(), values.begin(), values.end());
  }
  // Pads with zeros or cuts back so that the file is `size` bytes long.
  void resize(std::size_t size) { bytes_.resize(size, 0); }
  std::size_t position() const { return bytes_.size(); }

 private:
  std::vector<uint8_t>& bytes_;
};

void packCell(const XmCell& cell, std::vector<uint8_t>& out) {
  const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.effectParam};
  uint8_t mask = 0x80;
  for (int field = 0; field < 5; ++field) {
    if (fields[field] != 0) mask |= static_cast<uint8_t>(1 << field);
  }
  // A cell with every field present is as short unpacked; keep the usual writer's choice.
  if (mask == 0x9F && cell.note < 0x80) {
    out.insert(out.end(), fields, fields + 5);
    return;
  }
  out.push_back(mask);
  for (int field = 0; field < 5; ++field) {
    if (fields[field] != 0) out.push_back(fields[field]);
  }
}

std::vector<uint8_t> patternData(const XmPattern& pattern) {
  if (pattern.rawData) return *pattern.rawData;
  std::vector<uint8_t> data;
  for (const XmCell& cell : pattern.cells) {
    if (pattern.packed) {
      packCell(cell, data);
    } else {
      data.insert(data.end(), {cell.note, cell.instrument, cell.volume, cell.effect, cell.effectParam});
    }
  }
  return data;
}

void writePattern(ByteWriter& out, const XmPattern& pattern) {
  std::vector<uint8_t> data = patternData(pattern);
  out.u32(pattern.headerLength);
  out.u8(0);
  out.u16(pattern.rowCount);
  out.u16(pattern.packedSizeField.value_or(static_cast<uint16_t>(data.size())));
  out.bytes(data);
}

void writeEnvelopePoints(ByteWriter& out, const XmEnvelope& envelope) {
  for (std::size_t point = 0; point < 12; ++point) {
    XmEnvelopePoint value = point < envelope.points.size() ? envelope.points[point] : XmEnvelopePoint{};
    out.u16(value.x);
    out.u16(value.y);
  }
}

uint8_t pointCount(const XmEnvelope& envelope) {
  return envelope.pointCountField.value_or(static_cast<uint8_t>(envelope.points.size()));
}

uint32_t bytesPerValue(const XmSample& sample) { return sample.sixteenBit ? 2 : 1; }

void writeSampleHeader(ByteWriter& out, const XmSample& sample) {
  uint32_t width = bytesPerValue(sample);
  out.u32(sample.lengthField.value_or(static_cast<uint32_t>(sample.values.size()) * width));
  out.u32(sample.loopStartField.value_or(sample.loopStart * width));
  out.u32(sample.loopLengthField.value_or(sample.loopLength * width));
  out.u8(sample.volume);
  out.u8(static_cast<uint8_t>(sample.finetune));
  out.u8(sample.typeField.value_or(
      static_cast<uint8_t>(static_cast<uint8_t>(sample.loop) | (sample.sixteenBit ? 0x10 : 0))));
  out.u8(sample.panning);
  out.u8(static_cast<uint8_t>(sample.relativeNote));
  out.u8(0);
  out.text(sample.name, 22);
}

void writeInstrument(ByteWriter& out, const XmInstrument& instrument, XmLayout& layout) {
  const std::size_t start = out.position();
  const uint16_t sampleCount =
      instrument.sampleCountField.value_or(static_cast<uint16_t>(instrument.samples.size()));
  const uint32_t headerSize = instrument.headerSize.value_or(sampleCount > 0 ? 263 : 29);
  out.u32(instrument.headerSizeField.value_or(headerSize));
  out.text(instrument.name, 22);
  out.u8(0);
  out.u16(sampleCount);
  if (sampleCount > 0) {
    out.u32(instrument.sampleHeaderSize);
    for (uint8_t entry : instrument.keymap) out.u8(entry);
    writeEnvelopePoints(out, instrument.volumeEnvelope);
    writeEnvelopePoints(out, instrument.panningEnvelope);
    out.u8(pointCount(instrument.volumeEnvelope));
    out.u8(pointCount(instrument.panningEnvelope));
    out.u8(instrument.volumeEnvelope.sustainPoint);
    out.u8(instrument.volumeEnvelope.loopStart);
    out.u8(instrument.volumeEnvelope.loopEnd);
    out.u8(instrument.panningEnvelope.sustainPoint);
    out.u8(instrument.panningEnvelope.loopStart);
    out.u8(instrument.panningEnvelope.loopEnd);
    out.u8(instrument.volumeEnvelope.type);
    out.u8(instrument.panningEnvelope.type);
    out.u8(instrument.vibratoType);
    out.u8(instrument.vibratoSweep);
    out.u8(instrument.vibratoDepth);
    out.u8(instrument.vibratoRate);
    out.u16(instrument.fadeout);
  }
  // What follows starts at S + header size, over the fields above if it is short.
  out.resize(start + headerSize);
  layout.sampleHeaderStarts.push_back(out.position());
  if (sampleCount == 0) {
    layout.sampleDataStarts.emplace_back();
    return;
  }
  for (const XmSample& sample : instrument.samples) writeSampleHeader(out, sample);
  std::vector<std::size_t> dataStarts;
  for (const XmSample& sample : instrument.samples) {
    dataStarts.push_back(out.position());
    out.bytes(encodeSampleData(sample));
  }
  layout.sampleDataStarts.push_back(dataStarts);
}

}  // namespace

XmPattern XmPattern::empty(uint16_t rowCount, int channelCount) {
  XmPattern pattern;
  pattern.rowCount = rowCount;
  pattern.channelCount = channelCount;
  pattern.cells.assign(static_cast<std::size_t>(rowCount) * channelCount, XmCell{});
  return pattern;
}

XmPattern XmPattern::withoutData(uint16_t rowCount) {
  XmPattern pattern;
  pattern.rowCount = rowCount;
  return pattern;
}

XmSample XmSample::eightBit(std::vector<int> values) {
  XmSample sample;
  sample.values = std::move(values);
  return sample;
}

XmSample XmSample::sixteenBits(std::vector<int> values) {
  XmSample sample;
  sample.values = std::move(values);
  sample.sixteenBit = true;
  return sample;
}

XmInstrument XmInstrument::withSample(XmSample sample) {
  XmInstrument instrument;
  instrument.samples.push_back(std::move(sample));
  return instrument;
}

std::vector<uint8_t> encodeSampleData(const XmSample& sample) {
  if (sample.rawData) return *sample.rawData;
  std::vector<uint8_t> data;
  int previous = 0;
  for (int value : sample.values) {
    auto delta = static_cast<uint16_t>(value - previous);
    previous = value;
    data.push_back(static_cast<uint8_t>(delta));
    if (sample.sixteenBit) data.push_back(static_cast<uint8_t>(delta >> 8));
  }
  return data;
}

std::vector<uint8_t> buildXm(const XmModule& module, XmLayout* layoutOut) {
  std::vector<uint8_t> bytes;
  ByteWriter out(bytes);
  XmLayout layout;
  out.text("Extended Module: ", 17);
  out.text(module.name, 20);
  out.u8(0x1A);
  out.text(module.tracker, 20);
  out.u16(module.version);
  out.u32(module.headerSizeField.value_or(module.headerSize));
  out.u16(module.songLengthField.value_or(static_cast<uint16_t>(module.orders.size())));
  out.u16(module.restartPosition);
  out.u16(module.channelCount);
  out.u16(module.patternCountField.value_or(static_cast<uint16_t>(module.patterns.size())));
  out.u16(module.instrumentCountField.value_or(static_cast<uint16_t>(module.instruments.size())));
  out.u16(module.flags);
  out.u16(module.defaultSpeed);
  out.u16(module.defaultBpm);
  for (std::size_t position = 0; position < 256; ++position) {
    out.u8(position < module.orders.size() ? module.orders[position] : 0);
  }
  layout.orderTableEnd = out.position();
  // The first pattern starts at 60 + header size, over the order table if that is short.
  out.resize(60 + std::size_t{module.headerSize});
  for (const XmPattern& pattern : module.patterns) {
    layout.patternStarts.push_back(out.position());
    writePattern(out, pattern);
  }
  layout.instrumentsStart = out.position();
  for (const XmInstrument& instrument : module.instruments) {
    layout.instrumentStarts.push_back(out.position());
    writeInstrument(out, instrument, layout);
  }
  layout.end = out.position();
  if (layoutOut) *layoutOut = layout;
  return bytes;
}

std::vector<uint8_t> cutAt(const std::vector<uint8_t>& bytes, std::size_t length) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size()))};
}

}  // namespace vantor::xm
