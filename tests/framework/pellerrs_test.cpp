#include "framework/pellerrs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/reporting.h"
#include "temp_dir.h"

namespace pellgameapi {
namespace {

const std::string messageBoxPrefix =
    "An error has occurred and this application will be shut down.\nMore information:\n    ";

class ReportErrorThrowing : public ::testing::Test {
 protected:
  void SetUp() override { exceptionMode = 1; }
  void TearDown() override { exceptionMode = 0; }
};

// The text of the exception that report throws.
template <typename Report>
std::string thrownText(Report report) {
  try {
    report();
  } catch (pellerrsexception& error) {
    EXPECT_EQ(error.reserved, 0u);
    return error.text;
  }
  ADD_FAILURE() << "nothing was thrown";
  return {};
}

TEST_F(ReportErrorThrowing, ThrowsTheMessageWithoutPrefixCutAt4095Characters) {
  EXPECT_EQ(thrownText([] { pellerrs::reporterror("vantor; failed while loading file '%s'", "x.xm"); }),
            "vantor; failed while loading file 'x.xm'");
  std::string message(5000, 'm');
  EXPECT_EQ(thrownText([&] { pellerrs::reporterror("%s", message.c_str()); }), message.substr(0, 4095));
  EXPECT_EQ(thrownText([] { pellerrs::reporterror(nullptr); }), "");
}

// Percent signs that arrive in the message stay text on their way to the log.
TEST_F(ReportErrorThrowing, PercentSignsInTheMessageReachTheLogAsText) {
  vantor::test::TempDir dir;
  std::string path = dir.file("report.log");
  frameworkLogger.filename = path.c_str();
  frameworkLogger.enabled = 1;
  std::string text = thrownText([] { pellerrs::reporterror("rate 100%%: %s", "%s%n%d"); });
  frameworkLogger.enabled = 0;
  frameworkLogger.filename = "";

  EXPECT_EQ(text, "rate 100%: %s%n%d");
  std::string logged = vantor::test::readFile(path);
  ASSERT_GE(logged.size(), 28u);
  EXPECT_EQ(logged.substr(28), "rate 100%: %s%n%d\r\n");
}

// A window handle has 32 significant bits on 64-bit Windows and widens by sign
// extension: one with the top bit set must reach the message box whole.
TEST(MessageBoxOwner, TheWindowOfCommandZeroIsSignExtended) {
  char caption[] = "caption";
  modproc(VANTOR_SET_CAPTION, caption, 0xFFFF0010u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(parentWindow.load()), static_cast<uintptr_t>(0xFFFFFFFFFFFF0010ull));
  modproc(VANTOR_SET_CAPTION, caption, 0x00010010u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(parentWindow.load()), uintptr_t{0x00010010u});
  modproc(VANTOR_SET_CAPTION, nullptr, 0);
}

TEST_F(ReportErrorThrowing, CopyTakesTheTextAndAssignmentAlsoReserved) {
  try {
    pellerrs::reporterror("first");
  } catch (pellerrsexception& first) {
    first.reserved = 7;
    pellerrsexception copy(first);
    EXPECT_STREQ(copy.text, "first");
    EXPECT_EQ(copy.reserved, 0u);
    try {
      pellerrs::reporterror("second");
    } catch (pellerrsexception& second) {
      second = first;
      EXPECT_STREQ(second.text, "first");
      EXPECT_EQ(second.reserved, 7u);
    }
  }
}

// Off Windows the message box writes its caption and text to standard error.
TEST(ReportErrorMessageBoxDeathTest, ShowsCaptionPrefixAndMessageThenEndsWith69) {
  EXPECT_EXIT(
      {
        captionText = "Game";
        pellerrs::reporterror("vantor; failed while loading file '%s'", "x.xm");
      },
      ::testing::ExitedWithCode(69),
      ::testing::Eq("Game\n" + messageBoxPrefix + "vantor; failed while loading file 'x.xm'\n"));
}

TEST(ReportErrorMessageBoxDeathTest, CutsTheMessageAt4011CharactersAfterThePrefix) {
  std::string message(5000, 'm');
  EXPECT_EXIT(pellerrs::reporterror("%s", message.c_str()), ::testing::ExitedWithCode(69),
              ::testing::Eq("\n" + messageBoxPrefix + message.substr(0, 4011) + "\n"));
}

TEST(ReportErrorMessageBoxDeathTest, MissingCaptionStorageGivesAnEmptyTitle) {
  EXPECT_EXIT(
      {
        captionText.release();
        pellerrs::reporterror(nullptr);
      },
      ::testing::ExitedWithCode(69), ::testing::Eq("\n" + messageBoxPrefix + "\n"));
}

}  // namespace
}  // namespace pellgameapi
