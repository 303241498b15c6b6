// The commands of modproc as a host gives them: loads, play, volume and stop, and
// what the library does with arguments a host should not pass.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host.h"

namespace vantor::hosttest {
namespace {

using platform::InjectedFaults;
using platform::RecordedCall;

constexpr uint32_t globalFocus = 1;
constexpr uint32_t volumeControl = 2;

TEST_F(HostTest, LoadsFromFileAndMemoryPlaysSetsVolumeAndStops) {
  modproc(2, const_cast<char*>(song.path()));
  modproc(4, directSound(), volumeControl);
  ASSERT_TRUE(sounding(device));
  EXPECT_EQ(device.newestBuffer()->volume(), DSBVOLUME_MIN) << "a song with volume control starts silent";
  float half = 0.5f;
  modproc(6, &half);
  EXPECT_EQ(device.newestBuffer()->volume(), -5000);

  modproc(5);
  EXPECT_EQ(device.liveBufferCount(), 0);
  modproc(4, directSound(), 0);  // a stopped song plays again
  EXPECT_TRUE(sounding(device));

  std::vector<uint8_t> bytes = songBytes();
  modproc(3, bytes.data(), static_cast<uint32_t>(bytes.size()));
  EXPECT_EQ(device.liveBufferCount(), 0) << "a load ends the earlier song's stream";
  modproc(4, directSound(), 0);
  EXPECT_TRUE(sounding(device));
  EXPECT_EQ(device.createdBufferCount(), 3);
  modproc(5);
  EXPECT_EQ(device.liveBufferCount(), 0);
}

TEST_F(HostTest, UnknownCommandsDoNothing) {
  const int32_t unknown[] = {7, -1, 100, std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max()};
  for (int32_t cmd : unknown) EXPECT_FALSE(command(cmd).has_value()) << cmd << " without a song";

  modproc(2, const_cast<char*>(song.path()));
  modproc(4, directSound(), volumeControl);
  device.clearCalls();
  float full = 1.0f;
  for (int32_t cmd : unknown) EXPECT_FALSE(command(cmd, &full, volumeControl).has_value()) << cmd;
  for (const RecordedCall& call : device.calls()) {
    EXPECT_EQ(call.method, "GetCurrentPosition") << "only the feeder thread's polling";
  }
  EXPECT_TRUE(sounding(device));
  EXPECT_EQ(device.createdBufferCount(), 1);
}

TEST_F(HostTest, PlayOptionBitsChooseGlobalFocusAndVolumeControl) {
  modproc(2, const_cast<char*>(song.path()));
  const DWORD plain = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2;
  struct Case {
    uint32_t options;
    DWORD flags;
  };
  const Case cases[] = {
      {0, plain},
      {globalFocus, plain | DSBCAPS_GLOBALFOCUS},
      {volumeControl, plain | DSBCAPS_CTRLVOLUME},
      {globalFocus | volumeControl, plain | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME},
      {4, plain},  // only bits 0 and 1 count
      {0xFFFFFFFDu, plain | DSBCAPS_GLOBALFOCUS},
  };
  for (const Case& c : cases) {
    device.clearCalls();
    modproc(4, directSound(), c.options);
    std::vector<RecordedCall> created = callsTo(device, "CreateSoundBuffer");
    ASSERT_EQ(created.size(), 1u) << c.options;
    EXPECT_EQ(created[0].description.dwFlags, c.flags) << c.options;
    EXPECT_TRUE(sounding(device)) << c.options;

    // Only a buffer with volume control starts silent and follows command 6.
    const bool controlled = (c.options & volumeControl) != 0;
    EXPECT_EQ(device.newestBuffer()->volume(), controlled ? DSBVOLUME_MIN : DSBVOLUME_MAX) << c.options;
    float level = 0.25f;
    modproc(6, &level);
    EXPECT_EQ(device.newestBuffer()->volume(), controlled ? -7500 : DSBVOLUME_MAX) << c.options;
  }
}

TEST_F(HostTest, VolumeIsClampedAndNanLeavesItAlone) {
  modproc(2, const_cast<char*>(song.path()));
  modproc(4, directSound(), volumeControl);
  const float infinity = std::numeric_limits<float>::infinity();
  struct Case {
    float volume;
    LONG expected;
  };
  const Case cases[] = {{1.0f, 0},       {0.999f, -9},  {0.0f, DSBVOLUME_MIN}, {2.0f, 0},
                        {-1.0f, -10000}, {infinity, 0}, {-infinity, -10000}};
  for (const Case& c : cases) {
    float volume = c.volume;
    modproc(6, &volume);
    EXPECT_EQ(device.newestBuffer()->volume(), c.expected) << c.volume;
  }
  float half = 0.5f;
  modproc(6, &half);
  device.clearCalls();
  float nan = std::numeric_limits<float>::quiet_NaN();
  modproc(6, &nan);
  EXPECT_TRUE(callsTo(device, "SetVolume").empty());
  EXPECT_EQ(device.newestBuffer()->volume(), -5000);
}

// The library reads the block only while command 3 runs (the sanitizers see any
// later read of the freed block).
TEST_F(HostTest, MemoryBlockMayBeFreedRightAfterTheLoad) {
  std::vector<uint8_t> bytes = songBytes();
  auto block = std::make_unique<uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), block.get());
  modproc(3, block.get(), static_cast<uint32_t>(bytes.size()));
  block.reset();

