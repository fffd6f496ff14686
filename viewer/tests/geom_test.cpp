#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "geom/outline.h"
#include "geom/path_eval.h"
#include "geom/preset.h"
#include "ppt/records.h"
#include "viewer/tests/deck_builder.h"

namespace {

using geom::Outline;
using geom::Pt;

ppt::Shape ShapeOf(int type) {
  ppt::Shape s;
  s.type = type;
  s.geometry = type == 0                                  ? ppt::Shape::kFreeform
               : type == 20 || (type >= 32 && type <= 40) ? ppt::Shape::kLine
                                                          : ppt::Shape::kRect;
  s.fill.kind = ppt::Fill::kSolid;
  return s;
}

void SetAdjust(ppt::Shape* s, int i, int32_t v) {
  s->adjust[i] = v;
  s->adjust_set |= uint16_t(1u << i);
}

bool Finite(const Outline& o) {
  for (const geom::SubPath& p : o.parts)
    for (const Pt& pt : p.pts)
      if (!std::isfinite(pt.x) || !std::isfinite(pt.y)) return false;
  const geom::Box& b = o.text_box;
  return std::isfinite(b.left) && std::isfinite(b.top) && std::isfinite(b.right) &&
         std::isfinite(b.bottom);
}

bool HasPoint(const Outline& o, double x, double y, double tol = 0.6) {
  for (const geom::SubPath& p : o.parts)
    for (const Pt& pt : p.pts)
      if (std::fabs(pt.x - x) <= tol && std::fabs(pt.y - y) <= tol) return true;
  return false;
}

double MaxY(const Outline& o) {
  double m = -1e300;
  for (const geom::SubPath& p : o.parts)
    for (const Pt& pt : p.pts) m = std::max(m, pt.y);
  return m;
}

// Every entry of the table, with every kind of adjust value and box the files bring.
TEST(PresetTable, EveryShapeEvaluatesToFinitePointsForAnyAdjustAndSize) {
  size_t n = 0;
  const geom::PresetShape* presets = geom::Presets(&n);
  ASSERT_GT(n, 180u);
  const int32_t adjusts[] = {0, 1, -1, 10800, 21600, -21600, 1 << 24, INT32_MAX, INT32_MIN};
  const double sizes[][2] = {{0, 0}, {1, 1}, {400, 100}, {100, 400}, {0, 300}, {3e6, 2e6}};
  for (size_t i = 0; i < n; i++) {
    SCOPED_TRACE(presets[i].type);
    ppt::Shape base = ShapeOf(presets[i].type);
    for (const auto& size : sizes) {
      Outline o = geom::ShapeOutline(base, size[0], size[1]);
      EXPECT_TRUE(Finite(o));
      if (size[0] > 1 && size[1] > 1) {
        EXPECT_FALSE(o.parts.empty());
      }
      for (int32_t a : adjusts) {
        ppt::Shape s = base;
        for (int k = 0; k < 10; k++) SetAdjust(&s, k, a);
        EXPECT_TRUE(Finite(geom::ShapeOutline(s, size[0], size[1])));
      }
    }
  }
}

TEST(PresetTable, DefaultShapesStayNearTheirBox) {
  size_t n = 0;
  const geom::PresetShape* presets = geom::Presets(&n);
  for (size_t i = 0; i < n; i++) {
    SCOPED_TRACE(presets[i].type);
    Outline o = geom::ShapeOutline(ShapeOf(presets[i].type), 1000, 500);
    for (const geom::SubPath& p : o.parts)
      for (const Pt& pt : p.pts) {
        // Callouts point outside their box; nothing should land far away.
        EXPECT_GE(pt.x, -2000);
        EXPECT_LE(pt.x, 3000);
        EXPECT_GE(pt.y, -1000);
        EXPECT_LE(pt.y, 1500);
      }
    EXPECT_LE(o.text_box.left, o.text_box.right);
    EXPECT_LE(o.text_box.top, o.text_box.bottom);
  }
}

TEST(PresetTable, RandomAdjustValuesFlipsAndSizesNeverFail) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> near(-30000, 50000);
  std::uniform_int_distribution<int> type(0, 210);
  for (int round = 0; round < 4000; round++) {
    ppt::Shape s = ShapeOf(type(rng));
    if (s.type == 0) continue;
    for (int k = 0; k < 10; k++)
      if (rng() & 1) SetAdjust(&s, k, (rng() & 3) ? near(rng) : any(rng));
    s.flip_h = rng() & 1;
    s.flip_v = rng() & 1;
    double w = (rng() % 5000) / 3.0, h = (rng() % 5000) / 7.0;
    EXPECT_TRUE(Finite(geom::ShapeOutline(s, w, h))) << s.type;
  }
}

