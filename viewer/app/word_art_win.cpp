// WordArt: its text is the shape. Each line's letters are outlined, then bent along the preset's
// path (geom/text_warp.h) and filled and outlined as the shape's outline would be.
#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"
#include "app/render_win.h"
#include "app/translucent_win.h"
#include "geom/text_warp.h"

namespace viewer {

namespace {

// Letters are outlined this tall before they are bent: large enough that hinting does not show.
constexpr int kWordArtCellPx = 256;
// Straight edges of the letters are cut into pieces this long (at the cell size above) so that
// they bend with the path.
constexpr double kBendStepPx = 8;

std::vector<std::wstring> Lines(const std::u16string& text) {
  std::vector<std::wstring> lines(1);
  for (char16_t ch : text) {
    if (ch == u'\n')
      lines.emplace_back();
    else
      lines.back() += wchar_t(ch);
  }
  return lines;
}

// One line's letters outlined, flattened: their points, where each figure starts, and the box
// their ink takes.
struct LineOutline {
  std::vector<POINT> pts;
  std::vector<size_t> starts;
  double left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return starts.empty() || right <= left; }
};

LineOutline Outline(HDC dc, const std::wstring& line) {
  LineOutline o;
  if (line.empty()) return o;
  BeginPath(dc);
  ExtTextOutW(dc, 0, 0, 0, nullptr, line.c_str(), UINT(line.size()), nullptr);
  EndPath(dc);
  if (!FlattenPath(dc)) return o;
  int n = GetPath(dc, nullptr, nullptr, 0);
  if (n <= 0) return o;
  std::vector<BYTE> types(size_t(n), 0);
  o.pts.resize(size_t(n));
  n = GetPath(dc, o.pts.data(), types.data(), n);
  o.pts.resize(size_t(std::max(0, n)));
  for (size_t i = 0; i < o.pts.size(); i++) {
    if ((types[i] & ~PT_CLOSEFIGURE) == PT_MOVETO) o.starts.push_back(i);
    const POINT p = o.pts[i];
    o.left = i ? std::min(o.left, double(p.x)) : p.x;
    o.right = i ? std::max(o.right, double(p.x)) : p.x;
    o.top = i ? std::min(o.top, double(p.y)) : p.y;
    o.bottom = i ? std::max(o.bottom, double(p.y)) : p.y;
  }
  return o;
}

}  // namespace

// The text's outlines, bent into `box`. As WordArt does,
// the letters' ink fills the path: side to side and from the tallest letter to the lowest
// descender of all lines.
SlideRenderer::Polygons SlideRenderer::WordArtLetters(HDC dc, const ppt::Shape& s,
                                                      const RECT& box) {
  const double w = box.right - box.left, h = box.bottom - box.top;
  const geom::TextWarp warp(geom::ShapeOutline(s, w, h), w, h);
  Polygons letters;
  AutoMemoryDC scratch(CreateCompatibleDC(dc));
  if (!scratch) return letters;
  text::Font f;
  f.face = s.word_art.face;
  f.bold = s.word_art.bold;
  f.italic = s.word_art.italic;
  f.size = kWordArtCellPx;
  ScopedSelect font(scratch.get(), Font(f));
  SetTextAlign(scratch.get(), TA_TOP | TA_LEFT | TA_NOUPDATECP);
  SetBkMode(scratch.get(), TRANSPARENT);
  std::vector<LineOutline> lines;
  double widest = 0, top = 1e9, bottom = -1e9;
  for (const std::wstring& line : Lines(s.word_art.text)) {
    lines.push_back(Outline(scratch.get(), line));
    const LineOutline& o = lines.back();
    if (o.empty()) continue;
    widest = std::max(widest, o.right - o.left);
    top = std::min(top, o.top);
    bottom = std::max(bottom, o.bottom);
  }
  if (widest <= 0 || bottom <= top) return letters;
  const double height = bottom - top;
  const int count = int(lines.size());
  std::vector<POINT>& bent = letters.pts;
  std::vector<INT>& sizes = letters.sizes;
  for (int i = 0; i < count; i++) {
    const LineOutline& o = lines[size_t(i)];
    if (o.empty()) continue;
    const double ink = o.right - o.left;
    // Unless each line is stretched across, all lines take the widest one's scale: the share of
    // the width this one takes, and where that share starts.
    const ppt::Shape::WordArt::Align align = s.word_art.align;
    const double share = align == ppt::Shape::WordArt::kStretch ? 1.0 : ink / widest;
    const double start = align == ppt::Shape::WordArt::kRight    ? 1 - share
                         : align == ppt::Shape::WordArt::kCenter ? (1 - share) / 2
                                                                 : 0.0;
    auto put = [&](double x, double y) {
      geom::Pt q = warp.Map(i, count, start + share * (x - o.left) / ink, (y - top) / height,
                            height * share / ink);
      // Adjust values out of all proportion bend letters far off; keep them near the box.
      q.x = std::isfinite(q.x) ? std::min(std::max(q.x, -2 * w), 3 * w) : 0;
      q.y = std::isfinite(q.y) ? std::min(std::max(q.y, -2 * h), 3 * h) : 0;
      bent.push_back(POINT{box.left + LONG(std::lround(q.x)), box.top + LONG(std::lround(q.y))});
    };
    for (size_t k = 0; k < o.starts.size(); k++) {
      const size_t from = o.starts[k],
                   to = k + 1 < o.starts.size() ? o.starts[k + 1] : o.pts.size();
      if (to - from < 2) continue;
      const size_t before = bent.size();
      for (size_t j = from; j < to; j++) {
        const POINT a = o.pts[j], b = o.pts[j + 1 < to ? j + 1 : from];  // closing edge last
        const int pieces =
            std::max(1, int(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / kBendStepPx)));
        for (int p = 0; p < pieces; p++) {
          const double t = double(p) / pieces;
          put(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
        }
      }
      sizes.push_back(INT(bent.size() - before));
    }
  }
  return letters;
}

