#include "app/x11_present.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/sdl_present.h"

namespace {

// A window image in a segment shared with the server, attached read-only:
// the server only ever reads it, so it can never write where it should not.
struct Segment {
  XImage* image = nullptr;
  XShmSegmentInfo info{0, -1, nullptr, True};
  bool attached = false;  // the attach was sent
  bool removed = false;   // marked to go when both sides let go
};

// The picture sent inside the requests (XPutImage), nothing shared with
// the server: where it has no shared memory, from the first shared-memory
// failure on, and on 16-bit screens (converted as it is drawn). Not SDL's
// window surface there, which attaches segments of its own without
// checking what the server attached.
class PutPresent : public WindowPresent {
 public:
  // canvas and widestRow matter only to a 16-bit screen's conversion.
  PutPresent(SDL_Window* window, Display* display, ::Window xwindow, Visual* visual, int depth,
             const PixelFormat& canvas, int widestRow)
      : sdlWindow_(window),
        display_(display),
        window_(xwindow),
        visual_(visual),
        depth_(depth),
        converter_(canvas, SDL_MasksToPixelFormatEnum(16, static_cast<uint32_t>(visual->red_mask),
                                                      static_cast<uint32_t>(visual->green_mask),
                                                      static_cast<uint32_t>(visual->blue_mask), 0)),
        wideRow_(static_cast<size_t>(widestRow)) {
    gc_ = XCreateGC(display, xwindow, 0, nullptr);
  }
  PutPresent(const PutPresent&) = delete;
  PutPresent& operator=(const PutPresent&) = delete;
  ~PutPresent() override {
    Free();
    if (gc_ != nullptr) XFreeGC(display_, gc_);
  }

  // The image at the window's size, black; false when its pixels are not
  // of 32 bits (24-bit screens) or 16 (15 and 16).
  bool Make(int width, int height) {
    Free();
    const unsigned h = static_cast<unsigned>(std::max(height, 1));
    image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                          static_cast<unsigned>(std::max(width, 1)), h, 32, 0);
    if (image_ == nullptr || gc_ == nullptr || image_->bits_per_pixel != (depth_ == 24 ? 32 : 16)) {
      return false;
    }
    // At a new size only.
    pixels_.assign((static_cast<size_t>(image_->bytes_per_line) * h + 3) / 4, 0);
    image_->data = reinterpret_cast<char*>(pixels_.data());
    // The canvas writes whole words; Xlib swaps them for a server of the
    // other byte order.
    image_->byte_order = SDL_BYTEORDER == SDL_BIG_ENDIAN ? MSBFirst : LSBFirst;
    width_ = width;
    height_ = height;
    fresh_ = true;
    return true;
  }

  bool Begin(Frame& f) override {
    int w = 0, h = 0;
    SDL_GetWindowSize(sdlWindow_, &w, &h);
    if ((w != width_ || h != height_) && !Make(w, h)) return false;
    const int bytes = image_->bits_per_pixel / 8;
    f.pixels = {reinterpret_cast<uint8_t*>(image_->data), image_->bytes_per_line, bytes};
    f.convert = bytes == 4 ? nullptr : &converter_;
    f.wideRow = wideRow_.data();
    f.width = f.windowWidth = w;
    f.height = h;
    f.fresh = fresh_;
    fresh_ = false;
    return true;
  }

  // Xlib copies the pixels into the request: the image is free again at once.
  bool Send(const WindowRect& r) override {
    if (r.w <= 0 || r.h <= 0) return true;
    XPutImage(display_, window_, gc_, image_, r.x, r.y, r.x, r.y, static_cast<unsigned>(r.w),
              static_cast<unsigned>(r.h));
    XFlush(display_);
    return true;
  }

 private:
  void Free() {
    if (image_ != nullptr) {
      image_->data = nullptr;  // ours, not Xlib's to free
      XDestroyImage(image_);
    }
    image_ = nullptr;
    width_ = height_ = -1;
  }

  SDL_Window* sdlWindow_;
  Display* display_;
  ::Window window_;
  Visual* visual_;
  int depth_;
  GC gc_ = nullptr;
  SdlConverter converter_;
  std::vector<uint32_t> wideRow_;
  std::vector<uint32_t> pixels_;
  XImage* image_ = nullptr;
  int width_ = -1, height_ = -1;  // the window's, when the image was made
  bool fresh_ = false;
};

class ShmPresent;
// Error handlers are the process's: the one present open, and the handler
// that was there before, which gets every error that is not ours.
ShmPresent* live = nullptr;
XErrorHandler previousHandler = nullptr;
int OnXError(Display* display, XErrorEvent* error);

