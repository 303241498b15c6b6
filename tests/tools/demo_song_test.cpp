// The built-in demo song: it loads through the memory source with nothing limited or
// refused, uses the variety it was written to show, and one whole pass renders loud
// enough, without clipping, fading to silence at its end, the same way every time.
#include "vantor/demo/demo_song.h"

#include <dsound.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "loading/load_notes.h"
#include "output/play_start.h"
#include "output/renderer.h"
#include "platform/software_device.h"
#include "support/song_loading.h"
#include "vantor/demo/demo_parts.h"

namespace vantor {
namespace {

// One pass of the song as the player renders it: 16-bit stereo frames from play start
// up to the block in which the song first comes back to its restart position.
struct Pass {
  std::vector<int16_t> pcm;  // interleaved left, right
  double seconds() const { return pcm.size() / 2.0 / mixRate; }
};

Pass renderOnePass(Song* song) {
  platform::SoftwareDevice device;
  WAVEFORMATEX format = ringFormat();
  DSBUFFERDESC description{};
  description.dwSize = sizeof(DSBUFFERDESC);
  description.dwBufferBytes = ringBytes;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  EXPECT_EQ(device.CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
  auto* ring = static_cast<platform::SoftwareBuffer*>(buffer);

  resetForPlay(song);
  currentSong = song;
  soundBuffer = buffer;
  blockIndex = 0;
  EXPECT_TRUE(allocateMixBuffer());

  Pass pass;
  bool reachedLastOrder = false;
  const int blockCap = 120 * mixRate / blockFrames;  // far beyond the song's length
  for (int block = 0; block < blockCap; ++block) {
    int index = blockIndex;
    renderBlock();
    std::vector<int16_t> values(blockFrames * 2);
    ring->read(static_cast<DWORD>(index * blockFrames * bytesPerFrame), blockFrames * bytesPerFrame,
               values.data());
    pass.pcm.insert(pass.pcm.end(), values.begin(), values.end());
    if (song->orderPosition == song->songLength - 1) reachedLastOrder = true;
    if (reachedLastOrder && song->orderPosition == song->restartPosition) break;
  }
  freeMixBuffer();
  currentSong = nullptr;
  soundBuffer = nullptr;
  buffer->Release();
  return pass;
}

double rms(const int16_t* values, std::size_t count) {
  double sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += static_cast<double>(values[i]) * values[i];
  return count == 0 ? 0 : std::sqrt(sum / count);
}

class DemoSong : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bytes = new std::vector<uint8_t>(demo::demoSongBytes());
    test::SongPointer song = test::loadFromMemory(*bytes);
    ASSERT_NE(song, nullptr);
    pass = new Pass(renderOnePass(song.get()));
  }
  static void TearDownTestSuite() {
    delete bytes;
    delete pass;
  }
  static std::vector<uint8_t>* bytes;
  static Pass* pass;
};
std::vector<uint8_t>* DemoSong::bytes = nullptr;
Pass* DemoSong::pass = nullptr;

TEST_F(DemoSong, LoadsThroughTheMemorySourceWithNothingLimitedOrRefused) {
  test::SongPointer song = test::loadFromMemory(*bytes);
  ASSERT_NE(song, nullptr);
  const LoadNotes& notes = lastLoadNotes();
  EXPECT_EQ(notes.refusal, LoadRefusal::None);
  EXPECT_FALSE(notes.songLengthLimited || notes.restartPositionReset || notes.channelsLimited ||
               notes.bpmReplaced || notes.instrumentCountNegative);
  EXPECT_EQ(notes.emptyPatternsAdded + notes.zeroRowPatterns + notes.instrumentsCut + notes.samplesShortened +
                notes.sampleLengthsLimited + notes.loopsClamped + notes.envelopesLimited,
            0);
  EXPECT_EQ(notes.instrumentsCutAt, -1);
  EXPECT_EQ(song->channelCount, demo::channelCount);
  EXPECT_EQ(song->flags & LinearFrequencyTable, LinearFrequencyTable);
  EXPECT_GT(song->restartPosition, 0);  // the restart skips the intro
  EXPECT_EQ(demo::demoSongBytes(), *bytes);
}

TEST_F(DemoSong, UsesTheVarietyItWasWrittenFor) {
  test::SongPointer song = test::loadFromMemory(*bytes);
  ASSERT_NE(song, nullptr);
  std::set<int> patternsPlayed(song->orders, song->orders + song->songLength);
  EXPECT_GE(patternsPlayed.size(), 5u);
  EXPECT_LT(patternsPlayed.size(), static_cast<std::size_t>(song->songLength));  // a pattern comes back

  // Effects by number, extended effects by sub-effect, volume column by kind.
  std::set<int> effects, volumeKinds;
  bool keyOffNote = false;
  for (int p = 0; p < song->patternCount; ++p) {
    const Pattern& pattern = song->patterns[p];
    for (uint32_t i = 0; i < pattern.rowCount * song->channelCount; ++i) {
      const NoteCell& cell = pattern.cells[i];
      if (cell.effect != 0 || cell.effectParam != 0) {
        effects.insert(cell.effect == 0xE ? 0xE0 | cell.effectParam >> 4 : cell.effect);
      }
      if (cell.volume >= 0x10) volumeKinds.insert(cell.volume >> 4 == 5 ? 1 : cell.volume >> 4);
      keyOffNote |= cell.note == 255;
    }
  }
  for (int effect :
       {0x0, 0x1, 0x2, 0x3, 0x4, 0x7, 0x8, 0x9, 0xA, 0xF, 16, 17, 20, 25, 27, 0xE6, 0xE9, 0xEC, 0xED})
    EXPECT_TRUE(effects.count(effect)) << "effect " << effect;
  EXPECT_GE(effects.size(), 20u);
  EXPECT_GE(volumeKinds.size(), 4u);
  EXPECT_TRUE(keyOffNote);

  std::vector<xm::XmInstrument> instruments = demo::demoInstruments();
  auto any = [&](auto test) { return std::any_of(instruments.begin(), instruments.end(), test); };
  EXPECT_TRUE(any([](const xm::XmInstrument& i) { return i.samples[0].sixteenBit; }));
  EXPECT_TRUE(any([](const xm::XmInstrument& i) { return !i.samples[0].sixteenBit; }));
  EXPECT_TRUE(any([](const xm::XmInstrument& i) { return i.samples[0].loop == xm::XmLoop::Forward; }));
  EXPECT_TRUE(any([](const xm::XmInstrument& i) { return i.samples[0].loop == xm::XmLoop::PingPong; }));
  EXPECT_TRUE(
      any([](const xm::XmInstrument& i) { return i.volumeEnvelope.type == (EnvelopeOn | EnvelopeSustain); }));
  EXPECT_TRUE(
      any([](const xm::XmInstrument& i) { return i.volumeEnvelope.type == (EnvelopeOn | EnvelopeLoop); }));
  EXPECT_TRUE(any([](const xm::XmInstrument& i) { return i.panningEnvelope.type & EnvelopeOn; }));
  EXPECT_TRUE(any([](const xm::XmInstrument& i) { return i.vibratoDepth != 0 && i.vibratoRate != 0; }));
  EXPECT_TRUE(any([](const xm::XmInstrument& i) { return i.fadeout != 0; }));
}

TEST_F(DemoSong, OnePassIsLoudWithoutClippingAndFadesOut) {
  EXPECT_GT(pass->seconds(), 40);
  EXPECT_LT(pass->seconds(), 70);
  const std::vector<int16_t>& pcm = pass->pcm;
  auto [low, high] = std::minmax_element(pcm.begin(), pcm.end());
  EXPECT_GT(*low, -30000);  // headroom: well inside the 16-bit range
  EXPECT_LT(*high, 30000);
  EXPECT_GT(rms(pcm.data(), pcm.size()), 3000);
  // Every second sounds, but for the fade at the end.
  std::size_t second = 2 * mixRate;
  for (std::size_t start = 0; start + 4 * second < pcm.size(); start += second)
    EXPECT_GT(rms(pcm.data() + start, second), 500) << "second " << start / second;
  // The fade reaches silence before the song returns to its restart position.
  std::size_t tail = 2 * blockFrames * 2;
  EXPECT_LT(rms(pcm.data() + pcm.size() - 2 * tail, tail), 20);
}

TEST_F(DemoSong, RendersTheSameBytesEveryTime) {
  test::SongPointer song = test::loadFromMemory(*bytes);
  ASSERT_NE(song, nullptr);
  Pass again = renderOnePass(song.get());
  EXPECT_TRUE(again.pcm == pass->pcm);
}

}  // namespace
}  // namespace vantor
