// WordArt: its text is the shape. Each line is stretched across the shape's box, one row per
// line, then filled and outlined as the shape's outline would be.
#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"
#include "app/render_win.h"

namespace viewer {

namespace {

// Letters are drawn this tall before they are stretched: large enough that hinting does not show.
constexpr int kWordArtCellPx = 256;

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

}  // namespace

// Adds the text's outlines to the path being recorded, each line stretched into its row of `box`.
void SlideRenderer::WordArtPath(HDC dc, const ppt::Shape& s, const RECT& box) {
  text::Font f;
  f.face = s.word_art.face;
  f.bold = s.word_art.bold;
  f.italic = s.word_art.italic;
  f.size = kWordArtCellPx;
  ScopedSelect font(dc, Font(f));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const std::vector<std::wstring> lines = Lines(s.word_art.text);
  const double row = double(box.bottom - box.top) / lines.size();
  const double cell = std::max<LONG>(1, tm.tmAscent + tm.tmDescent);
  XFORM base;
  GetWorldTransform(dc, &base);
  SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
  for (size_t i = 0; i < lines.size(); i++) {
    const std::wstring& line = lines[i];
    SIZE extent{};
    if (line.empty() || !GetTextExtentPoint32W(dc, line.c_str(), int(line.size()), &extent) ||
        extent.cx <= 0)
      continue;
    XFORM stretch{float(double(box.right - box.left) / extent.cx),
                  0,
                  0,
                  float(row / cell),
                  float(box.left),
                  float(box.top + row * i)};
    SetWorldTransform(dc, &base);
    ModifyWorldTransform(dc, &stretch, MWT_LEFTMULTIPLY);
    ExtTextOutW(dc, 0, 0, 0, nullptr, line.c_str(), UINT(line.size()), nullptr);
  }
  SetWorldTransform(dc, &base);
}

void SlideRenderer::DrawWordArt(HDC dc, const ppt::Shape& s, const RECT& box) {
  if (box.right <= box.left || box.bottom <= box.top) return;
  ScopedSaveDC saved(dc);
  SetGraphicsMode(dc, GM_ADVANCED);
  SetBkMode(dc, TRANSPARENT);
  const Figures whole = {
      {{box.left, box.top}, {box.right, box.top}, {box.right, box.bottom}, {box.left, box.bottom}}};
  if (s.fill.kind != ppt::Fill::kNone) {
    ScopedSaveDC clip(dc);
    BeginPath(dc);
    WordArtPath(dc, s, box);
    EndPath(dc);
    SelectClipPath(dc, RGN_AND);
    PaintFill(dc, s.fill, whole, box);
  }
  if (s.line) {
    const double width = std::max(1.0, s.line_width * kMasterPerEmu * scale_);
    AutoPen pen(CreatePen(PS_SOLID, int(std::lround(width)), Ref(s.line_color)));
    ScopedSelect selected(dc, pen.get());
    BeginPath(dc);
    WordArtPath(dc, s, box);
    EndPath(dc);
    StrokePath(dc);
  }
}

}  // namespace viewer
