// Time, the message box and process exit.
#include <sys/time.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <ctime>

void GetLocalTime(LPSYSTEMTIME time) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

// There is no window system to ask: the caption and the text go to standard error,
// and the box counts as closed with OK at once.
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  std::fprintf(stderr, "%s\n%s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
  return IDOK;
}

// Ends the process at once with the code, like its namesake: no static destructors
// run, so a feeder thread still inside the library cannot trip over freed objects.
void ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  _exit(static_cast<int>(exitCode));
}

BOOL DisableThreadLibraryCalls(HMODULE) { return TRUE; }
