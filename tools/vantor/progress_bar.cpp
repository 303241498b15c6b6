#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace vantor::tool {

namespace {
constexpr int barWidth = 40;
}  // namespace

ProgressBar::ProgressBar(uint64_t total)
    : total_(total == 0 ? 1 : total), visible_(isatty(STDERR_FILENO) != 0) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(uint64_t done) {
  if (!visible_) return;
  int percent = static_cast<int>(done >= total_ ? 100 : done * 100 / total_);
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  int filled = percent * barWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(barWidth - filled), '.');
  std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
  std::fflush(stderr);
}

void ProgressBar::finish() {
  if (!visible_ || shownPercent_ < 0) return;
  std::fprintf(stderr, "\r%*s\r", barWidth + 8, "");
  std::fflush(stderr);
  shownPercent_ = -1;
}

}  // namespace vantor::tool