// Two segments drawn in turn: while the server may still read the one sent
// last (a frame behind), the next picture goes into the other, so the server
// never copies rows of two frames. No completion event is asked for, which
// would wake the game a second time each frame.
class ShmPresent : public WindowPresent {
 public:
  ShmPresent(SDL_Window* window, Display* display, ::Window xwindow, Visual* visual, int depth,
             int opcode)
      : sdlWindow_(window),
        display_(display),
        window_(xwindow),
        visual_(visual),
        depth_(depth),
        opcode_(opcode) {
    live = this;
    previousHandler = XSetErrorHandler(OnXError);
    gc_ = XCreateGC(display, xwindow, 0, nullptr);
    failed = gc_ == nullptr;
  }
  ShmPresent(const ShmPresent&) = delete;
  ShmPresent& operator=(const ShmPresent&) = delete;
  ~ShmPresent() override;

  bool Begin(Frame& f) override;
  bool Send(const WindowRect& r) override;
  std::unique_ptr<WindowPresent> FallBack() override;

  // Both segments at the window's size, black, attached and checked.
  bool Make(int width, int height);
  // Whether an X error is one of ours: a shared-memory request's, or one of
  // the requests that check an attach.
  bool Ours(const Display* display, const XErrorEvent& e) const {
    return display == display_ &&
           (e.request_code == opcode_ || (e.serial >= checkFirst_ && e.serial <= checkLast_));
  }
  bool failed = false;  // for good: a segment or a request failed

 private:
  void Free();
  bool Check();
  void CatchUp(const WindowRect& r);

  SDL_Window* sdlWindow_;
  Display* display_;
  ::Window window_;
  Visual* visual_;
  int depth_;
  int opcode_;  // MIT-SHM's major opcode
  GC gc_ = nullptr;
  Segment segments_[2];
  int width_ = 0, height_ = 0;  // the window's, when the segments were made
  int next_ = 0;                // the segment drawn next
  WindowRect behind_;           // what that one lacks: the rectangle the other sent last
  bool fresh_ = false;
  unsigned long checkFirst_ = 1, checkLast_ = 0;  // serials of an attach's check
};

int OnXError(Display* display, XErrorEvent* error) {
  if (live != nullptr && live->Ours(display, *error)) {
    live->failed = true;
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

// Pixel values the server reads back from an attached segment: another
// program's segment holds these two in its first pixels by chance only.
uint32_t Mark() {
  static uint32_t state = 0x9E3779B9u ^ static_cast<uint32_t>(getpid());
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

ShmPresent::~ShmPresent() {
  Free();
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  // The answers to what was ours (a detach of a refused segment) still come
  // to us, not to whoever handles errors next.
  XSync(display_, False);
  live = nullptr;
  const XErrorHandler current = XSetErrorHandler(previousHandler);
  if (current != OnXError) XSetErrorHandler(current);  // set by someone since: theirs stays
}

void ShmPresent::Free() {
  for (Segment& s : segments_) {
    if (s.attached) XShmDetach(display_, &s.info);
    if (s.info.shmid >= 0 && !s.removed) shmctl(s.info.shmid, IPC_RMID, nullptr);
    if (s.info.shmaddr != nullptr) shmdt(s.info.shmaddr);
    if (s.image != nullptr) XDestroyImage(s.image);  // the record only, not the shared memory
    s = Segment{};
  }
  width_ = height_ = 0;
}

bool ShmPresent::Make(int width, int height) {
  Free();
  if (failed) return false;
  // At least two pixels across: the check reads two back.
  const unsigned w = static_cast<unsigned>(std::max(width, 2)),
                 h = static_cast<unsigned>(std::max(height, 1));
  for (Segment& s : segments_) {
    s.image = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                              &s.info, w, h);
    if (s.image == nullptr || s.image->bits_per_pixel != 32) return false;
    const size_t bytes = static_cast<size_t>(s.image->bytes_per_line) * h;
    s.info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (s.info.shmid < 0) return false;
    void* at = shmat(s.info.shmid, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) return false;
    s.info.shmaddr = s.image->data = static_cast<char*>(at);
    s.info.readOnly = True;
    std::memset(at, 0, bytes);
    XShmAttach(display_, &s.info);
    s.attached = true;
  }
  const bool checked = Check();
  for (Segment& s : segments_) {
    shmctl(s.info.shmid, IPC_RMID, nullptr);  // attached on both sides now, or never
    s.removed = true;
  }
  if (!checked || failed) return false;
  width_ = width;
  height_ = height;
  next_ = 0;
  behind_ = {};
  fresh_ = true;
  return true;
}

// Whether the server attached the very segments we write: each one's first
// two pixels, marked here, put into a pixmap by the server and read back.
// A server in another IPC namespace attaches whatever has the same id
// there, or nothing; the read back is the one wait at each new size.
bool ShmPresent::Check() {
  uint32_t marks[2][2];
  checkFirst_ = NextRequest(display_);
  checkLast_ = ~0ul;
  const Pixmap pixmap = XCreatePixmap(display_, window_, 2, 2, static_cast<unsigned>(depth_));
  for (int i = 0; i < 2; ++i) {
    uint32_t* pixels = reinterpret_cast<uint32_t*>(segments_[i].image->data);
    for (int j = 0; j < 2; ++j) pixels[j] = marks[i][j] = Mark();
    XShmPutImage(display_, pixmap, gc_, segments_[i].image, 0, 0, 0, i, 2, 1, False);
  }
  XImage* back = XGetImage(display_, pixmap, 0, 0, 2, 2, AllPlanes, ZPixmap);
  XFreePixmap(display_, pixmap);
  checkLast_ = NextRequest(display_) - 1;
  const unsigned long mask = depth_ >= 32 ? ~0ul : (1ul << depth_) - 1;
  bool same = back != nullptr;
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      same = same && XGetPixel(back, j, i) == (marks[i][j] & mask);
      reinterpret_cast<uint32_t*>(segments_[i].image->data)[j] = 0;
    }
  }
  if (back != nullptr) XDestroyImage(back);
  return same;
}

