#include "framework/logger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/reporting.h"
#include "platform/file_requests.h"
#include "temp_dir.h"

namespace pellgameapi {
namespace {

using vantor::platform::FileRequest;
using vantor::platform::lastFileRequest;
using vantor::test::readFile;

// "YYYY-MM-DD-hh:mm:ss.mmm :-: ": digits everywhere but at the separators.
bool isStamp(const std::string& text) {
  const std::string shape = "dddd-dd-dd-dd:dd:dd.ddd :-: ";
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    bool digit = text[i] >= '0' && text[i] <= '9';
    if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return false;
  }
  return true;
}

class Logger : public ::testing::Test {
 protected:
  vantor::test::TempDir dir;
  std::string path = dir.file("log.txt");
  logger log;
};

TEST_F(Logger, StaysDisabledAndCreatesNoFile) {
  EXPECT_EQ(frameworkLogger.enabled, 0);
  EXPECT_STREQ(frameworkLogger.filename.text, "");
  EXPECT_EQ(frameworkLogger.line.capacity, 4224);

  log.filename = path.c_str();
  log.log("message %d", 1);
  log.writeline("line");
  EXPECT_FALSE(log.open());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_STREQ(log.line.text, "");
}

// The file is not held open: each line opens it for reading and writing, shared with
// nobody (created when missing), appends and closes it again.
TEST_F(Logger, WhenEnabledAppendsStampedLinesCutBelowTheCapacity) {
  log.filename = path.c_str();
  log.enabled = 1;
  log.log("first %d", 1);
  EXPECT_EQ(log.file.handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(lastFileRequest(), (FileRequest{GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS}));
  log.log("%s", std::string(5000, 'z').c_str());
  EXPECT_EQ(lastFileRequest(), (FileRequest{GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING}));

  std::string written = readFile(path);
  std::string firstLine = written.substr(0, written.find('\n') + 1);
  std::string secondLine = written.substr(firstLine.size());
  ASSERT_EQ(firstLine.size(), 28u + 9u);
  EXPECT_TRUE(isStamp(firstLine.substr(0, 28))) << firstLine;
  EXPECT_EQ(firstLine.substr(28), "first 1\r\n");
  ASSERT_EQ(secondLine.size(), 4223u + 2u);
  EXPECT_TRUE(isStamp(secondLine.substr(0, 28))) << secondLine;
  EXPECT_EQ(secondLine.substr(28), std::string(4195, 'z') + "\r\n");
}

// A file held open stays open for every line and takes them all.
TEST_F(Logger, LinesGoToTheFileHeldOpen) {
  log.filename = path.c_str();
  log.enabled = 1;
  ASSERT_TRUE(log.open());
  HANDLE held = log.file.handle;
  log.writeline("one");
  log.writeline("two");
  EXPECT_EQ(log.file.handle, held);
  log.close();
  EXPECT_EQ(readFile(path), "one\r\ntwo\r\n");
}

}  // namespace
}  // namespace pellgameapi
