#include "app/transition_win.h"

#include <algorithm>
#include <vector>

#include "app/paint_util_win.h"
#include "app/system_api_win.h"

namespace viewer {

namespace {

constexpr DWORD kFallbackHz = 60;

const Canvas* SourceOf(show::Source s, const Canvas& before, const Canvas& after) {
  return s == show::kOld ? &before : s == show::kNew ? &after : nullptr;
}

void FillSolid(HDC dc, int x, int y, int w, int h, show::Source s) {
  PatBlt(dc, x, y, w, h, s == show::kWhite ? WHITENESS : BLACKNESS);
}

// Where the blending library is missing: the same blend, a pixel at a time.
void BlendPixels(const uint32_t* src, uint32_t solid, bool use_solid, uint32_t* dst, size_t n,
                 unsigned alpha) {
  for (size_t i = 0; i < n; i++) {
    uint32_t a = use_solid ? solid : src[i], b = dst[i], o = 0;
    for (int sh = 0; sh < 24; sh += 8) {
      unsigned ca = (a >> sh) & 0xFF, cb = (b >> sh) & 0xFF;
      o |= ((ca * alpha + cb * (255 - alpha)) / 255) << sh;
    }
    dst[i] = o;
  }
}

}  // namespace

void DrawFrame(const show::Frame& f, const Canvas& before, const Canvas& after, Canvas* out) {
  HDC dc = out->dc();
  const int w = out->width(), h = out->height();
  if (const Canvas* base = SourceOf(f.base, before, after))
    BitBlt(dc, 0, 0, w, h, base->dc(), 0, 0, SRCCOPY);
  else
    FillSolid(dc, 0, 0, w, h, f.base);
  SetStretchBltMode(dc, COLORONCOLOR);
  for (const show::Blit& b : f.blits) {
    const Canvas* src = SourceOf(b.src, before, after);
    if (!src) {
      FillSolid(dc, b.dx, b.dy, b.dw, b.dh, b.src);
    } else if (b.dw == b.from.w && b.dh == b.from.h) {
      BitBlt(dc, b.dx, b.dy, b.dw, b.dh, src->dc(), b.from.x, b.from.y, SRCCOPY);
    } else {
      StretchBlt(dc, b.dx, b.dy, b.dw, b.dh, src->dc(), b.from.x, b.from.y, b.from.w, b.from.h,
                 SRCCOPY);
    }
  }
  if (!f.shapes.empty()) {
    std::vector<POINT> pts;
    std::vector<INT> counts;
    for (const auto& poly : f.shapes) {
      if (poly.size() < 3) continue;
      for (const show::Point& p : poly) pts.push_back(POINT{p.x, p.y});
      counts.push_back(INT(poly.size()));
    }
    if (!counts.empty()) {
      AutoRegion shape(
          CreatePolyPolygonRgn(pts.data(), counts.data(), int(counts.size()), WINDING));
      AutoRegion box(CreateRectRgn(f.shape_clip.x, f.shape_clip.y, f.shape_clip.x + f.shape_clip.w,
                                   f.shape_clip.y + f.shape_clip.h));
      if (shape && box) {
        CombineRgn(shape.get(), shape.get(), box.get(), RGN_AND);
        SelectClipRgn(dc, shape.get());
        BitBlt(dc, 0, 0, w, h, after.dc(), 0, 0, SRCCOPY);
        SelectClipRgn(dc, nullptr);
      }
    }
  }
  if (f.moving.on) {
    GdiFlush();
    show::ComposeMoving(reinterpret_cast<const uint32_t*>(before.pixels()),
                        reinterpret_cast<const uint32_t*>(after.pixels()),
                        reinterpret_cast<uint32_t*>(out->bits()), w, h, f.moving);
  }
  if (f.alpha > 0) {
    BLENDFUNCTION bf{AC_SRC_OVER, 0, f.alpha, 0};
    const Canvas* src = SourceOf(f.blend, before, after);
    bool done = false;
    if (src) {
      done = sys::AlphaBlend(dc, 0, 0, w, h, src->dc(), 0, 0, w, h, bf);
    } else {
      Canvas dot(1, 1);
      if (dot.ok()) {
        FillSolid(dot.dc(), 0, 0, 1, 1, f.blend);
        done = sys::AlphaBlend(dc, 0, 0, w, h, dot.dc(), 0, 0, 1, 1, bf);
      }
    }
    if (!done) {
      GdiFlush();
      BlendPixels(src ? reinterpret_cast<const uint32_t*>(src->pixels()) : nullptr,
                  f.blend == show::kWhite ? 0xFFFFFFu : 0u, src == nullptr,
                  reinterpret_cast<uint32_t*>(out->bits()), size_t(w) * size_t(h), f.alpha);
    }
  }
  GdiFlush();
}

void Animation::Start(std::unique_ptr<Canvas> before, std::unique_ptr<Canvas> after,
                      int duration_ms, Plan plan) {
  after_ = std::move(after);
  before_ = std::move(before);
  plan_ = std::move(plan);
  painter_ = nullptr;
  duration_ms_ = duration_ms;
  frame_.reset();
  active_ = duration_ms > 0 && before_ && after_ && before_->ok() && after_->ok() &&
            before_->width() == after_->width() && before_->height() == after_->height();
  if (!active_) {
    before_.reset();
    return;
  }
  frame_.reset(new Canvas(after_->width(), after_->height()));
  if (!frame_->ok()) return Finish();
  kestrane::WindowDC screen(nullptr);
  int hz = screen.get() ? GetDeviceCaps(screen.get(), VREFRESH) : 0;
  interval_ms_ = 1000 / DWORD(hz > 1 && hz < 500 ? hz : kFallbackHz);
  QueryPerformanceFrequency(&freq_);
  QueryPerformanceCounter(&start_);
  last_frame_ = 0;
}

bool Animation::Step() {
  if (!active_) return false;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  double elapsed_ms = double(now.QuadPart - start_.QuadPart) * 1000.0 / double(freq_.QuadPart);
  double progress = elapsed_ms / duration_ms_;
  if (progress >= 1) {
    Finish();
    return false;
  }
  if (painter_)
    painter_(progress, frame_.get());
  else
    DrawFrame(plan_(progress), *before_, *after_, frame_.get());
  frames_++;
  last_frame_ = GetTickCount() | 1;
  return true;
}

void Animation::Finish() {
  active_ = false;
  painter_ = nullptr;
  frame_.reset();
  before_.reset();
}

const Canvas* Animation::Screen() const {
  if (active_) return frames_ && last_frame_ ? frame_.get() : before_.get();
  return after_.get();
}

std::unique_ptr<Canvas> Animation::TakeResult() {
  return active_ ? nullptr : std::move(after_);
}

DWORD Animation::MsToNextFrame() const {
  if (!active_) return INFINITE;
  DWORD since = GetTickCount() - last_frame_;
  return last_frame_ == 0 || since >= interval_ms_ ? 0 : DWORD(interval_ms_ - since);
}

}  // namespace viewer
