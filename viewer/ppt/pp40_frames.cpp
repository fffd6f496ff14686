// The frames of a PowerPoint 4 slide: lines, rectangles, ovals and the other named shapes,
// polygons, arcs, pictures and text, each with its fill and line.
#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

#include "ppt/pp40_zones.h"
#include "ppt/records.h"

namespace ppt::detail::pp4 {
namespace {

// A frame: its kind word, switches, text alignment, rectangle (left, top, right, bottom), the
// fill's pattern and colours, the line's weight, pattern and colours, the shadow's colour, then
// what its kind needs: the shape's number and the picture's.
constexpr size_t kFrameSize = 32, kKindAt = 0, kFlagsAt = 2, kBoxAt = 4, kFillPatternAt = 12,
                 kFillColorAt = 13, kLineWeightAt = 15, kLineColorAt = 17, kShapeAt = 24,
                 kPictureAt = 28;
// The kind word: the frame's type, its fill, its line style.
constexpr int kTypeMask = 7, kFillShift = 3, kLineShift = 6, kShadowShift = 10, kDropShadow = 1;
constexpr size_t kShadowColorAt = 19;
enum FrameType { kLineFrame = 0, kShapeFrame = 1, kPolygonFrame = 2, kArcFrame = 3 };
enum FillKind { kNoFill = 0, kSolid = 1, kOpaque = 2, kPattern = 3, kGradient = 4 };
enum LineKind { kNoLine = 0, kSolidLine = 1, kPatternLine = 2, kFirstDash = 3 };
// Switches, as this version's files store them.
constexpr uint8_t kHasText = 0x01, kHasPicture = 0x02, kHasFormat = 0x04, kArrowAtEnd = 0x08,
                  kArrowAtStart = 0x10;
// An arc: where it starts on the frame's ellipse and how far it turns, counter-clockwise, in
// sixteenths of a degree.
constexpr size_t kArcStartAt = 24, kArcSweepAt = 26;
constexpr double kArcUnitsPerDegree = 16, kDegreesPerStep = 5, kPi = 3.14159265358979323846;
constexpr int32_t kArcBox = 21600;
// Named shapes are negative; other numbers pick a shape of the shape menu in the low byte, and
// whether it is flipped across in a higher bit.
constexpr int16_t kOval = -1, kRoundRect = -2, kRectangle = -3;
constexpr int16_t kMenuShapeMask = 0xFF, kTurnedHalf = 0x2000, kFlippedAcross = 0x4000;
// Line weights by number, in points; from seven on, double and triple lines.
constexpr int kLineWeights[] = {0, 1, 2, 3, 6, 12, 16, 3, 4, 4, 6};
constexpr int kEmuPerPoint = 12700;
// A format: the shade the second colour of a blend takes, -10 (black) to 10 (white).
// Then the offset of the frame's shadow, across and down.
constexpr size_t kFormatSize = 26, kBlendShadeAt = 10, kShadowOffsetAt = 16;
constexpr int kDefaultShadowOffset = 48, kMaxShadowOffset = 2880;
constexpr int kShadeSteps = 10;
// Polygons: the count of points, whether it is closed, its box, then the points.
constexpr size_t kPolygonHead = 12, kPolygonClosedAt = 2;
constexpr uint16_t kClosed = 1;
constexpr size_t kMaxPoints = 4096, kMaxPolygons = 2000;
// The outline of a polygon: one move, straight segments, perhaps a close, the end.
constexpr uint16_t kMoveTo = 0x4000, kLineTo = 0x0000, kClose = 0x6001, kPathEnd = 0x8000;

int16_t I16At(const uint8_t* p) {
  return int16_t(Le16(p));
}

struct Polygon {
  bool closed = false;
  std::vector<int32_t> points;  // x, y pairs
};

std::vector<Polygon> ReadPolygons(ByteReader r, size_t* work_left) {
  std::vector<Polygon> out;
  while (r.Has(kPolygonHead) && out.size() < kMaxPolygons) {
    size_t n = Le16(r.here());
    if (n >= *work_left) break;
    *work_left -= n + 1;
    Polygon p;
    p.closed = Le16(r.here() + kPolygonClosedAt) == kClosed;
    r.Skip(kPolygonHead);
    if (!r.Has(n * 4)) break;
    for (size_t i = 0; i < n; i++) {
      int32_t x = r.I16(), y = r.I16();
      if (i >= kMaxPoints) continue;
      p.points.push_back(x);
      p.points.push_back(y);
    }
    out.push_back(std::move(p));
  }
  return out;
}

// The menu's shapes this viewer draws, by their place in the menu, as the drawing's types.
int MenuShapeType(int n) {
  static const int kTypes[] = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 13, 15, 16, 62, 71};
  return n >= 0 && size_t(n) < std::size(kTypes) ? kTypes[n] : spt::kRectangle;
}

Rgb Shade(Rgb c, int shade) {
  const int to = shade < 0 ? 0 : 255, w = std::min(std::abs(shade), kShadeSteps);
  auto mix = [&](uint8_t v) { return uint8_t((v * (kShadeSteps - w) + to * w) / kShadeSteps); };
  return Rgb{mix(c.r), mix(c.g), mix(c.b)};
}

// A blend of the fill colour into its shade: along one of four directions (the variant says
// which end starts, or that it runs out from the middle), or out from a corner or the centre.
void Blend(uint8_t pattern, Rgb color, Rgb other, Fill* f) {
  const int kind = pattern >> 4, variant = pattern & 0xF;
  static const double kAngles[] = {90, 0, 45, 135};
  f->kind = Fill::kGradient;
  if (kind >= 1 && kind <= 4) {
    f->angle = kAngles[kind - 1];
    if (variant < 2) {
      f->stops = {{0, variant == 0 ? color : other}, {1, variant == 1 ? color : other}};
    } else {
      Rgb ends = variant % 2 == 0 ? color : other, middle = variant % 2 == 0 ? other : color;
      f->stops = {{0, ends}, {0.5, middle}, {1, ends}};
    }
    return;
  }
  f->blend = Fill::kRectangular;
  if (kind == 5) {
    double x = variant & 1, y = variant < 2 ? 0 : 1;
    for (int i = 0; i < 4; i++) f->focus[i] = i % 2 == 0 ? x : y;
  }
  f->stops = {{0, other}, {1, color}};
}

class FrameReader {
 public:
  FrameReader(const FrameSource& s, const FrameContext& c) : s_(s), c_(c) {
    polygons_ = ReadPolygons(s.polygons, c.work_left);
    // The texts of frames other than the title and body come first, in frame order.
    ByteReader r = s.frames;
    for (int i = 0; r.Has(kFrameSize) && Spend(); i++, r.Skip(kFrameSize))
      if ((r.here()[kFlagsAt] & kHasText) && (i == s.title || i == s.body)) mains_++;
  }