void SlideRenderer::DrawWordArt(HDC dc, const ppt::Shape& s, const RECT& box) {
  if (box.right <= box.left || box.bottom <= box.top) return;
  // Outlined and bent once, then recorded as a path for the shadow, the fill and the line.
  const Polygons letters = WordArtLetters(dc, s, box);
  if (letters.sizes.empty()) return;
  auto record = [&]() {
    BeginPath(dc);
    PolyPolygon(dc, letters.pts.data(), letters.sizes.data(), int(letters.sizes.size()));
    EndPath(dc);
  };
  ScopedSaveDC saved(dc);
  SetGraphicsMode(dc, GM_ADVANCED);
  SetBkMode(dc, TRANSPARENT);
  const Figures whole = {
      {{box.left, box.top}, {box.right, box.top}, {box.right, box.bottom}, {box.left, box.bottom}}};
  // The shadow falls from the letters, offset on the slide whichever way the shape is turned.
  if (s.shadow.visible && (s.fill.kind != ppt::Fill::kNone || s.line)) {
    ScopedSaveDC shadow(dc);
    XFORM move{1, 0, 0, 1, float(s.shadow.dx * scale_), float(s.shadow.dy * scale_)};
    ModifyWorldTransform(dc, &move, MWT_RIGHTMULTIPLY);
    // Letters along a rail may reach past the box: the translucent layer covers some of that.
    const LONG mx = (box.right - box.left) / 4 + 4, my = (box.bottom - box.top) / 4 + 4;
    Translucent translucent(dc, {{box.left - mx, box.top - my}, {box.right + mx, box.bottom + my}},
                            s.shadow.alpha);
    AutoBrush brush(CreateSolidBrush(Ref(s.shadow.color)));
    ScopedSelect b(dc, brush.get());
    ScopedSelect p(dc, GetStockObject(NULL_PEN));
    record();
    FillPath(dc);
  }
  if (s.fill.kind != ppt::Fill::kNone) {
    ScopedSaveDC clip(dc);
    record();
    SelectClipPath(dc, RGN_AND);
    PaintFill(dc, s.fill, whole, box);
  }
  if (s.line) {
    const double width = std::max(1.0, s.line_width * kMasterPerEmu * scale_);
    AutoPen pen(CreatePen(PS_SOLID, int(std::lround(width)), Ref(s.line_color)));
    ScopedSelect selected(dc, pen.get());
    record();
    StrokePath(dc);
  }
}

}  // namespace viewer
