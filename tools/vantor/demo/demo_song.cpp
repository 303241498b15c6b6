#include "vantor/demo/demo_song.h"

#include "vantor/demo/demo_parts.h"
#include "xm_builder/xm_builder.h"

namespace vantor::demo {

std::vector<uint8_t> demoSongBytes() {
  Score score = demoScore();
  xm::XmModule module;
  module.name = "vantor demo";
  module.tracker = "vantor";
  module.channelCount = channelCount;
  module.flags = 1;  // linear frequency table
  module.defaultSpeed = 6;
  module.defaultBpm = 125;
  module.orders = std::move(score.orders);
  module.restartPosition = score.restartPosition;
  module.patterns = std::move(score.patterns);
  module.instruments = demoInstruments();
  return xm::buildXm(module);
}

}  // namespace vantor::demo
