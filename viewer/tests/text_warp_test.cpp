// WordArt bent along its preset: where the letters of each line go in the shape's box.
#include <gtest/gtest.h>

#include <cmath>

#include "geom/outline.h"
#include "geom/preset.h"
#include "geom/text_warp.h"
#include "ppt/records.h"

namespace {

using geom::Pt;
using geom::TextWarp;

constexpr double kW = 200, kH = 100;

TextWarp WarpOf(int type) {
  ppt::Shape s;
  s.type = type;
  s.geometry = ppt::Shape::kRect;
  return TextWarp(geom::ShapeOutline(s, kW, kH), kW, kH);
}

bool Near(Pt a, Pt b, double d = 1.5) {
  return std::hypot(a.x - b.x, a.y - b.y) <= d;
}

// Every WordArt preset puts one line of letters inside its box, reading left to right and
// upright where the line starts to turn (a circle's text runs over its top first).
TEST(TextWarp, EveryWordArtPresetReadsLeftToRightInsideItsBox) {
  int checked = 0;
  for (int type = ppt::spt::kFirstTextPath; type <= ppt::spt::kLastTextPath; type++) {
    if (!geom::FindPreset(type)) continue;
    checked++;
    const TextWarp warp = WarpOf(type);
    for (double u = 0; u <= 1.0001; u += 0.125)
      for (double v = 0; v <= 1.0001; v += 0.25) {
        Pt p = warp.Map(0, 1, u, v, 0.2);
        EXPECT_GE(p.x, -0.05 * kW) << type << " u " << u << " v " << v;
        EXPECT_LE(p.x, 1.05 * kW) << type << " u " << u << " v " << v;
        EXPECT_GE(p.y, -0.05 * kH) << type << " u " << u << " v " << v;
        EXPECT_LE(p.y, 1.05 * kH) << type << " u " << u << " v " << v;
      }
    const bool circle = type == 146 || type == 150;
    const double at = circle ? 0.25 : 0.5;
    EXPECT_LT(warp.Map(0, 1, at, 0, 0.2).y, warp.Map(0, 1, at, 1, 0.2).y) << type;
    if (circle)
      EXPECT_LT(warp.Map(0, 1, 0.2, 0.5, 0.2).x, warp.Map(0, 1, 0.3, 0.5, 0.2).x) << type;
    else
      EXPECT_LT(warp.Map(0, 1, 0, 0.5, 0.2).x, warp.Map(0, 1, 1, 0.5, 0.2).x) << type;
  }
  EXPECT_GE(checked, 39);
}

// Plain WordArt is its box: lines one under the other, each across the whole width.
TEST(TextWarp, PlainTextFillsTheBoxLineUnderLine) {
  const TextWarp warp = WarpOf(136);
  EXPECT_FALSE(warp.along_rails());
  EXPECT_TRUE(Near(warp.Map(0, 2, 0, 0, 0.2), Pt{0, 0}));
  EXPECT_TRUE(Near(warp.Map(0, 2, 1, 1, 0.2), Pt{kW, kH / 2}));
  EXPECT_TRUE(Near(warp.Map(1, 2, 0, 0, 0.2), Pt{0, kH / 2}));
  EXPECT_TRUE(Near(warp.Map(1, 2, 1, 1, 0.2), Pt{kW, kH}));
  // A type without a path of its own does the same.
  EXPECT_TRUE(Near(WarpOf(142).Map(0, 1, 1, 1, 0.2), Pt{kW, kH}));
}

// Letters between two rails take the rails' shape: a wave's top edge waves, an inflated line is
// taller in the middle than at its ends.
TEST(TextWarp, LettersBetweenTwoRailsTakeTheirShape) {
  const TextWarp inflate = WarpOf(160);
  const double middle = inflate.Map(0, 1, 0.5, 1, 0.2).y - inflate.Map(0, 1, 0.5, 0, 0.2).y;
  const double end = inflate.Map(0, 1, 0, 1, 0.2).y - inflate.Map(0, 1, 0, 0, 0.2).y;
  EXPECT_GT(middle, end * 1.2);
  const TextWarp fade = WarpOf(168);  // fade right: shorter towards the right
  EXPECT_LT(fade.Map(0, 1, 1, 1, 0.2).y - fade.Map(0, 1, 1, 0, 0.2).y,
            fade.Map(0, 1, 0, 1, 0.2).y - fade.Map(0, 1, 0, 0, 0.2).y);
}

// An arch's letters hang from it, towards the middle of the box; a smile's stand on it. Lines
// beyond the first stack inwards, and letters never grow past their share of the box.
TEST(TextWarp, ArchesHangFromTheirTopAndStandOnTheirBottom) {
  const TextWarp up = WarpOf(144);
  EXPECT_TRUE(up.along_rails());
  EXPECT_TRUE(Near(up.Map(0, 1, 0.5, 0, 0.2), Pt{kW / 2, 0}));
  const double hang = up.Map(0, 1, 0.5, 1, 0.2).y;
  EXPECT_GT(hang, 5);
  EXPECT_LE(hang, 0.3 * kH + 0.01);                     // capped, though the arch is long
  EXPECT_GT(up.Map(1, 2, 0.5, 0, 0.2).y, hang - 0.01);  // the second line under the first
  // The letters turn with the arch: near its left end they lean outwards.
  EXPECT_LT(up.Map(0, 1, 0.05, 0, 0.2).x, up.Map(0, 1, 0.05, 1, 0.2).x);
  const TextWarp down = WarpOf(145);
  EXPECT_TRUE(Near(down.Map(0, 1, 0.5, 1, 0.2), Pt{kW / 2, kH}));
  EXPECT_LT(down.Map(0, 1, 0.5, 0, 0.2).y, kH - 5);
  // Short text keeps its proportions: a cell a tenth as tall as the arch is long.
  const double small = up.Map(0, 1, 0.5, 1, 0.01).y - up.Map(0, 1, 0.5, 0, 0.01).y;
  EXPECT_LT(small, hang);
}

// A button's three rails take a line each: the middle line is centred on its rail.
TEST(TextWarp, EachOfSeveralRailsCarriesALine) {
  const TextWarp button = WarpOf(147);
  ASSERT_TRUE(button.along_rails());
  EXPECT_TRUE(Near(button.Map(1, 3, 0.5, 0.5, 0.1), Pt{kW / 2, kH / 2}, 2));
  EXPECT_LT(button.Map(0, 3, 0.5, 0.5, 0.1).y, kH / 4);
  EXPECT_GT(button.Map(2, 3, 0.5, 0.5, 0.1).y, 3 * kH / 4);
}

// A rail drawn right to left is read left to right all the same.
TEST(TextWarp, RailsDrawnBackwardsAreReadForwards) {
  geom::Outline o;
  for (double y : {0.0, kH}) {
    geom::SubPath p;
    p.closed = false;
    p.pts = {Pt{kW, y}, Pt{kW / 2, y}, Pt{0, y}};
    o.parts.push_back(p);
  }
  const TextWarp warp(o, kW, kH);
  EXPECT_TRUE(Near(warp.Map(0, 1, 0, 0, 0.2), Pt{0, 0}));
  EXPECT_TRUE(Near(warp.Map(0, 1, 0.75, 1, 0.2), Pt{0.75 * kW, kH}));
  // Points before the start and past the end carry on along the first and last pieces.
  EXPECT_TRUE(Near(warp.Map(0, 1, 1.1, 0, 0.2), Pt{1.1 * kW, 0}));
}

// A box of no size, or one a line wide, has rails of a single point: the letters go to it.
TEST(TextWarp, BoxesOfNoSizeTakeTheLettersToAPoint) {
  for (auto [w, h] : {std::pair{0.0, 0.0}, {50.0, 0.0}, {0.0, 50.0}})
    for (int type : {136, 144, 147, 160}) {
      ppt::Shape s;
      s.type = type;
      s.geometry = ppt::Shape::kRect;
      const TextWarp warp(geom::ShapeOutline(s, w, h), w, h);
      for (double u : {0.0, 0.5, 1.0}) {
        Pt p = warp.Map(1, 2, u, 0.5, 0.2);
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << type << " " << w << "x" << h;
        EXPECT_LE(std::fabs(p.x), w + 1) << type;
        EXPECT_LE(std::fabs(p.y), h + 1) << type;
      }
    }
}

}  // namespace
