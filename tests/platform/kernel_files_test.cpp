// Files and file searches of the kernel stand-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_requests.h"

namespace {

using vantor::platform::FileRequest;
using vantor::platform::lastFileRequest;
using vantor::platform::openSearches;

namespace fs = std::filesystem;

class KernelFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vantor-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { fs::remove_all(directory_); }

  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  void writeFile(const std::string& name, const std::string& text) const {
    std::ofstream(directory_ / name, std::ios::binary) << text;
  }

  HANDLE open(const std::string& name, DWORD access, DWORD creation) const {
    return CreateFileA(path(name).c_str(), access, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  static std::string readAll(HANDLE file) {
    char text[256];
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(file, text, sizeof text, &done, nullptr));
    return std::string(text, done);
  }

  fs::path directory_;
};

TEST_F(KernelFiles, OpenExistingKeepsTheContentsAndCreateAlwaysEmptiesTheFile) {
  writeFile("song.log", "first line\n");
  HANDLE file = open("song.log", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(readAll(file), "first line\n");
  EXPECT_EQ(readAll(file), "");  // at the end: success with no bytes
  CloseHandle(file);

  file = open("song.log", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(readAll(file), "");
  CloseHandle(file);
  EXPECT_EQ(fs::file_size(directory_ / "song.log"), 0u);
}

TEST_F(KernelFiles, OpenExistingOfAMissingFileFailsWithoutCreatingIt) {
  EXPECT_EQ(open("missing.log", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(fs::exists(directory_ / "missing.log"));
}

// Share modes change nothing here, so each call's arguments are kept for tests of how
// the library opens its files, those of a refused call too.
TEST_F(KernelFiles, EachCreateFileCallIsKeptAsAsked) {
  HANDLE file = CreateFileA(path("kept.log").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(lastFileRequest(),
            (FileRequest{GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_ALWAYS}));

  std::wstring missing = fs::path(path("missing.log")).wstring();
  EXPECT_EQ(CreateFileW(missing.c_str(), GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(lastFileRequest(), (FileRequest{GENERIC_READ, FILE_SHARE_WRITE, OPEN_EXISTING}));
}

// The system's reasons for refusing a file, as Windows names them; any other reason is
// an invalid parameter.
TEST_F(KernelFiles, RefusalsCarryTheWindowsError) {
  writeFile("notes.txt", "abc");
  const struct {
    std::string name;
    DWORD access;
    DWORD creation;
    DWORD error;
  } refusals[] = {
      {"missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {"notes.txt/inner.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {"notes.txt", GENERIC_READ, CREATE_NEW, ERROR_FILE_EXISTS},
      {".", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {std::string(300, 'n'), GENERIC_READ, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
  };
  for (const auto& refusal : refusals) {
    EXPECT_EQ(open(refusal.name, refusal.access, refusal.creation), INVALID_HANDLE_VALUE) << refusal.name;
    EXPECT_EQ(GetLastError(), refusal.error) << refusal.name;
  }
}

TEST_F(KernelFiles, WideNamesAreTheSameFilesAsTheirUtf8Spelling) {
  std::wstring wide = fs::path(directory_).wstring() + L"/s\u00f6ng\u266a.xm";
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_TRUE(fs::exists(directory_ / fs::path(u8"s\u00f6ng\u266a.xm")));

  file = CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);

  const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'\0'};
  EXPECT_EQ(CreateFileW(loneSurrogate, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

// Each length of UTF-8 at both of its ends, and the values that are no character.
TEST_F(KernelFiles, WideNamesAreSpelledInUtf8AtEveryLengthsEdge) {
  const struct {
    uint32_t character;
    const char* spelling;  // null: refused
  } edges[] = {
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xD7FF, "\xED\x9F\xBF"},
      {0xD800, nullptr},
      {0xDFFF, nullptr},
      {0xE000, "\xEE\x80\x80"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      {0x110000, nullptr},
  };
  for (const auto& edge : edges) {
    std::wstring wide = fs::path(directory_).wstring() + L"/x" + static_cast<wchar_t>(edge.character);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (edge.spelling == nullptr) {
      EXPECT_EQ(file, INVALID_HANDLE_VALUE) << std::hex << edge.character;
      EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
      continue;
    }
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << std::hex << edge.character;
    CloseHandle(file);
    EXPECT_TRUE(fs::exists(directory_ / (std::string("x") + edge.spelling))) << std::hex << edge.character;
  }
}

TEST_F(KernelFiles, ReadAndWriteReportTheBytesMoved) {
  HANDLE file = open("data.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 99;
  EXPECT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
  EXPECT_EQ(done, 10u);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char text[100];
  EXPECT_TRUE(ReadFile(file, text, 4, &done, nullptr));
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::string(text, 4), "0123");
  EXPECT_TRUE(ReadFile(file, text, sizeof text, &done, nullptr));
  EXPECT_EQ(done, 6u);
  CloseHandle(file);

  HANDLE readOnly = open("data.bin", GENERIC_READ, OPEN_EXISTING);
  done = 99;
  EXPECT_FALSE(WriteFile(readOnly, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(done, 0u);
  CloseHandle(readOnly);
}

TEST_F(KernelFiles, SetFilePointerMovesFromTheStartOrTheEnd) {
  writeFile("data.bin", "0123456789");
  HANDLE file = open("data.bin", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), 10u);
  EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 8u);
  EXPECT_EQ(readAll(file), "89");
  EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
  char digit;
  DWORD done = 0;
  ReadFile(file, &digit, 1, &done, nullptr);
  EXPECT_EQ(digit, '3');

  EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  // Without a high part the position must fit in 32 bits; a refused move leaves it.
  EXPECT_EQ(SetFilePointer(file, 0x7FFFFFFF, nullptr, FILE_BEGIN), 0x7FFFFFFFu);
  EXPECT_EQ(SetFilePointer(file, 0x7FFFFFFF, nullptr, FILE_CURRENT), 0xFFFFFFFEu);
  EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 0xFFFFFFFEu);
  LONG high = 0;
  EXPECT_EQ(SetFilePointer(file, 2, &high, FILE_CURRENT), 0u);
  EXPECT_EQ(high, 1);
  CloseHandle(file);
}

TEST_F(KernelFiles, CallsOnAHandleThatIsNoOpenFileFail) {
  HANDLE closed = open("data.bin", GENERIC_WRITE, CREATE_ALWAYS);
  CloseHandle(closed);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path("data.bin").c_str(), &found);
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, closed, search}) {
    EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    char byte;
    DWORD done = 5;
    EXPECT_FALSE(ReadFile(bad, &byte, 1, &done, nullptr));
    EXPECT_EQ(done, 0u);
  }
  FindClose(search);
}

TEST_F(KernelFiles, FindFirstFileMatchesExactNamesAndWildcards) {
  writeFile("notes.txt", "abc");
  writeFile("tune.xm", "12345");
  WIN32_FIND_DATAA found;
  const int searches = openSearches();

  HANDLE search = FindFirstFileA(path("tune.xm").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "tune.xm");
  EXPECT_EQ(found.nFileSizeLow, 5u);
  EXPECT_EQ(openSearches(), searches + 1);
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  EXPECT_EQ(openSearches(), searches);

  search = FindFirstFileA(path("*.xm").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "tune.xm");
  FindClose(search);

  for (const char* missing : {"absent.xm", "*.mod", "nodir/tune.xm"}) {
    EXPECT_EQ(FindFirstFileA(path(missing).c_str(), &found), INVALID_HANDLE_VALUE) << missing;
  }
  EXPECT_EQ(FindFirstFileA(path("absent.xm").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
