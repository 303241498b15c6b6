#include "whole_process.h"

#include <cinttypes>
#include <cstdio>
#include <system_error>

#include "child_process.h"

namespace fs = std::filesystem;

namespace vantor::bench {

namespace {

// The tool's exit codes for a file that is no XM file and for one its loader refuses.
constexpr int exitNotXm = 4;
constexpr int exitRefusedSong = 5;

// Runs one program that writes `out`, which is removed first so that every run creates
// its file anew; the audio is what the file holds.
Measure runWriting(const std::vector<std::string>& arguments, const fs::path& out, uint64_t* hash,
                   int* exitCode) {
  std::error_code error;
  fs::remove(out, error);
  ChildRun run = runChild(arguments);
  if (exitCode != nullptr) *exitCode = run.exitCode;
  Measure measure;
  if (!run.exited) return measure;
  WavPcm pcm = readWavPcm(out);
  if (!pcm.found) return measure;
  measure.ran = true;
  measure.seconds = pcmSeconds(pcm.bytes);
  measure.cpuSeconds = run.cpuSeconds;
  measure.peakKiB = run.peakKiB;
  if (hash != nullptr) *hash = pcm.hash;
  return measure;
}

ToolPass measureTool(const std::string& tool, const fs::path& song, const fs::path& work, int repeat) {
  ToolPass pass;
  fs::path out = work / "vantor.wav";
  pass.measure = leastOf(repeat, [&] {
    int exitCode = -1;
    Measure measure =
        runWriting({tool, "render", song.string(), "-o", out.string()}, out, &pass.hash, &exitCode);
    pass.refused = exitCode == exitNotXm || exitCode == exitRefusedSong;
    return measure;
  });
  return pass;
}

Measure measureXmp(const fs::path& song, const fs::path& work, int repeat) {
  fs::path out = work / "xmp.wav";
  return leastOf(repeat, [&] {
    return runWriting({"xmp", "-q", "--nocmd", "-i", "linear", "-o", out.string(), song.string()}, out,
                      nullptr, nullptr);
  });
}

Measure measureOpenmpt(const fs::path& song, const fs::path& work, int repeat) {
  fs::path out = work / "openmpt.wav";
  return leastOf(repeat, [&] {
    return runWriting({"openmpt123", "--batch", "--samplerate", "44100", "--filter", "2", "--no-float",
                       "--force", "-q", "-o", out.string(), song.string()},
                      out, nullptr, nullptr);
  });
}

}  // namespace

WholeProcessSong measureWholeProcesses(const fs::path& song, const WholeProcessOptions& options,
                                       const fs::path& work) {
  WholeProcessSong result;
  result.name = song.filename().string();
  for (const auto& tool : options.tools)
    result.tools.push_back(measureTool(tool, song, work, options.repeat));
  if (result.tools.empty() || !result.tools.front().measure.ran) return result;
  if (options.xmp) result.xmp = measureXmp(song, work, options.repeat);
  if (options.openmpt) result.openmpt = measureOpenmpt(song, work, options.repeat);
  return result;
}

void printWholeProcessTable(const std::vector<WholeProcessSong>& songs, const WholeProcessOptions& options) {
  std::printf("\nWhole process, one pass each, least CPU of %d runs:\n", options.repeat);
  std::printf("%-28s %7s %9s %9s", "song", "audio s", "xmp", "openmpt");
  for (std::size_t t = 0; t < options.tools.size(); ++t)
    std::printf(" | %7s%-2zu %6s %6s %5s", "tool ", t + 1, "/xmp", "/mpt", "MiB");
  std::printf(" | PCM hash\n");

  std::vector<Measure> tools(options.tools.size());
  Measure xmp, openmpt;
  for (const auto& song : songs) {
    const ToolPass& first = song.tools.front();
    if (!first.measure.ran) {
      std::printf("%-28s %s\n", song.name.c_str(), first.refused ? "refused by the loader" : "failed");
      continue;
    }
    std::printf("%-28s %7.1f %9s %9s", song.name.c_str(), first.measure.seconds, speedText(song.xmp).c_str(),
                speedText(song.openmpt).c_str());
    bool same = true;
    for (std::size_t t = 0; t < song.tools.size(); ++t) {
      const Measure& measure = song.tools[t].measure;
      std::printf(" | %9s %6s %6s %5s", speedText(measure).c_str(), ratioText(measure, song.xmp).c_str(),
                  ratioText(measure, song.openmpt).c_str(), peakText(measure).c_str());
      addTo(tools[t], measure);
      same = same && song.tools[t].hash == first.hash;
    }
    std::printf(" | %016" PRIx64 "%s\n", first.hash,
                song.tools.size() < 2 ? ""
                : same                ? " same"
                                      : " DIFFERS");
    addTo(xmp, song.xmp);
    addTo(openmpt, song.openmpt);
  }
  std::printf("%-28s %7.1f %9s %9s", "overall", tools.empty() ? 0.0 : tools.front().seconds,
              speedText(xmp).c_str(), speedText(openmpt).c_str());
  for (const auto& total : tools)
    std::printf(" | %9s %6s %6s %5s", speedText(total).c_str(), ratioText(total, xmp).c_str(),
                ratioText(total, openmpt).c_str(), peakText(total).c_str());
  std::printf(" |\n\n");
  for (std::size_t t = 0; t < options.tools.size(); ++t)
    std::printf("tool %zu: %s\n", t + 1, options.tools[t].c_str());
  std::printf(
      "Each program writes one pass of the song to a WAV file (16-bit stereo, 44100 Hz, linear\n"
      "interpolation); its speed is its own audio over the CPU time (user + system) of its whole\n"
      "process. /xmp and /mpt are the tool's speed over the peer's; overall is total audio over\n"
      "total CPU on the songs the first tool loads. The PCM hash (FNV-1a 64 of the WAV data) is\n"
      "the first tool's; 'same' says every tool wrote exactly those samples.\n");
}

}  // namespace vantor::bench
