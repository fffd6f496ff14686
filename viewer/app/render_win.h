#pragma once
// Paints resolved slides with GDI. Pictures are decoded by Windows' own codecs (WIC) and
// metafiles played back by GDI, so nothing beyond the system's DLLs is needed.
#include <windows.h>
#include <wincodec.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/paint_util_win.h"
#include "app/picture_budget.h"
#include "geom/outline.h"
#include "ppt/presentation.h"
#include "show/build_steps.h"
#include "text/layout.h"

namespace viewer {

class Canvas;
class FontMapper;

// A linked text run where it was painted: shape index in the slide, link index in the shape.
struct LinkArea {
  size_t shape;
  int link;
  RECT box;
};

// A line of text where it was painted, in device pixels (the box around its turned corners when
// its shape or text is turned): from the left of its first letter to the right of its last, from
// the top of its tallest letters to the bottom of its deepest.
struct LineBox {
  RECT box;
  std::string text;  // UTF-8
};

// A slide as a build state shows it (shape states in the slide's shape order; none: all shown),
// and where to report the text links and lines painted.
// A text link by its shape's index in the slide and its index among the shape's text links.
using LinkKey = std::pair<size_t, int>;

struct SlideView {
  const std::vector<show::ShapeView>* shapes = nullptr;
  std::vector<LinkArea>* links = nullptr;
  std::vector<LineBox>* lines = nullptr;
  const std::set<LinkKey>* followed = nullptr;  // text links drawn in their followed colour
};

class SlideRenderer {
 public:
  explicit SlideRenderer(const ppt::Presentation& p);
  ~SlideRenderer();
  SlideRenderer(const SlideRenderer&) = delete;
  SlideRenderer& operator=(const SlideRenderer&) = delete;

  // Paints slide `index` into `dc` within the given pixel rectangle. When `text` is given it
  // receives the text painted, one line per paragraph.
  void Paint(HDC dc, size_t index, const RECT& where, std::string* text = nullptr,
             const SlideView* view = nullptr);
  // Decodes one picture of the slides after `order[pos]`, for a show to call while it is idle;
  // false when there is nothing left to prepare.
  bool Prefetch(const std::vector<size_t>& order, size_t pos);

