#include "app/render_win.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"

namespace viewer {

SlideRenderer::SlideRenderer(const ppt::Presentation& p)
    : p_(p), budget_(p, kDecodedPictureBudget), mapper_(new FontMapper) {}

SlideRenderer::~SlideRenderer() = default;

namespace {

// A shape as its dimmed state shows it: its text (or, without text, its fill) in the dim colour.
void Dim(ppt::Shape* s, const ppt::Rgb& dim, const std::vector<uint8_t>* paragraphs) {
  bool any_text = false;
  for (size_t i = 0; i < s->text.paragraphs.size(); i++) {
    if (paragraphs && (i >= paragraphs->size() || (*paragraphs)[i] != show::ShapeView::kDimmed))
      continue;
    ppt::Paragraph& p = s->text.paragraphs[i];
    p.bullet_color = dim;
    for (ppt::Run& r : p.runs) r.color = dim;
    any_text = true;
  }
  if (!any_text && !paragraphs && s->fill.kind != ppt::Fill::kNone) s->fill.color = dim;
}

}  // namespace

void SlideRenderer::Paint(HDC dc, size_t index, const RECT& where, std::string* text,
                          const SlideView* view) {
  if (index >= p_.slides.size()) return;
  const ppt::Slide& slide = p_.slides[index];
  if (budget_.current() != index) prefetched_.clear();
  budget_.SetCurrent(index);
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
  const std::vector<show::ShapeView>* states = view ? view->shapes : nullptr;
  for (size_t i = 0; i < slide.shapes.size(); i++) {
    const ppt::Shape& s = slide.shapes[i];
    ShapeContext c{
        dc, i, nullptr, view ? view->links : nullptr, text, view ? view->lines : nullptr};
    c.followed = view ? view->followed : nullptr;
    c.text_links = &s.text_links;
    if (!states || i >= states->size()) {
      DrawShape(c, s);
      continue;
    }
    const show::ShapeView& v = (*states)[i];
    if (v.state == show::ShapeView::kHidden) continue;
    bool dim_paragraphs = false;
    for (uint8_t st : v.paragraphs) dim_paragraphs |= st == show::ShapeView::kDimmed;
    c.paragraphs = v.paragraphs.empty() ? nullptr : &v.paragraphs;
    if (v.posed()) {
      ppt::Shape posed = show::Posed(s, v, p_.width, p_.height);
      if (v.state == show::ShapeView::kDimmed || dim_paragraphs)
        Dim(&posed, v.dim, v.state == show::ShapeView::kDimmed ? nullptr : &v.paragraphs);
      DrawShape(c, posed);
    } else if (v.state == show::ShapeView::kDimmed || dim_paragraphs) {
      ppt::Shape dimmed = s;
      Dim(&dimmed, v.dim, v.state == show::ShapeView::kDimmed ? nullptr : &v.paragraphs);
      DrawShape(c, dimmed);
    } else {
      DrawShape(c, s);
    }
  }
}

void SlideRenderer::DrawShape(const ShapeContext& c, const ppt::Shape& s) {
  HDC dc = c.dc;
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
  if (s.picture >= 0) DrawImage(dc, s.picture, r, s.crop, &s.picture_adjust, s.flip_h, s.flip_v);
  if (s.line) StrokeOutline(dc, s, outline, figures);
  if (!s.word_art.text.empty()) {
    DrawWordArt(dc, s, r);
    if (c.text) *c.text += ppt::ToUtf8(s.word_art.text) + "\n";  // WordArt is text the slide shows
  }
  if (!s.text.paragraphs.empty()) {
    RECT box{X(a.left + s.text.insets.left), Y(a.top + s.text.insets.top),
             X(a.right - s.text.insets.right), Y(a.bottom - s.text.insets.bottom)};
    DrawText(c, s, box);
  }
}

}  // namespace viewer
