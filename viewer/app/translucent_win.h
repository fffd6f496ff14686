#pragma once
// Paints translucently: what is painted on a DC while a Translucent is alive is blended, at its
// opacity, over what was there before. Works whatever the DC's world transform, since it keeps
// a copy of the device pixels under the painted area and blends that copy back afterwards.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/paint_util_win.h"

namespace viewer {

class Translucent {
 public:
  // `points` (logical coordinates) bound what will be painted; `alpha` 255 paints as usual.
  Translucent(HDC dc, const std::vector<POINT>& points, uint8_t alpha);
  ~Translucent();
  Translucent(const Translucent&) = delete;
  Translucent& operator=(const Translucent&) = delete;

 private:
  HDC dc_;
  uint8_t alpha_;
  RECT device_{0, 0, 0, 0};
  // Declared in the order they are set up, so they are released in reverse.
  kestrane::AutoMemoryDC mem_;
  AutoBitmap bitmap_;
  std::unique_ptr<ScopedSelect> selected_;
};

}  // namespace viewer
