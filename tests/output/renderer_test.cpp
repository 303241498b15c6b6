// Block renderer: tick placement, conversion to 16-bit, the Lock/Unlock protocol and
// the ring position. Ticks are made visible by a tick handler that starts a one-frame
// click on voice 0, so every tick shows as one frame of value 1000 in the PCM.
#include "output/renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "output/mixer.h"
#include "output/vector_mix.h"

namespace vantor {
namespace {

// Hands out a memory region for each Lock and records the calls. Like a real buffer,
// it gives no second region to a caller that offers no place for one.
class FakeSoundBuffer final : public IDirectSoundBuffer {
 public:
  enum class Regions { Whole, ShortFirst, Split, None };

  struct LockCall {
    DWORD offset, bytes, flags;
    bool outputsClearedOnEntry;
  };
  struct UnlockCall {
    void* first;
    DWORD firstBytes;
    void* second;
    DWORD secondBytes;
  };

  std::vector<unsigned char> memory = std::vector<unsigned char>(ringBytes, sentinel);
  std::vector<unsigned char> secondMemory = std::vector<unsigned char>(ringBytes, sentinel);
  Regions regions = Regions::Whole;
  DWORD firstRegionBytes = 0;  // for ShortFirst and Split
  std::vector<LockCall> locks;
  std::vector<UnlockCall> unlocks;
  static constexpr unsigned char sentinel = 0xAA;

  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* first, LPDWORD firstBytes, LPVOID* second,
                                 LPDWORD secondBytes, DWORD flags) override {
    bool secondOffered = second != nullptr && secondBytes != nullptr;
    bool cleared = *first == nullptr && *firstBytes == 0 &&
                   (!secondOffered || (*second == nullptr && *secondBytes == 0));
    locks.push_back({offset, bytes, flags, cleared});
    if (regions == Regions::None) return DSERR_BUFFERLOST;
    *first = memory.data() + offset;
    *firstBytes = regions == Regions::Whole ? bytes : firstRegionBytes;
    if (regions == Regions::Split && secondOffered) {
      *second = secondMemory.data();
      *secondBytes = bytes - firstRegionBytes;
    }
    return DS_OK;
  }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID first, DWORD firstBytes, LPVOID second,
                                   DWORD secondBytes) override {
    unlocks.push_back({first, firstBytes, second, secondBytes});
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD) override { return DS_OK; }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD, LPDWORD) override { return DS_OK; }
  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG) override { return DS_OK; }
  HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD) override { return DS_OK; }
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD) override { return DS_OK; }
  HRESULT STDMETHODCALLTYPE SetVolume(LONG) override { return DS_OK; }
  HRESULT STDMETHODCALLTYPE Stop() override { return DS_OK; }

  int16_t pcm(int value) const {
    int16_t result;
    std::memcpy(&result, memory.data() + 2 * value, 2);
    return result;
  }
};

// What the tick handlers below see and do.
struct TickScript {
  int calls = 0;
  Sample* click = nullptr;   // started on voice 0 at every tick when set
  int bpmChangeAtCall = -1;  // call number (from 0) that sets newBpm
  int newBpm = 0;
  std::vector<float> blockValues;  // written into the block's floats at every tick
  int forcedSamplesPerTick = 0;    // when nonzero, the handler sets samplesPerTick to it
};
TickScript script;

void scriptedTick(Song* song) {
  if (script.calls == script.bpmChangeAtCall) setBpm(song, script.newBpm);
  if (script.forcedSamplesPerTick != 0) song->samplesPerTick = script.forcedSamplesPerTick;
  if (script.click != nullptr) {
    Voice& voice = voicePool[0];
    voice = Voice{};
    voice.sample = script.click;
    voice.stepInt = 1;
    voice.direction = directionForward;
    voice.leftVolume = voice.rightVolume = voice.lastLeftVolume = voice.lastRightVolume = 255;
    voice.currentLeft = voice.currentRight = 255 * 256;
  }
  float* block = mixBuffer.frames + 2 * blockIndex * blockFrames;
  std::copy(script.blockValues.begin(), script.blockValues.end(), block);
  ++script.calls;
}

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script = TickScript{};
    resetVoicePool();
    ASSERT_TRUE(allocateMixBuffer());
    song = static_cast<Song*>(std::calloc(1, sizeof(Song)));
    setBpm(song, 125);
    song->tickHandler = scriptedTick;
    currentSong = song;
    soundBuffer = &device;
    blockIndex = 0;
    click.length = click.loopLength = 1;
    click.loopMode = LoopNone;
    click.data = allocateSampleData(1);
    click.data[0] = 1000;
  }
  void TearDown() override {
    freeMixBuffer();
    currentSong = nullptr;
    soundBuffer = nullptr;
    blockIndex = 0;
    resetVoicePool();
    std::free(song);
    freeSampleData(click.data);
  }

  // Ring frames whose left sample is not silent, over the first `blocks` blocks.
  std::vector<int> soundingFrames(int blocks) const {
    std::vector<int> found;
    for (int frame = 0; frame < blocks * blockFrames; ++frame) {
      if (device.pcm(2 * frame) != 0) found.push_back(frame);
    }
    return found;
  }

  FakeSoundBuffer device;
  Song* song = nullptr;
  Sample click{};
};

