// How shapes' colours, fills, lines, shadows, picture adjustments and group placement are read
// from their drawing properties: decks built here, and real files where the corpus has them.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "ppt/presentation.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/drawing_props.h"
#include "viewer/tests/corpus.h"

namespace {

using namespace drawing;
using ppt::Rgb;

constexpr uint32_t kFlipH = 0x40, kFlipV = 0x80;

// The shapes of a one-slide deck holding `shapes`.
std::vector<ppt::Shape> Parse(const std::vector<deck::Bytes>& shapes,
                              std::vector<deck::Bytes> pictures = {},
                              ppt::Presentation* keep = nullptr) {
  deck::DeckSpec spec;
  spec.slides.resize(1);
  spec.slides[0].containers = shapes;
  spec.pictures = std::move(pictures);
  ppt::Presentation p;
  deck::Bytes file = deck::Build(spec);
  EXPECT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
  std::vector<ppt::Shape> out;
  if (!p.slides.empty()) out = p.slides[0].shapes;
  if (keep) *keep = p;
  return out;
}

ppt::Shape One(const Props& props, uint16_t type = 1, uint32_t flags = 0) {
  std::vector<ppt::Shape> s = Parse({deck::Shape(type, props, 1000, 1000, 2000, 1500, flags)});
  return s.empty() ? ppt::Shape() : s[0];
}

// A picture record for the picture store: 16 bytes of id, a tag byte, then the bytes.
deck::Bytes PngBlip() {
  deck::Bytes body(17, 0);
  const deck::Bytes png = {0x89, 'P', 'N', 'G', 1, 2, 3};
  body.insert(body.end(), png.begin(), png.end());
  return deck::Rec(0xF01E, body, 0x6E0);
}

// --- colours -----------------------------------------------------------------------------------

TEST(FillColors, SchemeSystemAndDerivedColours) {
  // The deck's scheme: 0 white, 1 black, 2 grey, 4 0xBBE0E3, 5 0x333399.
  EXPECT_EQ(One({{kFillBooleans, kFilled}, {kFillColor, 0x08000005}}).fill.color,
            (Rgb{0x33, 0x33, 0x99}));
  EXPECT_EQ(One({{kFillBooleans, kFilled}, {kFillColor, 0x102030}}).fill.color,
            (Rgb{0x30, 0x20, 0x10}));
  // System colours by index: window text is black, the info background pale yellow.
  EXPECT_EQ(One({{kFillBooleans, kFilled}, {kFillColor, 0x10000001}}).fill.color, (Rgb{0, 0, 0}));
  EXPECT_EQ(One({{kFillBooleans, kFilled}, {kFillColor, 0x1000000D}}).fill.color,
            (Rgb{0xFF, 0xFF, 0xE1}));

  // A shade's far colour as the fill colour darkened, lightened, greyed or inverted.
  auto back = [](uint32_t ref) {
    return One({{kFillBooleans, kFilled},
                {kFillType, 4},
                {kFillFocus, 100},
                {kFillColor, 0x00C08040},
                {kFillBackColor, ref}})
        .fill.stops.back()
        .color;
  };
  EXPECT_EQ(back(0x108001F0), (Rgb{0x20, 0x40, 0x60}));  // darker by half
  EXPECT_EQ(back(0x108002F0), (Rgb{0xA0, 0xC0, 0xE0}));  // lighter by half
  EXPECT_EQ(back(0x103003F0), (Rgb{0x70, 0xB0, 0xF0}));  // plus grey 0x30
  EXPECT_EQ(back(0x10D004F0), (Rgb{0x00, 0x00, 0x00}));  // minus grey 0xD0, clamped
  EXPECT_EQ(back(0x10FF20F0), (Rgb{0xBF, 0x7F, 0x3F}));  // inverted
  EXPECT_EQ(back(0x108006F0), (Rgb{0x00, 0xFF, 0xFF}));  // threshold at 0x80
  // Indirection through a scheme colour, and the line colour taken from the fill.
  EXPECT_EQ(One({{kFillBooleans, kFilled},
                 {kFillType, 4},
                 {kFillFocus, 100},
                 {kFillColor, 0x08000005},
                 {kFillBackColor, 0x108001F0}})
                .fill.stops.back()
                .color,
            (Rgb{0x19, 0x19, 0x4C}));
  ppt::Shape s =
      One({{kFillBooleans, kFilled}, {kFillColor, 0x000000FF}, {kLineColor, 0x10FF00F0}});
  EXPECT_EQ(s.line_color, (Rgb{0xFF, 0, 0}));
  // A reference naming itself does not loop.
  EXPECT_EQ(One({{kFillBooleans, kFilled}, {kFillColor, 0x100000F0}}).fill.kind, ppt::Fill::kSolid);
}

// --- fills -------------------------------------------------------------------------------------

TEST(FillGradients, DirectionFocusAndColours) {
  Props base{
      {kFillBooleans, kFilled}, {kFillType, 7}, {kFillColor, 0x0000FF}, {kFillBackColor, 0xFF0000}};
  auto with = [&](Props extra) {
    Props p = base;
    p.insert(p.end(), extra.begin(), extra.end());
    return One(p).fill;
  };
  const Rgb red{255, 0, 0}, blue{0, 0, 255};
  // Focus 100: from the fill colour to the back colour; angle 0 runs from the top down.
  ppt::Fill f = with({{kFillFocus, 100}});
  ASSERT_EQ(f.kind, ppt::Fill::kGradient);
  EXPECT_EQ(f.blend, ppt::Fill::kLinear);
  EXPECT_DOUBLE_EQ(f.angle, 90);
  ASSERT_EQ(f.stops.size(), 2u);
  EXPECT_EQ(f.stops[0].color, red);
  EXPECT_EQ(f.stops[1].color, blue);
  // Focus 0 swaps the ends; 50 mirrors the blend about its middle; negative swaps the colours.
  f = with({});
  EXPECT_EQ(f.stops.front().color, blue);
  EXPECT_EQ(f.stops.back().color, red);
  f = with({{kFillFocus, 50}});
  ASSERT_EQ(f.stops.size(), 3u);
  EXPECT_EQ(f.stops[0].color, red);
  EXPECT_DOUBLE_EQ(f.stops[1].pos, 0.5);
  EXPECT_EQ(f.stops[1].color, blue);
  EXPECT_EQ(f.stops[2].color, red);
  f = with({{kFillFocus, uint32_t(-50)}});
  EXPECT_EQ(f.stops[0].color, blue);
  EXPECT_EQ(f.stops[1].color, red);
  // Angles turn the blend counterclockwise; negative ones, as PowerPoint writes vertical and
  // diagonal blends, turn it clockwise and trade the colours' places.
  EXPECT_DOUBLE_EQ(with({{kFillAngle, Fixed(90)}}).angle, 0);
  EXPECT_DOUBLE_EQ(with({{kFillAngle, Fixed(45)}}).angle, 45);
  f = with({{kFillAngle, Fixed(-90)}, {kFillFocus, 100}});
  EXPECT_DOUBLE_EQ(f.angle, 180);
  EXPECT_EQ(f.stops.front().color, blue);
  EXPECT_DOUBLE_EQ(with({{kFillAngle, Fixed(-45)}}).angle, 135);
}

TEST(FillGradients, FromCornerCentreAndShape) {
  Props corner{{kFillBooleans, kFilled},   {kFillType, 5},          {kFillColor, 0x0000FF},
               {kFillBackColor, 0xFF0000}, {kFillFocus, 100},       {kFillToLeft, 0x10000},
               {kFillToTop, 0x10000},      {kFillToRight, 0x10000}, {kFillToBottom, 0x10000}};
  ppt::Fill f = One(corner).fill;
  EXPECT_EQ(f.blend, ppt::Fill::kRectangular);
  for (double v : f.focus) EXPECT_DOUBLE_EQ(v, 1);
  EXPECT_EQ(f.stops.front().color, (Rgb{0, 0, 255}));  // at the far edges
  Props centre = corner;
  for (auto& p : centre)
    if (p.first >= kFillToLeft && p.first <= kFillToBottom) p.second = 0x8000;
  f = One(centre).fill;
  for (double v : f.focus) EXPECT_DOUBLE_EQ(v, 0.5);
  f = One({{kFillBooleans, kFilled}, {kFillType, 6}}).fill;
  EXPECT_EQ(f.blend, ppt::Fill::kShape);
}

TEST(FillGradients, ShadeColoursMakeMultiColourBlends) {
  deck::Bytes colors;
  deck::Put16(colors, 3);
  deck::Put16(colors, 3);
  deck::Put16(colors, 8);
  for (auto c : {std::make_pair(0x0000FFu, 0.0), std::make_pair(0x00FF00u, 0.3),
                 std::make_pair(0xFF0000u, 1.0)}) {
    deck::Put32(colors, c.first);
    deck::Put32(colors, Fixed(c.second));
  }
  std::vector<ppt::Shape> s =
      Parse({deck::Shape(1,
                         {{kFillBooleans, kFilled},
                          {kFillType, 7},
                          {kFillColor, 0x0000FF},
                          {kFillBackColor, 0xFF0000},
                          {kFillFocus, 100}},
                         0, 0, 100, 100, 0, false, {{kFillShadeColors, colors}})});
  ASSERT_EQ(s.size(), 1u);
  const ppt::Fill& f = s[0].fill;
  ASSERT_EQ(f.stops.size(), 3u);
  EXPECT_EQ(f.stops[1].color, (Rgb{0, 255, 0}));
  EXPECT_NEAR(f.stops[1].pos, 0.3, 1e-4);
  // A truncated list falls back to the two colours.
  colors.resize(10);
  s = Parse({deck::Shape(1, {{kFillBooleans, kFilled}, {kFillType, 7}, {kFillFocus, 100}}, 0, 0,
                         100, 100, 0, false, {{kFillShadeColors, colors}})});
  EXPECT_EQ(s[0].fill.stops.size(), 2u);
}

TEST(FillOpacity, FillAndLineOpacityAreKept) {
  ppt::Shape s = One({{kFillBooleans, kFilled},
                      {kFillColor, 0xFF},
                      {kFillOpacity, 0x8000},
                      {kLineBooleans, kLined},
                      {kLineOpacity, 0x4000}});
  EXPECT_EQ(s.fill.kind, ppt::Fill::kSolid);
  EXPECT_EQ(s.fill.alpha, 128);
  EXPECT_EQ(s.line_style.alpha, 64);
  ppt::Fill g = One({{kFillBooleans, kFilled},
                     {kFillType, 4},
                     {kFillFocus, 100},
                     {kFillOpacity, 0x10000},
                     {kFillBackOpacity, 0}})
                    .fill;
  EXPECT_EQ(g.stops.front().alpha, 255);
  EXPECT_EQ(g.stops.back().alpha, 0);
  // Fully transparent: nothing to paint; out-of-range opacities are opaque.
  EXPECT_EQ(One({{kFillBooleans, kFilled}, {kFillOpacity, 0}}).fill.kind, ppt::Fill::kNone);
  EXPECT_EQ(One({{kFillBooleans, kFilled}, {kFillOpacity, 0x7FFFFFFF}}).fill.alpha, 255);
}

TEST(FillPictures, PatternTextureAndPictureFills) {
  auto fill = [](uint32_t type, uint32_t pib) {
    std::vector<ppt::Shape> s = Parse({deck::Shape(1,
                                                   {{kFillBooleans, kFilled},
                                                    {kFillType, type},
                                                    {kFillColor, 0xFF},
                                                    {kFillBackColor, 0xFF00},
                                                    {kFillBlip, pib}},
                                                   0, 0, 100, 100)},
                                      {PngBlip()});
    return s.empty() ? ppt::Fill() : s[0].fill;
  };
  ppt::Fill f = fill(1, 1);
  EXPECT_EQ(f.kind, ppt::Fill::kPattern);
  EXPECT_EQ(f.blip, 0);
  EXPECT_EQ(f.color, (Rgb{255, 0, 0}));
  EXPECT_EQ(f.color2, (Rgb{0, 255, 0}));
  EXPECT_EQ(fill(2, 1).kind, ppt::Fill::kTexture);
  EXPECT_EQ(fill(3, 1).kind, ppt::Fill::kPicture);
  EXPECT_EQ(fill(9, 0).kind, ppt::Fill::kBackground);
  // A picture the store does not have: the fill colour instead.
  EXPECT_EQ(fill(3, 7).kind, ppt::Fill::kSolid);
}

TEST(FillBackground, BackgroundGradientsKeepTheirDirection) {
  deck::DeckSpec spec;
  spec.slides.resize(1);
  spec.slides[0].background_props = {{kFillType, 4},        {kFillColor, 0x800000},
                                     {kFillBackColor, 0x0}, {kFillAngle, Fixed(-90)},
                                     {kFillFocus, 100},     {kFillBooleans, kFilled}};
  ppt::Presentation p;
  deck::Bytes b = deck::Build(spec);
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
  const ppt::Fill& bg = p.slides[0].background;
  EXPECT_EQ(bg.kind, ppt::Fill::kGradient);
  EXPECT_DOUBLE_EQ(bg.angle, 180);
  EXPECT_EQ(bg.stops.front().color, (Rgb{0, 0, 0}));
  EXPECT_EQ(bg.stops.back().color, (Rgb{0, 0, 0x80}));
}

// --- lines -------------------------------------------------------------------------------------

TEST(LineStyles, DashesCompoundJoinsCapsAndArrowheads) {
  ppt::Shape s = One({{kLineBooleans, kLined},
                      {kLineDashing, 7},
                      {kLineStyle, 4},
                      {kLineJoinStyle, 1},
                      {kLineEndCapStyle, 1},
                      {kLineStartArrowhead, 3},
                      {kLineEndArrowhead, 2},
                      {kLineEndArrowWidth, 2},
                      {kLineEndArrowLength, 0},
                      {kLineWidth, 25400}},
                     20);
  EXPECT_TRUE(s.line);
  EXPECT_EQ(s.line_width, 25400);
  EXPECT_EQ(s.line_style.dash, ppt::LineStyle::kLongDash);
  EXPECT_EQ(s.line_style.compound, ppt::LineStyle::kTriple);
  EXPECT_EQ(s.line_style.join, ppt::LineStyle::kMiter);
  EXPECT_EQ(s.line_style.cap, ppt::LineStyle::kSquareCap);
  EXPECT_EQ(s.line_style.start.style, ppt::LineEnd::kDiamond);
  EXPECT_EQ(s.line_style.end.style, ppt::LineEnd::kStealth);
  EXPECT_EQ(s.line_style.end.width, 2);
  EXPECT_EQ(s.line_style.end.length, 0);
  // Defaults: solid, round joins, flat caps, no arrowheads; unknown values stay drawable.
  ppt::Shape d = One({{kLineBooleans, kLined}, {kLineDashing, 99}, {kLineEndArrowhead, 9}}, 20);
  EXPECT_EQ(d.line_style.dash, ppt::LineStyle::kSolid);
  EXPECT_EQ(d.line_style.join, ppt::LineStyle::kRound);
  EXPECT_EQ(d.line_style.cap, ppt::LineStyle::kFlatCap);
  EXPECT_EQ(d.line_style.start.style, ppt::LineEnd::kNone);
  EXPECT_EQ(d.line_style.end.style, ppt::LineEnd::kTriangle);
}

TEST(LineStyles, OutlineOnlyWhereTheShapeHasOne) {
  EXPECT_TRUE(One({}).line);        // autoshapes are outlined by default
  EXPECT_FALSE(One({}, 75).line);   // picture frames are not
  EXPECT_FALSE(One({}, 202).line);  // nor text boxes
  EXPECT_TRUE(One({{kLineBooleans, kLined}}, 75).line);
  EXPECT_FALSE(One({{kLineBooleans, kNoLine}}).line);
  EXPECT_FALSE(One({{kLineBooleans, kLined}, {kLineOpacity, 0}}).line);
  EXPECT_TRUE(One({}, 20).line);  // a line is its outline
  EXPECT_EQ(One({{kFillBooleans, kNoFill}}).fill.kind, ppt::Fill::kNone);
}

// --- shadows and pictures ----------------------------------------------------------------------

TEST(ShapeShadows, ColourOpacityAndOffset) {
  ppt::Shape s = One({{kShadowBooleans, kShadowOn},
                      {kShadowColor, 0x08000001},
                      {kShadowOpacity, 0x8000},
                      {kShadowOffsetX, 38100},
                      {kShadowOffsetY, uint32_t(-25400)}});
  EXPECT_TRUE(s.shadow.visible);
  EXPECT_EQ(s.shadow.color, (Rgb{0, 0, 0}));
  EXPECT_EQ(s.shadow.alpha, 128);
  EXPECT_EQ(s.shadow.dx, 24);
  EXPECT_EQ(s.shadow.dy, -16);
  ppt::Shape d = One({{kShadowBooleans, kShadowOn}});
  EXPECT_EQ(d.shadow.dx, 16);
  EXPECT_EQ(d.shadow.color, (Rgb{128, 128, 128}));
  EXPECT_FALSE(One({}).shadow.visible);
  EXPECT_FALSE(One({{kShadowBooleans, 0x00020000}}).shadow.visible);
}

TEST(PictureAdjustments, GreyBrightnessContrastAndTransparentColour) {
  std::vector<ppt::Shape> s =
      Parse({deck::Shape(75,
                         {{kPib, 1},
                          {kBlipBooleans, 0x00040004},
                          {kPictureBrightness, 0x4000},
                          {kPictureContrast, 0x20000},
                          {kPictureTransparent, 0x00FFFFFF}},
                         0, 0, 100, 100),
             deck::Shape(75, {{kPib, 1}, {kBlipBooleans, 0x00020002}}, 0, 0, 100, 100)},
            {PngBlip()});
  ASSERT_GE(s.size(), 2u);
  const ppt::PictureAdjust& a = s[0].picture_adjust;
  EXPECT_EQ(s[0].picture, 0);
  EXPECT_TRUE(a.gray);
  EXPECT_FALSE(a.black_white);
  EXPECT_DOUBLE_EQ(a.brightness, 0.5);
  EXPECT_DOUBLE_EQ(a.contrast, 2);
  EXPECT_TRUE(a.transparent);
  EXPECT_EQ(a.transparent_color, (Rgb{255, 255, 255}));
  EXPECT_TRUE(s[1].picture_adjust.black_white);
  EXPECT_TRUE(s[1].picture_adjust.identity() == false);
}

// --- groups ------------------------------------------------------------------------------------

deck::Bytes Space(int32_t l, int32_t t, int32_t r, int32_t b) {
  return deck::Words({uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b)});
}

