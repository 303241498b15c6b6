#include "support/corpus.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace vantor::test {

std::filesystem::path corpusDirectory() {
  const char* fromEnvironment = std::getenv("VANTOR_CORPUS");
  std::filesystem::path directory = fromEnvironment && *fromEnvironment ? fromEnvironment : VANTOR_CORPUS_DIR;
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) return {};
  return directory;
}

std::vector<std::filesystem::path> corpusFiles(const std::string& subdirectory) {
  std::vector<std::filesystem::path> files;
  std::filesystem::path root = corpusDirectory();
  if (root.empty()) return files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(root / subdirectory, error)) {
    if (entry.is_regular_file() && entry.path().extension() == ".xm") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<unsigned char> readFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace vantor::test
