// The library's two static objects, in one place because their order matters:
// the caption is constructed first and the logger after it, so at unload the
// logger goes first and the caption last.
#include "framework/reporting.h"

namespace pellgameapi {

textbuf captionText;
logger frameworkLogger;

HWND parentWindow = nullptr;
uint32_t exceptionMode = 0;

}  // namespace pellgameapi
