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

class ShmPresent : public X11Present {
 public:
  ShmPresent() = default;
  ShmPresent(const ShmPresent&) = delete;
  ShmPresent& operator=(const ShmPresent&) = delete;
  ~ShmPresent() override;
  const WindowPixels* Pixels(int width, int height, bool& fresh) override;
  void Send(const WindowRect& r) override;
  void Free();

  Display* display = nullptr;
  ::Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  WindowPixels pixels;
};

}  // namespace

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
  auto eightBits = [](unsigned long mask) {
    return (mask >> PixelFormat::MaskShift(mask)) == 0xFF;
  };
  const bool direct = v->c_class == TrueColor || v->c_class == DirectColor;
  if (attributes.depth != 24 || !direct || !eightBits(v->red_mask) || !eightBits(v->green_mask) ||
      !eightBits(v->blue_mask)) {
    return nullptr;
  }
  auto present = std::make_unique<ShmPresent>();
  present->display = display;
  present->window = info.info.x11.window;
  present->visual = v;
  present->depth = attributes.depth;
  present->gc = XCreateGC(display, present->window, 0, nullptr);
  if (present->gc == nullptr) return nullptr;
  bool fresh = false;
  if (present->Pixels(attributes.width, attributes.height, fresh) == nullptr) return nullptr;
  if (present->image->bits_per_pixel != 32) return nullptr;
  present->Free();  // the first present places the canvas afresh
  format = PixelFormat::FromMasks(v->red_mask, v->green_mask, v->blue_mask);
  return present;
}

ShmPresent::~ShmPresent() {
  Free();
  if (gc != nullptr) XFreeGC(display, gc);
}

void ShmPresent::Free() {
  if (image == nullptr) return;
  XShmDetach(display, &shm);
  XDestroyImage(image);  // frees the image record, not the shared memory
  shmdt(shm.shmaddr);
  image = nullptr;
  pixels = {};
}

const WindowPixels* ShmPresent::Pixels(int width, int height, bool& fresh) {
  fresh = false;
  if (image != nullptr && image->width == width && image->height == height) {
    return &pixels;
  }
  Free();
  fresh = true;
  XImage* made = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                 &shm, static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (made == nullptr) return nullptr;
  const size_t bytes = static_cast<size_t>(made->bytes_per_line) * static_cast<size_t>(height);
  shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shm.shmid < 0) {
    XDestroyImage(made);
    return nullptr;
  }
  shm.shmaddr = made->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
  shm.readOnly = False;
  if (shm.shmaddr == reinterpret_cast<char*>(-1)) {
    shmctl(shm.shmid, IPC_RMID, nullptr);
    XDestroyImage(made);
    return nullptr;
  }
  // A server elsewhere on the network cannot attach: the one wait here, at
  // each new size, tells.
  attachFailed = false;
  XErrorHandler previous = XSetErrorHandler(NoteAttachFailure);
  XShmAttach(display, &shm);
  XSync(display, False);
  XSetErrorHandler(previous);
  shmctl(shm.shmid, IPC_RMID, nullptr);  // goes when both sides let go
  if (attachFailed) {
    shmdt(shm.shmaddr);
    XDestroyImage(made);
    return nullptr;
  }
  std::memset(made->data, 0, bytes);
  image = made;
  pixels = {reinterpret_cast<uint8_t*>(image->data), image->bytes_per_line, 4};
  return &pixels;
}

void ShmPresent::Send(const WindowRect& r) {
  if (image == nullptr || r.w <= 0 || r.h <= 0) return;
  XShmPutImage(display, window, gc, image, r.x, r.y, r.x, r.y, static_cast<unsigned>(r.w),
               static_cast<unsigned>(r.h), False);
  XFlush(display);
}
