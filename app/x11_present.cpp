#include "app/x11_present.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstring>

namespace {
bool attachFailed = false;
int NoteAttachFailure(Display*, XErrorEvent*) {
  attachFailed = true;
  return 0;
}

uint8_t MaskShift(unsigned long mask) {
  uint8_t shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}
}  // namespace

struct X11Present::State {
  Display* display = nullptr;
  ::Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  WindowPixels pixels;
};

X11Present::X11Present(std::unique_ptr<State> state) : s_(std::move(state)) {}

std::unique_ptr<X11Present> X11Present::Create(SDL_Window* window, PixelFormat& format) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  Display* display = info.info.x11.display;
  if (!XShmQueryExtension(display)) return nullptr;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, info.info.x11.window, &attributes)) return nullptr;
  Visual* v = attributes.visual;
  // Each channel 8 bits in a 32-bit pixel, as the canvas draws them.
  auto eightBits = [](unsigned long mask) { return (mask >> MaskShift(mask)) == 0xFF; };
  const bool direct = v->c_class == TrueColor || v->c_class == DirectColor;
  if (attributes.depth != 24 || !direct || !eightBits(v->red_mask) ||
      !eightBits(v->green_mask) || !eightBits(v->blue_mask)) {
    return nullptr;
  }
  auto state = std::make_unique<State>();
  state->display = display;
  state->window = info.info.x11.window;
  state->visual = v;
  state->depth = attributes.depth;
  state->gc = XCreateGC(display, state->window, 0, nullptr);
  if (state->gc == nullptr) return nullptr;
  std::unique_ptr<X11Present> present(new X11Present(std::move(state)));
  bool fresh = false;
  if (present->Pixels(attributes.width, attributes.height, fresh) == nullptr) return nullptr;
  if (present->s_->image->bits_per_pixel != 32) return nullptr;
  present->Free();  // the first present places the canvas afresh
  format = {MaskShift(v->red_mask), MaskShift(v->green_mask), MaskShift(v->blue_mask)};
  return present;
}

X11Present::~X11Present() {
  Free();
  if (s_->gc != nullptr) XFreeGC(s_->display, s_->gc);
}

void X11Present::Free() {
  if (s_->image == nullptr) return;
  XShmDetach(s_->display, &s_->shm);
  XDestroyImage(s_->image);  // frees the image record, not the shared memory
  shmdt(s_->shm.shmaddr);
  s_->image = nullptr;
  s_->pixels = {};
}

const WindowPixels* X11Present::Pixels(int width, int height, bool& fresh) {
  fresh = false;
  if (s_->image != nullptr && s_->image->width == width && s_->image->height == height) {
    return &s_->pixels;
  }
  Free();
  fresh = true;
  XImage* image = XShmCreateImage(s_->display, s_->visual, static_cast<unsigned>(s_->depth),
                                  ZPixmap, nullptr, &s_->shm, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height));
  if (image == nullptr) return nullptr;
  const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
  s_->shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (s_->shm.shmid < 0) {
    XDestroyImage(image);
    return nullptr;
  }
  s_->shm.shmaddr = image->data = static_cast<char*>(shmat(s_->shm.shmid, nullptr, 0));
  s_->shm.readOnly = False;
  if (s_->shm.shmaddr == reinterpret_cast<char*>(-1)) {
    shmctl(s_->shm.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return nullptr;
  }
  // A server elsewhere on the network cannot attach: the one wait here, at
  // each new size, tells.
  attachFailed = false;
  XErrorHandler previous = XSetErrorHandler(NoteAttachFailure);
  XShmAttach(s_->display, &s_->shm);
  XSync(s_->display, False);
  XSetErrorHandler(previous);
  shmctl(s_->shm.shmid, IPC_RMID, nullptr);  // goes when both sides let go
  if (attachFailed) {
    shmdt(s_->shm.shmaddr);
    XDestroyImage(image);
    return nullptr;
  }
  std::memset(image->data, 0, bytes);
  s_->image = image;
  s_->pixels = {reinterpret_cast<uint8_t*>(image->data), image->bytes_per_line, 4};
  return &s_->pixels;
}

void X11Present::Send(const WindowRect& r) {
  if (s_->image == nullptr || r.w <= 0 || r.h <= 0) return;
  XShmPutImage(s_->display, s_->window, s_->gc, s_->image, r.x, r.y, r.x, r.y,
               static_cast<unsigned>(r.w), static_cast<unsigned>(r.h), False);
  XFlush(s_->display);
}
