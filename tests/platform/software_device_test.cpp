// The software sound device: buffers, Lock regions, volume, the play cursor in both
// modes, the consumer side, the call record, injected failures and thread safety.
#include "platform/software_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using vantor::platform::BufferRef;
using vantor::platform::CursorMode;
using vantor::platform::InjectedFaults;
using vantor::platform::SoftwareBuffer;
using vantor::platform::SoftwareDevice;
using Args = std::vector<std::int64_t>;

WAVEFORMATEX stereo16() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.nAvgBytesPerSec = 44100 * 4;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  return format;
}

DSBUFFERDESC describe(DWORD bytes, DWORD flags, WAVEFORMATEX* format) {
  DSBUFFERDESC description{};
  description.dwSize = sizeof(DSBUFFERDESC);
  description.dwFlags = flags;
  description.dwBufferBytes = bytes;
  description.lpwfxFormat = format;
  return description;
}

// A buffer of the stream's shape by default; the test releases it with Release().
SoftwareBuffer* createBuffer(SoftwareDevice& device, DWORD bytes = 353600,
                             DWORD flags = DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2 |
                                           DSBCAPS_CTRLVOLUME) {
  WAVEFORMATEX format = stereo16();
  DSBUFFERDESC description = describe(bytes, flags, &format);
  IDirectSoundBuffer* buffer = nullptr;
  EXPECT_EQ(device.CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
  return static_cast<SoftwareBuffer*>(buffer);
}

struct Regions {
  HRESULT result;
  void* first = reinterpret_cast<void*>(1);  // not null, to see that Lock clears them
  DWORD firstBytes = 77;
  void* second = reinterpret_cast<void*>(1);
  DWORD secondBytes = 77;
};

Regions lock(IDirectSoundBuffer* buffer, DWORD offset, DWORD bytes, DWORD flags = 0) {
  Regions regions;
  regions.result = buffer->Lock(offset, bytes, &regions.first, &regions.firstBytes, &regions.second,
                                &regions.secondBytes, flags);
  return regions;
}

void fill(void* region, DWORD bytes, std::uint8_t value) { std::memset(region, value, bytes); }

DWORD playCursorOf(IDirectSoundBuffer* buffer) {
  DWORD play = 0;
  EXPECT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
  return play;
}

TEST(SoftwareDevice, CreatesAZeroedBufferWithTheRequestedFormatSizeAndFlags) {
  SoftwareDevice device;
  SoftwareBuffer* buffer = createBuffer(device, 353600, DSBCAPS_LOCSOFTWARE | DSBCAPS_GETCURRENTPOSITION2);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->number(), 1u);
  EXPECT_EQ(buffer->size(), 353600u);
  EXPECT_EQ(buffer->flags(), 0x10008u);
  EXPECT_EQ(buffer->format().nSamplesPerSec, 44100u);
  EXPECT_EQ(buffer->frameBytes(), 4u);
  std::vector<std::uint8_t> contents = buffer->contents();
  EXPECT_EQ(contents.size(), 353600u);
  EXPECT_EQ(std::accumulate(contents.begin(), contents.end(), 0), 0);
  EXPECT_EQ(device.liveBufferCount(), 1);
  EXPECT_EQ(buffer->Release(), 0u);
  EXPECT_EQ(device.liveBufferCount(), 0);
  EXPECT_EQ(device.createdBufferCount(), 1);
}

