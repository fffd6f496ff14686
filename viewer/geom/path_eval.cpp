#include "geom/path_eval.h"

#include <algorithm>
#include <cmath>

namespace geom {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;
constexpr double kLimit = 1e9;     // guide results beyond this are clamped
constexpr double kKappa = 0.5523;  // cubic control distance of a quarter ellipse
constexpr size_t kMaxPoints = 1u << 18;

// Special guide parameters.
constexpr int32_t kGeoLeft = 320, kGeoTop = 321, kGeoRight = 322, kGeoBottom = 323;
constexpr int32_t kAdjustFirst = 327, kAdjustLast = 336;
constexpr int32_t kGuideFirst = 0x400;
constexpr int32_t kLineWidth = 0x4F7, kXCenter = 0x4F8, kYCenter = 0x4F9, kWidth = 0x4FA,
                  kHeight = 0x4FB;
constexpr int32_t kAspect = 0x600;  // the box's width over its height

// Segment types (top three bits) and escapes.
enum : int { kLineTo, kCurveTo, kMoveTo, kClose, kEnd, kEscape, kClientEscape };
enum : int {
  kAngleEllipseTo = 0x01,
  kAngleEllipse,
  kArcTo,
  kArc,
  kClockwiseArcTo,
  kClockwiseArc,
  kQuadrantX,
  kQuadrantY,
  kQuadraticBezier,
  kNoFill,
  kNoStroke,
  kAutoLine,
  kAutoCurve,
  kCornerLine,
  kCornerCurve,
  kSmoothLine,
  kSmoothCurve,
  kSymmetricLine,
  kSymmetricCurve,
};

// Formula operations that take an angle, and which of their parameters it is.
constexpr int kOpSum = 0x00, kOpSin = 0x09, kOpCos = 0x0A, kOpSumAngle = 0x0E, kOpTan = 0x10,
              kOpTurnedX = 0x81, kOpTurnedY = 0x82;

// Marks the adjust values that parameter `k` of guide `g` takes as an angle, through guides that
// only add angles up.
void MarkAngles(const PresetGuide* guides, size_t count, size_t g, int k, int depth,
                uint16_t* mask) {
  if (depth > 8 || g >= count || !(guides[g].flags & (0x2000 << k))) return;
  const int32_t v = guides[g].p[k];
  if (v >= kAdjustFirst && v <= kAdjustLast) {
    *mask |= uint16_t(1u << (v - kAdjustFirst));
    return;
  }
  if (v < kGuideFirst || size_t(v - kGuideFirst) >= count) return;
  const size_t from = size_t(v - kGuideFirst);
  const int op = guides[from].flags & 0xFF;
  if (op == kOpSum || op == kOpSumAngle)
    for (int j = 0; j < 3; j++) MarkAngles(guides, count, from, j, depth + 1, mask);
}

double Sane(double v) {
  if (!std::isfinite(v)) return 0;
  return std::max(-kLimit, std::min(kLimit, v));
}

class Evaluator {
 public:
  Evaluator(const PathProgram& p, double w, double h)
      : p_(p), w_(w), h_(h), state_(p.guide_count, 0), value_(p.guide_count, 0) {
    double bw = p.right - p.left, bh = p.bottom - p.top;
    sx_ = bw != 0 && std::isfinite(w / bw) ? w / bw : 0;
    sy_ = bh != 0 && std::isfinite(h / bh) ? h / bh : 0;
  }

  double Special(int32_t v) {
    if (v >= kAdjustFirst && v <= kAdjustLast) return p_.adjust[v - kAdjustFirst];
    if (v >= kGuideFirst && size_t(v - kGuideFirst) < p_.guide_count) return Guide(v - kGuideFirst);
    switch (v) {
      case kGeoLeft:
        return p_.left;
      case kGeoTop:
        return p_.top;
      case kGeoRight:
        return p_.right;
      case kGeoBottom:
        return p_.bottom;
      case kXCenter:
        return (p_.left + p_.right) / 2;
      case kYCenter:
        return (p_.top + p_.bottom) / 2;
      case kWidth:
        return p_.right - p_.left;
      case kHeight:
        return p_.bottom - p_.top;
      case kAspect:
        return h_ > 0 && w_ > 0 ? w_ / h_ : 1;
      case kLineWidth:
      default:
        return 0;
    }
  }

  // A coordinate in vertex encoding, in the program's own units.
  double Coord(int32_t v) {
    if ((uint32_t(v) & 0xFFFF0000u) == 0x80000000u) {
      size_t i = uint32_t(v) & 0xFFFF;
      return i < p_.guide_count ? Guide(i) : 0;
    }
    return v;
  }