// Known points of a few shapes, at their defaults and at adjust values a file stores.
TEST(PresetGeometry, RightArrowHeadFollowsItsAdjustValues) {
  ppt::Shape s = ShapeOf(13);
  Outline o = geom::ShapeOutline(s, 216, 108);
  EXPECT_TRUE(HasPoint(o, 216, 54));  // the tip
  EXPECT_TRUE(HasPoint(o, 162, 0));   // the head starts at 16200 of 21600
  EXPECT_TRUE(HasPoint(o, 162, 27));  // the shaft is 5400 from the top
  SetAdjust(&s, 0, 10800);
  SetAdjust(&s, 1, 8100);
  o = geom::ShapeOutline(s, 216, 108);
  EXPECT_TRUE(HasPoint(o, 108, 0));
  EXPECT_TRUE(HasPoint(o, 0, 40.5));
  EXPECT_FALSE(HasPoint(o, 162, 0));
}

TEST(PresetGeometry, FivePointStarHasItsPoints) {
  Outline o = geom::ShapeOutline(ShapeOf(12), 21600, 21600);
  ASSERT_EQ(o.parts.size(), 1u);
  EXPECT_TRUE(HasPoint(o, 10797, 0));
  EXPECT_TRUE(HasPoint(o, 0, 8256));
  EXPECT_TRUE(HasPoint(o, 21600, 8256));
  EXPECT_TRUE(HasPoint(o, 4198, 21600));
  EXPECT_TRUE(HasPoint(o, 17401, 21600));
}

TEST(PresetGeometry, RoundedRectangleCornerRadiusComesFromAdjustAndShorterSide) {
  for (double w : {216.0, 432.0}) {
    ppt::Shape s = ShapeOf(2);
    Outline o = geom::ShapeOutline(s, w, 216);
    // Default: a sixth of the shorter side, as round in both directions.
    EXPECT_TRUE(HasPoint(o, 36, 0)) << w;
    EXPECT_TRUE(HasPoint(o, 0, 36)) << w;
    EXPECT_TRUE(HasPoint(o, w - 36, 216)) << w;
    SetAdjust(&s, 0, 5400);
    o = geom::ShapeOutline(s, w, 216);
    EXPECT_TRUE(HasPoint(o, 54, 0)) << w;
    EXPECT_TRUE(HasPoint(o, 0, 54)) << w;
  }
}

TEST(PresetGeometry, EllipsePointsLieOnTheEllipse) {
  Outline o = geom::ShapeOutline(ShapeOf(3), 200, 100);
  ASSERT_EQ(o.parts.size(), 1u);
  EXPECT_GT(o.parts[0].pts.size(), 30u);
  for (const Pt& p : o.parts[0].pts) {
    double dx = (p.x - 100) / 100, dy = (p.y - 50) / 50;
    EXPECT_NEAR(dx * dx + dy * dy, 1, 1e-6);
  }
  EXPECT_NEAR(o.text_box.left, 200 * 3163 / 21600.0, 1e-6);
}

TEST(PresetGeometry, ArcAnglesAreStoredAsFixedPoint) {
  ppt::Shape s = ShapeOf(19);
  // Default: the top-right quarter, from twelve to three o'clock.
  Outline o = geom::ShapeOutline(s, 200, 200);
  ASSERT_EQ(o.parts.size(), 2u);
  EXPECT_FALSE(o.parts[0].stroke);  // the pie behind the arc takes the fill
  EXPECT_FALSE(o.parts[1].fill);    // the arc itself takes the line
  EXPECT_TRUE(HasPoint(o, 100, 0));
  EXPECT_TRUE(HasPoint(o, 200, 100));
  EXPECT_FALSE(HasPoint(o, 0, 100));
  SetAdjust(&s, 0, 180 << 16);
  o = geom::ShapeOutline(s, 200, 200);
  EXPECT_TRUE(HasPoint(o, 0, 100));
  EXPECT_TRUE(HasPoint(o, 100, 0));
}

