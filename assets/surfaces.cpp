#include "assets/surfaces.h"

#include <cctype>

#include "assets/resources.h"

namespace {

// Reads one whitespace-separated decimal header field; skips # comments.
bool ReadField(std::span<const uint8_t> f, size_t& pos, int& value) {
  while (pos < f.size()) {
    if (f[pos] == '#') {
      while (pos < f.size() && f[pos] != '\n') ++pos;
    } else if (std::isspace(f[pos])) {
      ++pos;
    } else {
      break;
    }
  }
  size_t start = pos;
  long v = 0;
  while (pos < f.size() && std::isdigit(f[pos]) && v < 100000) v = v * 10 + (f[pos++] - '0');
  value = static_cast<int>(v);
  return pos > start && v < 100000;
}

bool DecodePacked(std::span<const uint8_t> f, const PixelFormat& format, Surface& dst) {
  if (f.size() < 8) return false;
  const int w = f[4] | f[5] << 8, h = f[6] | f[7] << 8;
  if (w != dst.Width() || h != dst.Height()) return false;
  size_t pos = 8;
  const size_t total = static_cast<size_t>(w) * h;
  size_t done = 0;
  while (done < total) {
    if (pos >= f.size()) return false;
    const uint8_t c = f[pos++];
    const bool repeat = c >= 128;
    const size_t n = (c & 127u) + 1;
    const size_t bytes = repeat ? 3 : 3 * n;
    if (n > total - done || bytes > f.size() - pos) return false;
    for (size_t i = 0; i < n; ++i, ++done) {
      const uint8_t* p = f.data() + pos + (repeat ? 0 : 3 * i);
      dst.SetPixel(static_cast<int>(done % w), static_cast<int>(done / w),
                   format.Rgb(p[0], p[1], p[2]));
    }
    pos += bytes;
  }
  return true;
}

bool DecodePpm(std::span<const uint8_t> f, const PixelFormat& format, Surface& dst) {
  size_t pos = 2;
  int w = 0, h = 0, maxval = 0;
  if (!ReadField(f, pos, w) || !ReadField(f, pos, h) || !ReadField(f, pos, maxval)) return false;
  if (w != dst.Width() || h != dst.Height() || maxval != 255) return false;
  if (pos >= f.size() || !std::isspace(f[pos])) return false;
  ++pos;
  if (f.size() - pos < static_cast<size_t>(w) * h * 3) return false;
  const uint8_t* p = f.data() + pos;
  for (int y = 0; y < h; ++y) {
    uint32_t* row = dst.Row(y);
    for (int x = 0; x < w; ++x, p += 3) row[x] = format.Rgb(p[0], p[1], p[2]);
  }
  return true;
}

}  // namespace

bool DecodePicture(std::span<const uint8_t> f, const PixelFormat& format, Surface& dst) {
  if (f.size() >= 4 && f[0] == 'K' && f[1] == 'P' && f[2] == 'I' && f[3] == 'C') {
    return DecodePacked(f, format, dst);
  }
  if (f.size() >= 2 && f[0] == 'P' && f[1] == '6') return DecodePpm(f, format, dst);
  return false;
}

std::string LoadSurfaces(Surfaces& s, const PixelFormat& format) {
  struct Item {
    const char* file;
    Surface* surface;
  };
  const Item items[] = {
      {"sprStars.ppm", &s.sprStars},       {"sprPlayer.ppm", &s.sprPlayer},
      {"sprReacteur.ppm", &s.sprReacteur}, {"sprBullet.ppm", &s.sprBullet},
      {"sprBlow.ppm", &s.sprBlow},         {"sprEnnemy0.ppm", &s.sprEnnemy[0]},
      {"sprEnnemy1.ppm", &s.sprEnnemy[1]}, {"sprEnnemy2.ppm", &s.sprEnnemy[2]},
      {"sprEnnemy3.ppm", &s.sprEnnemy[3]}, {"sprStatus.ppm", &s.sprStatus},
      {"picTitle.ppm", &s.picTitle},       {"picFonte.ppm", &s.picFonte},
      {"sprLink.ppm", &s.sprLink},         {"sprBulletEnnemy.ppm", &s.sprBulletEnnemy},
      {"sprBulletBoss.ppm", &s.sprBulletBoss}, {"icon.ppm", &s.icon},
  };
  for (const Item& item : items) {
    if (!DecodePicture(FindResource(item.file), format, *item.surface)) return item.file;
  }
  // The banner work surface starts in the window colour, white.
  s.picScrollBuffer.Fill(format.Rgb(255, 255, 255));
  return {};
}
