#pragma once
// Pictures turned or mirrored with their shape, resampled here: the system's alpha blend takes
// only upright, unmirrored rectangles. Portable, so it is tested without a device.
#include <cstdint>

namespace paint {

// x' = a·x + c·y + e, y' = b·x + d·y + f: the layout of a device's world transform.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};

// The map that undoes `m`; false when `m` flattens the plane (no inverse).
bool Invert(const Affine& m, Affine* out);

// Fills `dst` (`dw` × `dh` premultiplied 32-bit BGRA, top row first) with the picture `src`
// (`sw` × `sh`, the same layout) placed by `m`, which takes a point of the picture (in its
// pixels, 0,0 its top-left corner) to one of `dst`. Pixels are blended from their four nearest
// neighbours; outside the picture they are transparent, and its edges fade over one pixel.
void PlacePixels(const uint8_t* src, int sw, int sh, const Affine& m, uint8_t* dst, int dw, int dh);

}  // namespace paint
