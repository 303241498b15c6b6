#include "framework/pellerrs.h"

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "framework/host_throw.h"
#include "framework/reporting.h"

namespace pellgameapi {

static_assert(offsetof(pellerrsexception, text) == 0 && offsetof(pellerrsexception, reserved) == 4096 &&
                  sizeof(pellerrsexception) == 4100,
              "the host is built against this layout");
static_assert(sizeof(unsigned int) == sizeof(uint32_t), "the header's reserved is the 32-bit word");

namespace {

constexpr char messageBoxPrefix[] =
    "An error has occurred and this application will be shut down.\nMore information:\n    ";
static_assert(sizeof messageBoxPrefix - 1 == 84);

constexpr UINT messageBoxStyle = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT fatalExitCode = 69;

}  // namespace

pellerrsexception::pellerrsexception() : reserved(0) { std::memset(text, 0, sizeof text); }

pellerrsexception::pellerrsexception(pellerrsexception& other) : reserved(0) {
  std::memcpy(text, other.text, sizeof text);
}

pellerrsexception& pellerrsexception::operator=(const pellerrsexception& other) {
  std::memmove(text, other.text, sizeof text);
  reserved = other.reserved;
  return *this;
}

pellerrsexception::~pellerrsexception() {}

pellerrs& pellerrs::operator=(const pellerrs&) { return *this; }

// In exception mode the report leaves this frame by a throw that, in the build for
// Microsoft-ABI hosts, runs no destructor of ours on its way: nothing here may hold a
// lock or own memory when it throws. report owns nothing, and every call before the
// throw (the formatting, the logger) has returned.
void pellerrs::reporterror(const char* format, ...) {
  const uint32_t throwing = exceptionMode.load();
  pellerrsexception report;
  std::size_t used = 0;
  if (throwing == 0) {
    std::memcpy(report.text, messageBoxPrefix, sizeof messageBoxPrefix);
    used = sizeof messageBoxPrefix - 1;
  }
  // The last byte of text is left as the final NUL: the message gets 4095 - used
  // characters, and longer ones are cut.
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(report.text + used, sizeof report.text - used, format, args);
    va_end(args);
  }
  // The message may hold percent signs of its own, so it goes to the log as text.
  frameworkLogger.log("%s", report.text);

  if (throwing != 0) throwToHost(report);

  // The caption stays as it is while the box shows: this thread keeps the text lock
  // until the process ends, and a caption set on another thread waits for it.
  critsec* captionLock = sharedTextlock();
  if (captionLock != nullptr) captionLock->enter();
  const char* caption = captionText.text != nullptr ? captionText.text : "";
  MessageBoxA(parentWindow.load(), report.text, caption, messageBoxStyle);
  ExitProcess(fatalExitCode);
}

}  // namespace pellgameapi