 private:
  // A picture decoded once: a bitmap or a metafile.
  struct Image {
    ComPtr<IWICBitmapSource> bitmap;
    AutoMetafile metafile;
    size_t bytes = 0;  // memory held, for the budget of decoded pictures
  };
  Image* ImageFor(int blip);
  std::unique_ptr<Image> Decode(int blip);
  // `mirror_x`, `mirror_y`: the picture flipped within `r`, as its shape is.
  void DrawImage(HDC dc, int blip, const RECT& r, const double* crop = nullptr,
                 const ppt::PictureAdjust* adjust = nullptr, bool mirror_x = false,
                 bool mirror_y = false);
  void BlendPixels(HDC dc, const Canvas& pixels, const RECT& r, bool mirror_x, bool mirror_y);
  // What one shape paints with: the DC, its place in the slide's shape order, and what its
  // build state and the caller ask of its text.
  struct ShapeContext {
    HDC dc;
    size_t index = 0;
    const std::vector<uint8_t>* paragraphs = nullptr;  // build states of its paragraphs
    std::vector<LinkArea>* links = nullptr;            // where painted links are reported
    std::string* text = nullptr;                       // receives the text painted
    std::vector<LineBox>* lines = nullptr;             // receives the lines painted
    const std::set<LinkKey>* followed = nullptr;
    const std::vector<ppt::TextLink>* text_links = nullptr;  // the shape's
  };
  void DrawShape(const ShapeContext& c, const ppt::Shape& s);
  // Painters per kind; `figures` are device points of the shape's outline figures.
  using Figures = std::vector<std::vector<POINT>>;
  void FillBackground(HDC dc, const ppt::Fill& fill, const RECT& where);
  // Fills the figures that take the fill, path by path (inner figures of a path cut holes), the
  // faces of 3-D shapes shaded.
  void FillOutline(HDC dc, const ppt::Shape& s, const geom::Outline& outline,
                   const Figures& figures, const RECT& box);
  void PaintFill(HDC dc, const ppt::Fill& fill, const Figures& figures, const RECT& box);
  void PaintGradient(HDC dc, const ppt::Fill& fill, const Figures& figures, const RECT& box);
  HBRUSH PatternBrush(const ppt::Fill& fill);  // caller owns the brush; null when unreadable
  HBRUSH TextureBrush(const ppt::Fill& fill);
  void StrokeOutline(HDC dc, const ppt::Shape& s, const geom::Outline& outline,
                     const Figures& figures);
  void StrokeFigures(HDC dc, const ppt::Shape& s, ppt::Rgb color, const geom::Outline& outline,
                     const Figures& figures);
  void DrawShadow(HDC dc, const ppt::Shape& s, const geom::Outline& outline, const Figures& figures,
                  const RECT& box);
  void DrawText(const ShapeContext& c, const ppt::Shape& s, const RECT& box);
  void DrawWordArt(HDC dc, const ppt::Shape& s, const RECT& box);
  // Figures of one path: their points one after the other, and how many each has.
  struct Polygons {
    std::vector<POINT> pts;
    std::vector<INT> sizes;
  };
  Polygons WordArtLetters(HDC dc, const ppt::Shape& s, const RECT& box);
  text::Measurer MeasurerFor(HDC dc);
  void DrawBullet(HDC dc, const text::Bullet& b, int x, int baseline);
  void DrawPiece(const ShapeContext& c, const text::Piece& piece, int x, int baseline);
  void ReportLine(const ShapeContext& c, const text::Line& line, const text::Bullet* bullet,
                  double left, double top);
  void ReportStretch(const ShapeContext& c, const std::vector<const text::Piece*>& pieces,
                     const std::string& words, const text::Bullet* bullet, double left, double top,
                     double end);
  const ppt::TextBody& WithSymbols(const ppt::TextBody& body, ppt::TextBody* mapped);
  HFONT Font(const text::Font& font);  // cached for the renderer's life
  HFONT BulletFont(HDC dc, const text::Font& font, std::wstring* text, bool from_symbols);
  int X(int32_t mu) const { return origin_x_ + int(mu * scale_ + (mu >= 0 ? 0.5 : -0.5)); }
  int Y(int32_t mu) const { return origin_y_ + int(mu * scale_ + (mu >= 0 ? 0.5 : -0.5)); }
  int Len(double mu) const { return int(mu * scale_ + 0.5); }

  const ppt::Presentation& p_;
  const ppt::Fill* background_ = nullptr;  // the slide being painted: its background and place
  RECT slide_{0, 0, 0, 0};
  double scale_ = 1;
  int origin_x_ = 0, origin_y_ = 0;
  std::map<int, std::unique_ptr<Image>> images_;
  PictureBudget budget_;
  std::set<int> prefetched_;  // tried for the slide on screen
  std::map<std::string, AutoFont> fonts_;
  std::unique_ptr<FontMapper> mapper_;
};

// A top-down 32-bit bitmap selected into its own memory DC.
class Canvas {
 public:
  Canvas(int width, int height);
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  const uint8_t* pixels() const { return static_cast<const uint8_t*>(bits_); }
  uint8_t* bits() { return static_cast<uint8_t*>(bits_); }
  bool ok() const { return bitmap_.valid(); }

 private:
  AutoMemoryDC dc_;
  AutoBitmap bitmap_;
  std::unique_ptr<ScopedSelect> selected_;
  void* bits_ = nullptr;
  int width_, height_;
};

// Writes the canvas as a PNG file through WIC.
bool SavePng(const Canvas& c, const std::string& path);

}  // namespace viewer
