// WordArt: its text is the shape. Each line's letters are outlined, then bent along the preset's
// path (geom/text_warp.h) and filled and outlined as the shape's outline would be.
#include <algorithm>
#include <cmath>

#include "app/fonts_win.h"
#include "app/paint_util_win.h"
#include "app/render_win.h"
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

// The figures of the path recorded on `dc`, flattened: points and where each figure starts.
void TakeFigures(HDC dc, std::vector<POINT>* pts, std::vector<size_t>* starts) {
  pts->clear();
  starts->clear();
  if (!FlattenPath(dc)) return;
  int n = GetPath(dc, nullptr, nullptr, 0);
  if (n <= 0) return;
  std::vector<BYTE> types(size_t(n), 0);
  pts->resize(size_t(n));
  n = GetPath(dc, pts->data(), types.data(), n);
  pts->resize(size_t(std::max(0, n)));
  for (size_t i = 0; i < pts->size(); i++)
    if ((types[i] & ~PT_CLOSEFIGURE) == PT_MOVETO) starts->push_back(i);
}

}  // namespace

// Adds the text's outlines to the path being recorded on `dc`, bent into `box`.
void SlideRenderer::WordArtPath(HDC dc, const ppt::Shape& s, const RECT& box) {
  const double w = box.right - box.left, h = box.bottom - box.top;
  const geom::TextWarp warp(geom::ShapeOutline(s, w, h), w, h);
  AutoMemoryDC scratch(CreateCompatibleDC(dc));
  if (!scratch) return;
  text::Font f;
  f.face = s.word_art.face;
  f.bold = s.word_art.bold;
  f.italic = s.word_art.italic;
  f.size = kWordArtCellPx;
  ScopedSelect font(scratch.get(), Font(f));
  TEXTMETRICW tm{};
  GetTextMetricsW(scratch.get(), &tm);
  SetTextAlign(scratch.get(), TA_TOP | TA_LEFT | TA_NOUPDATECP);
  SetBkMode(scratch.get(), TRANSPARENT);
  const double cell = std::max<LONG>(1, tm.tmAscent + tm.tmDescent);
  const std::vector<std::wstring> lines = Lines(s.word_art.text);
  const int count = int(lines.size());
  // Unless each line is stretched across, all lines take the longest one's scale.
  std::vector<double> advances;
  double longest = 0;
  for (const std::wstring& line : lines) {
    SIZE extent{};
    const bool measured = !line.empty() && GetTextExtentPoint32W(scratch.get(), line.c_str(),
                                                                 int(line.size()), &extent);
    advances.push_back(measured ? double(extent.cx) : 0.0);
    longest = std::max(longest, advances.back());
  }
  std::vector<POINT> glyphs, bent;
  std::vector<size_t> starts;
  std::vector<INT> sizes;
  for (int i = 0; i < count; i++) {
    const std::wstring& line = lines[size_t(i)];
    const double advance = advances[size_t(i)];
    if (advance <= 0) continue;
    // The share of the width the line takes, and where that share starts.
    const double share =
        s.word_art.align == ppt::Shape::WordArt::kStretch ? 1.0 : advance / longest;
    const double start = s.word_art.align == ppt::Shape::WordArt::kLeft     ? 0.0
                         : s.word_art.align == ppt::Shape::WordArt::kRight  ? 1 - share
                         : s.word_art.align == ppt::Shape::WordArt::kCenter ? (1 - share) / 2
                                                                            : 0.0;
    BeginPath(scratch.get());
    ExtTextOutW(scratch.get(), 0, 0, 0, nullptr, line.c_str(), UINT(line.size()), nullptr);
    EndPath(scratch.get());
    TakeFigures(scratch.get(), &glyphs, &starts);
    auto put = [&](double x, double y) {
      geom::Pt q =
          warp.Map(i, count, start + share * x / advance, y / cell, cell * share / advance);
      // Adjust values out of all proportion bend letters far off; keep them near the box.
      q.x = std::isfinite(q.x) ? std::min(std::max(q.x, -2 * w), 3 * w) : 0;
      q.y = std::isfinite(q.y) ? std::min(std::max(q.y, -2 * h), 3 * h) : 0;
      bent.push_back(POINT{box.left + LONG(std::lround(q.x)), box.top + LONG(std::lround(q.y))});
    };
    for (size_t k = 0; k < starts.size(); k++) {
      const size_t from = starts[k], to = k + 1 < starts.size() ? starts[k + 1] : glyphs.size();
      if (to - from < 2) continue;
      const size_t before = bent.size();
      for (size_t j = from; j < to; j++) {
        const POINT a = glyphs[j], b = glyphs[j + 1 < to ? j + 1 : from];  // closing edge last
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
  if (!sizes.empty()) PolyPolygon(dc, bent.data(), sizes.data(), int(sizes.size()));
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
