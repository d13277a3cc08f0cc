#include "app/link.h"

#include "assets/surfaces.h"

const char* const kLinkAddress = "page/index.html";

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string AddressFromFolder(std::string_view folder, std::string_view address) {
  if (address.find("://") != std::string_view::npos) return std::string(address);
  std::string path(folder);
  // A Windows folder, C:\... or \\server\share\...: no POSIX path starts so.
  // Its separators become the URL's slashes; a drive's path gets the slash
  // an absolute URL path begins with (below), a share's server becomes the
  // host.
  const bool drive = path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' &&
                     (path[2] == '\\' || path[2] == '/');
  const bool share = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
  if (drive || share) {
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    if (share) path.erase(0, 2);
  }
  if (path.empty() || path.back() != '/') path += '/';
  path += address;
  // Every byte but the unreserved ones and the separators is escaped, so
  // spaces, '#', '%' and UTF-8 names in the folder survive the trip.
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = drive ? "file:///" : "file://";
  for (size_t i = 0; i < path.size(); ++i) {
    const char ch = path[i];
    const auto c = static_cast<unsigned char>(ch);
    const bool driveColon = drive && i == 1;
    if (IsLetter(ch) || (c >= '0' && c <= '9') || driveColon || c == '/' || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

namespace {

constexpr int kLinkX = 132, kLinkY = 52;  // the caption's place in the title picture
constexpr int kLinkWidth = 141, kLinkHeight = 10;

// The caption's leftmost column and top row do not count as on the link.
bool OnLink(float x, float y) {
  return x > kLinkX && x < kLinkX + kLinkWidth && y > kLinkY && y < kLinkY + kLinkHeight;
}

}  // namespace

void Form_MouseMove(Game& g, int16_t, float x, float y) {
  World& w = g.world;
  if (w.GameRunning) return;
  const bool on = OnLink(x, y);
  if (on != w.LinkHover) {
    w.LinkHover = on;
    w.LinkDirty = true;
  }
  if (!w.LinkDirty) return;
  // sprLink holds the normal caption in rows 0..9 and the lit one below it.
  BitBlt(g.gfx.canvas, kLinkX, kLinkY, kLinkWidth, kLinkHeight, g.gfx.sprLink, 0,
         w.LinkHover ? kLinkHeight : 0, kSrcCopy);
  g.host.window.PresentRows(g.gfx.canvas, kLinkY, kLinkY + kLinkHeight);
  w.LinkDirty = false;
}

void Form_MouseDown(Game& g, int16_t, int16_t, float x, float y) {
  if (g.world.GameRunning || !OnLink(x, y)) return;
  g.host.window.OpenUrl(kLinkAddress);
}