  modproc(4, directSound(), volumeControl);
  EXPECT_TRUE(sounding(device));
  float full = 1.0f;
  modproc(6, &full);
  EXPECT_EQ(device.newestBuffer()->volume(), 0);
  modproc(5);
  EXPECT_EQ(device.liveBufferCount(), 0);
}

TEST_F(HostTest, FailedLoadLeavesNoSong) {
  modproc(2, const_cast<char*>(song.path()));
  modproc(4, directSound(), 0);
  std::string missing = std::string(song.path()) + ".missing";
  EXPECT_EQ(fatalText(2, missing.data()), "vantor; failed while loading file '" + missing + "'");
  EXPECT_EQ(device.liveBufferCount(), 0) << "the first song was freed, and its stream ended";
  EXPECT_EQ(fatalText(4, directSound()), "vantor::play; song not yet loaded.");
  EXPECT_EQ(fatalText(5), "vantor::stop; song not yet loaded.");
}

// A Play the device refuses leaves the song loaded and silent; it is not freed, so
// it can be played, and later freed, as any other (the sanitizers see a double free).
TEST_F(HostTest, RefusedPlayKeepsTheSongLoaded) {
  modproc(2, const_cast<char*>(song.path()));
  device.injectFaults(InjectedFaults{.play = DSERR_BUFFERLOST});
  EXPECT_FALSE(command(4, directSound(), volumeControl).has_value()) << "a failed play is not reported";
  EXPECT_FALSE(sounding(device));
  EXPECT_EQ(device.liveBufferCount(), 0);

  float half = 0.5f;
  EXPECT_FALSE(command(6, &half).has_value());
  EXPECT_FALSE(command(5).has_value());
  device.injectFaults({});
  modproc(4, directSound(), volumeControl);
  EXPECT_TRUE(sounding(device));
  modproc(2, const_cast<char*>(song.path()));
  EXPECT_EQ(device.liveBufferCount(), 0);
  modproc(4, directSound(), 0);
  EXPECT_TRUE(sounding(device));
}

TEST_F(HostTest, PlayWithoutDeviceIsSilentAndHarmless) {
  modproc(2, const_cast<char*>(song.path()));
  EXPECT_FALSE(command(4, nullptr, globalFocus | volumeControl).has_value());
  float half = 0.5f;
  EXPECT_FALSE(command(6, &half).has_value());
  EXPECT_FALSE(command(5).has_value());
  modproc(4, directSound(), 0);
  EXPECT_TRUE(sounding(device));
}

TEST_F(HostTest, NullArgumentsFreeOrLeaveTheSongAndNeverCrash) {
  modproc(2, const_cast<char*>(song.path()));
  EXPECT_EQ(fatalText(2, nullptr), "vantor; failed while loading file '(null)'");
  EXPECT_EQ(fatalText(4, directSound()), "vantor::play; song not yet loaded.");

  modproc(2, const_cast<char*>(song.path()));
  EXPECT_EQ(fatalText(3, nullptr, 1000), "vantor; failed while loading file from memory");
  EXPECT_EQ(fatalText(4, directSound()), "vantor::play; song not yet loaded.");

  EXPECT_EQ(fatalText(6, nullptr), "vantor::vol; song not yet loaded.");
  modproc(2, const_cast<char*>(song.path()));
  modproc(4, directSound(), volumeControl);
  device.clearCalls();
  modproc(6, nullptr);
  EXPECT_TRUE(callsTo(device, "SetVolume").empty()) << "no float, no change";
  EXPECT_EQ(device.newestBuffer()->volume(), DSBVOLUME_MIN);
}

}  // namespace
}  // namespace vantor::hosttest
