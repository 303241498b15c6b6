// The benchmark's whole-process table: what it reads from a WAV file, and what it
// makes of a tool that writes one or refuses the song. Stand-in tools are shell
// scripts, so the test needs neither the real tool nor the peer players.
#include "whole_process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "framework/temp_dir.h"

namespace vantor::bench {
namespace {

std::string le32(uint32_t value) {
  return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
          static_cast<char>(value >> 24)};
}

std::string chunk(const std::string& tag, const std::string& body) {
  std::string bytes = tag + le32(static_cast<uint32_t>(body.size())) + body;
  if (body.size() % 2 != 0) bytes += '\0';  // chunks keep an even length
  return bytes;
}

std::string wav(const std::string& chunks) {
  return "RIFF" + le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

uint64_t fnv1a(const std::string& bytes) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001b3ULL;
  return hash;
}

std::string fmtChunk() { return chunk("fmt ", std::string(16, '\x01')); }

// The PCM is the data chunk alone, found past chunks of other kinds (one of odd
// length, padded), and cut to what the file holds.
TEST(WholeProcess, TheWavPcmIsTheDataChunkAsFarAsTheFileGoes) {
  test::TempDir directory;
  const std::string pcm = "abcdefgh12345678";
  std::string path = directory.file("listed.wav");
  test::writeFile(path, wav(fmtChunk() + chunk("LIST", "odd") + chunk("data", pcm)));
  WavPcm read = readWavPcm(path);
  EXPECT_TRUE(read.found);
  EXPECT_EQ(read.bytes, pcm.size());
  EXPECT_EQ(read.hash, fnv1a(pcm));

  std::string cut = wav(fmtChunk() + "data" + le32(1000) + pcm);
  test::writeFile(path, cut);
  read = readWavPcm(path);
  EXPECT_EQ(read.bytes, pcm.size());
  EXPECT_EQ(read.hash, fnv1a(pcm));

  test::writeFile(path, wav(fmtChunk() + chunk("LIST", "odd")));
  EXPECT_FALSE(readWavPcm(path).found);
}

std::string standInTool(const test::TempDir& directory, const std::string& name, const std::string& body) {
  std::string path = directory.file(name);
  test::writeFile(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

// A tool that writes its WAV file is measured by the audio in it, with the hash of
// its PCM; one that says the loader refuses the song (exit code 5) is listed as
// refused, and so is no other failure.
TEST(WholeProcess, ToolsAreMeasuredByWhatTheyWroteOrListedAsRefusing) {
  test::TempDir directory;
  const std::string pcm(44100 * 4, '\x07');  // one second of 16-bit stereo
  std::string prepared = directory.file("prepared.wav");
  test::writeFile(prepared, wav(fmtChunk() + chunk("data", pcm)));
  // Called as: TOOL render SONG -o OUT
  std::string writes = standInTool(directory, "writes", "cp '" + prepared + "' \"$4\"");
  std::string refuses = standInTool(directory, "refuses", "exit 5");
  std::string fails = standInTool(directory, "fails", "exit 6");

  WholeProcessOptions options{{writes, refuses, fails}, 2, false, false};
  WholeProcessSong song = measureWholeProcesses(directory.file("song.xm"), options, directory.file(""));
  ASSERT_EQ(song.tools.size(), 3u);
  EXPECT_TRUE(song.tools[0].measure.ran);
  EXPECT_DOUBLE_EQ(song.tools[0].measure.seconds, 1.0);
  EXPECT_EQ(song.tools[0].hash, fnv1a(pcm));
  EXPECT_FALSE(song.tools[0].refused);
  EXPECT_FALSE(song.tools[1].measure.ran);
  EXPECT_TRUE(song.tools[1].refused);
  EXPECT_FALSE(song.tools[2].measure.ran);
  EXPECT_FALSE(song.tools[2].refused);
}

}  // namespace
}  // namespace vantor::bench
