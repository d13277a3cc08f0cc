// Build tool: turns the 32 x 32 window icon (binary PPM) into an XPM image
// for the desktop entry, so the installed program shows the same icon in
// menus and launchers. Usage: icon_xpm IN.ppm OUT.xpm
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: icon_xpm IN.ppm OUT.xpm\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (!in || magic != "P6" || maxval != 255 || w <= 0 || h <= 0 || w > 256 || h > 256) {
    std::fprintf(stderr, "icon_xpm: %s is not a binary PPM icon\n", argv[1]);
    return 1;
  }
  std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
  in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  if (!in) {
    std::fprintf(stderr, "icon_xpm: %s ends early\n", argv[1]);
    return 1;
  }
  // Two characters per pixel cover any palette an icon of this size can have.
  const std::string symbols =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-*/=.,;:!?#$%&@^~_";
  std::map<unsigned, std::string> palette;
  std::vector<std::string> rows(static_cast<size_t>(h));
  for (int i = 0; i < w * h; ++i) {
    const unsigned c = unsigned{rgb[3 * i]} << 16 | unsigned{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
    auto [it, added] = palette.try_emplace(c);
    if (added) {
      const size_t n = palette.size() - 1;
      it->second = {symbols[n / symbols.size() % symbols.size()], symbols[n % symbols.size()]};
    }
    rows[static_cast<size_t>(i / w)] += it->second;
  }
  std::ofstream out(argv[2]);
  out << "/* XPM */\nstatic char *kestrane[] = {\n\"" << w << ' ' << h << ' ' << palette.size()
      << " 2\",\n";
  for (const auto& [c, sym] : palette) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%06X", c);
    out << '"' << sym << " c " << hex << "\",\n";
  }
  for (int y = 0; y < h; ++y) out << '"' << rows[static_cast<size_t>(y)] << (y + 1 < h ? "\",\n" : "\"\n");
  out << "};\n";
  return out ? 0 : 1;
}
