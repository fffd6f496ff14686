// Line painters: a shape's outline with its dashes, compound strokes, joins, caps and
// arrowheads, translucent where the file says so; and the shadow a shape casts.
#include <algorithm>
#include <cmath>

#include "app/paint_util_win.h"
#include "app/render_win.h"
#include "app/translucent_win.h"
#include "paint/stroke.h"

namespace viewer {

namespace {

using Figures = std::vector<std::vector<POINT>>;
using geom::Pt;

// Arrowheads are sized by the line's width, but never smaller than a 2-point line's (master
// units), so thin connectors still show theirs.
constexpr double kMinArrowLine = 16;

DWORD CapStyle(ppt::LineStyle::Cap cap) {
  switch (cap) {
    case ppt::LineStyle::kRoundCap:
      return PS_ENDCAP_ROUND;
    case ppt::LineStyle::kSquareCap:
      return PS_ENDCAP_SQUARE;
    case ppt::LineStyle::kFlatCap:
      break;
  }
  return PS_ENDCAP_FLAT;
}

DWORD JoinStyle(ppt::LineStyle::Join join) {
  switch (join) {
    case ppt::LineStyle::kBevel:
      return PS_JOIN_BEVEL;
    case ppt::LineStyle::kMiter:
      return PS_JOIN_MITER;
    case ppt::LineStyle::kRound:
      break;
  }
  return PS_JOIN_ROUND;
}

// A pen `pen_width` wide whose dashes are measured in multiples of `dash_unit`.
HPEN MakePen(const ppt::LineStyle& ls, ppt::Rgb color, double pen_width, double dash_unit,
             bool dashed) {
  LOGBRUSH lb{BS_SOLID, Ref(color), 0};
  DWORD style = PS_GEOMETRIC | CapStyle(ls.cap) | JoinStyle(ls.join);
  std::vector<DWORD> entries;
  if (dashed)
    for (double d : paint::DashPattern(ls.dash))
      entries.push_back(DWORD(std::max(1L, std::lround(d * dash_unit))));
  style |= entries.empty() ? PS_SOLID : PS_USERSTYLE;
  return ExtCreatePen(style, DWORD(std::max(1L, std::lround(pen_width))), &lb,
                      DWORD(entries.size()), entries.empty() ? nullptr : entries.data());
}

std::vector<POINT> ToPoints(const std::vector<Pt>& pts) {
  std::vector<POINT> out;
  out.reserve(pts.size());
  for (const Pt& p : pts) out.push_back(POINT{LONG(std::lround(p.x)), LONG(std::lround(p.y))});
  return out;
}

// Twice the signed area: positive for figures that run clockwise on screen.
double Winding(const std::vector<Pt>& pts) {
  double a = 0;
  for (size_t i = 0; i < pts.size(); i++) {
    const Pt& p = pts[i];
    const Pt& q = pts[(i + 1) % pts.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return a;
}

struct StrokePath {
  std::vector<Pt> pts;
  bool closed;
};

}  // namespace

void SlideRenderer::StrokeOutline(HDC dc, const ppt::Shape& s, const geom::Outline& outline,
                                  const Figures& figures) {
  double width = std::max(1.0, s.line_width * kMasterPerEmu * scale_);
  // Arrowheads reach up to five widths beyond the line's ends.
  LONG reach = LONG(std::ceil(std::max(width, kMinArrowLine * scale_) * 5 + 4));
  std::vector<POINT> extent;
  for (const std::vector<POINT>& f : figures)
    for (const POINT& p : f) {
      extent.push_back(POINT{p.x - reach, p.y - reach});
      extent.push_back(POINT{p.x + reach, p.y + reach});
    }
  Translucent translucent(dc, extent, s.line_style.alpha);
  StrokeFigures(dc, s, s.line_color, outline, figures);
}

void SlideRenderer::StrokeFigures(HDC dc, const ppt::Shape& s, ppt::Rgb color,
                                  const geom::Outline& outline, const Figures& figures) {
  const ppt::LineStyle& ls = s.line_style;
  double width = std::max(1.0, s.line_width * kMasterPerEmu * scale_);
  std::vector<StrokePath> paths;
  for (size_t i = 0; i < figures.size() && i < outline.parts.size(); i++) {
    if (!outline.parts[i].stroke || figures[i].size() < 2) continue;
    StrokePath p{{}, outline.parts[i].closed};
    for (const POINT& pt : figures[i]) p.pts.push_back(Pt{double(pt.x), double(pt.y)});
    paths.push_back(std::move(p));
  }
  // Arrowheads sit on the ends of the open figures: the first one's start, the last one's end.
  paint::ArrowHead heads[2];
  int first = -1, last = -1;
  for (size_t i = 0; i < paths.size(); i++)
    if (!paths[i].closed) {
      if (first < 0) first = int(i);
      last = int(i);
    }
  double head = std::max(width, kMinArrowLine * scale_);
  if (first >= 0) {
    std::vector<Pt>& a = paths[first].pts;
    heads[0] = paint::MakeArrowHead(ls.start, a[0], a[1], head);
    paint::ShortenStart(&a, heads[0].inset);
    std::vector<Pt>& b = paths[last].pts;
    heads[1] = paint::MakeArrowHead(ls.end, b.back(), b[b.size() - 2], head);
    paint::ShortenEnd(&b, heads[1].inset);
  }
  ScopedSelect brush(dc, GetStockObject(NULL_BRUSH));
  for (const paint::StrokeBand& band : paint::CompoundBands(ls.compound)) {
    AutoPen pen(MakePen(ls, color, band.width * width, width, true));
    ScopedSelect p(dc, pen.get());
    for (const StrokePath& path : paths) {
      // Compound strokes keep the thick one outside of closed figures.
      double side = path.closed && Winding(path.pts) < 0 ? -1 : 1;
      std::vector<POINT> pts = ToPoints(
          band.offset == 0 ? path.pts
                           : paint::OffsetPath(path.pts, path.closed, band.offset * width * side));
      if (path.closed)
        Polygon(dc, pts.data(), int(pts.size()));
      else
        Polyline(dc, pts.data(), int(pts.size()));
    }
  }
  AutoPen solid(MakePen(ls, color, width, width, false));
  AutoBrush fill(CreateSolidBrush(Ref(color)));
  for (const paint::ArrowHead& h : heads) {
    if (h.pts.size() < 2) continue;
    std::vector<POINT> pts = ToPoints(h.pts);
    if (h.filled) {
      ScopedSelect p(dc, GetStockObject(NULL_PEN));
      ScopedSelect b(dc, fill.get());
      Polygon(dc, pts.data(), int(pts.size()));
    } else {
      ScopedSelect p(dc, solid.get());
      Polyline(dc, pts.data(), int(pts.size()));
    }
  }
}

void SlideRenderer::DrawShadow(HDC dc, const ppt::Shape& s, const geom::Outline& outline,
                               const Figures& figures, const RECT& box) {
  // The shadow falls from what is painted: the figures that take the fill, or the picture.
  Figures fillable;
  for (size_t i = 0; i < figures.size() && i < outline.parts.size(); i++)
    if (outline.parts[i].fill && figures[i].size() >= 3) fillable.push_back(figures[i]);
  bool filled = (s.fill.kind != ppt::Fill::kNone && !outline.open_line && !fillable.empty()) ||
                s.picture >= 0;
  bool stroked = false;
  for (size_t i = 0; i < figures.size() && i < outline.parts.size(); i++)
    stroked = stroked || (outline.parts[i].stroke && s.line);
  if (!filled && !stroked) return;
  ScopedSaveDC saved(dc);
  // The offset holds on the slide, whichever way the shape is turned.
  SetGraphicsMode(dc, GM_ADVANCED);
  XFORM move{1, 0, 0, 1, float(s.shadow.dx * scale_), float(s.shadow.dy * scale_)};
  ModifyWorldTransform(dc, &move, MWT_RIGHTMULTIPLY);
  std::vector<POINT> extent{{box.left, box.top}, {box.right, box.bottom}};
  for (const std::vector<POINT>& f : figures) extent.insert(extent.end(), f.begin(), f.end());
  LONG reach = LONG(std::ceil(s.line_width * kMasterPerEmu * scale_ * 5 + 4));
  extent.push_back(POINT{box.left - reach, box.top - reach});
  extent.push_back(POINT{box.right + reach, box.bottom + reach});
  Translucent translucent(dc, extent, s.shadow.alpha);
  if (filled) {
    AutoBrush brush(CreateSolidBrush(Ref(s.shadow.color)));
    ScopedSelect b(dc, brush.get());
    ScopedSelect p(dc, GetStockObject(NULL_PEN));
    if (s.picture >= 0 && (s.fill.kind == ppt::Fill::kNone || outline.open_line)) {
      Rectangle(dc, box.left, box.top, box.right + 1, box.bottom + 1);
    } else {
      std::vector<POINT> all;
      std::vector<INT> counts;
      for (const std::vector<POINT>& f : fillable) {
        all.insert(all.end(), f.begin(), f.end());
        counts.push_back(INT(f.size()));
      }
      if (!counts.empty()) PolyPolygon(dc, all.data(), counts.data(), int(counts.size()));
    }
  }
  if (stroked) StrokeFigures(dc, s, s.shadow.color, outline, figures);
}

}  // namespace viewer
