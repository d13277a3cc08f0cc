#include "tools/art/png.h"

#include <zlib.h>

namespace art {

namespace {

void PutU32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift & 0xFF));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  const std::string body = type + data;
  out += body;
  PutU32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                          static_cast<uInt>(body.size()))));
}

// Little-endian, as the icon file's fields are.
void PutLe(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

}  // namespace

std::string EncodeIco(const std::vector<IconPicture>& pictures) {
  std::string out;
  PutLe(out, 0, 2);  // reserved
  PutLe(out, 1, 2);  // an icon, not a cursor
  PutLe(out, static_cast<uint32_t>(pictures.size()), 2);
  uint32_t offset = static_cast<uint32_t>(6 + 16 * pictures.size());
  for (const IconPicture& p : pictures) {
    const uint32_t side = p.size >= 256 ? 0 : static_cast<uint32_t>(p.size);  // 0 means 256
    PutLe(out, side, 1);
    PutLe(out, side, 1);
    PutLe(out, 0, 1);   // no palette
    PutLe(out, 0, 1);   // reserved
    PutLe(out, 1, 2);   // colour planes
    PutLe(out, 32, 2);  // bits per pixel
    PutLe(out, static_cast<uint32_t>(p.png.size()), 4);
    PutLe(out, offset, 4);
    offset += static_cast<uint32_t>(p.png.size());
  }
  for (const IconPicture& p : pictures) out += p.png;
  return out;
}

std::string EncodePng(const Image& image, const std::vector<uint8_t>& alpha) {
  const int w = image.Width(), h = image.Height();
  std::string header;
  PutU32(header, static_cast<uint32_t>(w));
  PutU32(header, static_cast<uint32_t>(h));
  header += std::string{8, 6, 0, 0, 0};  // 8 bits, RGBA, deflate, no filter, no interlace

  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < w; ++x) {
      const Rgb c = image.Get(x, y);
      raw += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b),
              static_cast<char>(alpha[static_cast<size_t>(y) * w + x])};
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
            reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9);
  packed.resize(size);

  std::string out = "\x89PNG\r\n\x1a\n";
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", "");
  return out;
}

std::string EncodeBmp(const Image& image) {
  const int w = image.Width(), h = image.Height();
  const uint32_t row = static_cast<uint32_t>(w * 3 + 3) / 4 * 4;  // rows padded to 4 bytes
  const uint32_t pixels = row * static_cast<uint32_t>(h);
  std::string out = "BM";
  PutLe(out, 14 + 40 + pixels, 4);
  PutLe(out, 0, 4);  // reserved
  PutLe(out, 14 + 40, 4);
  PutLe(out, 40, 4);  // BITMAPINFOHEADER
  PutLe(out, static_cast<uint32_t>(w), 4);
  PutLe(out, static_cast<uint32_t>(h), 4);  // positive: bottom row first
  PutLe(out, 1, 2);                         // planes
  PutLe(out, 24, 2);                        // bits per pixel
  PutLe(out, 0, 4);                         // not compressed
  PutLe(out, pixels, 4);
  PutLe(out, 2835, 4);  // 72 dpi, both ways
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);  // no palette
  PutLe(out, 0, 4);
  for (int y = h - 1; y >= 0; --y) {
    std::string line;
    for (int x = 0; x < w; ++x) {
      const Rgb c = image.Get(x, y);
      line += {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r)};
    }
    line.resize(row, '\0');
    out += line;
  }
  return out;
}

}  // namespace art
