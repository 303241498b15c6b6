// Memory that runs out during a load: whichever allocation fails, the song is refused
// as out of memory, and what was made before is released (the sanitizer build sees a
// leak or a second release).
#include <gtest/gtest.h>

#include "loading/load_notes.h"
#include "loading/xm_loader.h"
#include "support/song_loading.h"
#include "xm_builder/xm_builder.h"

namespace vantor {
namespace {

using namespace xm;

TEST(LoadOutOfMemory, EachAllocationThatFailsRefusesTheSong) {
  XmModule module;
  module.channelCount = 1;
  module.orders = {0, 1};  // pattern 1 is added
  module.patterns = {XmPattern::empty(2, 1)};
  module.instruments = {XmInstrument::withSample(XmSample::eightBit({1, 2, 3}))};
  std::vector<uint8_t> bytes = buildXm(module);
  int failed = 0;
  for (;; ++failed) {
    failLoadAllocation(failed);
    if (test::loadFromMemory(bytes)) break;
    EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::OutOfMemory) << "allocation " << failed;
  }
  failLoadAllocation(-1);
  EXPECT_EQ(failed, 7) << "the song, the pattern table, two patterns' cells, the instrument table, "
                          "a sample and its data";
}

}  // namespace
}  // namespace vantor
