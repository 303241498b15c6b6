// A progress bar on standard error, drawn only when standard error is a terminal.
#pragma once

#include <cstdint>

namespace vantor::tool {

class ProgressBar {
 public:
  explicit ProgressBar(uint64_t total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Redraws when the shown percentage changes.
  void update(uint64_t done);
  // Removes the bar from the line.
  void finish();

 private:
  uint64_t total_;
  int shownPercent_ = -1;
  bool visible_;
};

}  // namespace vantor::tool
