// Writes every picture of the game into DIR (assets/data); given ICONS
// (assets/icons), the desktop icons as kestrane-SIZE.png, those of 256 pixels
// and less in kestrane.ico for the Windows build, and the browser build's
// home-screen icon as kestrane-maskable-512.png; given INSTALLER
// (assets/installer), the Windows installer's wizard.bmp and header.bmp.
// Usage: artgen DIR [ICONS [INSTALLER]]
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
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: artgen DIR [ICONS [INSTALLER]]\n");
    return 2;
  }
  for (const art::ArtFile& file : art::GenerateArt())
    if (!Write(std::string(argv[1]) + "/" + file.name, file.bytes)) return 1;
  if (argc >= 3) {
    std::vector<art::IconPicture> icons;  // an icon file holds 256 pixels at most
    for (const int size : art::kIconSizes) {
      const std::string png = art::EncodePng(art::MakeIcon(size), art::IconCoverage(size));
      const std::string path = std::string(argv[2]) + "/kestrane-" + std::to_string(size) + ".png";
      if (!Write(path, png)) return 1;
      if (size <= 256) icons.push_back({size, png});
    }
    if (!Write(std::string(argv[2]) + "/kestrane.ico", art::EncodeIco(icons))) return 1;
    const int size = art::kMaskableIconSize;
    const std::string path =
        std::string(argv[2]) + "/kestrane-maskable-" + std::to_string(size) + ".png";
    const std::vector<uint8_t> opaque(static_cast<size_t>(size) * size, 255);
    if (!Write(path, art::EncodePng(art::MakeMaskableIcon(size), opaque))) return 1;
  }
  if (argc == 4) {
    const std::string dir = argv[3];
    if (!Write(dir + "/wizard.bmp", art::EncodeBmp(art::MakeWizardPicture())) ||
        !Write(dir + "/header.bmp", art::EncodeBmp(art::MakeWizardHeader())))
      return 1;
  }
  return 0;
}
