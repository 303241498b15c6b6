// The commands a game gives to change its music, each timed on the calling thread, the
// game's: one round loads a song from its file and from memory and plays it, changes
// the volume, restarts it and stops it, and sets the caption and the error mode. Each
// load, restart and stop comes while the song plays, after a pause that differs from
// one command to the next, so that the stops land in every phase of the feeder
// thread's loop. The Linux benchmark and the Windows latency host run the same rounds.
//
// What a round prints, one line per song and command, times in milliseconds:
//   song NAME BYTES
//   COMMAND T1 T2 ...          COMMAND one of the keys of latencyCommandKeys
//   COMMAND.dsound T1 T2 ...   the part of each spent inside DirectSound, where the
//                              host can tell (double directSoundMilliseconds(): a sum)
// Standard library only, so that the Windows host builds it too.
#pragma once

#include <cstdio>
#include <vector>

namespace vantor::bench {

enum LatencyCommand {
  timedCaption,
  timedMode,
  timedLoadFile,
  timedLoadMemory,
  timedPlay,
  timedPlayAgain,
  timedVolume,
  timedStop,
  latencyCommandCount
};

inline const char* const latencyCommandKeys[latencyCommandCount] = {
    "caption", "mode", "load-file", "load-memory", "play", "play-again", "volume", "stop"};

// The command numbers and play options of the public header, repeated here so that
// the rounds need no header of the library.
constexpr int setCaptionCommand = 0, setModeCommand = 1, loadFileCommand = 2, loadMemoryCommand = 3,
              playCommand = 4, stopCommand = 5, setVolumeCommand = 6;
constexpr unsigned playOptions = 3;  // global focus and volume control

// Host: void command(int cmd, void* arg, unsigned arg2); double milliseconds() (a
// steady clock); void pause(int milliseconds); void* device() (the IDirectSound
// object); const char* songPath(); const void* songBytes(); unsigned songSize().
template <typename Host>
void runLatencyRounds(Host& host, const char* songName, int rounds) {
  constexpr bool seesDirectSound = requires { host.directSoundMilliseconds(); };
  std::vector<double> times[latencyCommandCount];
  std::vector<double> insideDirectSound[latencyCommandCount];
  bool recording = false;
  auto timed = [&](LatencyCommand which, int cmd, void* arg, unsigned arg2) {
    double directSoundBefore = 0;
    if constexpr (seesDirectSound) directSoundBefore = host.directSoundMilliseconds();
    double start = host.milliseconds();
    host.command(cmd, arg, arg2);
    double end = host.milliseconds();
    if (!recording) return;
    times[which].push_back(end - start);
    if constexpr (seesDirectSound)
      insideDirectSound[which].push_back(host.directSoundMilliseconds() - directSoundBefore);
  };
  // 20 to 62 ms, never the same twice in a row: the feeder polls every 5 ms (or every
  // 15.625 ms tick), so the commands meet it rendering, waiting, or just awake.
  int pauses = 0;
  auto pause = [&] { host.pause(20 + (pauses++ * 17) % 43); };
  char captionText[] = "vantor latency";
  float level = 0.5f;

  host.command(loadFileCommand, const_cast<char*>(host.songPath()), 0);
  host.command(playCommand, host.device(), playOptions);
  // The first round is not timed: the first of each command in a process brings in
  // code and pages, and the allocator sets its thresholds.
  for (int round = -1; round < rounds; ++round) {
    recording = round >= 0;
    pause();
    timed(timedLoadFile, loadFileCommand, const_cast<char*>(host.songPath()), 0);
    timed(timedPlay, playCommand, host.device(), playOptions);
    pause();
    level = level < 0.5f ? level + 0.37f : level - 0.41f;
    timed(timedVolume, setVolumeCommand, &level, 0);
    timed(timedPlayAgain, playCommand, host.device(), playOptions);
    pause();
    timed(timedLoadMemory, loadMemoryCommand, const_cast<void*>(host.songBytes()), host.songSize());
    timed(timedPlay, playCommand, host.device(), playOptions);
    pause();
    timed(timedStop, stopCommand, nullptr, 0);
    timed(timedCaption, setCaptionCommand, captionText, 0);
    timed(timedMode, setModeCommand, nullptr, 0);
    timed(timedPlay, playCommand, host.device(), playOptions);
  }
  host.command(stopCommand, nullptr, 0);

  std::printf("song %s %u\n", songName, host.songSize());
  for (int which = 0; which < latencyCommandCount; ++which) {
    std::printf("%s", latencyCommandKeys[which]);
    for (double time : times[which]) std::printf(" %.4f", time);
    std::printf("\n");
    if (!seesDirectSound) continue;
    std::printf("%s.dsound", latencyCommandKeys[which]);
    for (double time : insideDirectSound[which]) std::printf(" %.4f", time);
    std::printf("\n");
  }
  std::fflush(stdout);
}

}  // namespace vantor::bench
