// TEMPORARY: a minimal stand-in for the demo song until the composed one arrives.
// Delete this file when tools/vantor/demo_song.cpp exists.
#include <cmath>

#include "demo_song.h"
#include "xm_builder/xm_builder.h"

std::vector<uint8_t> demoSongBytes() {
  using namespace vantor::xm;
  std::vector<int> wave(256);
  for (std::size_t i = 0; i < wave.size(); ++i)
    wave[i] = static_cast<int>(std::lround(90 * std::sin(i * 6.283185307 / 64)));
  XmSample sample = XmSample::eightBit(wave);
  sample.loop = XmLoop::Forward;
  sample.loopLength = 256;

  XmModule module;
  module.name = "placeholder demo";
  module.channelCount = 2;
  module.patterns.push_back(XmPattern::empty(16, 2));
  const uint8_t notes[] = {49, 53, 56, 61};
  for (int row = 0; row < 16; row += 4)
    module.patterns[0].at(row, 0) = {.note = notes[row / 4], .instrument = 1};
  module.instruments.push_back(XmInstrument::withSample(sample));
  return buildXm(module);
}