TEST(SoftwareDevice, CreateSoundBufferRefusesWhatDirectSoundRefuses) {
  SoftwareDevice device;
  WAVEFORMATEX good = stereo16();
  auto attempt = [&](DSBUFFERDESC description, LPUNKNOWN outer = nullptr) {
    IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(1);
    HRESULT result = device.CreateSoundBuffer(&description, &buffer, outer);
    EXPECT_EQ(buffer, nullptr);
    return result;
  };
  DSBUFFERDESC valid = describe(3536, 0, &good);
  DSBUFFERDESC wrongSize = valid;
  wrongSize.dwSize = sizeof(DSBUFFERDESC) - 4;
  DSBUFFERDESC noFormat = describe(3536, 0, nullptr);
  WAVEFORMATEX adpcm = good;
  adpcm.wFormatTag = 2;
  WAVEFORMATEX badAlign = good;
  badAlign.nBlockAlign = 2;
  WAVEFORMATEX tooFast = good;
  tooFast.nSamplesPerSec = 400000;
  tooFast.nAvgBytesPerSec = 1600000;

  EXPECT_EQ(attempt(wrongSize), DSERR_INVALIDPARAM);
  EXPECT_EQ(attempt(noFormat), DSERR_INVALIDPARAM);
  EXPECT_EQ(attempt(describe(0, 0, &good)), DSERR_INVALIDPARAM);
  EXPECT_EQ(attempt(describe(DSBSIZE_MAX + 1, 0, &good)), DSERR_INVALIDPARAM);
  EXPECT_EQ(attempt(describe(3537, 0, &good)), DSERR_INVALIDPARAM);  // not whole frames
  EXPECT_EQ(attempt(describe(3536, DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE, &good)), DSERR_INVALIDPARAM);
  EXPECT_EQ(attempt(describe(3536, 0, &adpcm)), DSERR_BADFORMAT);
  EXPECT_EQ(attempt(describe(3536, 0, &badAlign)), DSERR_BADFORMAT);
  EXPECT_EQ(attempt(describe(3536, 0, &tooFast)), DSERR_BADFORMAT);
  EXPECT_EQ(attempt(describe(0, DSBCAPS_PRIMARYBUFFER, nullptr)), DSERR_UNSUPPORTED);
  EXPECT_EQ(attempt(valid, reinterpret_cast<LPUNKNOWN>(&device)), DSERR_NOAGGREGATION);
  IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(1);
  EXPECT_EQ(device.CreateSoundBuffer(nullptr, &buffer, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(device.CreateSoundBuffer(&valid, nullptr, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(device.createdBufferCount(), 0);
}

TEST(SoftwareDevice, LockHandsOutTheRequestedBytesAndWrapsIntoASecondRegion) {
  SoftwareDevice device;
  SoftwareBuffer* buffer = createBuffer(device, 1000);

  Regions inside = lock(buffer, 100, 200);
  ASSERT_EQ(inside.result, DS_OK);
  EXPECT_EQ(inside.firstBytes, 200u);
  EXPECT_EQ(inside.second, nullptr);
  EXPECT_EQ(inside.secondBytes, 0u);
  fill(inside.first, inside.firstBytes, 1);
  EXPECT_EQ(buffer->Unlock(inside.first, inside.firstBytes, inside.second, inside.secondBytes), DS_OK);

  Regions wrapped = lock(buffer, 800, 400);
  ASSERT_EQ(wrapped.result, DS_OK);
  EXPECT_EQ(wrapped.firstBytes, 200u);
  EXPECT_EQ(wrapped.secondBytes, 200u);
  fill(wrapped.first, wrapped.firstBytes, 2);
  fill(wrapped.second, wrapped.secondBytes, 3);
  EXPECT_EQ(buffer->Unlock(wrapped.first, wrapped.firstBytes, wrapped.second, wrapped.secondBytes), DS_OK);

  std::vector<std::uint8_t> contents = buffer->contents();
  EXPECT_EQ(contents[0], 3);
  EXPECT_EQ(contents[199], 3);
  EXPECT_EQ(contents[200], 1);  // the wrapped second region covered only bytes 0..199
  EXPECT_EQ(contents[299], 1);
  EXPECT_EQ(contents[300], 0);
  EXPECT_EQ(contents[799], 0);
  EXPECT_EQ(contents[800], 2);
  EXPECT_EQ(contents[999], 2);

  // Without a place for the second region only the part up to the end is locked.
  void* first = nullptr;
  DWORD firstBytes = 0;
  EXPECT_EQ(buffer->Lock(800, 400, &first, &firstBytes, nullptr, nullptr, 0), DS_OK);
  EXPECT_EQ(firstBytes, 200u);

  Regions entire = lock(buffer, 0, 0, DSBLOCK_ENTIREBUFFER);
  EXPECT_EQ(entire.firstBytes, 1000u);
  EXPECT_EQ(entire.second, nullptr);
  Regions entireFrom = lock(buffer, 400, 0, DSBLOCK_ENTIREBUFFER);
  EXPECT_EQ(entireFrom.firstBytes, 600u);
  EXPECT_EQ(entireFrom.secondBytes, 400u);
  buffer->Release();
}

TEST(SoftwareDevice, LockRefusesInvalidArgumentsWithNulledOutputs) {
  SoftwareDevice device;
  SoftwareBuffer* buffer = createBuffer(device, 1000);
  for (Regions regions :
       {lock(buffer, 1000, 4), lock(buffer, 0, 0), lock(buffer, 0, 1004), lock(buffer, 0, 4, 0x8)}) {
    EXPECT_EQ(regions.result, DSERR_INVALIDPARAM);
    EXPECT_EQ(regions.first, nullptr);
    EXPECT_EQ(regions.firstBytes, 0u);
    EXPECT_EQ(regions.second, nullptr);
    EXPECT_EQ(regions.secondBytes, 0u);
  }
  void* first = nullptr;
  DWORD bytes = 0;
  EXPECT_EQ(buffer->Lock(0, 4, nullptr, &bytes, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 4, &first, &bytes, &first, nullptr, 0), DSERR_INVALIDPARAM);

  std::uint8_t outside[8];
  Regions regions = lock(buffer, 996, 4);
  EXPECT_EQ(buffer->Unlock(outside, 8, nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(device.calls().back().arguments, (Args{-2, 8, -1, 0})) << "a pointer outside is recorded as -2";
  EXPECT_EQ(buffer->Unlock(regions.first, 8, nullptr, 0), DSERR_INVALIDPARAM);  // runs past the end
  EXPECT_EQ(buffer->Unlock(nullptr, 0, nullptr, 0), DSERR_INVALIDPARAM);
  buffer->Release();
}

TEST(SoftwareDevice, VolumeNeedsVolumeControlAndStaysInRange) {
  SoftwareDevice device;
  SoftwareBuffer* plain = createBuffer(device, 3536, DSBCAPS_LOCSOFTWARE);
  LONG volume = 1;
  EXPECT_EQ(plain->SetVolume(-10000), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->GetVolume(&volume), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->volume(), 0);
  plain->Release();

  SoftwareBuffer* controlled = createBuffer(device, 3536, DSBCAPS_CTRLVOLUME);
  EXPECT_EQ(controlled->SetVolume(-10000), DS_OK);
  EXPECT_EQ(controlled->SetVolume(-10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(controlled->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(controlled->GetVolume(&volume), DS_OK);
  EXPECT_EQ(volume, -10000);
  EXPECT_EQ(controlled->SetVolume(-7500), DS_OK);
  EXPECT_EQ(controlled->volume(), -7500);
  controlled->Release();

  EXPECT_EQ(vantor::platform::amplitudeOfVolume(0), 1.0);
  EXPECT_EQ(vantor::platform::amplitudeOfVolume(-10000), 0.0);
  EXPECT_NEAR(vantor::platform::amplitudeOfVolume(-2000), 0.1, 1e-12);
  EXPECT_NEAR(vantor::platform::amplitudeOfVolume(-602), 0.5, 1e-3);
}

TEST(SoftwareDevice, PlayAndStopSetTheStatus) {
  SoftwareDevice device;
  SoftwareBuffer* buffer = createBuffer(device, 3536);
  DWORD status = 99;
  EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  buffer->GetStatus(&status);
  EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  EXPECT_EQ(buffer->Stop(), DS_OK);
  buffer->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(buffer->Play(1, 0, DSBPLAY_LOOPING), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Play(0, 0, 0x10), DSERR_INVALIDPARAM);
  EXPECT_FALSE(buffer->playing());
  EXPECT_EQ(buffer->GetStatus(nullptr), DSERR_INVALIDPARAM);
  buffer->Release();
}

TEST(SoftwareDevice, ManualCursorMovesOnlyWhenItsOwnerMovesIt) {
  SoftwareDevice device;
  SoftwareBuffer* buffer = createBuffer(device);
  EXPECT_TRUE(buffer->setPlayCursor(1002));
  DWORD play = 0, write = 0;
  buffer->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 1000u);   // whole frames
  EXPECT_EQ(write, 1000u);  // stopped: no lead
  EXPECT_FALSE(buffer->advancePlayCursor(3536)) << "a stopped buffer does not play";
  EXPECT_EQ(playCursorOf(buffer), 1000u);

  buffer->Play(0, 0, DSBPLAY_LOOPING);
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(playCursorOf(buffer), 1000u);
  EXPECT_TRUE(buffer->advancePlayCursor(3536));
  buffer->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 4536u);
  EXPECT_EQ(write, 4536u + 441 * 4);  // 10 ms ahead while playing
  EXPECT_TRUE(buffer->advancePlayCursor(353600 - 4536 + 8));
  EXPECT_EQ(playCursorOf(buffer), 8u);
  EXPECT_FALSE(buffer->setPlayCursor(353600));
  EXPECT_EQ(buffer->SetCurrentPosition(353600), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->SetCurrentPosition(7076), DS_OK);
  EXPECT_EQ(playCursorOf(buffer), 7076u);
  EXPECT_EQ(buffer->GetCurrentPosition(nullptr, nullptr), DSERR_INVALIDPARAM);

  // Without looping the buffer stops at its end and the cursor rests at 0.
  buffer->Play(0, 0, 0);
  EXPECT_TRUE(buffer->advancePlayCursor(353600));
  EXPECT_FALSE(buffer->playing());
  EXPECT_EQ(playCursorOf(buffer), 0u);
  buffer->Release();
}

TEST(SoftwareDevice, ClockCursorFollowsRealTimeAndStopsWithTheBuffer) {
  SoftwareDevice device(CursorMode::clock);
  SoftwareBuffer* buffer = createBuffer(device, 44100 * 4 * 10);  // 10 s: no wrap here
  EXPECT_EQ(buffer->cursorMode(), CursorMode::clock);
  auto start = std::chrono::steady_clock::now();
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  std::this_thread::sleep_for(100ms);
  DWORD play = playCursorOf(buffer);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(play % 4, 0u);
  EXPECT_GE(play, 4410u * 4);  // at least the 100 ms slept
  EXPECT_LE(play, std::chrono::duration<double>(elapsed).count() * 176400 + 4);
  EXPECT_FALSE(buffer->advancePlayCursor(4));  // the clock moves it
  std::uint8_t frame[4];
  EXPECT_EQ(buffer->consume(frame, 1), 0u);

  buffer->Stop();
  DWORD stopped = playCursorOf(buffer);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(playCursorOf(buffer), stopped);
  buffer->Release();

  // A 100-frame buffer (2.3 ms) wraps while looping and ends a one-shot play.
  SoftwareBuffer* tiny = createBuffer(device, 400);
  tiny->Play(0, 0, DSBPLAY_LOOPING);
  std::this_thread::sleep_for(20ms);
  EXPECT_LT(playCursorOf(tiny), 400u);
  EXPECT_TRUE(tiny->playing());
  tiny->Play(0, 0, 0);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(tiny->playing());
  EXPECT_EQ(playCursorOf(tiny), 0u);
  tiny->Release();
}

TEST(SoftwareDevice, ConsumerReadsFromTheCursorAcrossTheRingEnd) {
  SoftwareDevice device;
  SoftwareBuffer* buffer = createBuffer(device, 16 * 4);  // 16 frames
  Regions all = lock(buffer, 0, 64);
  auto* bytes = static_cast<std::uint8_t*>(all.first);
  for (int i = 0; i < 64; ++i) bytes[i] = static_cast<std::uint8_t>(i / 4);  // each frame holds its number
  buffer->Unlock(all.first, all.firstBytes, all.second, all.secondBytes);

  std::uint8_t out[20 * 4];
  buffer->setPlayCursor(12 * 4);
  EXPECT_EQ(buffer->consume(out, 8), 0u) << "a stopped buffer hands out nothing";
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  ASSERT_EQ(buffer->consume(out, 8), 8u);
  std::vector<int> frames;
  for (int i = 0; i < 8; ++i) frames.push_back(out[i * 4]);
  EXPECT_EQ(frames, (std::vector<int>{12, 13, 14, 15, 0, 1, 2, 3}));
  EXPECT_EQ(playCursorOf(buffer), 4u * 4);

  buffer->setPlayCursor(10 * 4);
  buffer->Play(0, 0, 0);
  EXPECT_EQ(buffer->consume(out, 20), 6u) << "a one-shot play ends at the buffer's end";
  EXPECT_EQ(out[5 * 4], 15);
  EXPECT_FALSE(buffer->playing());

  std::uint8_t wrapped[8];
  ASSERT_TRUE(buffer->read(60, 8, wrapped));
  EXPECT_EQ(wrapped[0], 15);
  EXPECT_EQ(wrapped[4], 0);
  EXPECT_FALSE(buffer->read(64, 4, wrapped));
  buffer->Release();
}

TEST(SoftwareDevice, RecordsEveryCallWithItsArgumentsInOrder) {
  SoftwareDevice device;
  WAVEFORMATEX format = stereo16();
  DSBUFFERDESC description = describe(353600, 0x10088, &format);
  IDirectSoundBuffer* buffer = nullptr;
  device.CreateSoundBuffer(&description, &buffer, nullptr);
  Regions regions = lock(buffer, 3536, 3536);
  buffer->Unlock(regions.first, regions.firstBytes, regions.second, regions.secondBytes);
  buffer->SetVolume(-10000);
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  DWORD play;
  buffer->GetCurrentPosition(&play, nullptr);
  buffer->Stop();
  buffer->Release();

  EXPECT_EQ(device.callNames(), (std::vector<std::string>{"CreateSoundBuffer", "Lock", "Unlock", "SetVolume",
                                                          "Play", "GetCurrentPosition", "Stop", "Release"}));
  std::vector<vantor::platform::RecordedCall> calls = device.calls();
  ASSERT_EQ(calls.size(), 8u);
  const auto& create = calls[0];
  EXPECT_EQ(create.target, 0u);
  ASSERT_TRUE(create.hasDescription && create.hasFormat);
  EXPECT_EQ(create.description.dwSize, sizeof(DSBUFFERDESC));
  EXPECT_EQ(create.description.dwFlags, 0x10088u);
  EXPECT_EQ(create.description.dwBufferBytes, 353600u);
  EXPECT_EQ(create.format.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(create.outputs, Args{1});
  EXPECT_EQ(calls[1].target, 1u);
  EXPECT_EQ(calls[1].arguments, (Args{3536, 3536, 0}));
  EXPECT_EQ(calls[1].outputs, (Args{3536, 3536, -1, 0}));
  EXPECT_EQ(calls[2].arguments, calls[1].outputs) << "Unlock got back what Lock handed out";
  EXPECT_EQ(calls[3].arguments, Args{-10000});
  EXPECT_EQ(calls[4].arguments, (Args{0, 0, 1}));
  EXPECT_EQ(calls[5].arguments, (Args{1, 0}));
  EXPECT_EQ(calls[7].outputs, Args{0});

  device.clearCalls();
  EXPECT_TRUE(device.calls().empty());
  device.setRecording(false);
  device.SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
  EXPECT_TRUE(device.calls().empty());
}

TEST(SoftwareDevice, InjectedFailuresHitTheCallsTheyNameUntilWithdrawn) {
  SoftwareDevice device;
  device.injectFaults({.createSoundBuffer = DSERR_OUTOFMEMORY});
  WAVEFORMATEX format = stereo16();
  DSBUFFERDESC description = describe(3536, 0, &format);
  IDirectSoundBuffer* refused = reinterpret_cast<IDirectSoundBuffer*>(1);
  EXPECT_EQ(device.CreateSoundBuffer(&description, &refused, nullptr), DSERR_OUTOFMEMORY);
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(device.liveBufferCount(), 0);
  device.injectFaults({});

  SoftwareBuffer* buffer = createBuffer(device, 353600);
  device.injectFaults({.play = DSERR_BUFFERLOST, .lock = DSERR_BUFFERLOST});
  EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DSERR_BUFFERLOST);
  EXPECT_EQ(device.calls().back().result, DSERR_BUFFERLOST) << "recorded with its failure";
  EXPECT_FALSE(buffer->playing());
  Regions lost = lock(buffer, 0, 3536);
  EXPECT_EQ(lost.result, DSERR_BUFFERLOST);
  EXPECT_EQ(device.calls().back().result, DSERR_BUFFERLOST) << "recorded with its failure";
  EXPECT_EQ(lost.first, nullptr);
  EXPECT_EQ(lost.firstBytes, 0u);

  device.injectFaults({.lockFirstRegionLimit = 100});
  Regions shortened = lock(buffer, 0, 3536);
  EXPECT_EQ(shortened.result, DS_OK);
  EXPECT_EQ(shortened.firstBytes, 100u);
  EXPECT_EQ(shortened.second, nullptr);
  Regions shortWrap = lock(buffer, 353600 - 40, 3536);
  EXPECT_EQ(shortWrap.firstBytes, 40u);
  EXPECT_EQ(shortWrap.second, nullptr) << "a shortened lock has no second region";

  device.injectFaults({});
  EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(lock(buffer, 0, 3536).firstBytes, 3536u);
  buffer->Release();
}

TEST(SoftwareDevice, ReferencesDecideWhenABufferIsFreed) {
  SoftwareDevice device;
  void* other = &device;
  EXPECT_EQ(device.QueryInterface(GUID{}, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(device.AddRef(), 2u);
  EXPECT_EQ(device.Release(), 1u);
  EXPECT_EQ(device.Release(), 0u);  // counts only; the device is its owner's

  SoftwareBuffer* buffer = createBuffer(device, 3536);
  other = buffer;
  EXPECT_EQ(buffer->QueryInterface(GUID{}, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(buffer->AddRef(), 2u);
  EXPECT_EQ(buffer->Release(), 1u);
  {
    BufferRef held = device.newestBuffer();
    ASSERT_EQ(held.get(), buffer);
    EXPECT_EQ(buffer->Release(), 1u) << "the owner's reference keeps the buffer";
    EXPECT_EQ(device.liveBufferCount(), 1);
    EXPECT_EQ(lock(held.get(), 0, 4).result, DS_OK);  // still usable
  }
  EXPECT_EQ(device.liveBufferCount(), 0);
  EXPECT_FALSE(device.newestBuffer());
}

TEST(SoftwareDevice, NewestBufferIsTheLastOneCreatedThatStillLives) {
  SoftwareDevice device;
  SoftwareBuffer* first = createBuffer(device, 3536);
  SoftwareBuffer* second = createBuffer(device, 3536);
  EXPECT_EQ(device.newestBuffer().get(), second);
  EXPECT_EQ(second->number(), 2u);
  second->Release();
  EXPECT_EQ(device.newestBuffer().get(), first);
  std::vector<std::string> names = device.callNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "AddRef"), 0) << "owner references are not recorded";
  first->Release();
}

TEST(SoftwareDevice, ABufferOutlivesItsDevice) {
  auto* device = new SoftwareDevice;
  SoftwareBuffer* buffer = createBuffer(*device, 3536);
  delete device;
  Regions regions = lock(buffer, 0, 3536);
  ASSERT_EQ(regions.result, DS_OK);
  fill(regions.first, regions.firstBytes, 9);
  EXPECT_EQ(buffer->Unlock(regions.first, regions.firstBytes, nullptr, 0), DS_OK);
  EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(buffer->contents()[3535], 9);
  EXPECT_EQ(buffer->Release(), 0u);
}

// The host thread changes the volume while the feeder locks, writes, unlocks and
// polls, and an output backend moves the cursor: nothing may race (run it under TSan
// too). The backend does not read the bytes here: keeping the feeder's writes apart
// from what is being played is the callers' business, through the cursor.
TEST(SoftwareDevice, ConcurrentVolumeLockAndCursorCallsAreSafe) {
  SoftwareDevice device;
  SoftwareBuffer* buffer = createBuffer(device);
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  std::atomic<bool> done{false};
  std::thread host([&] {
    for (int i = 0; i < 10000; ++i) buffer->SetVolume(-(i % 10001));
    done = true;
  });
  std::thread feeder([&] {
    for (DWORD block = 0; !done; block = (block + 1) % 100) {
      Regions regions = lock(buffer, block * 3536, 3536);
      if (regions.first != nullptr) fill(regions.first, regions.firstBytes, static_cast<std::uint8_t>(block));
      buffer->Unlock(regions.first, regions.firstBytes, regions.second, regions.secondBytes);
      playCursorOf(buffer);
    }
  });
  std::thread backend([&] {
    while (!done) buffer->advancePlayCursor(1024 * 4);
  });
  host.join();
  feeder.join();
  backend.join();
  EXPECT_EQ(buffer->volume(), -9999);
  EXPECT_TRUE(buffer->playing());
  buffer->Release();
}

}  // namespace
