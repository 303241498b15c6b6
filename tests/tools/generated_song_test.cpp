// vantor-generate's songs, which scripts/compare-players compares with trackers' players:
// files the loader takes as they are (a loop, envelope or keymap it had to mend would make
// the comparison measure the mending), the same bytes from the same seed, and between a
// few seeds every effect and volume-column command.
#include "song_generator/generated_song.h"

#include <gtest/gtest.h>

#include <set>

#include "loading/load_notes.h"
#include "support/song_loading.h"

namespace vantor::test {
namespace {

TEST(GeneratedSongs, LoadAsTheyAreAndBetweenThemUseEveryEffect) {
  std::set<int> effects, extended, columns;
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::vector<uint8_t> bytes = xm::buildXm(generator::generatedSong(seed));
    EXPECT_EQ(bytes, xm::buildXm(generator::generatedSong(seed)));
    SongPointer song = loadFromMemory(bytes);
    ASSERT_NE(song, nullptr);
    char notes[512];
    EXPECT_EQ(describeLoadNotes(lastLoadNotes(), notes, sizeof notes), 0u) << notes;
    for (const xm::XmPattern& pattern : generator::generatedSong(seed).patterns) {
      for (const xm::XmCell& cell : pattern.cells) {
        if (cell.effect != 0 || cell.effectParam != 0) effects.insert(cell.effect);
        if (cell.effect == 0xE) extended.insert(cell.effectParam >> 4);
        if (cell.volume != 0) columns.insert(cell.volume < 0x60 ? 1 : cell.volume >> 4);
      }
    }
  }
  EXPECT_EQ(effects, (std::set<int>{0x0, 0x1, 0x2, 0x3, 0x4,  0x5,  0x6,  0x7,  0x8,  0x9,  0xA,  0xB,
                                    0xC, 0xD, 0xE, 0xF, 0x10, 0x11, 0x14, 0x15, 0x19, 0x1B, 0x1D, 0x21}));
  EXPECT_EQ(extended, (std::set<int>{0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE}));
  EXPECT_EQ(columns, (std::set<int>{0x1, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF}));
}

}  // namespace
}  // namespace vantor::test
