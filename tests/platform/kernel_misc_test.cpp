// Local time, the message box and process exit of the stand-in.
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
