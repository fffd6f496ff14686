#include "paint/place_pixels.h"

#include <cmath>
#include <cstring>

namespace paint {

bool Invert(const Affine& m, Affine* out) {
  const double det = m.a * m.d - m.b * m.c;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
  Affine r;
  r.a = m.d / det;
  r.b = -m.b / det;
  r.c = -m.c / det;
  r.d = m.a / det;
  r.e = -(r.a * m.e + r.c * m.f);
  r.f = -(r.b * m.e + r.d * m.f);
  *out = r;
  return true;
}

void PlacePixels(const uint8_t* src, int sw, int sh, const Affine& m, uint8_t* dst, int dw,
                 int dh) {
  if (dw <= 0 || dh <= 0) return;
  std::memset(dst, 0, size_t(dw) * size_t(dh) * 4);
  Affine back;
  if (sw <= 0 || sh <= 0 || !Invert(m, &back)) return;
  // A source pixel, or nothing (transparent) outside the picture.
  auto at = [&](int x, int y, int ch) -> double {
    if (x < 0 || y < 0 || x >= sw || y >= sh) return 0;
    return src[(size_t(y) * size_t(sw) + size_t(x)) * 4 + size_t(ch)];
  };
  for (int y = 0; y < dh; y++)
    for (int x = 0; x < dw; x++) {
      // The destination pixel's centre, back in the picture; its neighbours' centres around.
      const double px = x + 0.5, py = y + 0.5;
      const double u = back.a * px + back.c * py + back.e - 0.5;
      const double v = back.b * px + back.d * py + back.f - 0.5;
      if (!(u > -1 && v > -1 && u < sw && v < sh)) continue;
      const int x0 = int(std::floor(u)), y0 = int(std::floor(v));
      const double fx = u - x0, fy = v - y0;
      uint8_t* out = dst + (size_t(y) * size_t(dw) + size_t(x)) * 4;
      for (int ch = 0; ch < 4; ch++) {
        const double top = at(x0, y0, ch) * (1 - fx) + at(x0 + 1, y0, ch) * fx;
        const double bottom = at(x0, y0 + 1, ch) * (1 - fx) + at(x0 + 1, y0 + 1, ch) * fx;
        out[ch] = uint8_t(std::lround(top * (1 - fy) + bottom * fy));
      }
    }
}

}  // namespace paint
