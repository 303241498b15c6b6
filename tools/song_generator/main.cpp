// vantor-generate: writes the songs of a run of seeds as XM files, for
// scripts/compare-players --generated.
//
//   vantor-generate FIRST_SEED COUNT DIRECTORY    writes DIRECTORY/generated-SEED.xm
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "song_generator/generated_song.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: vantor-generate FIRST_SEED COUNT DIRECTORY\n");
    return 2;
  }
  char* end = nullptr;
  unsigned long long first = std::strtoull(argv[1], &end, 10);
  if (*end != '\0') return std::fprintf(stderr, "vantor-generate: not a seed: %s\n", argv[1]), 2;
  unsigned long long count = std::strtoull(argv[2], &end, 10);
  if (*end != '\0') return std::fprintf(stderr, "vantor-generate: not a count: %s\n", argv[2]), 2;
  for (unsigned long long seed = first; seed < first + count; ++seed) {
    std::vector<uint8_t> bytes = vantor::xm::buildXm(vantor::generator::generatedSong(seed));
    std::string path = std::string(argv[3]) + "/generated-" + std::to_string(seed) + ".xm";
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
      std::fprintf(stderr, "vantor-generate: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
