#include "app/render_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"

namespace viewer {

SlideRenderer::SlideRenderer(const ppt::Presentation& p) : p_(p), mapper_(new FontMapper) {}

SlideRenderer::~SlideRenderer() = default;

void SlideRenderer::Paint(HDC dc, size_t index, const RECT& where, std::string* text) {
  if (index >= p_.slides.size()) return;
  const ppt::Slide& slide = p_.slides[index];
  scale_ = double(where.right - where.left) / p_.width;
  origin_x_ = where.left;
  origin_y_ = where.top;
  ScopedSaveDC saved(dc);
  IntersectClipRect(dc, where.left, where.top, where.right, where.bottom);
  SetBkMode(dc, TRANSPARENT);
  SetStretchBltMode(dc, HALFTONE);
  background_ = &slide.background;
  slide_ = where;
  FillBackground(dc, slide.background, where);
  for (const ppt::Shape& s : slide.shapes) DrawShape(dc, s, text);
}

void SlideRenderer::DrawShape(HDC dc, const ppt::Shape& s, std::string* text) {
  ppt::Rect a = s.anchor;
  int rot = ((s.rotation % 360) + 360) % 360;
  if (((rot + 45) / 90) % 2 == 1) {
    // Shapes turned by about a quarter keep their anchor in the turned position.
    int32_t cx = (a.left + a.right) / 2, cy = (a.top + a.bottom) / 2;
    int32_t hw = a.width() / 2, hh = a.height() / 2;
    a = ppt::Rect{cx - hh, cy - hw, cx + hh, cy + hw};
  }
  RECT r{X(a.left), Y(a.top), X(a.right), Y(a.bottom)};
  ScopedSaveDC saved(dc);
  if (rot != 0) {
    SetGraphicsMode(dc, GM_ADVANCED);
    double rad = rot * 3.14159265358979 / 180.0, c = cos(rad), sn = sin(rad);
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    XFORM x{float(c),
            float(sn),
            float(-sn),
            float(c),
            float(cx - cx * c + cy * sn),
            float(cy - cx * sn - cy * c)};
    SetWorldTransform(dc, &x);
  }
  // The outline in shape units, scaled to device pixels at the shape's place.
  geom::Outline outline = geom::ShapeOutline(s, r.right - r.left, r.bottom - r.top);
  std::vector<std::vector<POINT>> figures;
  for (const geom::SubPath& part : outline.parts) {
    std::vector<POINT> pts;
    for (const geom::Pt& pt : part.pts)
      pts.push_back(POINT{r.left + int(std::lround(pt.x)), r.top + int(std::lround(pt.y))});
    figures.push_back(std::move(pts));
  }
  // Shadow under fill under picture under line (fill_win.cpp, picture_win.cpp, line_win.cpp).
  if (s.shadow.visible) DrawShadow(dc, s, outline, figures, r);
  if (s.fill.kind != ppt::Fill::kNone && !outline.open_line)
    FillOutline(dc, s, outline, figures, r);
  if (s.picture >= 0) DrawImage(dc, s.picture, r, s.crop, &s.picture_adjust);
  if (s.line) StrokeOutline(dc, s, outline, figures);
  if (!s.text.paragraphs.empty()) {
    RECT box{X(a.left + s.text.insets.left), Y(a.top + s.text.insets.top),
             X(a.right - s.text.insets.right), Y(a.bottom - s.text.insets.bottom)};
    DrawText(dc, s, box, text);
  }
}

}  // namespace viewer