TEST(PresetGeometry, ThreeDFacesAndGlyphsCarryShades) {
  Outline can = geom::ShapeOutline(ShapeOf(22), 100, 200);
  ASSERT_GE(can.parts.size(), 2u);
  EXPECT_EQ(can.parts.front().shade, 0);
  EXPECT_GT(can.parts.back().shade, 0);  // the lid
  Outline cube = geom::ShapeOutline(ShapeOf(16), 100, 100);
  ASSERT_EQ(cube.parts.size(), 3u);
  EXPECT_GT(cube.parts[1].shade, 0);
  EXPECT_LT(cube.parts[2].shade, 0);
  Outline home = geom::ShapeOutline(ShapeOf(190), 100, 100);
  ASSERT_GE(home.parts.size(), 6u);
  EXPECT_LT(home.parts.back().shade, 0);  // the glyph
}

TEST(PresetGeometry, BracketPairsFillBetweenTheirBrackets) {
  for (int type : {185, 186}) {
    Outline o = geom::ShapeOutline(ShapeOf(type), 200, 100);
    ASSERT_EQ(o.parts.size(), 3u) << type;
    EXPECT_TRUE(o.parts[0].fill && o.parts[0].closed && !o.parts[0].stroke) << type;
    EXPECT_TRUE(!o.parts[1].fill && o.parts[1].stroke && !o.parts[1].closed) << type;
  }
}

TEST(PresetGeometry, DonutHoleIsOneFillPath) {
  Outline o = geom::ShapeOutline(ShapeOf(23), 100, 100);
  ASSERT_EQ(o.parts.size(), 2u);
  EXPECT_EQ(o.parts[0].path, o.parts[1].path);
}

TEST(PresetGeometry, WedgeCalloutsPointAtTheirTip) {
  ppt::Shape rect = ShapeOf(61);
  Outline o = geom::ShapeOutline(rect, 216, 216);
  EXPECT_TRUE(HasPoint(o, 13.5, 259.2));  // default tip, below the box
  SetAdjust(&rect, 0, 32400);
  SetAdjust(&rect, 1, 10800);
  o = geom::ShapeOutline(rect, 216, 216);
  EXPECT_TRUE(HasPoint(o, 324, 108));
  EXPECT_LE(MaxY(o), 216.001);
  for (int type : {62, 63}) {
    ppt::Shape s = ShapeOf(type);
    SetAdjust(&s, 0, -10800);
    SetAdjust(&s, 1, -10800);
    EXPECT_TRUE(HasPoint(geom::ShapeOutline(s, 216, 216), -108, -108)) << type;
  }
}

TEST(PresetGeometry, ArrowCalloutsPointAwayFromTheirBox) {
  Outline right = geom::ShapeOutline(ShapeOf(77), 216, 216);
  EXPECT_TRUE(HasPoint(right, 216, 108));
  EXPECT_TRUE(HasPoint(right, 144, 0));
  Outline down = geom::ShapeOutline(ShapeOf(80), 216, 216);
  EXPECT_TRUE(HasPoint(down, 108, 216));
  EXPECT_TRUE(HasPoint(down, 216, 144));
  Outline both = geom::ShapeOutline(ShapeOf(81), 216, 216);
  EXPECT_TRUE(HasPoint(both, 0, 108));
  EXPECT_TRUE(HasPoint(both, 216, 108));
  EXPECT_EQ(both.text_box.left, 54);
}

TEST(PresetGeometry, ConnectorsAreOpenLinesThroughTheirAdjust) {
  ppt::Shape s = ShapeOf(34);
  SetAdjust(&s, 0, 5400);
  Outline o = geom::ShapeOutline(s, 400, 100);
  EXPECT_TRUE(o.open_line);
  ASSERT_EQ(o.parts.size(), 1u);
  EXPECT_FALSE(o.parts[0].fill);
  EXPECT_FALSE(o.parts[0].closed);
  EXPECT_TRUE(HasPoint(o, 0, 0));
  EXPECT_TRUE(HasPoint(o, 100, 0));
  EXPECT_TRUE(HasPoint(o, 100, 100));
  EXPECT_TRUE(HasPoint(o, 400, 100));
  Outline curved = geom::ShapeOutline(ShapeOf(38), 400, 100);
  EXPECT_TRUE(curved.open_line);
  EXPECT_GT(curved.parts[0].pts.size(), 4u);
}

