// Where the shared song corpus lives. Tests that use it skip cleanly when it is absent.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantor::test {

// The corpus directory ($VANTOR_CORPUS if set, else the build's default); empty
// when it does not exist.
std::filesystem::path corpusDirectory();

// Every .xm file of one corpus subdirectory ("songs", "malformed", "behaviour"),
// sorted by name; empty when the corpus is absent.
std::vector<std::filesystem::path> corpusFiles(const std::string& subdirectory);

// The whole file as bytes; empty when it cannot be read.
std::vector<unsigned char> readFileBytes(const std::filesystem::path& path);

}  // namespace vantor::test

// Skips the current test when the corpus is absent.
#define VANTOR_REQUIRE_CORPUS()                                                   \
  do {                                                                            \
    if (::vantor::test::corpusDirectory().empty()) GTEST_SKIP() << "no corpus"; \
  } while (0)
