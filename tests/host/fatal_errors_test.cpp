// Fatal errors as the host meets them: thrown to it by type in exception mode, or
// shown in a message box (standard error off Windows) before the process ends with 69.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host.h"

namespace vantor::hosttest {
namespace {

const std::string messageBoxPrefix =
    "An error has occurred and this application will be shut down.\nMore information:\n    ";

std::string loadFailure(const std::string& name) {
  return "vantor; failed while loading file '" + name + "'";
}

TEST_F(HostTest, EachFatalErrorIsThrownToTheHostWithItsExactText) {
  // A percent sign in the name is text, not format.
  std::string missing = std::string(song.path()) + "-%s%n.missing";
  std::vector<uint8_t> notASong(400, 'x');
  float half = 0.5f;
  struct Case {
    int32_t cmd;
    void* arg;
    uint32_t arg2;
    std::string text;
  };
  const Case cases[] = {
      {2, missing.data(), 0, loadFailure(missing)},
      {3, notASong.data(), static_cast<uint32_t>(notASong.size()),
       "vantor; failed while loading file from memory"},
      {4, directSound(), 0, "vantor::play; song not yet loaded."},
      {5, nullptr, 0, "vantor::stop; song not yet loaded."},
      {6, &half, 0, "vantor::vol; song not yet loaded."},
  };
  for (const Case& c : cases) EXPECT_EQ(fatalText(c.cmd, c.arg, c.arg2), c.text) << "command " << c.cmd;

  std::string longName(5001, 'n');
  longName[0] = '/';
  EXPECT_EQ(fatalText(2, longName.data()), loadFailure(longName).substr(0, 4095));
}

TEST_F(HostTest, MessageBoxModeShowsCaptionPrefixAndMessageThenEndsWith69) {
  std::string caption;
  while (caption.size() < 300) caption += "Caption " + std::to_string(caption.size()) + " ";
  caption.resize(300);
  std::string longName(5001, 'n');
  longName[0] = '/';
  ChildOutcome outcome = runInChild([&] {
    modproc(0, caption.data(), 0);
    modproc(1, nullptr, 0);  // message boxes again after exception mode
    modproc(2, longName.data());
  });
  EXPECT_EQ(outcome.exitCode, 69);
  EXPECT_EQ(outcome.standardError,
            caption + "\n" + messageBoxPrefix + loadFailure(longName).substr(0, 4011) + "\n");
}

TEST_F(HostTest, NullCaptionGivesTheMessageBoxAnEmptyTitle) {
  ChildOutcome outcome = runInChild([] {
    modproc(0, const_cast<char*>("Old title"), 0);
    modproc(0, nullptr, 0);
    modproc(1, nullptr, 0);
    modproc(5);
  });
  EXPECT_EQ(outcome.exitCode, 69);
  EXPECT_EQ(outcome.standardError, "\n" + messageBoxPrefix + "vantor::stop; song not yet loaded.\n");
}

// The float behind arg is read before the song is checked: an unreadable one faults
// instead of reporting the missing song.
TEST_F(HostTest, VolumeReadsItsFloatBeforeCheckingForASong) {
  ChildOutcome outcome = runInChild([] {
    void* unreadable = mmap(nullptr, getpagesize(), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (unreadable == MAP_FAILED) _exit(1);
    struct sigaction onFault {};
    onFault.sa_handler = [](int) { _exit(42); };
    sigaction(SIGSEGV, &onFault, nullptr);
    sigaction(SIGBUS, &onFault, nullptr);
    _exit(command(6, unreadable).has_value() ? 43 : 44);
  });
  EXPECT_EQ(outcome.exitCode, 42) << outcome.standardError;
}

}  // namespace
}  // namespace vantor::hosttest
