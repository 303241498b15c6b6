// Where render and export write, without ever damaging what is at the path already.
// A regular file, or a path where nothing is yet, gets a new temporary file in the
// same directory, renamed over the path only once it is complete and on disk; a
// failure or a stop signal removes that temporary file and nothing else. Anything
// else at the path (a character device, a FIFO, a terminal), and standard output for
// "-", is written straight through and never removed. A symbolic link is followed:
// the file it leads to is replaced and the link stays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor::tool {

// The output path that stands for standard output.
inline constexpr char standardOutputPath[] = "-";

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // discards what was not committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Prepares writing to path; false, with error(), when it cannot be written. From
  // now on a stop signal removes the temporary file and ends the tool.
  bool open(const std::string& path);
  // Keeps bytes and writes them out in large pieces. False, with error(), when a
  // write failed; the output is then discarded.
  bool write(const void* bytes, std::size_t count);
  // Writes out the rest and puts the file in place. False, with error(), when that
  // failed; the output is then discarded.
  bool commit();
  // Removes the temporary file, if there is one; the path keeps what it had.
  void discard();

  const std::string& error() const { return error_; }

 private:
  bool openStraightThrough(const std::string& target);
  bool openReplacement(const std::string& target);
  bool writeOut(const uint8_t* bytes, std::size_t count);
  bool fail(const std::string& reason);

  int descriptor_ = -1;
  bool ownsDescriptor_ = false;  // not for standard output
  std::string target_{};
  std::string temporary_{};  // empty when writing straight through
  std::vector<uint8_t> pending_{};
  std::string error_{};
};

}  // namespace vantor::tool
