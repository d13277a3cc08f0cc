// Writes every picture of the game into DIR (assets/data) and, given ICONS
// (assets/icons), the desktop icons as kestrane-SIZE.png and all of them in
// kestrane.ico for the Windows build.
// Usage: artgen DIR [ICONS]
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/art/art.h"
#include "tools/art/png.h"

namespace {

bool Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: artgen DIR [ICONS]\n");
    return 2;
  }
  for (const art::ArtFile& file : art::GenerateArt())
    if (!Write(std::string(argv[1]) + "/" + file.name, file.bytes)) return 1;
  if (argc == 3) {
    std::vector<art::IconPicture> icons;
    for (const int size : art::kIconSizes) {
      icons.push_back({size, art::EncodePng(art::MakeIcon(size), art::IconCoverage(size))});
      const std::string path = std::string(argv[2]) + "/kestrane-" + std::to_string(size) + ".png";
      if (!Write(path, icons.back().png)) return 1;
    }
    if (!Write(std::string(argv[2]) + "/kestrane.ico", art::EncodeIco(icons))) return 1;
  }
  return 0;
}
