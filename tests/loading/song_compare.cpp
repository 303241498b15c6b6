#include "song_compare.h"

#include <cstddef>
#include <cstring>

namespace vantor::test {

namespace {

// The instrument's fields from the keymap to the fadeout, compared as bytes (there is
// no padding between them).
bool sameInstrumentFields(const Instrument& a, const Instrument& b) {
  std::size_t size =
      offsetof(Instrument, fadeout) + sizeof(Instrument::fadeout) - offsetof(Instrument, keymap);
  return std::memcmp(&a.keymap, &b.keymap, size) == 0;
}

}  // namespace

testing::AssertionResult sameSample(const Sample& e, const Sample& a) {
  if (e.length != a.length || e.loopStart != a.loopStart || e.loopLength != a.loopLength ||
      e.volume != a.volume || e.finetune != a.finetune || e.panning != a.panning ||
      e.bitsPerSample != a.bitsPerSample || e.loopMode != a.loopMode || e.relativeNote != a.relativeNote) {
    return testing::AssertionFailure()
           << "sample fields differ (length " << e.length << " vs " << a.length << ")";
  }
  if ((e.data == nullptr) != (a.data == nullptr))
    return testing::AssertionFailure() << "one sample has no data";
  if (e.data && std::memcmp(e.data - 1, a.data - 1, (e.length + 9) * sizeof(int16_t)) != 0) {
    return testing::AssertionFailure() << "sample data differs";
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult sameInstrument(const Instrument& e, const Instrument& a) {
  if (e.sampleCount != a.sampleCount) {
    return testing::AssertionFailure() << "sample counts " << e.sampleCount << " vs " << a.sampleCount;
  }
  if (!sameInstrumentFields(e, a)) return testing::AssertionFailure() << "instrument fields differ";
  for (int slot = 0; slot < instrumentSampleSlots; ++slot) {
    bool ownE = slot < static_cast<int>(e.sampleCount);
    if (!ownE) {
      if (a.samples[slot] != &emptySample)
        return testing::AssertionFailure() << "slot " << slot << " not empty";
      continue;
    }
    auto result = sameSample(*e.samples[slot], *a.samples[slot]);
    if (!result) return result << " in slot " << slot;
  }
  return testing::AssertionSuccess();
}

bool isEmptyInstrument(const Instrument& instrument) {
  Instrument empty{};
  if (instrument.sampleCount != 0 || !sameInstrumentFields(instrument, empty)) return false;
  for (Sample* slot : instrument.samples) {
    if (slot != &emptySample) return false;
  }
  return true;
}

testing::AssertionResult sameSong(const Song& e, const Song& a) {
  if (e.songLength != a.songLength || e.restartPosition != a.restartPosition ||
      e.channelCount != a.channelCount || e.orderPatternSpan != a.orderPatternSpan ||
      e.patternCount != a.patternCount || e.instrumentCount != a.instrumentCount || e.flags != a.flags ||
      e.defaultSpeed != a.defaultSpeed || e.defaultBpm != a.defaultBpm ||
      e.defaultGlobalVolume != a.defaultGlobalVolume || e.tickHandler != a.tickHandler ||
      std::memcmp(e.orders, a.orders, sizeof e.orders) != 0) {
    return testing::AssertionFailure() << "header fields differ";
  }
  for (int p = 0; p < e.patternCount; ++p) {
    const Pattern& pe = e.patterns[p];
    const Pattern& pa = a.patterns[p];
    std::size_t cells = std::size_t{pe.rowCount} * static_cast<std::size_t>(e.channelCount);
    if (pe.rowCount != pa.rowCount ||
        (cells && std::memcmp(pe.cells, pa.cells, cells * sizeof(NoteCell)) != 0)) {
      return testing::AssertionFailure() << "pattern " << p << " differs";
    }
  }
  for (int i = 0; i < e.instrumentCount; ++i) {
    auto result = sameInstrument(e.instruments[i], a.instruments[i]);
    if (!result) return result << " in instrument " << i;
  }
  return testing::AssertionSuccess();
}

}  // namespace vantor::test