  Pt Point(size_t i) {
    return Pt{Clamp((Coord(p_.vertices[2 * i]) - p_.left) * sx_),
              Clamp((Coord(p_.vertices[2 * i + 1]) - p_.top) * sy_)};
  }
  // Device coordinates stay within what a painter can take, whatever a file's adjust values.
  static double Clamp(double v) { return std::isfinite(v) ? std::max(-1e8, std::min(1e8, v)) : 0; }
  double ScaleX(double v) const { return Clamp(v * sx_); }
  double ScaleY(double v) const { return Clamp(v * sy_); }

 private:
  double Guide(size_t i) {
    if (state_[i] == 2) return value_[i];
    if (state_[i] == 1) return 0;  // a formula that depends on itself
    state_[i] = 1;
    const PresetGuide& g = p_.guides[i];
    double a[3];
    for (int k = 0; k < 3; k++) a[k] = (g.flags & (0x2000 << k)) ? Special(g.p[k]) : g.p[k];
    value_[i] = Sane(Apply(g.flags & 0xFF, a[0], a[1], a[2]));
    state_[i] = 2;
    return value_[i];
  }

  static double Apply(int op, double a, double b, double c) {
    switch (op) {
      case kOpSum:
      case kOpSumAngle:  // in degrees
        return a + b - c;
      case 0x01:  // product
        return c != 0 ? a * b / c : a * b;
      case 0x02:  // mid
        return (a + b) / 2;
      case 0x03:
        return std::fabs(a);
      case 0x04:
        return std::min(a, b);
      case 0x05:
        return std::max(a, b);
      case 0x06:  // if
        return a > 0 ? b : c;
      case 0x07:  // modulus (length of a vector)
        return std::sqrt(a * a + b * b + c * c);
      case 0x08:
        return std::atan2(b, a) / kDeg;
      case kOpSin:
        return a * std::sin(b * kDeg);
      case kOpCos:
        return a * std::cos(b * kDeg);
      case 0x0B:
        return a * std::cos(std::atan2(c, b));
      case 0x0C:
        return a * std::sin(std::atan2(c, b));
      case 0x0D:
        return std::sqrt(std::fabs(a));
      case 0x0F: {  // ellipse
        if (b == 0) return 0;
        double q = a / b;
        return c * std::sqrt(std::max(0.0, 1 - q * q));
      }
      case kOpTan:
        return a * std::tan(b * kDeg);
      case 0x80:
        return std::sqrt(std::max(0.0, c * c - a * a));
      case kOpTurnedX:  // x of (a, b) turned by c degrees about the box centre
        return std::cos(c * kDeg) * (a - 10800) + std::sin(c * kDeg) * (b - 10800) + 10800;
      case kOpTurnedY:  // y of the same
        return -(std::sin(c * kDeg) * (a - 10800) - std::cos(c * kDeg) * (b - 10800)) + 10800;
      default:
        return 0;
    }
  }

  const PathProgram& p_;
  double w_, h_, sx_ = 0, sy_ = 0;
  std::vector<uint8_t> state_;  // 0 not yet, 1 being evaluated, 2 done
  std::vector<double> value_;
};

// Builds figures as the segments walk the vertices.
class Builder {
 public:
  explicit Builder(std::vector<SubPath>* out) : out_(out) {}

  bool HasPoint() const { return !fig_.pts.empty() || has_pen_; }
  Pt Current() const { return fig_.pts.empty() ? pen_ : fig_.pts.back(); }

  void MoveTo(Pt p) {
    Flush(false);
    fig_.pts.push_back(p);
  }
  void LineTo(Pt p) {
    Begin();
    fig_.pts.push_back(p);
  }
  void CubicTo(Pt c1, Pt c2, Pt p) {
    Begin();
    AppendCubic(&fig_.pts, c1, c2, p);
  }
  void Arc(double cx, double cy, double rx, double ry, double a0, double a1, bool join) {
    std::vector<Pt> pts;
    AppendArc(&pts, cx, cy, rx, ry, a0, a1);
    if (join && HasPoint())
      LineTo(pts.front());
    else
      MoveTo(pts.front());
    fig_.pts.insert(fig_.pts.end(), pts.begin() + 1, pts.end());
  }
  void Close() {
    if (fig_.pts.empty()) return;
    pen_ = fig_.pts.front();
    has_pen_ = true;
    Flush(true);
  }
  void EndPath() {
    Flush(false);
    for (size_t i = path_start_; i < out_->size(); i++) {
      if (no_fill_) (*out_)[i].fill = false;
      if (no_stroke_) (*out_)[i].stroke = false;
    }
    if (out_->size() > path_start_) path_++;
    path_start_ = out_->size();
    no_fill_ = no_stroke_ = false;
    has_pen_ = false;
  }
  void NoFill() { no_fill_ = true; }
  void NoStroke() { no_stroke_ = true; }
  size_t Points() const { return points_ + fig_.pts.size(); }