  void Read(bool master, std::vector<Shape>* out) {
    master_ = master;
    ByteReader r = s_.frames;
    for (int i = 0; r.Has(kFrameSize) && out->size() < c_.max_shapes && Spend();
         i++, r.Skip(kFrameSize)) {
      const uint8_t* f = r.here();
      const uint16_t kind = Le16(f + kKindAt);
      const uint8_t flags = f[kFlagsAt];
      const uint8_t* format = nullptr;
      if (flags & kHasFormat) {
        if (s_.formats.Has((formats_ + 1) * kFormatSize))
          format = s_.formats.here() + formats_ * kFormatSize;
        formats_++;
      }
      const Polygon* polygon = nullptr;
      if ((kind & kTypeMask) == kPolygonFrame) {
        if (polygon_ < polygons_.size()) polygon = &polygons_[polygon_];
        polygon_++;
      }
      int text = -1;
      bool main = i == s_.title || i == s_.body;
      if (flags & kHasText) text = TextNumber(i);
      if (master && main) continue;
      Shape s;
      if (Build(f, format, polygon, text, &s)) {
        s.id = uint32_t(out->size() + 1);
        out->push_back(std::move(s));
      }
    }
  }

 private:
  bool Spend() const {
    if (*c_.work_left == 0) return false;
    --*c_.work_left;
    return true;
  }

  // Title and body take the last texts, the title first; the others take theirs in order.
  int TextNumber(int frame) {
    if (frame != s_.title && frame != s_.body) return others_++;
    int main = frame == s_.title || s_.title < 0 ? 0 : 1;
    return int(s_.texts.size()) - mains_ + main;
  }

  int32_t X(int16_t v) const { return int32_t(v) - c_.left; }
  int32_t Y(int16_t v) const { return int32_t(v) - c_.top; }

