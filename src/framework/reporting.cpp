// The library's static objects, in one place because their order matters: the
// caption is constructed first and the logger after it, so at unload the logger goes
// first and the caption last, and only then the text lock they share.
#include "framework/reporting.h"

namespace pellgameapi {

namespace {

// Destroyed after the caption, the last text buffer: an unloaded library leaves the
// shared text lock behind no more than the song.
struct TextlockRelease {
  ~TextlockRelease() { delete textlock.exchange(nullptr); }
} textlockRelease;

}  // namespace

textbuf captionText;
logger frameworkLogger;

std::atomic<HWND> parentWindow{nullptr};
std::atomic<uint32_t> exceptionMode{0};

}  // namespace pellgameapi
