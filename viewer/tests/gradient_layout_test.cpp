// Where a shaded fill's colours land on the shape, from the fill type, angle, focus and focus
// rectangle a file stores: decks built here, read and laid out into bands, then the colour at
// a few places of the box looked up as a screen would show it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "paint/blend.h"
#include "ppt/presentation.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/drawing_props.h"

namespace {

using namespace drawing;
using ppt::Rgb;

enum : uint32_t { kShade = 4, kShadeCenter = 5, kShadeShape = 6, kShadeScale = 7, kShadeTitle = 8 };
constexpr uint32_t kAbsent = 0x7FFFFFFF;  // in the table: the property is not stored
constexpr uint32_t kRedRef = 0x0000FF, kBlueRef = 0xFF0000;  // colour references are 0xBBGGRR
const Rgb kRed{255, 0, 0}, kBlue{0, 0, 255};

ppt::Fill ReadFill(const Props& extra) {
  Props props{{kFillBooleans, kFilled}, {kFillColor, kRedRef}, {kFillBackColor, kBlueRef}};
  for (const auto& p : extra)
    if (p.second != kAbsent) props.push_back(p);
  deck::DeckSpec spec;
  spec.slides.resize(1);
  spec.slides[0].containers = {deck::Shape(1, props, 1000, 1000, 2000, 2000)};
  deck::Bytes file = deck::Build(spec);
  ppt::Presentation p;
  EXPECT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
  if (p.slides.empty() || p.slides[0].shapes.empty()) return ppt::Fill();
  return p.slides[0].shapes[0].fill;
}

bool Inside(const std::vector<geom::Pt>& poly, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const geom::Pt &a = poly[i], &b = poly[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

constexpr double kSide = 100;
constexpr int kBands = 64;

// The colour a painter leaves at (x, y) of a kSide square box: the last band over the point.
Rgb ColourAt(const ppt::Fill& f, double x, double y) {
  std::vector<paint::ColorBand> bands;
  switch (f.blend) {
    case ppt::Fill::kLinear:
      bands = paint::LinearBands(f, 0, 0, kSide, kSide, kBands);
      break;
    case ppt::Fill::kRectangular:
      bands = paint::RectangularBands(f, 0, 0, kSide, kSide, kBands);
      break;
    case ppt::Fill::kShape:
      bands = paint::ShapeBands(f, {{0, 0}, {kSide, 0}, {kSide, kSide}, {0, kSide}}, kSide / 2,
                                kSide / 2, kBands);
      break;
  }
  Rgb c{0, 255, 0};  // not either colour of the blend: nothing painted here
  for (const paint::ColorBand& b : bands)
    if (Inside(b.pts, x, y)) c = b.color;
  return c;
}

// Which of the two colours a place shows: 'F' the fill colour, 'B' the back colour, '?' a mix.
char Which(Rgb c) {
  if (c.r >= 224 && c.b <= 32) return 'F';
  if (c.b >= 224 && c.r <= 32) return 'B';
  return '?';
}

struct Place {
  const char* name;
  double x, y;
};
// Just inside the box, so the sampled band is the one at the edge.
constexpr double kIn = 1.5;
const Place kPlaces[] = {
    {"top", kSide / 2, kIn},
    {"bottom", kSide / 2, kSide - kIn},
    {"left", kIn, kSide / 2},
    {"right", kSide - kIn, kSide / 2},
    {"centre", kSide / 2, kSide / 2},
    {"top-left", kIn, kIn},
    {"top-right", kSide - kIn, kIn},
    {"bottom-left", kIn, kSide - kIn},
    {"bottom-right", kSide - kIn, kSide - kIn},
};

struct Case {
  const char* what;
  uint32_t type, angle, focus;
  double to;  // the focus rectangle, all four sides, for fills from a corner or the centre
  // The colour expected at each of kPlaces, '-' where the case does not say.
  const char* expect;  // top bottom left right centre tl tr bl br
};

// The fill colour is the blend's first colour and the back colour its last. The focus says
// where along the blend the last colour sits (100 at its end, 0 at its start, 50 halfway with
// the blend mirrored beyond it; negative values trade the two colours' places). Linear blends
// start at the top at 0 degrees and turn counterclockwise with the angle; PowerPoint writes its
// vertical and diagonal blends with negative angles, which turn clockwise and trade the colours'
// places (seen only on mirrored blends: plain ones run the other way along one axis). Blends
// from a corner or the centre start at the focus rectangle in the fill colour, whatever the
// focus, and end at the shape's edge; blends are mirrored only with a focus near 50.
const Case kCases[] = {
    {"horizontal, fill colour on top", kShadeScale, kAbsent, 100, 0, "FB???FFBB"},
    {"horizontal, stored angle 0", kShade, Fixed(0), 100, 0, "FB--?FFBB"},
    {"horizontal, back colour on top", kShadeScale, kAbsent, kAbsent, 0, "BF--?BBFF"},
    {"horizontal, focus 0 stored", kShadeScale, kAbsent, 0, 0, "BF--?BBFF"},
    {"horizontal, focus -100", kShadeScale, kAbsent, uint32_t(-100), 0, "BF--?BBFF"},
    {"horizontal, mirrored", kShadeScale, kAbsent, 50, 0, "FF--B----"},
    {"horizontal, mirrored the other way", kShadeScale, kAbsent, uint32_t(-50), 0, "BB--F----"},
    {"vertical, angle 90", kShadeScale, Fixed(90), 100, 0, "--FB?FBFB"},
    {"vertical, angle -90", kShadeScale, Fixed(-90), 100, 0, "--FB?FBFB"},
    {"vertical, angle -90, focus 0", kShadeScale, Fixed(-90), 0, 0, "--BF?BFBF"},
    {"vertical, mirrored", kShadeScale, Fixed(90), 50, 0, "--FFB----"},
    {"upside down, angle 180", kShadeScale, Fixed(180), 100, 0, "BF--?BBFF"},
    {"vertical, mirrored, angle -90", kShadeScale, Fixed(-90), 50, 0, "--BBF----"},
    {"angle 270", kShadeScale, Fixed(270), 100, 0, "--BF?BFBF"},
    {"diagonal, angle 45", kShadeScale, Fixed(45), 100, 0, "----?F--B"},
    {"diagonal, angle -45", kShadeScale, Fixed(-45), 100, 0, "----?-BF-"},
    {"diagonal, angle 135", kShadeScale, Fixed(135), 100, 0, "----?-BF-"},
    {"diagonal, angle -135", kShadeScale, Fixed(-135), 100, 0, "----?F--B"},
    {"diagonal, mirrored, angle -45", kShadeScale, Fixed(-45), 50, 0, "----FFBBF"},
    {"from the top-left corner", kShadeCenter, kAbsent, kAbsent, 0, "-B-B-F--B"},
    {"from the top-left corner, focus 100", kShadeCenter, kAbsent, 100, 0, "-B-B-F--B"},
    {"from the bottom-right corner", kShadeCenter, kAbsent, 100, 1, "B-B-----F"},
    {"from the centre", kShadeCenter, kAbsent, 100, 0.5, "BBBBFBBBB"},
    {"from the centre, focus 0", kShadeCenter, kAbsent, 0, 0.5, "BBBBFBBBB"},
    {"from the centre, mirrored", kShadeCenter, kAbsent, 50, 0.5, "BBBBFBBBB"},
    {"from the shape", kShadeShape, kAbsent, kAbsent, 0, "FFFFBFFFF"},
    {"from the shape, focus 100", kShadeShape, kAbsent, 100, 0, "BBBBFBBBB"},
    {"from the shape, mirrored", kShadeShape, kAbsent, 50, 0, "FFFFBFFFF"},
    {"from the shape, mirrored the other way", kShadeShape, kAbsent, uint32_t(-50), 0, "BBBBFBBBB"},
    {"from the title, as a linear blend", kShadeTitle, kAbsent, 100, 0, "FB---FFBB"},
    {"horizontal, focus 30 runs plainly", kShadeScale, kAbsent, 30, 0, "FB---FFBB"},
    {"horizontal, focus 45 is mirrored", kShadeScale, kAbsent, 45, 0, "FF--B----"},
};

TEST(GradientLayout, ColoursLandWhereTheFileSays) {
  for (const Case& c : kCases) {
    Props props{{kFillType, c.type}, {kFillAngle, c.angle}, {kFillFocus, c.focus}};
    if (c.type == kShadeCenter && c.to > 0)
      for (uint16_t id : {kFillToLeft, kFillToTop, kFillToRight, kFillToBottom})
        props.push_back({id, Fixed(c.to)});
    ppt::Fill f = ReadFill(props);
    ASSERT_EQ(f.kind, ppt::Fill::kGradient) << c.what;
    std::string got;
    for (size_t i = 0; i < sizeof(kPlaces) / sizeof(kPlaces[0]); i++) {
      const Place& at = kPlaces[i];
      got += c.expect[i] == '-' ? '-' : Which(ColourAt(f, at.x, at.y));
    }
    EXPECT_EQ(got, c.expect) << c.what << " (places: top bottom left right centre, corners)";
  }
}

TEST(GradientLayout, FocusRectangleMayBeStoredEitherWayRound) {
  // Right before left and bottom above top: the same rectangle, not an empty one.
  ppt::Fill f = ReadFill({{kFillType, kShadeCenter},
                          {kFillFocus, 100},
                          {kFillToLeft, Fixed(0.75)},
                          {kFillToRight, Fixed(0.25)},
                          {kFillToTop, Fixed(0.75)},
                          {kFillToBottom, Fixed(0.25)}});
  ASSERT_EQ(f.blend, ppt::Fill::kRectangular);
  EXPECT_EQ(Which(ColourAt(f, 50, 50)), 'F');
  EXPECT_EQ(Which(ColourAt(f, kIn, kIn)), 'B');
  // Outside the box: clamped to it.
  f = ReadFill({{kFillType, kShadeCenter},
                {kFillFocus, 100},
                {kFillToLeft, Fixed(-3)},
                {kFillToTop, Fixed(-3)},
                {kFillToRight, Fixed(-3)},
                {kFillToBottom, Fixed(-3)}});
  for (double v : f.focus) EXPECT_DOUBLE_EQ(v, 0);
}

}  // namespace

TEST(GradientLayout, AShapeUpsideDownTurnsItsBlendHalfRound) {
  // Upside down is flipped across and turned half round: the blend turns, its colours and a
  // corner's focus trading both ways round; a flip across alone leaves the blend as stored.
  struct Flip {
    const char* what;
    uint32_t type, angle;
    bool upside_down;
    const char* expect;  // top bottom left right centre tl tr bl br
  } flips[] = {
      {"horizontal blend, upside down", kShadeScale, kAbsent, true, "BF--?BBFF"},
      {"vertical blend, upside down", kShadeScale, Fixed(90), true, "--BF?BFBF"},
      {"diagonal blend, upside down", kShadeScale, Fixed(45), true, "----?B--F"},
      {"from the top-left corner, upside down", kShadeCenter, kAbsent, true, "B-B-----F"},
      {"vertical blend, as stored", kShadeScale, Fixed(90), false, "--FB?FBFB"},
  };
  for (const Flip& c : flips) {
    ppt::Fill f = ReadFill({{kFillType, c.type}, {kFillAngle, c.angle}, {kFillFocus, 100}});
    if (c.upside_down) f = paint::UpsideDown(f);
    std::string got;
    for (size_t i = 0; i < sizeof(kPlaces) / sizeof(kPlaces[0]); i++) {
      const Place& at = kPlaces[i];
      got += c.expect[i] == '-' ? '-' : Which(ColourAt(f, at.x, at.y));
    }
    EXPECT_EQ(got, c.expect) << c.what << " (places: top bottom left right centre, corners)";
  }
  // Solid fills and pictures are left as they are.
  ppt::Fill solid;
  solid.kind = ppt::Fill::kSolid;
  solid.angle = 30;
  EXPECT_EQ(paint::UpsideDown(solid).angle, 30);
}