bool ShmPresent::Begin(Frame& f) {
  if (failed) return false;
  int w = 0, h = 0;
  SDL_GetWindowSize(sdlWindow_, &w, &h);
  if ((w != width_ || h != height_) && !Make(w, h)) {
    failed = true;
    return false;
  }
  const XImage* image = segments_[next_].image;
  f.pixels = {reinterpret_cast<uint8_t*>(image->data), image->bytes_per_line, 4};
  f.width = f.windowWidth = w;
  f.height = h;
  f.fresh = fresh_;
  fresh_ = false;
  return true;
}

// Brings the segment about to be sent up to date outside r, which was just
// drawn: the rectangle the other one sent last, copied from it. So each
// segment holds the whole picture as of its last send, as one image would.
void ShmPresent::CatchUp(const WindowRect& r) {
  const WindowRect& b = behind_;
  const XImage* from = segments_[next_ ^ 1].image;
  char* to = segments_[next_].image->data;
  const size_t pitch = static_cast<size_t>(from->bytes_per_line);
  for (int y = b.y; y < b.y + b.h; ++y) {
    auto copy = [&](int x0, int x1) {
      if (x1 > x0) {
        std::memcpy(to + y * pitch + static_cast<size_t>(x0) * 4,
                    from->data + y * pitch + static_cast<size_t>(x0) * 4,
                    static_cast<size_t>(x1 - x0) * 4);
      }
    };
    if (y >= r.y && y < r.y + r.h) {
      copy(b.x, std::min(b.x + b.w, r.x));
      copy(std::max(b.x, r.x + r.w), b.x + b.w);
    } else {
      copy(b.x, b.x + b.w);
    }
  }
}

bool ShmPresent::Send(const WindowRect& r) {
  if (failed) return false;
  if (r.w <= 0 || r.h <= 0) return true;
  CatchUp(r);
  XShmPutImage(display_, window_, gc_, segments_[next_].image, r.x, r.y, r.x, r.y,
               static_cast<unsigned>(r.w), static_cast<unsigned>(r.h), False);
  XFlush(display_);
  behind_ = r;
  next_ ^= 1;
  return true;
}

std::unique_ptr<WindowPresent> ShmPresent::FallBack() {
  // Pixels of 32 bits, as the segments': nothing to convert.
  const PixelFormat same =
      PixelFormat::FromMasks(visual_->red_mask, visual_->green_mask, visual_->blue_mask);
  auto put = std::make_unique<PutPresent>(sdlWindow_, display_, window_, visual_, depth_, same, 0);
  int w = 0, h = 0;
  SDL_GetWindowSize(sdlWindow_, &w, &h);
  if (!put->Make(w, h)) return nullptr;
  return put;
}

}  // namespace

std::unique_ptr<WindowPresent> OpenX11Present(SDL_Window* window, PixelFormat& format,
                                              int widestRow) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  Display* display = info.info.x11.display;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, info.info.x11.window, &attributes)) return nullptr;
  Visual* v = attributes.visual;
  // Each channel 8 bits in a 32-bit pixel, as the canvas draws them; or
  // 15 and 16-bit screens, converted.
  auto eightBits = [](unsigned long mask) {
    return (mask >> PixelFormat::MaskShift(mask)) == 0xFF;
  };
  const bool direct = v->c_class == TrueColor || v->c_class == DirectColor;
  const bool deep = attributes.depth == 24 && eightBits(v->red_mask) && eightBits(v->green_mask) &&
                    eightBits(v->blue_mask);
  if (!direct || (!deep && attributes.depth != 16 && attributes.depth != 15)) return nullptr;
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  int opcode = 0, firstEvent = 0, firstError = 0;
  if (deep) {
    format = PixelFormat::FromMasks(v->red_mask, v->green_mask, v->blue_mask);
    if (live == nullptr && XQueryExtension(display, "MIT-SHM", &opcode, &firstEvent, &firstError) &&
        XShmQueryExtension(display)) {
      auto shm = std::make_unique<ShmPresent>(window, display, info.info.x11.window, v,
                                              attributes.depth, opcode);
      if (shm->Make(w, h)) return shm;
    }
  }
  auto put = std::make_unique<PutPresent>(window, display, info.info.x11.window, v,
                                          attributes.depth, format, widestRow);
  if (!put->Make(w, h)) return nullptr;
  return put;
}
