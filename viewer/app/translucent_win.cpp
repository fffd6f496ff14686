#include "app/translucent_win.h"

#include <algorithm>

#include "app/paint_util_win.h"
#include "app/system_api_win.h"

namespace viewer {

namespace {
// Device pixels are copied under an identity transform, so logical and device coordinates agree.
class DeviceSpace {
 public:
  explicit DeviceSpace(HDC dc) : saved_(dc) {
    if (GetGraphicsMode(dc) == GM_ADVANCED) ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  }

 private:
  ScopedSaveDC saved_;
};

// The largest area worth copying; anything beyond is off any slide we paint.
constexpr int kMaxSide = 16384;
}  // namespace

Translucent::Translucent(HDC dc, const std::vector<POINT>& points, uint8_t alpha)
    : dc_(dc), alpha_(alpha) {
  if (alpha_ == 255 || points.empty()) return;
  std::vector<POINT> dev(points);
  if (!LPtoDP(dc, dev.data(), int(dev.size()))) return;
  RECT r{dev[0].x, dev[0].y, dev[0].x, dev[0].y};
  for (const POINT& p : dev) {
    r.left = std::min(r.left, p.x);
    r.top = std::min(r.top, p.y);
    r.right = std::max(r.right, p.x);
    r.bottom = std::max(r.bottom, p.y);
  }
  InflateRect(&r, 2, 2);
  DeviceSpace space(dc);
  RECT clip;
  if (GetClipBox(dc, &clip) == ERROR || !IntersectRect(&device_, &r, &clip)) return;
  int w = device_.right - device_.left, h = device_.bottom - device_.top;
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return;
  mem_.reset(CreateCompatibleDC(dc));
  if (!mem_) return;
  bitmap_ = AutoBitmap(CreateCompatibleBitmap(dc, w, h));
  if (!bitmap_) return;
  selected_.reset(new ScopedSelect(mem_.get(), bitmap_.get()));
  BitBlt(mem_.get(), 0, 0, w, h, dc, device_.left, device_.top, SRCCOPY);
}

Translucent::~Translucent() {
  if (!selected_) return;
  DeviceSpace space(dc_);
  int w = device_.right - device_.left, h = device_.bottom - device_.top;
  // What was there before goes back over the new paint at the remaining weight.
  BLENDFUNCTION bf{AC_SRC_OVER, 0, BYTE(255 - alpha_), 0};
  sys::AlphaBlend(dc_, device_.left, device_.top, w, h, mem_.get(), 0, 0, w, h, bf);
}

}  // namespace viewer