TEST(PresetGeometry, KindsDrawnBeforeKeepTheirShape) {
  Outline tri = geom::ShapeOutline(ShapeOf(5), 100, 100);
  EXPECT_TRUE(HasPoint(tri, 50, 0));
  EXPECT_TRUE(HasPoint(tri, 0, 100));
  EXPECT_TRUE(HasPoint(tri, 100, 100));
  ppt::Shape right = ShapeOf(6);
  right.flip_h = true;
  Outline r = geom::ShapeOutline(right, 100, 100);
  EXPECT_TRUE(HasPoint(r, 100, 0));
  EXPECT_FALSE(HasPoint(r, 0, 0));
  for (int type : {1, 75, 202}) {
    Outline box = geom::ShapeOutline(ShapeOf(type), 80, 40);
    ASSERT_EQ(box.parts.size(), 1u);
    EXPECT_EQ(box.parts[0].pts.size(), 4u);
  }
  Outline line = geom::ShapeOutline(ShapeOf(20), 80, 40);
  EXPECT_TRUE(line.open_line);
  Outline unknown = geom::ShapeOutline(ShapeOf(142), 80, 40);
  ASSERT_EQ(unknown.parts.size(), 1u);
  EXPECT_EQ(unknown.parts[0].pts.size(), 4u);
}

TEST(PresetGeometry, WordArtPathsAreNotPaintedAsOutlines) {
  for (int type : {136, 154, 172}) {
    Outline o = geom::ShapeOutline(ShapeOf(type), 200, 100);
    ASSERT_FALSE(o.parts.empty()) << type;
    for (const geom::SubPath& p : o.parts) {
      EXPECT_FALSE(p.fill) << type;
      EXPECT_FALSE(p.stroke) << type;
    }
  }
}

// The stored geometry of freeforms.
ppt::Shape Freeform(std::vector<int32_t> vertices, std::vector<uint16_t> segments) {
  ppt::Shape s = ShapeOf(0);
  s.custom.vertices = std::move(vertices);
  s.custom.segments = std::move(segments);
  s.custom.right = 1000;
  s.custom.bottom = 1000;
  return s;
}

TEST(FreeformGeometry, CurvesPassBetweenTheirControlPoints) {
  ppt::Shape s = Freeform({0, 1000, 0, 0, 1000, 0, 1000, 1000}, {0x4000, 0x2001, 0x6001, 0x8000});
  Outline o = geom::ShapeOutline(s, 100, 100);
  ASSERT_EQ(o.parts.size(), 1u);
  EXPECT_TRUE(o.parts[0].closed);
  EXPECT_GT(o.parts[0].pts.size(), 8u);
  EXPECT_TRUE(HasPoint(o, 50, 25, 0.01));  // the curve's midpoint
  EXPECT_FALSE(HasPoint(o, 0, 0, 1));      // control points are not corners
}

TEST(FreeformGeometry, SubpathsEscapesAndGuides) {
  // Two figures in one path, the second open; a vertex named through a guide of adjust 1.
  ppt::Shape s = Freeform({0, 0, 1000, 0, 1000, 1000, int32_t(0x80000000u), 500, 200, 200},
                          {0x4000, 0x0002, 0x6001, 0x4000, 0x0001, 0xab00, 0x8000});
  s.custom.guides.push_back({0x2000, {327, 0, 0}});
  SetAdjust(&s, 0, 300);
  Outline o = geom::ShapeOutline(s, 100, 100);
  ASSERT_EQ(o.parts.size(), 2u);
  EXPECT_TRUE(o.parts[0].closed);
  EXPECT_FALSE(o.parts[1].closed);
  EXPECT_FALSE(o.parts[0].stroke);
  EXPECT_TRUE(HasPoint(o, 30, 50, 0.01));
}

TEST(FreeformGeometry, WithoutSegmentsTheVerticesMakeOnePolygon) {
  ppt::Shape s = Freeform({0, 0, 1000, 0, 500, 1000}, {});
  Outline o = geom::ShapeOutline(s, 10, 10);
  ASSERT_EQ(o.parts.size(), 1u);
  EXPECT_TRUE(o.parts[0].closed);
  s.fill.kind = ppt::Fill::kNone;
  o = geom::ShapeOutline(s, 10, 10);
  EXPECT_FALSE(o.parts[0].closed);
}

