#include "geom/text_warp.h"

#include <algorithm>
#include <cmath>

namespace geom {
namespace {

// Letters along a rail are at most this share of the box's smaller side, divided among the rails
// and the room between them: an arch's letters reach a little under a third of the way in.
constexpr double kRailLetterShare = 0.6;

Pt Plus(Pt a, Pt b, double k) {
  return Pt{a.x + b.x * k, a.y + b.y * k};
}

// (x, y) made one long; a piece of no length points along the x axis.
Pt Unit(double x, double y) {
  const double len = std::hypot(x, y);
  return len > 1e-12 ? Pt{x / len, y / len} : Pt{1, 0};
}

}  // namespace

TextWarp::TextWarp(const Outline& text_path, double w, double h) : w_(w), h_(h) {
  for (const SubPath& p : text_path.parts) {
    // A closed figure is a shape's outline, not a path for text (types without a preset).
    if (p.closed || p.pts.size() < 2) continue;
    Rail r = MakeRail(p.pts);
    if (r.length > 1e-9) rails_.push_back(std::move(r));
  }
  if (rails_.empty()) {
    rails_.push_back(MakeRail({Pt{0, 0}, Pt{w, 0}}));
    rails_.push_back(MakeRail({Pt{0, h}, Pt{w, h}}));
  }
  single_ = rails_.size() % 2 == 1;
}

TextWarp::Rail TextWarp::MakeRail(std::vector<Pt> pts) {
  Rail r;
  // Points repeated where a path's pieces join say nothing of its direction.
  pts.erase(std::unique(pts.begin(), pts.end(),
                        [](Pt a, Pt b) { return std::hypot(a.x - b.x, a.y - b.y) < 1e-9; }),
            pts.end());
  if (pts.size() < 2) return r;
  double length = 0;
  for (size_t i = 1; i < pts.size(); i++)
    length += std::hypot(pts[i].x - pts[i - 1].x, pts[i].y - pts[i - 1].y);
  // Text reads left to right: a rail drawn the other way is turned round, unless it comes back
  // to where it started (a circle keeps the direction its preset gives it).
  const Pt a = pts.front(), b = pts.back();
  if (b.x < a.x && std::hypot(b.x - a.x, b.y - a.y) > 0.1 * length)
    std::reverse(pts.begin(), pts.end());
  r.pts = std::move(pts);
  r.at.push_back(0);
  for (size_t i = 1; i < r.pts.size(); i++)
    r.at.push_back(r.at.back() +
                   std::hypot(r.pts[i].x - r.pts[i - 1].x, r.pts[i].y - r.pts[i - 1].y));
  r.length = r.at.back();
  // Letters turn smoothly with the rail: each point's direction is the mean of its two pieces',
  // and directions between points blend these, so that no letter kinks where two pieces meet.
  const size_t n = r.pts.size();
  std::vector<Pt> piece(n - 1);
  for (size_t i = 0; i + 1 < n; i++)
    piece[i] = Unit(r.pts[i + 1].x - r.pts[i].x, r.pts[i + 1].y - r.pts[i].y);
  r.turn.resize(n);
  for (size_t i = 0; i < n; i++) {
    const Pt a = piece[i > 0 ? i - 1 : 0], b = piece[i + 1 < n ? i : n - 2];
    r.turn[i] = Unit(a.x + b.x, a.y + b.y);
  }
  return r;
}

TextWarp::Spot TextWarp::PointAt(const Rail& r, double fraction) {
  // A box of no size leaves rails of a single point, or none.
  if (r.pts.size() < 2) return Spot{r.pts.empty() ? Pt{0, 0} : r.pts.front(), Pt{1, 0}};
  const double d = fraction * r.length;
  // The segment holding d; before the start or past the end, the first or last one, extended.
  size_t i = size_t(std::upper_bound(r.at.begin(), r.at.end(), d) - r.at.begin());
  i = std::min(std::max<size_t>(i, 1), r.pts.size() - 1);
  // Points repeated were dropped with the rail made: every segment has a length.
  const size_t k = i;
  const double len = r.at[k] - r.at[k - 1];
  Spot s;
  const Pt step{(r.pts[k].x - r.pts[k - 1].x) / len, (r.pts[k].y - r.pts[k - 1].y) / len};
  s.pt = Plus(r.pts[k - 1], step, d - r.at[k - 1]);
  const double t = std::min(1.0, std::max(0.0, (d - r.at[k - 1]) / len));
  const Pt a = r.turn[k - 1], b = r.turn[k];
  s.dir = Unit(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
  return s;
}

Pt TextWarp::Map(int line, int lines, double u, double v, double aspect) const {
  lines = std::max(1, lines);
  line = std::min(std::max(0, line), lines - 1);
  return single_ ? Along(line, u, v, aspect) : Between(line, lines, u, v);
}

// Between an upper and a lower rail. One pair takes every line, one under the other; several
// pairs take a line each, and share the rest out in order.
Pt TextWarp::Between(int line, int lines, double u, double v) const {
  const int pairs = int(rails_.size() / 2);
  int pair = 0, row = line, rows = lines;
  if (pairs > 1) {
    const int per = (lines + pairs - 1) / pairs;
    pair = std::min(pairs - 1, line / per);
    row = line - pair * per;
    rows = std::min(per, lines - pair * per);
  }
  const Pt top = PointAt(rails_[size_t(2 * pair)], u).pt;
  const Pt bottom = PointAt(rails_[size_t(2 * pair + 1)], u).pt;
  const double t = (row + v) / std::max(1, rows);
  return Pt{top.x + (bottom.x - top.x) * t, top.y + (bottom.y - top.y) * t};
}

// Along one rail: the letters follow it, turned with it, on the side facing the middle of the box
// (an arch's letters hang from it, a smile's stand on it). Lines past the last rail stack inwards.
Pt TextWarp::Along(int line, double u, double v, double aspect) const {
  const int count = int(rails_.size());
  const Rail& r = rails_[size_t(std::min(line, count - 1))];
  const int inward = std::max(0, line - (count - 1));
  const double cap = kRailLetterShare * std::min(w_, h_) / (count + 1);
  const double height = aspect > 0 ? std::min(r.length * aspect, cap) : cap;
  const Spot mid = PointAt(r, 0.5);
  const Pt mid_up{mid.dir.y, -mid.dir.x};
  const double side = (w_ / 2 - mid.pt.x) * mid_up.x + (h_ / 2 - mid.pt.y) * mid_up.y;
  const Spot s = PointAt(r, u);
  const Pt up{s.dir.y, -s.dir.x};
  double offset;
  if (std::fabs(side) < height / 2)
    offset = (0.5 - v - inward) * height;  // through the middle: centred on the rail
  else if (side > 0)
    offset = (1 - v + inward) * height;  // the middle lies above: standing on the rail
  else
    offset = -(v + inward) * height;  // the middle lies below: hanging from it
  return Plus(s.pt, up, offset);
}

}  // namespace geom
