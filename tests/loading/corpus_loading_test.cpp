// Every corpus file through both byte sources.
#include <gtest/gtest.h>

#include "loading/load_notes.h"
#include "song_compare.h"
#include "support/corpus.h"
#include "support/song_loading.h"

namespace vantor {
namespace {

using test::corpusFiles;
using test::loadFromFile;
using test::loadFromMemory;
using test::readFileBytes;

TEST(CorpusLoading, EveryFileLoadsOrIsRefusedAndBothSourcesAgree) {
  VANTOR_REQUIRE_CORPUS();
  int loaded = 0;
  for (const char* directory : {"songs", "malformed", "behaviour"}) {
    for (const auto& path : corpusFiles(directory)) {
      SCOPED_TRACE(path.string());
      std::vector<uint8_t> bytes = readFileBytes(path);
      auto fromFile = loadFromFile(path);
      LoadNotes fileNotes = lastLoadNotes();
      auto fromMemory = loadFromMemory(bytes);
      EXPECT_EQ(bool(fromFile), bool(fromMemory));
      EXPECT_EQ(fileNotes.refusal, lastLoadNotes().refusal);
      if (fromFile && fromMemory) {
        EXPECT_TRUE(test::sameSong(*fromFile, *fromMemory));
        ++loaded;
      }
    }
  }
  EXPECT_GT(loaded, 100);
}

TEST(CorpusLoading, SongsInTheReadLayoutLoadAndOthersAreRefusedWithAReason) {
  VANTOR_REQUIRE_CORPUS();
  const auto songs = test::corpusDirectory() / "songs";
  for (const char* name : {"juho_-_ihana_paiva.xm", "rhino_sting.xm", "roadblas.xm", "test.xm",
                           "xyce-dans_la_rue.xm", "zalza_-_tekilla_groove.xm"}) {
    EXPECT_TRUE(loadFromFile(songs / name)) << name;
  }
  // An instrument of 23 samples.
  EXPECT_FALSE(loadFromFile(songs / "grass_near_the_house.xm"));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::TooManySamples);
  // Version 1.02 layout, which the loader does not read: its patterns do not fit.
  EXPECT_FALSE(loadFromFile(songs / "dontyou.xm"));
  EXPECT_EQ(lastLoadNotes().refusal, LoadRefusal::PatternCut);
  // Compressed sample data throws the instrument list out of step.
  EXPECT_FALSE(loadFromFile(songs / "mrhpx-hbtn_lucifer.xm"));
}

// Both songs end inside their trailing instrument headers.
TEST(CorpusLoading, SongsEndingInsideTheInstrumentListKeepTheWholeInstruments) {
  VANTOR_REQUIRE_CORPUS();
  for (const char* name : {"juho_-_ihana_paiva.xm", "zalza_-_tekilla_groove.xm"}) {
    SCOPED_TRACE(name);
    auto song = loadFromFile(test::corpusDirectory() / "songs" / name);
    ASSERT_TRUE(song);
    const LoadNotes& notes = lastLoadNotes();
    ASSERT_GT(notes.instrumentsCutAt, 0);
    EXPECT_EQ(notes.instrumentsCutAt + notes.instrumentsCut, song->instrumentCount);
    bool anySample = false;
    for (int i = 0; i < notes.instrumentsCutAt; ++i) anySample |= song->instruments[i].sampleCount > 0;
    EXPECT_TRUE(anySample);
    for (int i = notes.instrumentsCutAt; i < song->instrumentCount; ++i) {
      EXPECT_TRUE(test::isEmptyInstrument(song->instruments[i])) << i;
    }
  }
}

TEST(CorpusLoading, MalformedInstrumentFileEndsInsideTheInstrumentList) {
  VANTOR_REQUIRE_CORPUS();
  auto song = loadFromFile(test::corpusDirectory() / "malformed" / "play_xm_bad_instrument.xm");
  ASSERT_TRUE(song);
  EXPECT_GE(lastLoadNotes().instrumentsCutAt, 0);
}

}  // namespace
}  // namespace vantor