TEST(GroupPlacement, ScaledFlippedAndTurnedGroups) {
  // A child in the left half of its group's space, the group twice as large on the slide.
  auto child = deck::Shape(1, {}, 0, 0, 50, 100, 0, true);
  auto turned_child = deck::Shape(1, {{kRotation, Fixed(30)}}, 0, 0, 50, 100, 0, true);
  std::vector<ppt::Shape> s =
      Parse({deck::Group({child}, 1000, 1000, 1200, 1200, Space(0, 0, 100, 100))});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].anchor.left, 1000);
  EXPECT_EQ(s[0].anchor.right, 1100);
  EXPECT_EQ(s[0].anchor.bottom, 1200);
  // Mirrored group: the child moves to the right half and is mirrored itself.
  s = Parse(
      {deck::Group({turned_child}, 1000, 1000, 1200, 1200, Space(0, 0, 100, 100), {}, kFlipH)});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].anchor.left, 1100);
  EXPECT_EQ(s[0].anchor.right, 1200);
  EXPECT_TRUE(s[0].flip_h);
  EXPECT_EQ(s[0].rotation, 330);
  // Group turned by 180: the child ends up in the other half, upside down.
  s = Parse({deck::Group({child}, 1000, 1000, 1200, 1200, Space(0, 0, 100, 100),
                         {{kRotation, Fixed(180)}})});
  EXPECT_EQ(s[0].anchor.left, 1100);
  EXPECT_EQ(s[0].rotation, 180);
  EXPECT_FALSE(s[0].flip_h);
  // Turned clockwise by a quarter, the left half goes to the top; the child is stored with its
  // anchor in the turned position, like any shape turned so.
  s = Parse({deck::Group({child}, 1000, 1000, 1200, 1200, Space(0, 0, 100, 100),
                         {{kRotation, Fixed(90)}})});
  EXPECT_EQ(s[0].rotation, 90);
  EXPECT_EQ(s[0].anchor.left, 1000);
  EXPECT_EQ(s[0].anchor.right, 1200);
  EXPECT_EQ(s[0].anchor.top, 1000);
  EXPECT_EQ(s[0].anchor.bottom, 1100);
}