// 125 BPM gives 882-frame ticks in 884-frame blocks: block 0 holds tick 0 and the
// first 2 frames of tick 1, block 1 finishes tick 1 (880 frames) before tick 2.
TEST_F(RendererTest, TicksFallOnExactFramesAcrossBlocks) {
  script.click = &click;
  renderBlock();
  EXPECT_EQ(script.calls, 2);
  EXPECT_EQ(song->tickSamplesLeft, 880);
  renderBlock();
  EXPECT_EQ(script.calls, 3);
  EXPECT_EQ(song->tickSamplesLeft, 878);
  renderBlock();
  EXPECT_EQ(soundingFrames(3), (std::vector<int>{0, 882, 1764, 2646}));
  EXPECT_EQ(device.pcm(2 * 882), 1000);
  EXPECT_EQ(device.pcm(2 * 882 + 1), 1000);
}

// A tempo change made by a tick sets the length of that same tick.
TEST_F(RendererTest, TempoChangeTakesEffectInItsOwnTick) {
  script.click = &click;
  script.bpmChangeAtCall = 1;
  script.newBpm = 250;  // 441 frames
  for (int block = 0; block < 3; ++block) renderBlock();
  EXPECT_EQ(soundingFrames(3), (std::vector<int>{0, 882, 1323, 1764, 2205, 2646}));
}

// 32 BPM: 3445-frame ticks run through several blocks without a tick call.
TEST_F(RendererTest, LongTicksSpanBlocks) {
  script.click = &click;
  setBpm(song, 32);
  for (int block = 0; block < 5; ++block) renderBlock();
  EXPECT_EQ(script.calls, 2);
  EXPECT_EQ(soundingFrames(5), (std::vector<int>{0, 3445}));
}

// A tick length below one frame would never fill the block; it counts as one frame.
TEST_F(RendererTest, TicksShorterThanOneFrameLastOneFrame) {
  script.forcedSamplesPerTick = -3;
  song->tickSamplesLeft = -7;
  renderBlock();
  EXPECT_EQ(script.calls, blockFrames);
  EXPECT_EQ(blockIndex, 1);
}

// Clamped to the 16-bit range in float, then truncated toward zero; NaN gives 0. The
// values stand at the start of the block and again at its end, where the vector
// conversions hand over to their last, narrower groups; each of the mixer's loops
// comes with its conversion.
TEST_F(RendererTest, FloatsAreClippedThenTruncated) {
  float infinity = std::numeric_limits<float>::infinity();
  const std::vector<float> values = {40000.7f, -40000.7f, 1.9f,     -1.9f,     3e9f,  -1e30f, std::nanf(""),
                                     infinity, -infinity, 32767.9f, -32768.9f, -0.5f, 0.5f,   -32767.9f};
  const std::vector<int> expected = {32767, -32768, 1,     -1,     32767, -32768, 0,
                                     32767, -32768, 32767, -32768, 0,     0,      -32767};
  const int count = static_cast<int>(values.size());
  const int lastValues = 2 * blockFrames - count;
  script.blockValues.assign(2 * blockFrames, 0.0f);
  std::copy(values.begin(), values.end(), script.blockValues.begin());
  std::copy(values.begin(), values.end(), script.blockValues.begin() + lastValues);

  const MixKernel initial = activeMixKernel();
  for (MixKernel kernel : {MixKernel::Portable, MixKernel::Vector, MixKernel::Wide}) {
    if (!useMixKernel(kernel)) continue;
    blockIndex = 0;
    song->tickSamplesLeft = 0;
    renderBlock();
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(device.pcm(i), expected[i]) << "kernel " << static_cast<int>(kernel) << ", value " << i;
      EXPECT_EQ(device.pcm(lastValues + i), expected[i])
          << "kernel " << static_cast<int>(kernel) << ", value " << i;
    }
  }
  useMixKernel(initial);
}

// Each rendering starts from zeroed floats, whatever the block held before.
TEST_F(RendererTest, BlockFloatsAreClearedBeforeMixing) {
  std::fill(mixBuffer.frames, mixBuffer.frames + 2 * ringFrames, 5000.0f);
  renderBlock();
  EXPECT_TRUE(soundingFrames(1).empty());
}

// One Lock per block at the block's offset with flags 0 and cleared outputs, Unlock
// with exactly what Lock returned, and the ring index back at 0 after 100 blocks.
TEST_F(RendererTest, EachBlockLocksItsPlaceInTheRingAndTheIndexWraps) {
  for (int block = 0; block < blockCount; ++block) renderBlock();
  EXPECT_EQ(blockIndex, 0);
  renderBlock();
  ASSERT_EQ(device.locks.size(), 101u);
  for (int block = 0; block <= blockCount; ++block) {
    const auto& lock = device.locks[block];
    EXPECT_EQ(lock.offset, static_cast<DWORD>((block % blockCount) * 3536)) << block;
    EXPECT_EQ(lock.bytes, 3536u);
    EXPECT_EQ(lock.flags, 0u);
    EXPECT_TRUE(lock.outputsClearedOnEntry);
    const auto& unlock = device.unlocks[block];
    EXPECT_EQ(unlock.first, device.memory.data() + lock.offset);
    EXPECT_EQ(unlock.firstBytes, 3536u);
    EXPECT_EQ(unlock.second, nullptr);
    EXPECT_EQ(unlock.secondBytes, 0u);
  }
  EXPECT_EQ(blockIndex, 1);
}

