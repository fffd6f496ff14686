// Fill painters: solid, gradient, pattern, texture and picture fills of shapes and backgrounds,
// translucent where the file says so.
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/paint_util_win.h"
#include "app/render_win.h"
#include "app/translucent_win.h"
#include "paint/blend.h"

namespace viewer {

namespace {

using Figures = std::vector<std::vector<POINT>>;

// Two-colour patterns are small tiles (8 × 8 as PowerPoint writes them); a larger picture given
// as a pattern is tiled as it is.
constexpr UINT kMaxPatternSide = 16;
constexpr int kMaxTextureSide = 2048;
// Pictures are measured at 96 pixels to the inch; master units are 576 to the inch.
constexpr double kMasterPerPixel = 576.0 / 96;

std::vector<POINT> Corners(const RECT& r) {
  return {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
}

// Every point the fill may touch: the box and the figures.
std::vector<POINT> Extent(const Figures& figures, const RECT& box) {
  std::vector<POINT> pts = Corners(box);
  for (const std::vector<POINT>& f : figures) pts.insert(pts.end(), f.begin(), f.end());
  return pts;
}

void PolyFigures(HDC dc, const Figures& figures) {
  std::vector<POINT> all;
  std::vector<INT> counts;
  for (const std::vector<POINT>& f : figures) {
    if (f.size() < 3) continue;
    all.insert(all.end(), f.begin(), f.end());
    counts.push_back(INT(f.size()));
  }
  if (!counts.empty()) PolyPolygon(dc, all.data(), counts.data(), int(counts.size()));
}

// Narrows the DC's clip to the figures; the caller's ScopedSaveDC undoes it.
void ClipToFigures(HDC dc, const Figures& figures) {
  BeginPath(dc);
  PolyFigures(dc, figures);
  EndPath(dc);
  SelectClipPath(dc, RGN_AND);
}

std::vector<POINT> ToPoints(const std::vector<geom::Pt>& pts) {
  std::vector<POINT> out;
  out.reserve(pts.size());
  for (const geom::Pt& p : pts)
    out.push_back(POINT{LONG(std::lround(p.x)), LONG(std::lround(p.y))});
  return out;
}

// A pattern brush over `w` × `h` top-down 0x00RRGGBB pixels; the system keeps its own copy.
HBRUSH BrushFromPixels(const std::vector<uint32_t>& px, int w, int h) {
  if (w <= 0 || h <= 0 || px.size() != size_t(w) * size_t(h)) return nullptr;
  std::vector<uint8_t> packed(sizeof(BITMAPINFOHEADER) + px.size() * 4);
  BITMAPINFOHEADER bh{};
  bh.biSize = sizeof(bh);
  bh.biWidth = w;
  bh.biHeight = -h;
  bh.biPlanes = 1;
  bh.biBitCount = 32;
  bh.biCompression = BI_RGB;
  std::memcpy(packed.data(), &bh, sizeof(bh));
  std::memcpy(packed.data() + sizeof(bh), px.data(), px.size() * 4);
  return CreateDIBPatternBrushPt(packed.data(), DIB_RGB_COLORS);
}

// A face of a 3-D shape: the fill made darker (shade < 0) or lighter (shade > 0).
ppt::Rgb Shaded(ppt::Rgb c, double shade) {
  auto one = [shade](uint8_t v) {
    double out = shade < 0 ? v * (1 + shade) : v + (255 - v) * shade;
    return uint8_t(std::lround(std::max(0.0, std::min(255.0, out))));
  };
  return ppt::Rgb{one(c.r), one(c.g), one(c.b)};
}

// Shaded faces of pictures and patterns take the plain colour, shaded.
ppt::Fill Shaded(const ppt::Fill& f, double shade) {
  if (shade == 0) return f;
  ppt::Fill out = f;
  out.color = Shaded(f.color, shade);
  out.color2 = Shaded(f.color2, shade);
  for (ppt::GradientStop& s : out.stops) s.color = Shaded(s.color, shade);
  if (out.kind != ppt::Fill::kGradient && out.kind != ppt::Fill::kNone)
    out.kind = ppt::Fill::kSolid;
  return out;
}

uint32_t Pixel(const ppt::Rgb& c) {
  return uint32_t(c.b) | (uint32_t(c.g) << 8) | (c.r << 16);
}

void PaintBands(HDC dc, const std::vector<paint::ColorBand>& bands) {
  ScopedSelect brush(dc, GetStockObject(DC_BRUSH));
  for (const paint::ColorBand& b : bands) {
    if (b.pts.size() < 3) continue;
    SetDCBrushColor(dc, Ref(b.color));
    std::vector<POINT> pts = ToPoints(b.pts);
    Polygon(dc, pts.data(), int(pts.size()));
  }
}

}  // namespace

void SlideRenderer::FillBackground(HDC dc, const ppt::Fill& bg, const RECT& where) {
  AutoBrush base(CreateSolidBrush(RGB(255, 255, 255)));
  FillRect(dc, &where, base.get());
  PaintFill(dc, bg, Figures{Corners(where)}, where);
}

void SlideRenderer::FillOutline(HDC dc, const ppt::Shape& s, const geom::Outline& outline,
                                const Figures& figures, const RECT& box) {
  size_t i = 0;
  while (i < figures.size() && i < outline.parts.size()) {
    size_t end = i;
    Figures path;
    for (; end < figures.size() && end < outline.parts.size() &&
           outline.parts[end].path == outline.parts[i].path;
         end++)
      if (outline.parts[end].fill && figures[end].size() >= 3) path.push_back(figures[end]);
    if (!path.empty()) {
      ppt::Fill f = Shaded(s.fill, outline.parts[i].shade);
      PaintFill(dc, s.flip_v ? paint::UpsideDown(f) : f, path, box);
    }
    i = end;
  }
}

void SlideRenderer::PaintFill(HDC dc, const ppt::Fill& fill, const Figures& figures,
                              const RECT& box) {
  if (fill.kind == ppt::Fill::kNone || figures.empty()) return;
  Translucent translucent(dc, Extent(figures, box), paint::AverageAlpha(fill));
  ScopedSaveDC saved(dc);
  ScopedSelect pen(dc, GetStockObject(NULL_PEN));
  switch (fill.kind) {
    case ppt::Fill::kGradient:
      PaintGradient(dc, fill, figures, box);
      return;
    case ppt::Fill::kPicture:
      ClipToFigures(dc, figures);
      DrawImage(dc, fill.blip, box);
      return;
    case ppt::Fill::kPattern:
    case ppt::Fill::kTexture: {
      AutoBrush tile(fill.kind == ppt::Fill::kPattern ? PatternBrush(fill) : nullptr);
      if (!tile) tile = AutoBrush(TextureBrush(fill));
      if (tile) {
        POINT origin{box.left, box.top};
        LPtoDP(dc, &origin, 1);
        SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
        ScopedSelect b(dc, tile.get());
        PolyFigures(dc, figures);
      } else if (ImageFor(fill.blip) && ImageFor(fill.blip)->metafile) {
        // A picture no brush can hold (a metafile): stretched over the shape instead.
        ClipToFigures(dc, figures);
        DrawImage(dc, fill.blip, box);
      } else {
        AutoBrush solid(CreateSolidBrush(Ref(fill.color)));
        ScopedSelect b(dc, solid.get());
        PolyFigures(dc, figures);
      }
      return;
    }
    case ppt::Fill::kBackground:
      // The slide's background, in its place on the slide, seen through the shape.
      if (background_ && background_->kind != ppt::Fill::kBackground) {
        ClipToFigures(dc, figures);
        if (GetGraphicsMode(dc) == GM_ADVANCED) ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
        PaintFill(dc, *background_, Figures{Corners(slide_)}, slide_);
      }
      return;
    case ppt::Fill::kSolid:
    case ppt::Fill::kNone:
      break;
  }
  AutoBrush brush(CreateSolidBrush(Ref(fill.color)));
  ScopedSelect b(dc, brush.get());
  PolyFigures(dc, figures);
}

void SlideRenderer::PaintGradient(HDC dc, const ppt::Fill& fill, const Figures& figures,
                                  const RECT& box) {
  ScopedSaveDC saved(dc);
  ClipToFigures(dc, figures);
  double x = box.left, y = box.top, w = box.right - box.left, h = box.bottom - box.top;
  if (w <= 0 || h <= 0) return;
  switch (fill.blend) {
    case ppt::Fill::kLinear:
      PaintBands(dc, paint::LinearBands(fill, x, y, w, h, paint::BandCount(std::hypot(w, h))));
      break;
    case ppt::Fill::kRectangular:
      PaintBands(dc, paint::RectangularBands(fill, x, y, w, h, paint::BandCount(std::max(w, h))));
      break;
    case ppt::Fill::kShape:
      for (const std::vector<POINT>& f : figures) {
        std::vector<geom::Pt> pts;
        for (const POINT& p : f) pts.push_back(geom::Pt{double(p.x), double(p.y)});
        PaintBands(dc, paint::ShapeBands(fill, pts, x + w / 2, y + h / 2,
                                         paint::BandCount(std::max(w, h) / 2)));
      }
      break;
  }
}

HBRUSH SlideRenderer::PatternBrush(const ppt::Fill& fill) {
  Image* img = ImageFor(fill.blip);
  UINT w = 0, h = 0;
  if (!img || !img->bitmap || FAILED(img->bitmap->GetSize(&w, &h)) || w == 0 || h == 0 ||
      w > kMaxPatternSide || h > kMaxPatternSide)
    return nullptr;
  std::vector<uint8_t> src(size_t(w) * h * 4);
  if (FAILED(img->bitmap->CopyPixels(nullptr, w * 4, UINT(src.size()), src.data()))) return nullptr;
  // The pattern's dark dots take the foreground colour, the rest the background colour.
  std::vector<uint32_t> px(size_t(w) * h);
  for (size_t i = 0; i < px.size(); i++) {
    const uint8_t* p = &src[i * 4];
    int lum = (p[2] * 299 + p[1] * 587 + p[0] * 114) / 1000 + (255 - p[3]);
    px[i] = Pixel(lum < 128 ? fill.color : fill.color2);
  }
  return BrushFromPixels(px, int(w), int(h));
}

HBRUSH SlideRenderer::TextureBrush(const ppt::Fill& fill) {
  Image* img = ImageFor(fill.blip);
  UINT iw = 0, ih = 0;
  IWICImagingFactory* f = Factory();
  if (!f || !img || !img->bitmap || FAILED(img->bitmap->GetSize(&iw, &ih)) || !iw || !ih)
    return nullptr;
  int w = std::max(1, std::min(kMaxTextureSide, Len(iw * kMasterPerPixel)));
  int h = std::max(1, std::min(kMaxTextureSide, Len(ih * kMasterPerPixel)));
  ComPtr<IWICBitmapScaler> scaler;
  if (FAILED(f->CreateBitmapScaler(scaler.receive())) ||
      FAILED(
          scaler->Initialize(img->bitmap.get(), UINT(w), UINT(h), WICBitmapInterpolationModeFant)))
    return nullptr;
  std::vector<uint32_t> px(size_t(w) * h);
  if (FAILED(scaler->CopyPixels(nullptr, UINT(w * 4), UINT(px.size() * 4),
                                reinterpret_cast<BYTE*>(px.data()))))
    return nullptr;
  // Premultiplied pixels over white, as a tile has nothing behind it.
  for (uint32_t& p : px) {
    uint32_t a = p >> 24, white = 255 - a;
    p = (std::min(255u, (p & 0xFF) + white)) | (std::min(255u, ((p >> 8) & 0xFF) + white) << 8) |
        (std::min(255u, ((p >> 16) & 0xFF) + white) << 16);
  }
  return BrushFromPixels(px, w, h);
}

}  // namespace viewer
