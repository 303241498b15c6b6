#include "framework/winfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/file_requests.h"
#include "temp_dir.h"

namespace pellgameapi {
namespace {

using vantor::platform::FileRequest;
using vantor::platform::lastFileRequest;
using vantor::platform::openSearches;
using vantor::test::readFile;
using vantor::test::writeFile;

constexpr uint32_t readOnly = 0;
constexpr uint32_t writeOnly = 1;
constexpr uint32_t readWrite = 2;

class Winfile : public ::testing::Test {
 protected:
  vantor::test::TempDir dir;
  std::string path = dir.file("data.txt");
  winfile file;
};

TEST_F(Winfile, CreateEmptiesTheFileAndWritelineEndsEachLine) {
  writeFile(path, "old contents");
  ASSERT_TRUE(file.create(path.c_str(), writeOnly));
  EXPECT_EQ(file.writeline(nullptr), -1);
  EXPECT_EQ(file.writeline("abc"), 3);
  HANDLE created = file.handle;
  file.close();
  EXPECT_EQ(file.handle, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CloseHandle(created)) << "close closed it already";
  EXPECT_EQ(readFile(path), "abc\r\n");
}

TEST_F(Winfile, OpenOfAMissingFileFailsWithoutCreatingIt) {
  EXPECT_FALSE(file.open(path.c_str(), FALSE, readWrite));
  EXPECT_FALSE(file.open(path.c_str(), TRUE, readWrite));
  EXPECT_FALSE(file.open(static_cast<const char*>(nullptr), FALSE, readWrite));
  EXPECT_EQ(file.handle, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(fileexists(path.c_str()));
}

TEST_F(Winfile, OpenWithSeekToEndAppends) {
  writeFile(path, "12345");
  const int searches = openSearches();
  EXPECT_TRUE(fileexists(path.c_str()));
  EXPECT_EQ(openSearches(), searches) << "the search is closed again";
  ASSERT_TRUE(file.open(path.c_str(), TRUE, readWrite));
  EXPECT_EQ(SetFilePointer(file.handle, 0, nullptr, FILE_CURRENT), 5u);
  EXPECT_EQ(file.writeline("x"), 1);
  file.close();
  EXPECT_EQ(readFile(path), "12345x\r\n");
}

TEST_F(Winfile, ReadWithoutACountWantsEveryByte) {
  writeFile(path, "12345");
  ASSERT_TRUE(file.open(path.c_str(), FALSE, readOnly));
  char buffer[8] = {};
  DWORD done = 0;
  EXPECT_TRUE(file.read(buffer, 3, nullptr));
  EXPECT_EQ(std::string(buffer, 3), "123");
  EXPECT_TRUE(file.read(buffer, sizeof buffer, &done));
  EXPECT_EQ(done, 2u);
  EXPECT_FALSE(file.read(buffer, 1, nullptr));
}

TEST_F(Winfile, ModeChoosesTheAccess) {
  writeFile(path, "12345");
  char byte = 0;
  ASSERT_TRUE(file.open(path.c_str(), FALSE, readOnly));
  EXPECT_EQ(file.writeline("x"), 0);
  ASSERT_TRUE(file.open(path.c_str(), FALSE, 0x7F));  // unknown access values read
  EXPECT_EQ(file.writeline("x"), 0);
  ASSERT_TRUE(file.open(path.c_str(), FALSE, writeOnly | 0x300));  // share bits leave the access alone
  EXPECT_FALSE(file.read(&byte, 1, nullptr));
  EXPECT_EQ(file.writeline("x"), 1);
  file.close();
  EXPECT_EQ(readFile(path), "x\r\n45");
}

// How each call opens the file, as the stand-in keeps it: bits 8 to 10 of the mode
// share reading, writing and deleting, open takes an existing file and create makes
// or empties one.
TEST_F(Winfile, ModeChoosesTheShareModeAndTheCallTheDisposition) {
  writeFile(path, "12345");
  std::wstring wide = std::filesystem::path(path).wstring();
  const DWORD everyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  struct Case {
    const char* call;
    std::function<BOOL()> run;
    FileRequest request;
  };
  const Case cases[] = {
      {"open, mode 0",
       [&] { return file.open(path.c_str(), FALSE, readOnly); },
       {GENERIC_READ, 0, OPEN_EXISTING}},
      {"open, mode 1",
       [&] { return file.open(path.c_str(), TRUE, writeOnly); },
       {GENERIC_WRITE, 0, OPEN_EXISTING}},
      {"wide open, mode 0x302",
       [&] { return file.open(wide.c_str(), FALSE, 0x302); },
       {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING}},
      {"create, mode 0x400",
       [&] { return file.create(path.c_str(), 0x400); },
       {GENERIC_READ, FILE_SHARE_DELETE, CREATE_ALWAYS}},
      {"wide create, mode 0x7FF",
       [&] { return file.create(wide.c_str(), 0x7FF); },
       {GENERIC_READ, everyShare, CREATE_ALWAYS}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.run()) << c.call;
    EXPECT_EQ(lastFileRequest(), c.request) << c.call;
  }
}

TEST_F(Winfile, WideNamesReachTheSameFiles) {
  std::wstring wide = std::filesystem::path(path).wstring();
  ASSERT_TRUE(file.create(wide.c_str(), readWrite));
  file.writeline("wide");
  ASSERT_TRUE(file.open(wide.c_str(), TRUE, readWrite));
  file.writeline("again");
  file.close();
  EXPECT_EQ(readFile(path), "wide\r\nagain\r\n");
}

}  // namespace
}  // namespace pellgameapi