// Never more than Lock's regions hold: a short first region takes exactly its
// length; a split lock continues in the second region, even mid-sample.
TEST_F(RendererTest, WritesNoMoreThanTheLockedRegionsHold) {
  for (int i = 0; i < 2 * blockFrames; ++i) script.blockValues.push_back(static_cast<float>(i));
  blockIndex = 3;
  device.regions = FakeSoundBuffer::Regions::ShortFirst;
  device.firstRegionBytes = 100;
  renderBlock();
  const unsigned char* block = device.memory.data() + 3 * 3536;
  for (int byte = 0; byte < 100; ++byte) EXPECT_EQ(block[byte], byte % 2 ? 0 : byte / 2) << byte;
  for (int byte = 100; byte < 3536; ++byte) ASSERT_EQ(block[byte], FakeSoundBuffer::sentinel) << byte;

  device.regions = FakeSoundBuffer::Regions::Split;
  device.firstRegionBytes = 101;
  renderBlock();
  std::vector<unsigned char> written(device.memory.begin() + 4 * 3536,
                                     device.memory.begin() + 4 * 3536 + 101);
  written.insert(written.end(), device.secondMemory.begin(), device.secondMemory.begin() + 3536 - 101);
  for (int value = 0; value < 2 * blockFrames; ++value) {
    int16_t sample;
    std::memcpy(&sample, written.data() + 2 * value, 2);
    ASSERT_EQ(sample, value);
  }
  EXPECT_EQ(device.secondMemory[3536 - 101], FakeSoundBuffer::sentinel);
}

// A buffer that cannot be locked, or none at all: the song still advances.
TEST_F(RendererTest, FailingLockStillMixesAndAdvances) {
  script.click = &click;
  device.regions = FakeSoundBuffer::Regions::None;
  renderBlock();
  EXPECT_EQ(script.calls, 2);
  EXPECT_EQ(blockIndex, 1);
  EXPECT_EQ(voicePool[0].sample, nullptr);  // the click was mixed and ended
  ASSERT_EQ(device.unlocks.size(), 1u);
  EXPECT_EQ(device.unlocks[0].first, nullptr);
  EXPECT_EQ(device.unlocks[0].firstBytes, 0u);
  for (unsigned char byte : device.memory) ASSERT_EQ(byte, FakeSoundBuffer::sentinel);

  soundBuffer = nullptr;
  renderBlock();
  EXPECT_EQ(script.calls, 3);
  EXPECT_EQ(blockIndex, 2);
}

// A looping synthesized tone started by the first tick renders audible PCM, and the
// same song rendered twice from the same start gives the same bytes.
void toneTick(Song* song) {
  Voice& voice = voicePool[0];
  if (song->tick == 0) {
    voice = Voice{};
    voice.sample = script.click;
    voice.stepInt = 1;
    voice.stepFrac = 0x3A000000;
    voice.direction = directionForward;
  }
  voice.leftVolume = 200 - song->tick % 7 * 20;
  voice.rightVolume = 60 + song->tick % 5 * 30;
  ++song->tick;
}

TEST_F(RendererTest, RenderingIsAudibleAndRepeatable) {
  Sample tone{};
  tone.length = tone.loopLength = 100;
  tone.loopMode = LoopForward;
  tone.data = allocateSampleData(tone.length);  // data[length] is the loop guard
  for (uint32_t i = 0; i <= tone.length; ++i)
    tone.data[i] = static_cast<int16_t>(12000 * std::sin(i * 0.0628318));
  script.click = &tone;
  song->tickHandler = toneTick;

  std::vector<std::vector<unsigned char>> renderings;
  for (int run = 0; run < 2; ++run) {
    resetVoicePool();
    song->tick = 0;
    song->tickSamplesLeft = 0;
    blockIndex = 0;
    for (int block = 0; block < 10; ++block) renderBlock();
    renderings.push_back(device.memory);
    std::fill(device.memory.begin(), device.memory.end(), FakeSoundBuffer::sentinel);
  }
  EXPECT_EQ(renderings[0], renderings[1]);
  int loud = 0;
  for (int value = 0; value < 2 * 10 * blockFrames; ++value) {
    int16_t sample;
    std::memcpy(&sample, renderings[0].data() + 2 * value, 2);
    loud += std::abs(sample) > 1000;
  }
  EXPECT_GT(loud, 10 * blockFrames);
  freeSampleData(tone.data);
}

}  // namespace
}  // namespace vantor
