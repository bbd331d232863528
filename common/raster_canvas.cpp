#include "common/raster_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

namespace km {

void RasterCanvas::Plot(int x, int y) {
  if (!target_ || x < 0 || y < 0 || x >= target_->width || y >= target_->height) return;
  uint8_t* p = target_->Row(y) + static_cast<size_t>(x) * 3;
  if (mode_ == PenMode::Copy) {
    p[0] = colour_.b;
    p[1] = colour_.g;
    p[2] = colour_.r;
  } else {
    p[0] = static_cast<uint8_t>(~(colour_.b ^ p[0]));
    p[1] = static_cast<uint8_t>(~(colour_.g ^ p[1]));
    p[2] = static_cast<uint8_t>(~(colour_.r ^ p[2]));
  }
}

void RasterCanvas::MoveTo(int x, int y) {
  penX_ = x;
  penY_ = y;
}

void RasterCanvas::LineTo(int x, int y) {
  // Bresenham from the pen position; the end point is left out, as the
  // window system does, so joined segments touch each corner once.
  int x0 = penX_, y0 = penY_;
  const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
  const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  while (!(x0 == x && y0 == y)) {
    Plot(x0, y0);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  penX_ = x;
  penY_ = y;
}

void RasterCanvas::FrameRect(int x1, int y1, int x2, int y2) {
  const int left = std::min(x1, x2), right = std::max(x1, x2) - 1;
  const int top = std::min(y1, y2), bottom = std::max(y1, y2) - 1;
  if (right < left || bottom < top) return;
  for (int x = left; x <= right; ++x) {
    Plot(x, top);
    if (bottom != top) Plot(x, bottom);
  }
  for (int y = top + 1; y < bottom; ++y) {
    Plot(left, y);
    if (right != left) Plot(right, y);
  }
}

void RasterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const int left = std::min(x1, x2), right = std::max(x1, x2) - 1;
  const int top = std::min(y1, y2), bottom = std::max(y1, y2) - 1;
  if (right < left || bottom < top) return;
  // Collect the outline first so that every pixel is touched exactly once.
  const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
  const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
  std::set<std::pair<int, int>> outline;
  const int steps = std::max(8, static_cast<int>(8 * (rx + ry)));
  for (int i = 0; i < steps; ++i) {
    const double t = 2 * M_PI * i / steps;
    outline.emplace(static_cast<int>(std::lround(cx + rx * std::cos(t))),
                    static_cast<int>(std::lround(cy + ry * std::sin(t))));
  }
  for (const auto& [x, y] : outline) Plot(x, y);
}

}  // namespace km