// The file turns a shape first and mirrors it after: a mirrored copy of a turned shape keeps
// the angle. On screen a single mirror turns the other way; two mirrors are a half turn, which
// leaves the sense alone.
TEST(GroupPlacement, MirroredShapesTurnTheOtherWay) {
  struct Case {
    uint32_t flags;
    int32_t stored;
    int model;  // degrees, 0..359
  } cases[] = {{0, 30, 30},
               {kFlipH, 30, 330},
               {kFlipV, 30, 330},
               {kFlipH | kFlipV, 30, 30},
               {kFlipH, 200, 160}};
  for (const Case& c : cases) {
    std::vector<ppt::Shape> s =
        Parse({deck::Shape(1, {{kRotation, Fixed(c.stored)}}, 1000, 1000, 2000, 1500, c.flags)});
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ((s[0].rotation % 360 + 360) % 360, c.model) << c.flags << " " << c.stored;
    EXPECT_EQ(s[0].flip_h, (c.flags & kFlipH) != 0);
  }
  // At exactly 45 degrees the stored box is the turned one; mirrored, the shape is turned by
  // 315, which is not a quarter turn: its box comes back unturned.
  std::vector<ppt::Shape> s =
      Parse({deck::Shape(1, {{kRotation, Fixed(45)}}, 1000, 1000, 1200, 1600, kFlipH)});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].anchor.width(), 600);
  EXPECT_EQ(s[0].anchor.height(), 200);
  EXPECT_EQ(s[0].anchor.left + s[0].anchor.right, 2200);  // about the same centre
  // Inside a turned group, a mirrored child turns against the group's own turn.
  s = Parse({deck::Group({deck::Shape(1, {{kRotation, Fixed(30)}}, 0, 0, 50, 100, kFlipH, true)},
                         1000, 1000, 1200, 1200, Space(0, 0, 100, 100), {{kRotation, Fixed(10)}})});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_TRUE(s[0].flip_h);
  EXPECT_EQ((s[0].rotation % 360 + 360) % 360, 340);
}

