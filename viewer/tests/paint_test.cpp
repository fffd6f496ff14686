// How fills and lines are laid out for painting: gradient bands, dashes, compound strokes,
// arrowheads and picture colour changes.
#include <gtest/gtest.h>

#include <cmath>

#include "paint/blend.h"
#include "paint/stroke.h"

namespace {

using geom::Pt;
using ppt::Rgb;

ppt::Fill TwoColours(Rgb a, Rgb b) {
  ppt::Fill f;
  f.kind = ppt::Fill::kGradient;
  f.stops = {{0, a, 255}, {1, b, 0}};
  return f;
}

TEST(PaintBlend, StopsAreInterpolated) {
  ppt::Fill f = TwoColours(Rgb{0, 0, 0}, Rgb{200, 100, 0});
  f.stops.insert(f.stops.begin() + 1, ppt::GradientStop{0.5, Rgb{0, 255, 0}, 255});
  EXPECT_EQ(paint::SampleStops(f.stops, -1).color, (Rgb{0, 0, 0}));
  EXPECT_EQ(paint::SampleStops(f.stops, 0.25).color, (Rgb{0, 128, 0}));
  EXPECT_EQ(paint::SampleStops(f.stops, 0.75).color, (Rgb{100, 178, 0}));
  EXPECT_EQ(paint::SampleStops(f.stops, 0.75).alpha, 128);
  EXPECT_EQ(paint::SampleStops(f.stops, 2).color, (Rgb{200, 100, 0}));
  EXPECT_EQ(paint::SampleStops({}, 0.5).alpha, 255);
  EXPECT_EQ(paint::BandCount(0), 8);
  EXPECT_EQ(paint::BandCount(1e9), 256);
}

TEST(PaintBlend, LinearBandsCoverTheBoxInTheBlendsDirection) {
  ppt::Fill f = TwoColours(Rgb{255, 0, 0}, Rgb{0, 0, 255});
  f.angle = 270;  // upwards: the first colour at the bottom
  std::vector<paint::ColorBand> bands = paint::LinearBands(f, 10, 20, 100, 50, 10);
  ASSERT_EQ(bands.size(), 10u);
  EXPECT_GT(bands.front().color.r, 200);
  EXPECT_GT(bands.back().color.b, 200);
  double first_y = 0, last_y = 0;
  for (const Pt& p : bands.front().pts) first_y += p.y / 4;
  for (const Pt& p : bands.back().pts) last_y += p.y / 4;
  EXPECT_GT(first_y, 60);  // near the bottom edge (y 70)
  EXPECT_LT(last_y, 30);   // near the top edge (y 20)
  // Every band spans the box across the direction.
  for (const paint::ColorBand& b : bands) {
    double lo = 1e9, hi = -1e9;
    for (const Pt& p : b.pts) lo = std::min(lo, p.x), hi = std::max(hi, p.x);
    EXPECT_LE(lo, 10);
    EXPECT_GE(hi, 110);
  }
  // A diagonal blend still reaches the box's far corners.
  f.angle = 45;
  bands = paint::LinearBands(f, 0, 0, 100, 100, 4);
  double reach = 0;
  for (const Pt& p : bands.back().pts) reach = std::max(reach, p.x + p.y);
  EXPECT_GE(reach, 200);
}

TEST(PaintBlend, RectangularAndShapeBandsShrinkTowardsTheFocus) {
  ppt::Fill f = TwoColours(Rgb{0, 0, 0}, Rgb{255, 255, 255});
  f.blend = ppt::Fill::kRectangular;
  for (double& v : f.focus) v = 1;  // the bottom-right corner
  std::vector<paint::ColorBand> bands = paint::RectangularBands(f, 0, 0, 100, 50, 4);
  ASSERT_EQ(bands.size(), 4u);
  EXPECT_DOUBLE_EQ(bands[0].pts[0].x, 0);
  EXPECT_DOUBLE_EQ(bands[2].pts[0].x, 50);
  EXPECT_DOUBLE_EQ(bands[2].pts[0].y, 25);
  EXPECT_DOUBLE_EQ(bands[2].pts[2].x, 100);
  EXPECT_LT(bands[0].color.r, bands[3].color.r);
  std::vector<Pt> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  bands = paint::ShapeBands(f, square, 5, 5, 2);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_DOUBLE_EQ(bands[1].pts[0].x, 2.5);
  EXPECT_EQ(paint::AverageAlpha(f), 128);
}

TEST(PaintStroke, DashPatternsAndCompoundBands) {
  EXPECT_TRUE(paint::DashPattern(ppt::LineStyle::kSolid).empty());
  EXPECT_EQ(paint::DashPattern(ppt::LineStyle::kDotSys), (std::vector<double>{1, 1}));
  EXPECT_EQ(paint::DashPattern(ppt::LineStyle::kLongDashDotDot),
            (std::vector<double>{8, 3, 1, 3, 1, 3}));
  for (auto c : {ppt::LineStyle::kSingle, ppt::LineStyle::kDouble, ppt::LineStyle::kThickThin,
                 ppt::LineStyle::kThinThick, ppt::LineStyle::kTriple}) {
    // The strokes stay within the line's width and do not overlap.
    std::vector<paint::StrokeBand> bands = paint::CompoundBands(c);
    double covered = 0;
    for (const paint::StrokeBand& b : bands) {
      EXPECT_LE(std::fabs(b.offset) + b.width / 2, 0.5 + 1e-9);
      covered += b.width;
    }
    EXPECT_LE(covered, 1 + 1e-9);
  }
  EXPECT_EQ(paint::CompoundBands(ppt::LineStyle::kTriple).size(), 3u);
}

TEST(PaintStroke, OffsetPathsKeepTheirDistance) {
  std::vector<Pt> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  // Clockwise on screen: the left of travel is outside.
  std::vector<Pt> out = paint::OffsetPath(square, true, 1);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_NEAR(out[0].x, -1, 1e-9);
  EXPECT_NEAR(out[0].y, -1, 1e-9);
  EXPECT_NEAR(out[2].x, 11, 1e-9);
  std::vector<Pt> line{{0, 0}, {10, 0}};
  out = paint::OffsetPath(line, false, -2);
  EXPECT_NEAR(out[1].y, 2, 1e-9);
  // A path that turns back on itself, and repeated points, stay finite.
  out = paint::OffsetPath({{0, 0}, {10, 0}, {0, 0}, {0, 0}}, false, 1);
  for (const Pt& p : out) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

TEST(PaintStroke, ArrowheadsBySizeAndStyle) {
  ppt::LineEnd end;
  end.style = ppt::LineEnd::kTriangle;
  paint::ArrowHead h = paint::MakeArrowHead(end, Pt{100, 0}, Pt{0, 0}, 4);
  ASSERT_EQ(h.pts.size(), 3u);
  EXPECT_DOUBLE_EQ(h.pts[0].x, 100);
  EXPECT_DOUBLE_EQ(h.pts[1].x, 88);  // medium length: three widths back
  EXPECT_DOUBLE_EQ(std::fabs(h.pts[1].y), 6);
  EXPECT_TRUE(h.filled);
  EXPECT_GT(h.inset, 0);
  end.width = 2;
  end.length = 0;
  h = paint::MakeArrowHead(end, Pt{0, 0}, Pt{0, 50}, 4);  // pointing up
  EXPECT_DOUBLE_EQ(h.pts[1].y, 8);
  EXPECT_DOUBLE_EQ(std::fabs(h.pts[1].x), 10);
  end.style = ppt::LineEnd::kOpen;
  EXPECT_FALSE(paint::MakeArrowHead(end, Pt{10, 0}, Pt{0, 0}, 1).filled);
  end.style = ppt::LineEnd::kOval;
  EXPECT_EQ(paint::MakeArrowHead(end, Pt{10, 0}, Pt{0, 0}, 1).inset, 0);
  end.style = ppt::LineEnd::kNone;
  EXPECT_TRUE(paint::MakeArrowHead(end, Pt{10, 0}, Pt{0, 0}, 1).pts.empty());
  end.style = ppt::LineEnd::kStealth;
  EXPECT_TRUE(paint::MakeArrowHead(end, Pt{0, 0}, Pt{0, 0}, 1).pts.empty());  // no direction
  std::vector<Pt> line{{0, 0}, {10, 0}};
  paint::ShortenEnd(&line, 3);
  paint::ShortenStart(&line, 50);
  EXPECT_DOUBLE_EQ(line[1].x, 7);
  EXPECT_DOUBLE_EQ(line[0].x, 7);
}

TEST(PaintPictures, ColourChanges) {
  auto one = [](uint8_t b, uint8_t g, uint8_t r, uint8_t a, const ppt::PictureAdjust& adj) {
    uint8_t px[4] = {b, g, r, a};
    paint::AdjustPixels(px, 1, 1, adj);
    return std::vector<int>{px[0], px[1], px[2], px[3]};
  };
  ppt::PictureAdjust gray;
  gray.gray = true;
  EXPECT_EQ(one(0, 0, 255, 255, gray), (std::vector<int>{76, 76, 76, 255}));
  ppt::PictureAdjust bw;
  bw.black_white = true;
  EXPECT_EQ(one(200, 200, 200, 255, bw), (std::vector<int>{255, 255, 255, 255}));
  ppt::PictureAdjust bright;
  bright.brightness = 0.5;
  EXPECT_EQ(one(0, 0, 0, 255, bright)[0], 128);
  ppt::PictureAdjust flat;
  flat.contrast = 0;
  EXPECT_EQ(one(0, 255, 0, 255, flat)[1], 128);
  // Premultiplied: a half-transparent pixel stays half-transparent and in range.
  EXPECT_EQ(one(64, 64, 64, 128, bright)[3], 128);
  EXPECT_LE(one(64, 64, 64, 128, bright)[0], 128);
  ppt::PictureAdjust clear;
  clear.transparent = true;
  clear.transparent_color = Rgb{255, 255, 255};
  EXPECT_EQ(one(250, 252, 255, 255, clear), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(one(0, 252, 255, 255, clear)[3], 255);
}

}  // namespace
