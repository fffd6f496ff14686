#include "paint/stroke.h"

#include <algorithm>
#include <cmath>

namespace paint {

using geom::Pt;

namespace {
// Arrowhead widths and lengths (narrow/short, medium, wide/long) in line widths.
constexpr double kArrowScale[3] = {2, 3, 5};
// Lines thinner than this (device units) still get arrowheads one can see.
constexpr double kMinArrowLine = 2;
constexpr double kMiterLimit = 4;
}  // namespace

std::vector<double> DashPattern(ppt::LineStyle::Dash dash) {
  using D = ppt::LineStyle;
  switch (dash) {
    case D::kDashSys:
      return {3, 1};
    case D::kDotSys:
      return {1, 1};
    case D::kDashDotSys:
      return {3, 1, 1, 1};
    case D::kDashDotDotSys:
      return {3, 1, 1, 1, 1, 1};
    case D::kDot:
      return {1, 3};
    case D::kDash:
      return {4, 3};
    case D::kLongDash:
      return {8, 3};
    case D::kDashDot:
      return {4, 3, 1, 3};
    case D::kLongDashDot:
      return {8, 3, 1, 3};
    case D::kLongDashDotDot:
      return {8, 3, 1, 3, 1, 3};
    case D::kSolid:
      break;
  }
  return {};
}

std::vector<StrokeBand> CompoundBands(ppt::LineStyle::Compound compound) {
  using L = ppt::LineStyle;
  switch (compound) {
    case L::kDouble:
      return {{1.0 / 3, 1.0 / 3}, {-1.0 / 3, 1.0 / 3}};
    case L::kThickThin:
      return {{0.25, 0.5}, {-0.375, 0.25}};
    case L::kThinThick:
      return {{0.375, 0.25}, {-0.25, 0.5}};
    case L::kTriple:
      return {{5.0 / 12, 1.0 / 6}, {0, 1.0 / 3}, {-5.0 / 12, 1.0 / 6}};
    case L::kSingle:
      break;
  }
  return {{0, 1}};
}

std::vector<Pt> OffsetPath(const std::vector<Pt>& pts, bool closed, double d) {
  size_t n = pts.size();
  std::vector<Pt> out;
  if (n < 2 || d == 0) return pts;
  // The left normal of the segment from point i to point i + 1.
  auto normal = [&](size_t i, Pt* nrm) {
    const Pt& a = pts[i];
    const Pt& b = pts[(i + 1) % n];
    double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    if (len < 1e-9) return false;
    *nrm = Pt{dy / len, -dx / len};
    return true;
  };
  for (size_t i = 0; i < n; i++) {
    Pt before{0, 0}, after{0, 0};
    bool has_before = (closed || i > 0) && normal((i + n - 1) % n, &before);
    bool has_after = (closed || i + 1 < n) && normal(i, &after);
    Pt m;
    if (has_before && has_after) {
      Pt sum{before.x + after.x, before.y + after.y};
      double len = std::hypot(sum.x, sum.y);
      if (len < 1e-9) {
        m = after;  // the path turns right back on itself
      } else {
        Pt dir{sum.x / len, sum.y / len};
        double cosine = dir.x * after.x + dir.y * after.y;
        double scale = std::min(1 / std::max(cosine, 1e-9), kMiterLimit);
        m = Pt{dir.x * scale, dir.y * scale};
      }
    } else if (has_after) {
      m = after;
    } else if (has_before) {
      m = before;
    } else {
      m = Pt{0, 0};
    }
    out.push_back(Pt{pts[i].x + m.x * d, pts[i].y + m.y * d});
  }
  return out;
}

ArrowHead MakeArrowHead(const ppt::LineEnd& end, Pt tip, Pt from, double width) {
  ArrowHead h;
  if (end.style == ppt::LineEnd::kNone) return h;
  double dx = tip.x - from.x, dy = tip.y - from.y, len = std::hypot(dx, dy);
  if (len < 1e-9) return h;
  double ux = dx / len, uy = dy / len;  // along the line, towards the tip
  double nx = -uy, ny = ux;             // across it
  double base = std::max(width, kMinArrowLine);
  double hw = kArrowScale[std::max(0, std::min(2, end.width))] * base / 2;
  double hl = kArrowScale[std::max(0, std::min(2, end.length))] * base;
  auto at = [&](double along, double across) {
    return Pt{tip.x + ux * along + nx * across, tip.y + uy * along + ny * across};
  };
  switch (end.style) {
    case ppt::LineEnd::kTriangle:
      h.pts = {tip, at(-hl, hw), at(-hl, -hw)};
      h.inset = hl * 0.9;
      break;
    case ppt::LineEnd::kStealth:
      h.pts = {tip, at(-hl, hw), at(-hl * 0.6, 0), at(-hl, -hw)};
      h.inset = hl * 0.55;
      break;
    case ppt::LineEnd::kDiamond:
      h.pts = {at(hl / 2, 0), at(0, hw), at(-hl / 2, 0), at(0, -hw)};
      break;
    case ppt::LineEnd::kOval:
      for (int i = 0; i < 24; i++) {
        double a = i * 3.14159265358979323846 / 12;
        h.pts.push_back(at(std::cos(a) * hl / 2, std::sin(a) * hw));
      }
      break;
    case ppt::LineEnd::kOpen:
      h.pts = {at(-hl, hw), tip, at(-hl, -hw)};
      h.filled = false;
      h.inset = width / 2;
      break;
    case ppt::LineEnd::kNone:
      break;
  }
  h.inset = std::min(h.inset, len);
  return h;
}

namespace {
void Shorten(Pt* end, const Pt& toward, double by) {
  double dx = toward.x - end->x, dy = toward.y - end->y, len = std::hypot(dx, dy);
  if (len < 1e-9 || by <= 0) return;
  double k = std::min(by, len) / len;
  end->x += dx * k;
  end->y += dy * k;
}
}  // namespace

void ShortenStart(std::vector<Pt>* pts, double by) {
  if (pts->size() >= 2) Shorten(&(*pts)[0], (*pts)[1], by);
}

void ShortenEnd(std::vector<Pt>* pts, double by) {
  size_t n = pts->size();
  if (n >= 2) Shorten(&(*pts)[n - 1], (*pts)[n - 2], by);
}

}  // namespace paint
