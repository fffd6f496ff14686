#include "geom/outline.h"

#include <algorithm>
#include <cmath>

#include "geom/path_eval.h"
#include "geom/preset.h"
#include "ppt/records.h"

namespace geom {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Rectangles, picture frames and text boxes are their box.
bool IsBox(int type) {
  return type == ppt::spt::kRectangle || type == ppt::spt::kPictureFrame ||
         type == ppt::spt::kTextBox;
}

SubPath Polygon(std::initializer_list<Pt> fractions, double w, double h) {
  SubPath p;
  for (const Pt& f : fractions) p.pts.push_back(Pt{f.x * w, f.y * h});
  return p;
}

// Lines and the straight connector run corner to corner; bent and curved connectors follow
// their preset path.
bool IsStraightLine(int type) {
  return type == ppt::spt::kLine || type == ppt::spt::kStraightConnector;
}
bool IsConnector(int type) {
  return type >= ppt::spt::kStraightConnector && type <= ppt::spt::kLastConnector;
}
// WordArt: the preset is the path its text is laid along, not an outline to paint; the text
// takes the shape's fill and line.
bool IsTextPath(int type) {
  return type >= ppt::spt::kFirstTextPath && type <= ppt::spt::kLastTextPath;
}

// Faces drawn darker or lighter than the fill, by path number: cube, can, bevel, folded corner,
// action buttons (frame faces, then the glyph).
struct FaceShades {
  int type_first, type_last;
  double shade[8];
};
constexpr FaceShades kFaceShades[] = {
    {16, 16, {0, 0.2, -0.2}},             // cube: front, top, side
    {22, 22, {0, 0.2}},                   // can: body, top
    {65, 65, {0, -0.2}},                  // folded corner: sheet, fold
    {84, 84, {0, 0.2, -0.2, -0.4, 0.4}},  // bevel: face, top, right, bottom, left
    {189, 200, {0, 0.2, -0.2, -0.4, 0.4, -0.6, -0.6, -0.6}},  // action buttons
};

double ShadeOf(int type, int path) {
  for (const FaceShades& f : kFaceShades)
    if (type >= f.type_first && type <= f.type_last && path >= 0 && path < 8) return f.shade[path];
  return 0;
}

void AdjustValues(const ppt::Shape& s, const PresetShape& preset, double out[10]) {
  for (int i = 0; i < 10; i++) {
    double v = 0;
    if (s.adjust_set & (1u << i))
      v = s.adjust[i];
    else if (i < preset.default_count)
      v = preset.defaults[i];
    if (preset.angle_adjusts & (1u << i)) v /= 65536.0;
    out[i] = v;
  }
}

void PresetOutline(const ppt::Shape& s, const PresetShape& preset, double w, double h, Outline* o) {
  PathProgram prog;
  prog.vertices = preset.vertices;
  prog.vertex_count = preset.vertex_count;
  prog.segments = preset.segments;
  prog.segment_count = preset.segment_count;
  prog.guides = preset.guides;
  prog.guide_count = preset.guide_count;
  prog.right = preset.coord_w;
  prog.bottom = preset.coord_h;
  prog.close_default = preset.vertex_count > 2;
  AdjustValues(s, preset, prog.adjust);
  o->parts = EvaluatePath(prog, w, h);
  for (SubPath& p : o->parts) p.shade = ShadeOf(s.type, p.path);
  if (IsConnector(s.type)) {
    o->open_line = true;
    for (SubPath& p : o->parts) p.fill = false;
  }
  if (IsTextPath(s.type))
    for (SubPath& p : o->parts) p.fill = p.stroke = false;
  if (preset.text_count > 0) o->text_box = EvaluateBox(prog, preset.text, w, h);
}

void FreeformOutline(const ppt::Shape& s, double w, double h, Outline* o) {
  const ppt::Shape::Custom& c = s.custom;
  // An outline without fill is drawn open, as a polyline, unless its path closes it.
  const bool filled = s.fill.kind != ppt::Fill::kNone;
  if (c.vertices.size() >= 4) {
    std::vector<PresetGuide> guides;
    for (const ppt::Shape::Custom::Guide& g : c.guides)
      guides.push_back(PresetGuide{g.flags, {g.p[0], g.p[1], g.p[2]}});
    PathProgram prog;
    prog.vertices = c.vertices.data();
    prog.vertex_count = c.vertices.size() / 2;
    prog.segments = c.segments.data();
    prog.segment_count = c.segments.size();
    prog.guides = guides.data();
    prog.guide_count = guides.size();
    prog.left = c.left;
    prog.top = c.top;
    prog.right = c.right;
    prog.bottom = c.bottom;
    prog.close_default = filled;
    // A preset saved with its own path keeps its angles in fixed point, as presets do.
    const uint16_t angles = AngleAdjusts(guides.data(), guides.size());
    for (int i = 0; i < 10; i++)
      prog.adjust[i] = (angles & (1u << i)) ? s.adjust[i] / 65536.0 : s.adjust[i];
    o->parts = EvaluatePath(prog, w, h);
    for (SubPath& p : o->parts) p.fill = p.fill && filled;
    return;
  }
  if (s.path.size() < 2) return;
  SubPath p;
  for (const ppt::Shape::Point& pt : s.path) p.pts.push_back(Pt{pt.x * w, pt.y * h});
  p.closed = filled;
  p.fill = p.closed;
  o->parts.push_back(p);
}

}  // namespace