 private:
  void Begin() {
    if (fig_.pts.empty() && has_pen_) fig_.pts.push_back(pen_);
  }
  void Flush(bool closed) {
    if (fig_.pts.size() >= 2) {
      if (!closed) {
        pen_ = fig_.pts.back();
        has_pen_ = true;
      }
      fig_.closed = closed;
      fig_.path = path_;
      points_ += fig_.pts.size();
      out_->push_back(std::move(fig_));
    }
    fig_ = SubPath();
  }

  std::vector<SubPath>* out_;
  SubPath fig_;
  Pt pen_;
  bool has_pen_ = false;
  bool no_fill_ = false, no_stroke_ = false;
  int path_ = 0;
  size_t path_start_ = 0;
  size_t points_ = 0;
};

// An elliptic arc through the ray points of an arc escape: the bounding box, then the points
// whose directions from the centre start and end the arc. Clockwise on screen or not.
void ArcThrough(Builder* b, Pt c1, Pt c2, Pt from, Pt to, bool clockwise, bool join) {
  double cx = (c1.x + c2.x) / 2, cy = (c1.y + c2.y) / 2;
  double rx = std::fabs(c2.x - c1.x) / 2, ry = std::fabs(c2.y - c1.y) / 2;
  if (rx <= 0 || ry <= 0) {
    if (join && b->HasPoint())
      b->LineTo(from);
    else
      b->MoveTo(from);
    b->LineTo(to);
    return;
  }
  double a0 = std::atan2((from.y - cy) / ry, (from.x - cx) / rx) / kDeg;
  double a1 = std::atan2((to.y - cy) / ry, (to.x - cx) / rx) / kDeg;
  if (clockwise) {
    while (a1 <= a0 + 1e-9) a1 += 360;
  } else {
    while (a1 >= a0 - 1e-9) a1 -= 360;
  }
  b->Arc(cx, cy, rx, ry, a0, a1, join);
}

// One escape segment: arcs, quadrants, fill and line switches, and the point-kind escapes an
// editor leaves, which draw as lines or curves.
void Escape(const PathProgram& prog, Evaluator& ev, Builder* bp, uint16_t seg, size_t* vip) {
  Builder& b = *bp;
  size_t& vi = *vip;
  const size_t nv = prog.vertex_count;
  auto have = [&](size_t n) { return vi + n <= nv; };
  int code = (seg >> 8) & 0x1F;
  size_t n = seg & 0xFF;
  switch (code) {
    case kAngleEllipseTo:
    case kAngleEllipse:
      for (size_t k = 0; k < std::max<size_t>(n / 3, 1) && have(3); k++, vi += 3) {
        Pt c = ev.Point(vi);
        double rx = std::fabs(ev.ScaleX(ev.Coord(prog.vertices[2 * vi + 2])));
        double ry = std::fabs(ev.ScaleY(ev.Coord(prog.vertices[2 * vi + 3])));
        double a0 = ev.Coord(prog.vertices[2 * vi + 4]);
        double a1 = ev.Coord(prog.vertices[2 * vi + 5]);
        // Angles stored as 16.16 fixed point in files.
        if (std::fabs(a0) >= 65536 || std::fabs(a1) >= 65536) a0 /= 65536, a1 /= 65536;
        a1 = std::max(a0 - 3600, std::min(a0 + 3600, a1));
        // Counter-clockwise on screen from the positive x axis.
        b.Arc(c.x, c.y, rx, ry, -a0, -a1, code == kAngleEllipseTo);
      }
      break;
    case kArcTo:
    case kArc:
    case kClockwiseArcTo:
    case kClockwiseArc: {
      bool clockwise = code == kClockwiseArcTo || code == kClockwiseArc;
      bool join = code == kArcTo || code == kClockwiseArcTo;
      for (size_t k = 0; k < std::max<size_t>(n / 4, 1) && have(4); k++, vi += 4)
        ArcThrough(&b, ev.Point(vi), ev.Point(vi + 1), ev.Point(vi + 2), ev.Point(vi + 3),
                   clockwise, join);
      break;
    }
    case kQuadrantX:
    case kQuadrantY:
      for (size_t k = 0; k < std::max<size_t>(n, 1) && have(1); k++) {
        Pt q = ev.Point(vi++);
        if (!b.HasPoint()) {
          b.MoveTo(q);
          continue;
        }
        Pt p = b.Current();
        bool across_first = (code == kQuadrantX) == (k % 2 == 0);
        Pt corner = across_first ? Pt{q.x, p.y} : Pt{p.x, q.y};
        b.CubicTo(Pt{p.x + kKappa * (corner.x - p.x), p.y + kKappa * (corner.y - p.y)},
                  Pt{q.x + kKappa * (corner.x - q.x), q.y + kKappa * (corner.y - q.y)}, q);
      }
      break;
    case kQuadraticBezier:
      for (size_t k = 0; k < std::max<size_t>(n / 2, 1) && have(2) && b.HasPoint(); k++, vi += 2) {
        Pt p = b.Current(), c = ev.Point(vi), q = ev.Point(vi + 1);
        b.CubicTo(Pt{p.x + 2.0 / 3 * (c.x - p.x), p.y + 2.0 / 3 * (c.y - p.y)},
                  Pt{q.x + 2.0 / 3 * (c.x - q.x), q.y + 2.0 / 3 * (c.y - q.y)}, q);
      }
      break;
    case kNoFill:
      b.NoFill();
      break;
    case kNoStroke:
      b.NoStroke();
      break;
    case kAutoLine:
    case kCornerLine:
    case kSmoothLine:
    case kSymmetricLine:
      for (size_t k = 0; k < n && have(1); k++) b.LineTo(ev.Point(vi++));
      break;
    case kAutoCurve:
    case kCornerCurve:
    case kSmoothCurve:
    case kSymmetricCurve:
      for (size_t k = 0; k < n && have(3); k++, vi += 3)
        b.CubicTo(ev.Point(vi), ev.Point(vi + 1), ev.Point(vi + 2));
      break;
    default:
      break;
  }
}

}  // namespace

