#include "geom/outline.h"

#include <algorithm>
#include <cmath>

namespace geom {
namespace {

constexpr double kPi = 3.14159265358979323846;

SubPath Polygon(std::initializer_list<Pt> fractions, double w, double h) {
  SubPath p;
  for (const Pt& f : fractions) p.pts.push_back(Pt{f.x * w, f.y * h});
  return p;
}

}  // namespace

void AppendArc(std::vector<Pt>* pts, double cx, double cy, double rx, double ry, double a0,
               double a1) {
  double span = a1 - a0;
  // About one segment per 6 degrees, and at least one per 4 pixels of the larger radius' arc.
  int n = std::max(2, int(std::ceil(std::fabs(span) / 6.0)));
  n = std::min(n, 720);
  for (int i = 0; i <= n; i++) {
    double a = (a0 + span * i / n) * kPi / 180.0;
    pts->push_back(Pt{cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
}

void AppendCubic(std::vector<Pt>* pts, Pt c1, Pt c2, Pt p) {
  Pt p0 = pts->empty() ? c1 : pts->back();
  double len = std::hypot(c1.x - p0.x, c1.y - p0.y) + std::hypot(c2.x - c1.x, c2.y - c1.y) +
               std::hypot(p.x - c2.x, p.y - c2.y);
  int n = std::max(2, std::min(64, int(len / 4)));
  for (int i = 1; i <= n; i++) {
    double t = double(i) / n, u = 1 - t;
    double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    pts->push_back(
        Pt{a * p0.x + b * c1.x + c * c2.x + d * p.x, a * p0.y + b * c1.y + c * c2.y + d * p.y});
  }
}

Outline ShapeOutline(const ppt::Shape& s, double w, double h) {
  Outline o;
  switch (s.geometry) {
    case ppt::Shape::kLine: {
      SubPath p;
      p.pts = {Pt{0, 0}, Pt{w, h}};
      p.closed = false;
      p.fill = false;
      o.parts.push_back(p);
      o.open_line = true;
      break;
    }
    case ppt::Shape::kEllipse: {
      SubPath p;
      AppendArc(&p.pts, w / 2, h / 2, w / 2, h / 2, 0, 360);
      p.pts.pop_back();
      o.parts.push_back(p);
      break;
    }
    case ppt::Shape::kRoundRect: {
      double r = std::min(w, h) / 6;
      SubPath p;
      AppendArc(&p.pts, w - r, r, r, r, 270, 360);
      AppendArc(&p.pts, w - r, h - r, r, r, 0, 90);
      AppendArc(&p.pts, r, h - r, r, r, 90, 180);
      AppendArc(&p.pts, r, r, r, r, 180, 270);
      o.parts.push_back(p);
      break;
    }
    case ppt::Shape::kTriangle:
      o.parts.push_back(Polygon({{0.5, 0}, {1, 1}, {0, 1}}, w, h));
      break;
    case ppt::Shape::kRightTriangle:
      o.parts.push_back(Polygon({{0, 0}, {1, 1}, {0, 1}}, w, h));
      break;
    case ppt::Shape::kDiamond:
      o.parts.push_back(Polygon({{0.5, 0}, {1, 0.5}, {0.5, 1}, {0, 0.5}}, w, h));
      break;
    case ppt::Shape::kParallelogram:
      o.parts.push_back(Polygon({{0.25, 0}, {1, 0}, {0.75, 1}, {0, 1}}, w, h));
      break;
    case ppt::Shape::kTrapezoid:
      o.parts.push_back(Polygon({{0, 0}, {1, 0}, {0.75, 1}, {0.25, 1}}, w, h));
      break;
    case ppt::Shape::kHexagon:
      o.parts.push_back(
          Polygon({{0.25, 0}, {0.75, 0}, {1, 0.5}, {0.75, 1}, {0.25, 1}, {0, 0.5}}, w, h));
      break;
    case ppt::Shape::kOctagon:
      o.parts.push_back(Polygon(
          {{0.3, 0}, {0.7, 0}, {1, 0.3}, {1, 0.7}, {0.7, 1}, {0.3, 1}, {0, 0.7}, {0, 0.3}}, w, h));
      break;
    case ppt::Shape::kFreeform: {
      if (s.path.size() < 2) break;
      SubPath p;
      for (const ppt::Shape::Point& pt : s.path) p.pts.push_back(Pt{pt.x * w, pt.y * h});
      // An outline without fill is drawn open, as a polyline.
      p.closed = s.fill.kind != ppt::Fill::kNone;
      p.fill = p.closed;
      o.parts.push_back(p);
      break;
    }
    default:
      o.parts.push_back(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, w, h));
      break;
  }
  if (s.flip_h || s.flip_v) {
    for (SubPath& p : o.parts)
      for (Pt& pt : p.pts) {
        if (s.flip_h) pt.x = w - pt.x;
        if (s.flip_v) pt.y = h - pt.y;
      }
  }
  return o;
}

}  // namespace geom
