// What one program costs on one song, and the helpers both tables of the benchmark use
// to take, add up and print such measures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantor::bench {

// One program's result on one song: audio produced, CPU used, peak memory.
struct Measure {
  bool ran = false;
  double seconds = 0;
  double cpuSeconds = 0;
  long peakKiB = 0;
  double speed() const { return cpuSeconds > 0 ? seconds / cpuSeconds : 0; }
};

// Runs a measurement `repeat` times and keeps the run with the least CPU time; the
// first run that fails ends it.
template <typename Run>
Measure leastOf(int repeat, Run run) {
  Measure best;
  for (int i = 0; i < repeat; ++i) {
    Measure measure = run();
    if (!measure.ran) return measure;
    if (!best.ran || measure.cpuSeconds < best.cpuSeconds) best = measure;
  }
  return best;
}

// Sums the audio and the CPU time; keeps the largest peak.
void addTo(Measure& total, const Measure& measure);

std::vector<uint8_t> readFile(const std::filesystem::path& path);

// The PCM of a RIFF WAV file, its data chunk (cut to what the file holds): its length
// and its FNV-1a 64 hash. The file is read in pieces: the benchmark's own memory
// counts in the peak of every child it starts (a child begins as a copy of it).
struct WavPcm {
  bool found = false;  // the file is there and has a data chunk
  uint64_t bytes = 0;
  uint64_t hash = 0;
};
WavPcm readWavPcm(const std::filesystem::path& path);

// Seconds of 16-bit stereo PCM at 44100 Hz in that many bytes.
double pcmSeconds(uint64_t bytes);

// "1234x", or "-" for a measure that did not run.
std::string speedText(const Measure& measure);
// Our speed over theirs, "1.63", or "-".
std::string ratioText(const Measure& ours, const Measure& theirs);
// Peak memory in MiB, "5.9", or "-".
std::string peakText(const Measure& measure);

}  // namespace vantor::bench