TEST(GroupPlacement, NestedGroupsComposeTheirTransforms) {
  // Inner group: flipped vertically, holding a child in its top half; outer group: flipped
  // horizontally, holding the inner group in its left half.
  auto leaf = deck::Shape(1, {}, 0, 0, 100, 50, 0, true);
  auto inner = deck::Group({leaf}, 0, 0, 50, 100, Space(0, 0, 100, 100), {}, kFlipV, true);
  std::vector<ppt::Shape> s =
      Parse({deck::Group({inner}, 0, 0, 1000, 1000, Space(0, 0, 100, 100), {}, kFlipH)});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].anchor.left, 500);
  EXPECT_EQ(s[0].anchor.top, 500);
  EXPECT_EQ(s[0].anchor.right, 1000);
  EXPECT_EQ(s[0].anchor.bottom, 1000);
  // Mirrored both ways is turned half way round.
  EXPECT_EQ(s[0].rotation, 180);
  EXPECT_FALSE(s[0].flip_h);
  EXPECT_FALSE(s[0].flip_v);
}

TEST(GroupPlacement, ExtremeCoordinatesStayInRange) {
  auto child = deck::Shape(1, {}, INT32_MIN, 0, INT32_MAX, 100, 0, true);
  std::vector<ppt::Shape> s = Parse(
      {deck::Group({child}, 0, 0, 1000, 1000, Space(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX),
                   {{kRotation, Fixed(30)}})});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_LE(s[0].anchor.left, s[0].anchor.right);
  s = Parse({deck::Group({child}, INT32_MIN, 0, INT32_MAX, 1000, Space(0, 0, 1, 1))});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_LE(s[0].anchor.left, s[0].anchor.right);
}

