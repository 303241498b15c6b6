// The block renderer: fills the ring of the sound buffer one 884-frame block at a
// time, calling the song's tick handler at exact frame positions and converting the
// float mix to clipped 16-bit stereo PCM.
#pragma once

#include <windows.h>
#include <dsound.h>

#include <cstdint>

#include "loading/song.h"

namespace vantor {

constexpr int mixRate = 44100;         // output frames per second
constexpr int bufferLengthMs = 1000;   // buffer length setting
// 20 ms rounded up to a multiple of 4 frames: 884 frames.
constexpr int blockFrames = (mixRate * 20 / 1000 + 3) / 4 * 4;
constexpr int ringFrames = (bufferLengthMs / 20) * blockFrames * 2;  // 88400 frames
constexpr int blockCount = ringFrames / blockFrames;                 // 100 blocks
constexpr int bytesPerFrame = 4;
constexpr int ringBytes = ringFrames * bytesPerFrame;  // 353600 bytes

// The float mix buffer: ringFrames frames of (left, right) floats, used from the
// first 16-byte-aligned address inside its allocation.
struct MixBuffer {
  void* allocation;
  float* frames;
};

// Ring state, one set per process; null or zero while stopped.
extern IDirectSoundBuffer* soundBuffer;
extern Song* currentSong;
extern int blockIndex;
extern MixBuffer mixBuffer;

// The ring buffer's sample format: 16-bit stereo PCM at the mix rate.
WAVEFORMATEX ringFormat();
// Creates a buffer of that format holding the whole ring (ringBytes), software-mixed
// with a true play cursor, plus `extraFlags`; null when the device refuses.
IDirectSoundBuffer* createRingBuffer(IDirectSound* device, DWORD extraFlags);

// Allocates the zeroed mix buffer (ringFrames x 8 + 256 bytes); false when that fails.
bool allocateMixBuffer();
void freeMixBuffer();
// Back to the stopped ring state: the sound buffer stopped and released, the mix
// buffer freed, no song, block 0. Only once nothing renders any more.
void endRing();
// Makes the next allocateMixBuffer fail as if memory were exhausted, so that tests
// reach the path of a start without memory; false withdraws a request not yet used.
void failNextMixBufferAllocation(bool fail = true);

// Renders block blockIndex of currentSong into soundBuffer and advances blockIndex.
// Without a sound buffer the block stays in the mix buffer, at frame
// blockIndex x blockFrames, until that block is rendered again.
void renderBlock();

// One block of the float mix (blockFrames frames) as 16-bit PCM, clamped and
// truncated toward zero, exactly as renderBlock writes it into the sound buffer.
void convertBlock(const float* region, int16_t* pcm);

// Sets the song's bpm and the matching samplesPerTick (floor(110250 / bpm) at 44100 Hz).
void setBpm(Song* song, int bpm);

}  // namespace vantor