uint16_t AngleAdjusts(const PresetGuide* guides, size_t count) {
  uint16_t mask = 0;
  for (size_t g = 0; g < count; g++) {
    const int op = guides[g].flags & 0xFF;
    if (op == kOpSin || op == kOpCos || op == kOpTan) MarkAngles(guides, count, g, 1, 0, &mask);
    if (op == kOpTurnedX || op == kOpTurnedY) MarkAngles(guides, count, g, 2, 0, &mask);
    if (op == kOpSumAngle)
      for (int k = 0; k < 3; k++) MarkAngles(guides, count, g, k, 0, &mask);
  }
  return mask;
}

std::vector<SubPath> EvaluatePath(const PathProgram& prog, double w, double h) {
  std::vector<SubPath> out;
  if (!prog.vertices || prog.vertex_count == 0) return out;
  Evaluator ev(prog, w, h);
  Builder b(&out);
  size_t vi = 0;
  const size_t nv = prog.vertex_count;
  auto have = [&](size_t n) { return vi + n <= nv; };
  if (prog.segment_count == 0 || !prog.segments) {
    b.MoveTo(ev.Point(0));
    for (vi = 1; vi < nv; vi++) b.LineTo(ev.Point(vi));
    if (prog.close_default) b.Close();
    b.EndPath();
    return out;
  }
  for (size_t si = 0; si < prog.segment_count && b.Points() < kMaxPoints; si++) {
    uint16_t seg = prog.segments[si];
    int type = seg >> 13;
    size_t count = seg & 0x1FFF;
    switch (type) {
      case kLineTo:
        for (size_t k = 0; k < std::max<size_t>(count, 1) && have(1); k++) b.LineTo(ev.Point(vi++));
        break;
      case kCurveTo:
        for (size_t k = 0; k < std::max<size_t>(count, 1) && have(3); k++, vi += 3)
          b.CubicTo(ev.Point(vi), ev.Point(vi + 1), ev.Point(vi + 2));
        break;
      case kMoveTo:
        if (!have(1)) break;
        b.MoveTo(ev.Point(vi++));
        for (size_t k = 1; k < count && have(1); k++) b.LineTo(ev.Point(vi++));
        break;
      case kClose:
        b.Close();
        break;
      case kEnd:
        b.EndPath();
        break;
      case kEscape:
        Escape(prog, ev, &b, seg, &vi);
        break;
      default:  // client escapes carry nothing we draw
        break;
    }
  }
  b.EndPath();
  return out;
}

Box EvaluateBox(const PathProgram& prog, const int32_t* ltrb, double w, double h) {
  PathProgram p = prog;
  int32_t v[4] = {ltrb[0], ltrb[1], ltrb[2], ltrb[3]};
  p.vertices = v;
  p.vertex_count = 2;
  Evaluator ev(p, w, h);
  Pt a = ev.Point(0), c = ev.Point(1);
  Box box{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
  return box;
}

}  // namespace geom
