#include "paint/blend.h"

#include <algorithm>
#include <cmath>

namespace paint {

using geom::Pt;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kMinBands = 8, kMaxBands = 256;
// Two pictures' colours closer than this (per channel) count as the transparent colour: JPEG
// and resampling never keep a colour exact.
constexpr int kTransparentTolerance = 8;

uint8_t Clamp8(double v) {
  return uint8_t(std::max(0.0, std::min(255.0, std::round(v))));
}
}  // namespace

Sample SampleStops(const std::vector<ppt::GradientStop>& stops, double t) {
  Sample s;
  if (stops.empty()) return s;
  if (t <= stops.front().pos) return Sample{stops.front().color, stops.front().alpha};
  for (size_t i = 1; i < stops.size(); i++) {
    const ppt::GradientStop& a = stops[i - 1];
    const ppt::GradientStop& b = stops[i];
    if (t > b.pos) continue;
    double k = b.pos > a.pos ? (t - a.pos) / (b.pos - a.pos) : 1;
    auto lerp = [&](double x, double y) { return Clamp8(x + (y - x) * k); };
    return Sample{ppt::Rgb{lerp(a.color.r, b.color.r), lerp(a.color.g, b.color.g),
                           lerp(a.color.b, b.color.b)},
                  lerp(a.alpha, b.alpha)};
  }
  return Sample{stops.back().color, stops.back().alpha};
}

int BandCount(double span) {
  if (!(span > 0)) return kMinBands;
  return std::max(kMinBands, std::min(kMaxBands, int(span / 2)));
}

std::vector<ColorBand> LinearBands(const ppt::Fill& fill, double x, double y, double w, double h,
                                   int n) {
  std::vector<ColorBand> out;
  if (n <= 0 || !(w > 0) || !(h > 0)) return out;
  double rad = fill.angle * kPi / 180;
  double ux = std::cos(rad), uy = std::sin(rad);  // the blend's direction
  double vx = -uy, vy = ux;                       // across it
  double cx = x + w / 2, cy = y + h / 2;
  // The box's extent along and across the direction, from its centre.
  double along = (std::fabs(ux) * w + std::fabs(uy) * h) / 2;
  double across = (std::fabs(vx) * w + std::fabs(vy) * h) / 2 + 1;
  for (int i = 0; i < n; i++) {
    double t0 = double(i) / n, t1 = double(i + 1) / n;
    // Each band reaches a little into the next, so no seam shows between them.
    double a0 = -along + 2 * along * t0, a1 = -along + 2 * along * std::min(1.0, t1 + 0.5 / n);
    if (i == 0) a0 -= 1;
    if (i == n - 1) a1 += 1;
    ColorBand b;
    b.color = SampleStops(fill.stops, (t0 + t1) / 2).color;
    b.pts = {Pt{cx + ux * a0 + vx * across, cy + uy * a0 + vy * across},
             Pt{cx + ux * a1 + vx * across, cy + uy * a1 + vy * across},
             Pt{cx + ux * a1 - vx * across, cy + uy * a1 - vy * across},
             Pt{cx + ux * a0 - vx * across, cy + uy * a0 - vy * across}};
    out.push_back(std::move(b));
  }
  return out;
}

ppt::Fill UpsideDown(const ppt::Fill& fill) {
  ppt::Fill out = fill;
  if (fill.kind != ppt::Fill::kGradient) return out;
  out.angle = std::fmod(out.angle + 180, 360.0);
  for (int i = 0; i < 4; i++) out.focus[i] = 1 - fill.focus[(i + 2) % 4];
  return out;
}

std::vector<ColorBand> RectangularBands(const ppt::Fill& fill, double x, double y, double w,
                                        double h, int n) {
  std::vector<ColorBand> out;
  if (n <= 0 || !(w > 0) || !(h > 0)) return out;
  double fl = x + fill.focus[0] * w, ft = y + fill.focus[1] * h;
  double fr = x + fill.focus[2] * w, fb = y + fill.focus[3] * h;
  for (int i = 0; i < n; i++) {
    double t = double(i) / n;
    double l = x + (fl - x) * t, tp = y + (ft - y) * t;
    double r = x + w + (fr - x - w) * t, b = y + h + (fb - y - h) * t;
    ColorBand band;
    band.color = SampleStops(fill.stops, t + 0.5 / n).color;
    band.pts = {Pt{l, tp}, Pt{r, tp}, Pt{r, b}, Pt{l, b}};
    out.push_back(std::move(band));
  }
  return out;
}

std::vector<ColorBand> ShapeBands(const ppt::Fill& fill, const std::vector<Pt>& figure, double cx,
                                  double cy, int n) {
  std::vector<ColorBand> out;
  if (n <= 0 || figure.size() < 3) return out;
  for (int i = 0; i < n; i++) {
    double t = double(i) / n, k = 1 - t;
    ColorBand band;
    band.color = SampleStops(fill.stops, t + 0.5 / n).color;
    for (const Pt& p : figure) band.pts.push_back(Pt{cx + (p.x - cx) * k, cy + (p.y - cy) * k});
    out.push_back(std::move(band));
  }
  return out;
}

uint8_t AverageAlpha(const ppt::Fill& fill) {
  if (fill.kind != ppt::Fill::kGradient || fill.stops.empty()) return fill.alpha;
  double sum = 0;
  const int n = 16;
  for (int i = 0; i < n; i++) sum += SampleStops(fill.stops, (i + 0.5) / n).alpha;
  return Clamp8(sum / n);
}

void AdjustPixels(uint8_t* px, int w, int h, const ppt::PictureAdjust& a) {
  if (a.identity() || w <= 0 || h <= 0) return;
  const double offset = a.brightness * 255;
  for (size_t i = 0, n = size_t(w) * size_t(h); i < n; i++) {
    uint8_t* p = px + i * 4;
    int alpha = p[3];
    if (alpha == 0) continue;
    double c[3];  // b, g, r without the premultiplication
    for (int k = 0; k < 3; k++) c[k] = std::min(255.0, p[k] * 255.0 / alpha);
    if (a.transparent && std::abs(int(c[2]) - a.transparent_color.r) <= kTransparentTolerance &&
        std::abs(int(c[1]) - a.transparent_color.g) <= kTransparentTolerance &&
        std::abs(int(c[0]) - a.transparent_color.b) <= kTransparentTolerance) {
      p[0] = p[1] = p[2] = p[3] = 0;
      continue;
    }
    for (int k = 0; k < 3; k++) c[k] = (c[k] - 127.5) * a.contrast + 127.5 + offset;
    if (a.gray || a.black_white || a.recolor) {
      double l = 0.299 * c[2] + 0.587 * c[1] + 0.114 * c[0];
      if (a.black_white) l = l < 128 ? 0 : 255;
      if (a.recolor) {
        // Dark parts take the colour, light parts stay light.
        double k = std::max(0.0, std::min(1.0, l / 255));
        c[0] = a.recolor_color.b + (255 - a.recolor_color.b) * k;
        c[1] = a.recolor_color.g + (255 - a.recolor_color.g) * k;
        c[2] = a.recolor_color.r + (255 - a.recolor_color.r) * k;
      } else {
        c[0] = c[1] = c[2] = l;
      }
    }
    for (int k = 0; k < 3; k++) p[k] = Clamp8(Clamp8(c[k]) * alpha / 255.0);
  }
}

}  // namespace paint
