// Writes every picture of the game into the given folder (assets/data).
// Usage: artgen DIR
#include <cstdio>
#include <fstream>

#include "tools/art/art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: artgen DIR\n");
    return 2;
  }
  for (const art::ArtFile& file : art::GenerateArt()) {
    const std::string path = std::string(argv[1]) + "/" + file.name;
    std::ofstream out(path, std::ios::binary);
    out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
