// The library's settings for fatal error reports, and its framework logger. The
// host sets the settings through the command entry: a caption and an owner window
// for the message box, and whether errors are shown or thrown.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "framework/logger.h"
#include "framework/textbuf.h"

namespace pellgameapi {

// A report on one host thread may read the settings while a command of another thread
// sets them: the two words are atomic, and the caption changes under the text lock.
extern textbuf captionText;                   // title of the message box; empty until the host sets one
extern std::atomic<HWND> parentWindow;        // owner of the message box; null for none
extern std::atomic<uint32_t> exceptionMode;  // 0: show the message and end the process; nonzero: throw it

extern logger frameworkLogger;  // receives every report; never enabled here

}  // namespace pellgameapi
