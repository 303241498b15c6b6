// vantor render: the song as a WAV file of whole rendered blocks, as many as cover
// the requested seconds, or one pass of the song.
#include <cmath>
#include <cstdio>

#include "commands.h"
#include "exit_codes.h"
#include "offline_renderer.h"
#include "output/renderer.h"
#include "progress_bar.h"
#include "song_input.h"
#include "song_pass.h"
#include "wav_file.h"

namespace vantor::tool {

namespace {

constexpr uint64_t blockBytes = uint64_t{blockFrames} * bytesPerFrame;

uint64_t blocksCovering(uint64_t frames) { return (frames + blockFrames - 1) / blockFrames; }

// The pass is measured on a copy of its own: playing a song changes it for later
// plays (E5x keeps the finetune it sets), and the render must start as a first play.
bool countPassBlocks(const SongSource& source, uint64_t& blocks, int& exitCode) {
  LoadedSong probe = loadSongFrom(source);
  if (probe.song == nullptr) {
    exitCode = probe.exitCode;
    return false;
  }
  blocks = blocksCovering(measurePass(probe.song.get()).frames);
  return true;
}

}  // namespace

int runRender(const Options& options) {
  uint64_t blocks = 0;
  if (options.seconds) {
    // A hair below a whole block is not a reason for one more.
    blocks = static_cast<uint64_t>(std::ceil(*options.seconds * mixRate / blockFrames - 1e-9));
  } else {
    int exitCode = exitSuccess;
    if (!countPassBlocks(options.song, blocks, exitCode)) return exitCode;
  }

  LoadedSong loaded = loadSongFrom(options.song);
  if (loaded.song == nullptr) return loaded.exitCode;
  OfflineRenderer renderer(loaded.song.get());
  if (!renderer.ready()) {
    std::fprintf(stderr, "vantor: out of memory for the sound buffer\n");
    return exitFailure;
  }

  WavWriter wav;
  if (!wav.open(options.outputPath, static_cast<uint32_t>(blocks * blockBytes))) {
    std::fprintf(stderr, "vantor: cannot write '%s': %s\n", options.outputPath.c_str(), wav.error().c_str());
    return exitUnwritableOutput;
  }
  ProgressBar progress(blocks);
  for (uint64_t block = 0; block < blocks; ++block) {
    const std::vector<uint8_t>& pcm = renderer.renderNext();
    if (!wav.write(pcm.data(), pcm.size())) break;
    progress.update(block + 1);
  }
  progress.finish();
  if (!wav.close()) {
    std::fprintf(stderr, "vantor: cannot write '%s': %s\n", options.outputPath.c_str(), wav.error().c_str());
    return exitUnwritableOutput;
  }
  return exitSuccess;
}

}  // namespace vantor::tool
