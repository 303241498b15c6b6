// vantor trace: the replay state after each of the first N calls of the tick handler,
// in a fixed line format that other tools compare line by line:
//   tick n orderPosition row tick speed bpm globalVolume
//   ch c period periodOffset volume volumeOffset panning volEnv panEnv fadeoutVolume
//        keyOff voiceIndex voiceVolume voicePan voiceLeft voiceRight stepInt stepFrac
// (each "ch" line on one line). The song is rendered block by block as when it plays,
// so the mixer runs between the ticks exactly as it does then.
#include <algorithm>
#include <cstdio>

#include "commands.h"
#include "exit_codes.h"
#include "offline_renderer.h"
#include "sequencer/channel.h"
#include "song_input.h"
#include "tick_watch.h"

namespace vantor::tool {

namespace {

void printSong(const Song& song, uint64_t callNumber) {
  std::printf("tick %llu %d %d %d %d %d %d\n", static_cast<unsigned long long>(callNumber),
              song.orderPosition, song.row, song.tick, song.speed, song.bpm, song.globalVolume);
}

void printChannel(int index, const Channel& channel) {
  static const Voice noVoice = {};
  const Voice& voice = channel.voice != nullptr ? *channel.voice : noVoice;
  int voiceIndex = channel.voice != nullptr ? voice.index : -1;
  std::printf("ch %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %u\n", index, channel.period,
              channel.periodOffset, channel.volume, channel.volumeOffset, channel.panning,
              channel.volumeEnvelopeState.value, channel.panningEnvelopeState.value, channel.fadeoutVolume,
              channel.keyOff, voiceIndex, voice.volume, voice.pan, voice.leftVolume, voice.rightVolume,
              voice.stepInt, voice.stepFrac);
}

}  // namespace

int runTrace(const Options& options) {
  LoadedSong loaded = loadSongFrom(options.song);
  if (loaded.song == nullptr) return loaded.exitCode;
  Song* song = loaded.song.get();
  OfflineRenderer renderer(song);
  if (!renderer.ready()) {
    std::fprintf(stderr, "vantor: out of memory for the sound buffer\n");
    return exitFailure;
  }

  const uint64_t wanted = static_cast<uint64_t>(*options.ticks);
  int channelCount = std::clamp<int>(song->channelCount, 0, channelTableSize);
  TickWatch watch(song, [&](const Song& ticked, const TickCall& call) {
    if (call.number >= wanted) return;  // the rest of the last block
    printSong(ticked, call.number);
    for (int c = 0; c < channelCount; ++c) printChannel(c, channels[c]);
  });
  while (watch.calls() < wanted) renderer.renderNext();
  return std::fflush(stdout) == 0 ? exitSuccess : exitFailure;
}

}  // namespace vantor::tool
