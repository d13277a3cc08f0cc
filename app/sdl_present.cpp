#include "app/sdl_present.h"

#include <SDL.h>

#include <vector>

namespace {

class SurfacePresent : public WindowPresent {
 public:
  SurfacePresent(SDL_Window* window, const PixelFormat& canvas, int widestRow)
      : window_(window), converter_(canvas, 0), wideRow_(static_cast<size_t>(widestRow)) {}

  bool Begin(Frame& f) override {
    SDL_Surface* ws = SDL_GetWindowSurface(window_);
    if (ws == nullptr) return false;
    // A new surface (a resize, another output scale, a compositor's
    // configure) holds nothing yet: it is blacked and drawn whole. SDL may
    // allocate it where the old one was, so it is known by the absence of
    // our mark, not by its address.
    f.fresh = ws->userdata != this;
    if (f.fresh) {
      ws->userdata = this;
      SDL_FillRect(ws, nullptr, 0);
    }
    int windowHeight = 0;
    SDL_GetWindowSize(window_, &f.windowWidth, &windowHeight);
    if (f.windowWidth <= 0) f.windowWidth = ws->w;
    f.width = ws->w;
    f.height = ws->h;
    converter_.SetTarget(ws->format->format);
    f.convert = ws->format->format == converter_.Source() ? nullptr : &converter_;
    f.wideRow = wideRow_.data();
    // Window surfaces of SDL's own drivers need no lock; one that does is
    // locked only while the rows are copied, not across the send.
    if (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0) return false;
    f.pixels = {static_cast<uint8_t*>(ws->pixels), ws->pitch, ws->format->BytesPerPixel};
    locked_ = SDL_MUSTLOCK(ws) ? ws : nullptr;
    return true;
  }

  bool Send(const WindowRect& r) override {
    if (locked_ != nullptr) SDL_UnlockSurface(locked_);
    locked_ = nullptr;
    if (r.w <= 0 || r.h <= 0) return true;
    const SDL_Rect rect{r.x, r.y, r.w, r.h};
    return SDL_UpdateWindowSurfaceRects(window_, &rect, 1) == 0;
  }

 private:
  SDL_Window* window_;
  SdlConverter converter_;
  std::vector<uint32_t> wideRow_;
  SDL_Surface* locked_ = nullptr;
};

}  // namespace

SdlConverter::SdlConverter(const PixelFormat& canvas, uint32_t to)
    : from_(SDL_MasksToPixelFormatEnum(32, 0xFFu << canvas.rshift, 0xFFu << canvas.gshift,
                                       0xFFu << canvas.bshift, 0)),
      to_(to) {}

void SdlConverter::Convert(const uint32_t* from, int count, uint8_t* to) {
  SDL_ConvertPixels(count, 1, from_, from, count * 4, to_, to, count * 4);
}

std::unique_ptr<WindowPresent> OpenSurfacePresent(SDL_Window* window, const PixelFormat& canvas,
                                                  int widestRow) {
  if (SDL_GetWindowSurface(window) == nullptr) return nullptr;
  return std::make_unique<SurfacePresent>(window, canvas, widestRow);
}