// Later versions save shapes the format has no preset for under types of their own, with their
// path stored as a freeform's. Types with a preset, and plain boxes, keep their own outline.
TEST(FreeformGeometry, TypesWithoutAPresetDrawThePathTheyCarry) {
  const std::vector<int32_t> triangle = {0, 0, 1000, 0, 500, 1000};
  struct Case {
    int type;
    bool follows_path;
  } cases[] = {{100, true}, {142, true}, {1, false}, {202, false}, {13, false}};
  for (const Case& c : cases) {
    ppt::Shape s = Freeform(triangle, {});
    s.type = c.type;
    s.geometry = ppt::Shape::kRect;
    Outline o = geom::ShapeOutline(s, 100, 100);
    EXPECT_EQ(HasPoint(o, 50, 100, 0.01), c.follows_path) << c.type;
    EXPECT_EQ(HasPoint(o, 0, 100, 0.01), !c.follows_path && c.type != 13) << c.type;
  }
}

TEST(FreeformGeometry, RandomProgramsNeverFail) {
  std::mt19937 rng(99);
  for (int round = 0; round < 3000; round++) {
    std::vector<int32_t> v(2 * (1 + rng() % 40));
    for (int32_t& x : v)
      x = (rng() % 8 == 0) ? int32_t(0x80000000u | (rng() % 12)) : int32_t(rng() % 43200) - 21600;
    std::vector<uint16_t> segs(rng() % 30);
    for (uint16_t& g : segs) g = uint16_t(rng());
    ppt::Shape s = Freeform(v, segs);
    for (int k = 0; k < int(rng() % 12); k++) {
      ppt::Shape::Custom::Guide g;
      g.flags = uint16_t(rng());
      for (int32_t& p : g.p) p = int32_t(rng() % 0x700);
      s.custom.guides.push_back(g);
    }
    if (rng() & 1) s.custom.right = s.custom.left;  // an empty box
    Outline o = geom::ShapeOutline(s, 1 + rng() % 1000, rng() % 1000);
    EXPECT_TRUE(Finite(o));
  }
}

// Shapes read from a file: adjust values and a freeform's stored path reach the outline.
// `headerless`: array lengths stated without their six-byte header, as some writers store them.
deck::Bytes ShapeRecord(uint16_t type, const std::vector<std::pair<uint16_t, uint32_t>>& props,
                        const std::vector<std::pair<uint16_t, deck::Bytes>>& arrays,
                        bool headerless = false) {
  deck::Bytes table, data;
  for (auto& p : props) {
    deck::Put16(table, p.first);
    deck::Put32(table, p.second);
  }
  for (auto& a : arrays) {
    deck::Put16(table, uint16_t(a.first | 0x8000));
    deck::Put32(table, uint32_t(a.second.size() - (headerless ? 6 : 0)));
    data.insert(data.end(), a.second.begin(), a.second.end());
  }
  table.insert(table.end(), data.begin(), data.end());
  deck::Bytes fopt = deck::Rec(0xF00B, table, uint16_t(props.size() + arrays.size()), 3);
  return deck::Box(0xF004, {deck::Fsp(type, 0x500, 0xA00), fopt,
                            deck::Rec(0xF010, deck::Words({1000, 1000, 3160, 2080}))});
}

deck::Bytes Array16(uint16_t cb, const std::vector<int32_t>& v) {
  deck::Bytes b;
  size_t per = cb == 8 ? 2 : 1;
  deck::Put16(b, uint16_t(v.size() / per));
  deck::Put16(b, uint16_t(v.size() / per));
  deck::Put16(b, cb);
  for (int32_t x : v) cb == 8 ? deck::Put32(b, uint32_t(x)) : deck::Put16(b, uint16_t(x));
  return b;
}

void ExpectArrowAndClosedCurve(const deck::DeckSpec& deck_plan);

TEST(ShapesFromFiles, AdjustValuesAndStoredPathsShapeTheOutline) {
  for (bool headerless : {false, true}) {
    SCOPED_TRACE(headerless ? "array lengths without their header" : "array lengths in full");
    deck::DeckSpec deck_plan;
    deck_plan.slides.resize(1);
    // A right arrow whose head starts half-way; a freeform of one curve, closed. The path's
    // vertices come before its segments, which are read six bytes early if the vertices' stated
    // length is taken as the whole array.
    deck_plan.shapes.push_back(ShapeRecord(13, {{0x0147, 10800}}, {}));
    deck_plan.shapes.push_back(
        ShapeRecord(0, {{0x0142, 1000}, {0x0143, 1000}},
                    {{0x0145, Array16(8, {0, 1000, 0, 0, 1000, 0, 1000, 1000})},
                     {0x0146, Array16(2, {0x4000, 0x2001, 0x6001, 0x8000})}},
                    headerless));
    ExpectArrowAndClosedCurve(deck_plan);
  }
}