// --- real files --------------------------------------------------------------------------------

TEST(FillCorpus, BackgroundsPatternsTexturesAndGradients) {
  ppt::Presentation p;
  if (!corpus::Load("backgrounds.ppt", &p)) GTEST_SKIP() << "no corpus";
  ASSERT_EQ(p.slides.size(), 4u);
  EXPECT_EQ(p.slides[0].background.kind, ppt::Fill::kPicture);
  const ppt::Fill& pattern = p.slides[1].background;
  EXPECT_EQ(pattern.kind, ppt::Fill::kPattern);
  EXPECT_EQ(pattern.color, (Rgb{255, 0, 0}));
  EXPECT_EQ(pattern.color2, (Rgb{0, 255, 0}));
  EXPECT_EQ(p.slides[2].background.kind, ppt::Fill::kTexture);
  const ppt::Fill& shade = p.slides[3].background;
  EXPECT_EQ(shade.kind, ppt::Fill::kGradient);
  EXPECT_EQ(shade.blend, ppt::Fill::kRectangular);
  EXPECT_EQ(shade.stops.back().color, (Rgb{0x40, 0x40, 0x40}));  // the fill colour at the corner
  EXPECT_EQ(shade.stops.front().color, (Rgb{0xFF, 0xFF, 0xFF}));
  ASSERT_EQ(p.slides[3].shapes.size(), 1u);
  EXPECT_EQ(p.slides[3].shapes[0].fill.kind, ppt::Fill::kGradient);
  EXPECT_EQ(p.slides[2].shapes[0].fill.kind, ppt::Fill::kPicture);
}

