// Where a shape inside groups ends up on the slide: each group scales its children into its
// anchor and turns and mirrors them with itself, at every level of nesting.
#include <algorithm>
#include <cmath>

#include "ppt/loader.h"

namespace ppt {
namespace detail {

namespace {
constexpr double kPi = 3.14159265358979323846;

// The shape's box before its turn: a quarter-turned shape's stored anchor is the turned box.
void TrueBox(const Rect& stored, double rotation, double* cx, double* cy, double* w, double* h) {
  *cx = (double(stored.left) + stored.right) / 2;
  *cy = (double(stored.top) + stored.bottom) / 2;
  *w = std::fabs(double(stored.right) - stored.left);
  *h = std::fabs(double(stored.bottom) - stored.top);
  if (QuarterTurned(rotation)) std::swap(*w, *h);
}

// The file turns a shape first and mirrors it after, about its box's centre; the model (and the
// painters) mirror first and turn after. A single mirror reverses the turn's sense.
double ModelTurn(double rotation, bool flip_h, bool flip_v) {
  return flip_h != flip_v ? -rotation : rotation;
}

}  // namespace

int32_t Clamp32(double v) {
  if (!(v == v)) return 0;
  return int32_t(std::lround(std::max(-2147483000.0, std::min(2147483000.0, v))));
}

bool QuarterTurned(double rotation) {
  double r = std::fmod(std::fmod(rotation, 360.0) + 360.0, 360.0);
  return (r >= 45 && r < 135) || (r >= 225 && r < 315);
}

Transform Transform::Then(const Transform& o) const {
  Transform r;
  r.a = o.a * a + o.c * b;
  r.b = o.b * a + o.d * b;
  r.c = o.a * c + o.c * d;
  r.d = o.b * c + o.d * d;
  r.e = o.a * e + o.c * f + o.e;
  r.f = o.b * e + o.d * f + o.f;
  return r;
}

Transform GroupTransform(const Rect& space, const Rect& anchor, int rotation, bool flip_h,
                         bool flip_v) {
  Transform t;
  // Corners come from the file: their differences may not fit the rectangle's own type.
  double sw = double(space.right) - space.left, sh = double(space.bottom) - space.top;
  if (sw == 0 || sh == 0) return t;
  double cx, cy, w, h;
  TrueBox(anchor, rotation, &cx, &cy, &w, &h);
  // Child space onto the group's box, with the box's centre at the origin...
  Transform scale;
  scale.a = w / sw;
  scale.d = h / sh;
  scale.e = -(double(space.left) + space.right) / 2 * scale.a;
  scale.f = -(double(space.top) + space.bottom) / 2 * scale.d;
  // ...mirrored, turned clockwise, and moved to where the box is.
  Transform turn;
  double rad = ModelTurn(rotation, flip_h, flip_v) * kPi / 180, cs = std::cos(rad),
         sn = std::sin(rad);
  double fx = flip_h ? -1 : 1, fy = flip_v ? -1 : 1;
  turn.a = cs * fx;
  turn.b = sn * fx;
  turn.c = -sn * fy;
  turn.d = cs * fy;
  turn.e = cx;
  turn.f = cy;
  return scale.Then(turn);
}

void PlaceShape(const Rect& stored, bool flip_h, bool flip_v, double rotation, const Transform& t,
                Shape* out) {
  const double model_turn = ModelTurn(rotation, flip_h, flip_v);
  if (t.axis_aligned()) {
    out->anchor = t.Apply(stored);
    if (out->anchor.left > out->anchor.right) std::swap(out->anchor.left, out->anchor.right);
    if (out->anchor.top > out->anchor.bottom) std::swap(out->anchor.top, out->anchor.bottom);
    out->flip_h = flip_h;
    out->flip_v = flip_v;
    out->rotation = int(model_turn) % 360;
    // The anchor is stored turned by the file's angle and read back by the model's: where only
    // one of them counts as a quarter turn (at exactly 45 degrees and the like), turn it here.
    if (QuarterTurned(rotation) != QuarterTurned(out->rotation)) {
      const Rect a = out->anchor;
      const int32_t cx = Clamp32((double(a.left) + a.right) / 2);
      const int32_t cy = Clamp32((double(a.top) + a.bottom) / 2);
      const double hw = (double(a.right) - a.left) / 2, hh = (double(a.bottom) - a.top) / 2;
      out->anchor = Rect{Clamp32(cx - hh), Clamp32(cy - hw), Clamp32(cx + hh), Clamp32(cy + hw)};
    }
    return;
  }
  double cx, cy, w, h;
  TrueBox(stored, rotation, &cx, &cy, &w, &h);
  double rad = model_turn * kPi / 180, cs = std::cos(rad), sn = std::sin(rad);
  double fx = flip_h ? -1 : 1, fy = flip_v ? -1 : 1;
  // The shape's own axes (turn after mirror) carried through the groups.
  double vx = (t.a * cs + t.c * sn) * fx, vy = (t.b * cs + t.d * sn) * fx;
  double ux = (-t.a * sn + t.c * cs) * fy, uy = (-t.b * sn + t.d * cs) * fy;
  double det = vx * uy - vy * ux;
  bool mirrored = det < 0;
  double turn = mirrored ? std::atan2(-vy, -vx) : std::atan2(vy, vx);
  double deg = std::fmod(turn * 180 / kPi + 360, 360);
  int rot = int(std::lround(deg)) % 360;
  double nw = std::hypot(vx, vy) * w, nh = std::hypot(ux, uy) * h;
  double ncx = t.a * cx + t.c * cy + t.e, ncy = t.b * cx + t.d * cy + t.f;
  if (QuarterTurned(rot)) std::swap(nw, nh);
  out->anchor = Rect{Clamp32(ncx - nw / 2), Clamp32(ncy - nh / 2), Clamp32(ncx + nw / 2),
                     Clamp32(ncy + nh / 2)};
  // A mirror turned half way round is the other mirror.
  bool upside_down = mirrored && rot == 180;
  out->flip_h = mirrored && !upside_down;
  out->flip_v = upside_down;
  out->rotation = upside_down ? 0 : rot;
}

}  // namespace detail
}  // namespace ppt