void ExpectArrowAndClosedCurve(const deck::DeckSpec& deck_plan) {
  deck::Bytes file = deck::Build(deck_plan);
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 1u);
  const ppt::Shape* arrow = nullptr;
  const ppt::Shape* freeform = nullptr;
  for (const ppt::Shape& s : p.slides[0].shapes) {
    if (s.type == 13) arrow = &s;
    if (s.type == 0) freeform = &s;
  }
  ASSERT_TRUE(arrow && freeform);
  EXPECT_TRUE(HasPoint(geom::ShapeOutline(*arrow, 200, 100), 100, 0));
  Outline o = geom::ShapeOutline(*freeform, 100, 100);
  ASSERT_EQ(o.parts.size(), 1u);
  EXPECT_TRUE(o.parts[0].closed);
  EXPECT_TRUE(HasPoint(o, 50, 25, 0.01));
  EXPECT_FALSE(HasPoint(o, 0, 0, 1));
}

}  // namespace

namespace {

// The presets' own tables say which adjust values are angles; reading that from the guides
// (what takes them as an angle) gives the same answer, so shapes saved with their own guides
// can be read the same way.
TEST(PresetTable, AnglesAreTheAdjustValuesTrigonometryTakes) {
  size_t count = 0;
  const geom::PresetShape* all = geom::Presets(&count);
  int with_angles = 0;
  for (size_t i = 0; i < count; i++) {
    const geom::PresetShape& p = all[i];
    // WordArt arches keep their angle in whole degrees: they are never saved as paths.
    if (p.type >= ppt::spt::kFirstTextPath && p.type <= ppt::spt::kLastTextPath) continue;
    EXPECT_EQ(geom::AngleAdjusts(p.guides, p.guide_count), p.angle_adjusts) << p.type;
    with_angles += p.angle_adjusts != 0;
  }
  EXPECT_GE(with_angles, 3);  // arc, block arc, circular arrow at least
}

}  // namespace

namespace {

// A preset saved as its own path (a shape type without a preset, carrying the preset's
// vertices, segments and guides and its adjust values in fixed point) draws as the preset does.
TEST(ShapesFromFiles, PresetsSavedAsTheirOwnPathDrawAsThePreset) {
  constexpr int kArc = 19, kOwnPath = 100;
  const geom::PresetShape* arc = geom::FindPreset(kArc);
  ASSERT_NE(arc, nullptr);
  ppt::Shape preset;
  preset.type = kArc;
  preset.adjust[0] = -128 * 65536;  // from 128 degrees above the axis...
  preset.adjust[1] = 2 * 65536;     // ...clockwise to 2 degrees below it
  preset.adjust_set = 0x3;
  preset.line = true;
  ppt::Shape own = preset;
  own.type = kOwnPath;
  own.custom.vertices.assign(arc->vertices, arc->vertices + 2 * arc->vertex_count);
  own.custom.segments.assign(arc->segments, arc->segments + arc->segment_count);
  for (size_t i = 0; i < arc->guide_count; i++)
    own.custom.guides.push_back(
        {arc->guides[i].flags, {arc->guides[i].p[0], arc->guides[i].p[1], arc->guides[i].p[2]}});
  Outline a = geom::ShapeOutline(preset, 200, 100), b = geom::ShapeOutline(own, 200, 100);
  ASSERT_EQ(a.parts.size(), b.parts.size());
  for (size_t i = 0; i < a.parts.size(); i++) {
    ASSERT_EQ(a.parts[i].pts.size(), b.parts[i].pts.size()) << i;
    for (size_t k = 0; k < a.parts[i].pts.size(); k++) {
      EXPECT_NEAR(a.parts[i].pts[k].x, b.parts[i].pts[k].x, 1e-6);
      EXPECT_NEAR(a.parts[i].pts[k].y, b.parts[i].pts[k].y, 1e-6);
    }
  }
}

}  // namespace