void AppendArc(std::vector<Pt>* pts, double cx, double cy, double rx, double ry, double a0,
               double a1) {
  double span = a1 - a0;
  // About one segment per 6 degrees, and at least one per 4 pixels of the larger radius' arc.
  double steps = std::ceil(std::fabs(span) / 6.0);
  int n = steps >= 2 && steps <= 720 ? int(steps) : steps > 720 ? 720 : 2;
  for (int i = 0; i <= n; i++) {
    double a = (a0 + span * i / n) * kPi / 180.0;
    pts->push_back(Pt{cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
}

void AppendCubic(std::vector<Pt>* pts, Pt c1, Pt c2, Pt p) {
  Pt p0 = pts->empty() ? c1 : pts->back();
  double len = std::hypot(c1.x - p0.x, c1.y - p0.y) + std::hypot(c2.x - c1.x, c2.y - c1.y) +
               std::hypot(p.x - c2.x, p.y - c2.y);
  double steps = len / 4;
  int n = steps >= 2 && steps <= 64 ? int(steps) : steps > 64 ? 64 : 2;
  for (int i = 1; i <= n; i++) {
    double t = double(i) / n, u = 1 - t;
    double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    pts->push_back(
        Pt{a * p0.x + b * c1.x + c * c2.x + d * p.x, a * p0.y + b * c1.y + c * c2.y + d * p.y});
  }
}

Outline ShapeOutline(const ppt::Shape& s, double w, double h) {
  Outline o;
  o.text_box = Box{0, 0, w, h};
  const PresetShape* preset = FindPreset(s.type);
  // Types without a preset of their own (such as those later versions save their newer shapes
  // as) are drawn by the path they carry, as freeforms are.
  const bool own_path =
      !preset && s.geometry == ppt::Shape::kRect && !IsBox(s.type) && s.custom.vertices.size() >= 4;
  if (s.geometry == ppt::Shape::kFreeform || own_path) {
    FreeformOutline(s, w, h, &o);
  } else if (s.geometry == ppt::Shape::kLine && (!preset || IsStraightLine(s.type))) {
    SubPath p;
    p.pts = {Pt{0, 0}, Pt{w, h}};
    p.closed = false;
    p.fill = false;
    o.parts.push_back(p);
    o.open_line = true;
  } else if (preset && !IsBox(s.type)) {
    PresetOutline(s, *preset, w, h, &o);
  }
  if (o.parts.empty() && !o.open_line)
    o.parts.push_back(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, w, h));
  if (s.flip_h || s.flip_v) {
    for (SubPath& p : o.parts)
      for (Pt& pt : p.pts) {
        if (s.flip_h) pt.x = w - pt.x;
        if (s.flip_v) pt.y = h - pt.y;
      }
    Box& b = o.text_box;
    if (s.flip_h) b = Box{w - b.right, b.top, w - b.left, b.bottom};
    if (s.flip_v) b = Box{b.left, h - b.bottom, b.right, h - b.top};
  }
  return o;
}

}  // namespace geom