  bool Build(const uint8_t* f, const uint8_t* format, const Polygon* polygon, int text, Shape* s) {
    const uint16_t kind = Le16(f + kKindAt);
    const int type = kind & kTypeMask;
    int16_t l = I16At(f + kBoxAt), t = I16At(f + kBoxAt + 2), r = I16At(f + kBoxAt + 4),
            b = I16At(f + kBoxAt + 6);
    s->flip_h = r < l;
    s->flip_v = b < t;
    s->anchor = Rect{X(std::min(l, r)), Y(std::min(t, b)), X(std::max(l, r)), Y(std::max(t, b))};
    s->text.insets = Rect{0, 0, 0, 0};
    if (type == kLineFrame) {
      s->geometry = Shape::kLine;
      s->type = spt::kLine;
    } else if (type == kShapeFrame) {
      Named(I16At(f + kShapeAt), s);
    } else if (type == kPolygonFrame) {
      if (!polygon || !Outline(*polygon, s)) return false;
    } else if (type == kArcFrame) {
      if (!Arc(I16At(f + kArcStartAt), I16At(f + kArcSweepAt), (kind >> kFillShift) & 7, s))
        return false;
    } else {
      return false;  // groups, whose members are frames of their own
    }
    ReadLine(f, kind, s);
    if (type != kLineFrame) ReadFill(f, kind, format, s);
    ReadShadow(f, kind, format, s);
    if (type == kPolygonFrame && !polygon->closed) s->fill.kind = Fill::kNone;
    if ((f[kFlagsAt] & kHasPicture) && type == kShapeFrame) {
      uint16_t n = Le16(f + kPictureAt);
      if (n < c_.picture_blips->size()) s->picture = (*c_.picture_blips)[n];
    }
    bool has_text = text >= 0 && size_t(text) < s_.texts.size() && Text(s_.texts[size_t(text)], s);
    return has_text || s->line || s->fill.kind != Fill::kNone || s->picture >= 0;
  }

  // A piece of the ellipse the frame bounds: filled, a wedge from its centre; else the curve.
  static bool Arc(int16_t start, int16_t sweep, int fill, Shape* s) {
    const double from = start / kArcUnitsPerDegree;
    const double turn = std::clamp(sweep / kArcUnitsPerDegree, -360.0, 360.0);
    const int steps = std::max(1, int(std::ceil(std::abs(turn) / kDegreesPerStep)));
    Shape::Custom& c = s->custom;
    c.left = c.top = 0;
    c.right = c.bottom = kArcBox;
    const bool wedge = fill != kNoFill;
    if (wedge) c.vertices = {kArcBox / 2, kArcBox / 2};
    for (int i = 0; i <= steps; i++) {
      const double a = (from + turn * i / steps) * kPi / 180;
      c.vertices.push_back(int32_t(std::lround(kArcBox / 2.0 * (1 + std::cos(a)))));
      c.vertices.push_back(int32_t(std::lround(kArcBox / 2.0 * (1 - std::sin(a)))));
    }
    const size_t count = c.vertices.size() / 2;
    c.segments = {kMoveTo, uint16_t(kLineTo | (count - 1))};
    if (wedge) c.segments.push_back(kClose);
    c.segments.push_back(kPathEnd);
    s->geometry = Shape::kFreeform;
    s->type = spt::kNotPrimitive;
    return true;
  }

  void Named(int16_t shape, Shape* s) const {
    if (shape == kOval) {
      s->geometry = Shape::kEllipse;
      s->type = spt::kEllipse;
    } else if (shape == kRoundRect) {
      s->geometry = Shape::kRoundRect;
      s->type = spt::kRoundRectangle;
    } else if (shape >= 0) {
      s->type = MenuShapeType(shape & kMenuShapeMask);
      // Half a turn is both flips at once.
      const bool across = shape & kFlippedAcross, half = shape & kTurnedHalf;
      s->flip_h = s->flip_h != (across != half);
      s->flip_v = s->flip_v != half;
    }
    (void)kRectangle;  // and anything else: a rectangle
  }

  bool Outline(const Polygon& p, Shape* s) const {
    const size_t count = p.points.size() / 2;
    if (count < 2) return false;
    Shape::Custom& c = s->custom;
    c.vertices = p.points;
    c.left = c.right = p.points[0];
    c.top = c.bottom = p.points[1];
    for (size_t i = 0; i < count; i++) {
      c.left = std::min(c.left, p.points[2 * i]);
      c.right = std::max(c.right, p.points[2 * i]);
      c.top = std::min(c.top, p.points[2 * i + 1]);
      c.bottom = std::max(c.bottom, p.points[2 * i + 1]);
    }
    // A polygon stretched flat along one side still needs a box to be placed in.
    if (c.right == c.left) c.right = c.left + 1;
    if (c.bottom == c.top) c.bottom = c.top + 1;
    s->geometry = Shape::kFreeform;
    s->type = spt::kNotPrimitive;
    s->flip_h = s->flip_v = false;
    c.segments = {kMoveTo, uint16_t(kLineTo | (count - 1))};
    if (p.closed) c.segments.push_back(kClose);
    c.segments.push_back(kPathEnd);
    return true;
  }