TEST(FillCorpus, TranslucentShadowedShapes) {
  ppt::Presentation p;
  if (!corpus::Load("57272_corrupted_usereditatom.ppt", &p)) GTEST_SKIP() << "no corpus";
  int translucent = 0, shadowed = 0;
  for (const ppt::Slide& sl : p.slides)
    for (const ppt::Shape& s : sl.shapes) {
      if (s.fill.kind == ppt::Fill::kSolid && s.fill.alpha == 128) translucent++;
      if (s.shadow.visible) shadowed++;
    }
  EXPECT_GE(translucent, 1);
  EXPECT_GE(shadowed, 1);
}

// --- WordArt -------------------------------------------------------------------------------------

deck::Bytes Utf16(const std::u16string& s) {
  deck::Bytes b;
  for (char16_t c : s) deck::Put16(b, c);
  deck::Put16(b, 0);
  return b;
}

TEST(WordArt, TextFaceAndStyleComeFromTheGeometryTextProperties) {
  using ppt::prop::kGeoTextBooleans;
  constexpr uint32_t kUseBoldAndItalic = 0x00300000, kBold = 0x20;
  std::vector<ppt::Shape> s = Parse(
      {deck::Shape(136, {{kGeoTextBooleans, kUseBoldAndItalic | kBold}}, 0, 0, 2000, 1000, 0, false,
                   {{ppt::prop::kGeoTextUnicode, Utf16(u"Big\r\nNews\r\n")},
                    {ppt::prop::kGeoTextFont, Utf16(u"Impact")}}),
       deck::Shape(150, {{ppt::prop::kGeoTextAlign, 3}}, 0, 1000, 2000, 2000, 0, false,
                   {{ppt::prop::kGeoTextUnicode, Utf16(u"Arch")}}),
       // Only WordArt presets carry their text as the shape.
       deck::Shape(1, {}, 0, 2000, 2000, 3000, 0, false,
                   {{ppt::prop::kGeoTextUnicode, Utf16(u"not drawn")}})});
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].word_art.text, u"Big\nNews");  // line breaks kept, the last one dropped
  EXPECT_EQ(s[0].word_art.face, "Impact");
  EXPECT_TRUE(s[0].word_art.bold);
  EXPECT_FALSE(s[0].word_art.italic);  // its use bit set, its value clear
  EXPECT_EQ(s[1].word_art.text, u"Arch");
  EXPECT_EQ(s[1].word_art.face, "Arial");
  EXPECT_FALSE(s[1].word_art.bold);
  EXPECT_EQ(s[0].word_art.align, ppt::Shape::WordArt::kCenter);  // unstated: centred
  EXPECT_EQ(s[1].word_art.align, ppt::Shape::WordArt::kRight);
  EXPECT_TRUE(s[2].word_art.text.empty());
}

// Justified WordArt fills each line as stretched WordArt does; what the format does not name is
// centred, as unstated alignment is.
TEST(WordArt, AlignmentsAsStored) {
  using A = ppt::Shape::WordArt;
  const std::pair<uint32_t, A::Align> cases[] = {
      {0, A::kStretch}, {1, A::kCenter},  {2, A::kLeft},   {3, A::kRight},
      {4, A::kStretch}, {5, A::kStretch}, {6, A::kCenter}, {0xFFFF, A::kCenter}};
  for (const auto& c : cases) {
    std::vector<ppt::Shape> s =
        Parse({deck::Shape(136, {{ppt::prop::kGeoTextAlign, c.first}}, 0, 0, 2000, 1000, 0, false,
                           {{ppt::prop::kGeoTextUnicode, Utf16(u"A")}})});
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].word_art.align, c.second) << c.first;
  }
}

}  // namespace
