// Every corpus song that loads is played for a while, so that the sanitizer builds
// watch the sequencer and the mixer on real songs, malformed ones included.
#include <gtest/gtest.h>

#include "offline_render.h"
#include "support/corpus.h"

namespace vantor {
namespace {

constexpr int blocksPerSong = 300;  // 6 s of each song

TEST(CorpusRender, EverySongThatLoadsPlaysWithinBoundedTime) {
  VANTOR_REQUIRE_CORPUS();
  int played = 0;
  for (const char* directory : {"songs", "malformed", "behaviour"}) {
    for (const auto& path : test::corpusFiles(directory)) {
      SCOPED_TRACE(path.string());
      test::RenderResult result =
          test::renderOffline(path.filename().string(), test::readFileBytes(path), blocksPerSong, 120.0);
      if (!result.loaded) continue;
      EXPECT_GT(result.rowTicks, 0);
      ++played;
    }
  }
  EXPECT_GT(played, 100);
}

}  // namespace
}  // namespace vantor
