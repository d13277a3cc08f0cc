#include "app/presenter.h"

#include <algorithm>
#include <cstring>

Placement Placement::Fit(int canvasWidth, int canvasHeight, int windowWidth, int windowHeight,
                         int maxScale) {
  Placement p;
  p.scale =
      std::clamp(std::min(windowWidth / canvasWidth, windowHeight / canvasHeight), 1, maxScale);
  // A window too small for the whole canvas shows its top left, where the
  // status bar is; a scale above 1 always fits whole.
  p.cols = std::clamp(windowWidth / p.scale, 0, canvasWidth);
  p.rows = std::clamp(windowHeight / p.scale, 0, canvasHeight);
  p.x = std::max(0, (windowWidth - canvasWidth * p.scale) / 2);
  p.y = std::max(0, (windowHeight - canvasHeight * p.scale) / 2);
  return p;
}

WindowRect Placement::Rows(int first, int end) const {
  first = std::max(first, 0);
  end = std::min(end, rows);
  if (end <= first || cols <= 0) return {};
  return {x, y + first * scale, cols * scale, (end - first) * scale};
}

WindowRect DrawRows(const Surface& canvas, int first, int end, const Placement& at,
                    const WindowPixels& window, PixelConverter* convert, uint32_t* wideRow) {
  const WindowRect r = at.Rows(first, std::min(end, canvas.Height()));
  if (r.h == 0) return r;
  const int n = at.scale;
  const int cols = std::min(at.cols, canvas.Width());
  const size_t rowBytes = static_cast<size_t>(r.w) * window.bytesPerPixel;
  const int firstRow = (r.y - at.y) / n, endRow = firstRow + r.h / n;
  for (int row = firstRow; row < endRow; ++row) {
    uint8_t* top = window.pixels + static_cast<size_t>(at.y + row * n) * window.pitch +
                   static_cast<size_t>(at.x) * window.bytesPerPixel;
    const uint32_t* src = canvas.Row(row);
    // The row enlarged across, straight into the window or, for a window of
    // another pixel format, converted on the way ...
    uint32_t* wide = convert == nullptr ? reinterpret_cast<uint32_t*>(top) : wideRow;
    if (n == 1 && convert == nullptr) {
      std::memcpy(top, src, rowBytes);
    } else {
      const uint32_t* from = src;
      if (n > 1) {
        for (int x = 0; x < cols; ++x) std::fill_n(wide + static_cast<size_t>(x) * n, n, src[x]);
        from = wide;
      }
      if (convert != nullptr) convert->Convert(from, cols * n, top);
    }
    // ... and copied down.
    for (int k = 1; k < n; ++k)
      std::memcpy(top + static_cast<size_t>(k) * window.pitch, top, rowBytes);
  }
  return r;
}