  void ReadLine(const uint8_t* f, uint16_t kind, Shape* s) const {
    const int style = (kind >> kLineShift) & 7;
    const uint8_t weight = f[kLineWeightAt];
    if (style == kNoLine || weight == 0 || weight >= std::size(kLineWeights)) return;
    s->line = true;
    s->line_color = c_.text.palette->Color(f[kLineColorAt], Rgb{0, 0, 0});
    s->line_width = kLineWeights[weight] * kEmuPerPoint;
    static const LineStyle::Compound kCompound[] = {LineStyle::kDouble, LineStyle::kThinThick,
                                                    LineStyle::kThickThin, LineStyle::kTriple};
    if (weight >= 7) s->line_style.compound = kCompound[weight - 7];
    static const LineStyle::Dash kDashes[] = {LineStyle::kDotSys, LineStyle::kDashSys,
                                              LineStyle::kDash, LineStyle::kDashDot};
    if (style >= kFirstDash && style - kFirstDash < int(std::size(kDashes)))
      s->line_style.dash = kDashes[style - kFirstDash];
    if (f[kFlagsAt] & kArrowAtStart) s->line_style.start.style = LineEnd::kTriangle;
    if (f[kFlagsAt] & kArrowAtEnd) s->line_style.end.style = LineEnd::kTriangle;
  }

  void ReadFill(const uint8_t* f, uint16_t kind, const uint8_t* format, Shape* s) const {
    const Palette& p = *c_.text.palette;
    const Rgb color = p.Color(f[kFillColorAt], Rgb{255, 255, 255});
    switch ((kind >> kFillShift) & 7) {
      case kSolid:
      case kPattern:
        s->fill.kind = Fill::kSolid;
        s->fill.color = color;
        break;
      case kOpaque:
        s->fill.kind = Fill::kSolid;
        s->fill.color = p.scheme[kBackgroundSlot];
        break;
      case kGradient: {
        Rgb other = format ? Shade(color, I16At(format + kBlendShadeAt)) : Rgb{0, 0, 0};
        Blend(f[kFillPatternAt], color, other, &s->fill);
        break;
      }
      default:
        break;
    }
  }

  // A shadow set off by the format's offset, or by six points where the frame has no format.
  void ReadShadow(const uint8_t* f, uint16_t kind, const uint8_t* format, Shape* s) const {
    if (!((kind >> kShadowShift) & kDropShadow)) return;
    s->shadow.visible = true;
    s->shadow.color =
        c_.text.palette->Color(f[kShadowColorAt], c_.text.palette->scheme[kShadowSlot]);
    int dx = format ? I16At(format + kShadowOffsetAt) : 0;
    int dy = format ? I16At(format + kShadowOffsetAt + 2) : 0;
    if (dx == 0 && dy == 0) dx = dy = kDefaultShadowOffset;
    s->shadow.dx = std::clamp(dx, -kMaxShadowOffset, kMaxShadowOffset);
    s->shadow.dy = std::clamp(dy, -kMaxShadowOffset, kMaxShadowOffset);
  }

  // The frame's text, set across the whole frame. The text's head also keeps the box it was last
  // laid out in, a margin in from the frame; the frame is what the text is set in here, as
  // other readers of the format do.
  bool Text(const StoredText& t, Shape* s) {
    if (!BuildText(t, c_.text, master_ ? c_.slide_number : 0, &s->text)) return false;
    s->text.insets = Rect{0, 0, 0, 0};
    return true;
  }

  const FrameSource& s_;
  const FrameContext& c_;
  std::vector<Polygon> polygons_;
  size_t polygon_ = 0, formats_ = 0;
  int mains_ = 0, others_ = 0;
  bool master_ = false;
};

}  // namespace

void ReadFrames(const FrameSource& source, const FrameContext& context, bool master,
                std::vector<Shape>* out) {
  FrameReader(source, context).Read(master, out);
}

}  // namespace ppt::detail::pp4
