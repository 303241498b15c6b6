// Local time, the message box, process exit and library references of the stand-in.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <ctime>
#include <string>

namespace {

TEST(KernelMisc, LocalTimeMatchesTheSystemClock) {
  std::time_t before = std::time(nullptr);
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::tm local{};
  localtime_r(&before, &local);
  EXPECT_EQ(now.wYear, local.tm_year + 1900);
  EXPECT_EQ(now.wMonth, local.tm_mon + 1);
  EXPECT_GE(now.wDay, 1);
  EXPECT_LE(now.wDay, 31);
  EXPECT_LT(now.wDayOfWeek, 7);
  EXPECT_LT(now.wHour, 24);
  EXPECT_LT(now.wMinute, 60);
  EXPECT_LT(now.wSecond, 61);
  EXPECT_LT(now.wMilliseconds, 1000);
  // The same minute unless the call straddled a minute boundary.
  int systemMinutes = local.tm_hour * 60 + local.tm_min;
  int minutes = now.wHour * 60 + now.wMinute;
  EXPECT_TRUE(minutes == systemMinutes || minutes == (systemMinutes + 1) % 1440);
}

TEST(KernelMisc, MessageBoxWritesCaptionAndTextToStandardError) {
  testing::internal::CaptureStderr();
  int answer = MessageBoxA(nullptr, "vantor; failed while loading file 'a.xm'", "Game", MB_OK);
  std::string written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(written, "Game\nvantor; failed while loading file 'a.xm'\n");

  testing::internal::CaptureStderr();
  MessageBoxA(nullptr, "text", nullptr, MB_OK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ntext\n");
}

TEST(KernelMiscDeathTest, ExitProcessEndsWithTheCode) {
  EXPECT_EXIT(ExitProcess(69), testing::ExitedWithCode(69), "");
}

}  // namespace

// References to loaded libraries: taken from an address inside a library that was
// loaded with dlopen, refused for the program itself and for an address in no library,
// each failure with the handle cleared and its reason.
TEST(KernelMisc, ModuleReferencesAreTakenOnlyInLoadedLibraries) {
  int onTheStack = 0;
  const void* inLibc = reinterpret_cast<const void*>(&dlopen);
  const void* inProgram = reinterpret_cast<const void*>(&GetModuleHandleExW);
  struct Case {
    DWORD flags;
    const void* address;
    BOOL taken;
    DWORD error;
  };
  for (const Case& c : {Case{GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, inLibc, TRUE, 0},
                        Case{GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, inProgram, FALSE, ERROR_MOD_NOT_FOUND},
                        Case{GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, &onTheStack, FALSE, ERROR_MOD_NOT_FOUND},
                        Case{0, inLibc, FALSE, ERROR_INVALID_PARAMETER}}) {
    HMODULE module = reinterpret_cast<HMODULE>(&onTheStack);
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleExW(c.flags, static_cast<LPCWSTR>(c.address), &module), c.taken) << c.address;
    if (c.taken) {
      EXPECT_NE(module, nullptr);
      EXPECT_EQ(FreeLibrary(module), TRUE);
    } else {
      EXPECT_EQ(module, nullptr) << c.address;
      EXPECT_EQ(GetLastError(), c.error) << c.address;
    }
  }
  EXPECT_EQ(FreeLibrary(nullptr), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
