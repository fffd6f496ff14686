// What the fill, line and shadow painters put on a bitmap: translucency, gradient direction,
// shadows, arrowheads and dashes, read back pixel by pixel.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <cstdlib>
#include <memory>

#include "app/render_win.h"
#include "ppt/presentation.h"
#include "viewer/tests/blip_records.h"
#include "viewer/tests/deck_builder.h"

namespace {

using Props = std::vector<std::pair<uint16_t, uint32_t>>;
constexpr uint32_t kFilled = 0x00100010, kNoLine = 0x00080000;

struct Px {
  int r, g, b;
};

// Slide 1 of a deck holding `shapes`, painted 576 pixels wide: ten master units a pixel.
class Painted {
 public:
  explicit Painted(const std::vector<deck::Bytes>& shapes, const Props& background = {},
                   std::vector<viewer::LineBox>* lines = nullptr, int width = 576,
                   const std::vector<deck::Bytes>& pictures = {}) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    deck::DeckSpec deck_plan;
    deck_plan.pictures = pictures;
    deck_plan.slides.resize(1);
    deck_plan.slides[0].containers = shapes;
    deck_plan.slides[0].background_props = background;
    deck::Bytes b = deck::Build(deck_plan);
    ok_ = ppt::Load(b.data(), b.size(), &p_) == ppt::LoadError::kNone;
    canvas_.reset(new viewer::Canvas(width, width * 3 / 4));
    viewer::SlideRenderer r(p_);
    RECT where{0, 0, width, width * 3 / 4};
    viewer::SlideView view;
    view.lines = lines;
    if (ok_ && canvas_->ok()) r.Paint(canvas_->dc(), 0, where, nullptr, &view);
    GdiFlush();
  }
  bool ok() const { return ok_ && canvas_->ok(); }
  Px At(int x, int y) const {
    const uint8_t* p = canvas_->pixels() + (size_t(y) * 576 + x) * 4;
    return Px{p[2], p[1], p[0]};
  }

 private:
  ppt::Presentation p_;
  std::unique_ptr<viewer::Canvas> canvas_;
  bool ok_ = false;
};

bool Near(Px a, Px b, int tolerance = 6) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

TEST(PaintWine, TranslucentFillsBlendOverWhatLiesBeneath) {
  Painted p(
      {deck::Shape(1, {{0x1BF, kFilled}, {0x181, 0x000000}, {0x1FF, kNoLine}}, 0, 2000, 5760, 2400),
       deck::Shape(1, {{0x1BF, kFilled}, {0x181, 0x0000FF}, {0x182, 0x8000}, {0x1FF, kNoLine}},
                   1000, 1000, 3000, 3000)});
  ASSERT_TRUE(p.ok());
  EXPECT_TRUE(Near(p.At(150, 150), Px{255, 128, 128})) << p.At(150, 150).g;
  EXPECT_TRUE(Near(p.At(150, 220), Px{128, 0, 0})) << p.At(150, 220).r;
  EXPECT_TRUE(Near(p.At(350, 220), Px{0, 0, 0}));      // the bar beside the box
  EXPECT_TRUE(Near(p.At(50, 50), Px{255, 255, 255}));  // the background
}

TEST(PaintWine, BackgroundFilledShapesShowTheSlideBackground) {
  Painted p(
      {deck::Shape(1, {{0x1BF, kFilled}, {0x181, 0x000000}, {0x1FF, kNoLine}}, 0, 2000, 5760, 2400),
       deck::Shape(1, {{0x1BF, kFilled}, {0x180, 9}, {0x181, 0x00FF00}, {0x1FF, kNoLine}}, 1000,
                   1000, 3000, 3000)},
      {{0x1BF, kFilled}, {0x180, 0}, {0x181, 0x0000FF}});
  ASSERT_TRUE(p.ok());
  EXPECT_TRUE(Near(p.At(150, 220), Px{255, 0, 0}));  // the red background over the black bar
  EXPECT_TRUE(Near(p.At(350, 220), Px{0, 0, 0}));
}

TEST(PaintWine, GradientsRunTheWayTheFileSays) {
  // Angle 0, focus 100: from the fill colour at the top down to the back colour; -90 lays the
  // same blend across.
  Painted p({deck::Shape(1,
                         {{0x1BF, kFilled},
                          {0x180, 7},
                          {0x181, 0x0000FF},
                          {0x183, 0xFF0000},
                          {0x18C, 100},
                          {0x1FF, kNoLine}},
                         1000, 1000, 3000, 3000),
             deck::Shape(1,
                         {{0x1BF, kFilled},
                          {0x180, 7},
                          {0x181, 0x0000FF},
                          {0x183, 0xFF0000},
                          {0x18C, 100},
                          {0x18B, uint32_t(-90 * 65536)},
                          {0x1FF, kNoLine}},
                         3500, 1000, 5500, 3000)});
  ASSERT_TRUE(p.ok());
  Px top = p.At(200, 105), bottom = p.At(200, 295);
  EXPECT_GT(top.r, 200);
  EXPECT_LT(top.b, 60);
  EXPECT_GT(bottom.b, 200);
  EXPECT_LT(bottom.r, 60);
  // Turned clockwise with its colours traded: the fill colour on the left.
  Px left = p.At(355, 200), right = p.At(545, 200);
  EXPECT_GT(left.r, 200);
  EXPECT_GT(right.b, 200);
}

TEST(PaintWine, ShapesUpsideDownTurnTheirBlend) {
  // The blend of the test above, red at the top, in a shape flipped upside down and in one
  // flipped across: only the first trades its ends.
  constexpr uint32_t kFlipH = 0x40, kFlipV = 0x80;
  const Props blend{{0x1BF, kFilled},  {0x180, 7},   {0x181, 0x0000FF},
                    {0x183, 0xFF0000}, {0x18C, 100}, {0x1FF, kNoLine}};
  Painted p({deck::Shape(1, blend, 1000, 1000, 3000, 3000, kFlipV),
             deck::Shape(1, blend, 3500, 1000, 5500, 3000, kFlipH)});
  ASSERT_TRUE(p.ok());
  Px top = p.At(200, 105), bottom = p.At(200, 295);
  EXPECT_GT(top.b, 200);
  EXPECT_GT(bottom.r, 200);
  top = p.At(450, 105);
  bottom = p.At(450, 295);
  EXPECT_GT(top.r, 200);
  EXPECT_GT(bottom.b, 200);
}

TEST(PaintWine, ShadowsFallBesideTheShape) {
  Painted p({deck::Shape(1,
                         {{0x1BF, kFilled},
                          {0x181, 0x00FF00},
                          {0x1FF, kNoLine},
                          {0x23F, 0x20002},
                          {0x201, 0x000000},
                          {0x205, 101600},
                          {0x206, 101600}},
                         1000, 3300, 2000, 3800)});
  ASSERT_TRUE(p.ok());
  EXPECT_TRUE(Near(p.At(150, 350), Px{0, 255, 0}));      // the shape over its shadow
  EXPECT_TRUE(Near(p.At(203, 380), Px{0, 0, 0}));        // the shadow to its right
  EXPECT_TRUE(Near(p.At(203, 332), Px{255, 255, 255}));  // above the shadow's top
}

TEST(PaintWine, ArrowheadsAndDashesOnLines) {
  Painted p({deck::Shape(20, {{0x1CB, 25400}, {0x1D1, 1}, {0x1D4, 2}, {0x1D5, 2}}, 3000, 3500, 5000,
                         3500),
             deck::Shape(20, {{0x1CB, 25400}, {0x1CE, 6}}, 0, 4200, 5760, 4200)});
  ASSERT_TRUE(p.ok());
  // The wide triangle at the line's end reaches well above and below the line itself.
  EXPECT_LT(p.At(492, 347).r, 100);
  EXPECT_LT(p.At(492, 353).r, 100);
  EXPECT_GT(p.At(470, 346).r, 200);
  // The dashed line alternates between ink and gaps along its length.
  int changes = 0;
  bool ink = p.At(0, 420).r < 128;
  for (int x = 1; x < 576; x++) {
    bool now = p.At(x, 420).r < 128;
    if (now != ink) changes++;
    ink = now;
  }
  EXPECT_GT(changes, 20);
}

// WordArt's text as its property stores it.
deck::Bytes WordArtText(const std::u16string& s) {
  deck::Bytes text;
  for (char16_t c : s) deck::Put16(text, c);
  return text;
}

// WordArt is its text, its ink stretched over the box in the shape's fill; nothing outside the
// letters.
TEST(PaintWine, WordArtFillsItsLettersAcrossTheBox) {
  const deck::Bytes text = WordArtText(u"IIII");
  Painted p({deck::Shape(136, {{0x1BF, kFilled}, {0x181, 0x0000FF}, {0x1FF, kNoLine}}, 1000, 1000,
                         4000, 3000, 0, false, {{0x00C0, text}})});
  ASSERT_TRUE(p.ok());
  // Across the middle row: red letters, white between them, from the box's left to its right.
  int red = 0, changes = 0, first = -1, last = -1;
  bool ink = false;
  for (int x = 90; x < 410; x++) {
    bool now = Near(p.At(x, 200), Px{255, 0, 0}, 40);
    if (now) {
      red++;
      if (first < 0) first = x;
      last = x;
    }
    if (now != ink) changes++;
    ink = now;
  }
  EXPECT_GE(changes, 7);  // four letters
  EXPECT_GT(red, 40);
  EXPECT_GT(last - first, 290);  // the letters' ink fills the box from side to side
  // and from its top to its bottom
  for (int y : {103, 296}) {
    int row = 0;
    for (int x = 100; x < 400; x++) row += Near(p.At(x, y), Px{255, 0, 0}, 40);
    EXPECT_GT(row, 20) << y;
  }
  EXPECT_TRUE(Near(p.At(420, 200), Px{255, 255, 255}));  // beside the box: nothing
  EXPECT_TRUE(Near(p.At(200, 90), Px{255, 255, 255}));   // above the box: nothing
}

// WordArt arched up hangs its letters from the top of its box, turned with the arch: letters at
// its top middle and down its ends, none in the middle of the box or along its bottom.
TEST(PaintWine, ArchedWordArtBendsItsLetters) {
  const deck::Bytes text = WordArtText(u"MMMMMMMMMMMM");
  Painted p({deck::Shape(144, {{0x1BF, kFilled}, {0x181, 0x0000FF}, {0x1FF, kNoLine}}, 1000, 1000,
                         5000, 3000, 0, false, {{0x00C0, text}})});
  ASSERT_TRUE(p.ok());
  auto red = [&](int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++) n += Near(p.At(x, y), Px{255, 0, 0}, 40);
    return n;
  };
  EXPECT_GT(red(280, 100, 320, 130), 50);  // the top of the arch
  EXPECT_GT(red(100, 160, 140, 200), 50);  // down its left end
  EXPECT_GT(red(460, 160, 500, 200), 50);  // and its right
  EXPECT_EQ(red(250, 180, 350, 300), 0);   // the middle and bottom stay clear
  EXPECT_EQ(red(0, 0, 576, 98), 0);        // nothing above the box
}

// WordArt's shadow falls from its letters, not from its box.
TEST(PaintWine, WordArtLettersCastTheShadow) {
  const deck::Bytes text = WordArtText(u"IIII");
  Painted p({deck::Shape(136,
                         {{0x1BF, kFilled},
                          {0x181, 0x0000FF},
                          {0x1FF, kNoLine},
                          {0x23F, 0x20002},
                          {0x201, 0x000000},
                          {0x205, 101600},
                          {0x206, 101600}},
                         1000, 1000, 4000, 3000, 0, false, {{0x00C0, text}})});
  ASSERT_TRUE(p.ok());
  EXPECT_TRUE(Near(p.At(403, 200), Px{0, 0, 0}, 40));        // beside the last letter
  EXPECT_TRUE(Near(p.At(398, 200), Px{255, 0, 0}, 40));      // the letter over its shadow
  EXPECT_TRUE(Near(p.At(250, 96), Px{255, 255, 255}, 40));   // nothing above the letters
  EXPECT_TRUE(Near(p.At(103, 304), Px{255, 255, 255}, 40));  // the box casts none
}

// Pictures turn and mirror with their shape: a picture red on its left, blue on its right.
TEST(PaintWine, PicturesTurnAndMirrorWithTheirShape) {
  deck::Bytes dib;
  for (uint32_t v : {40u, 2u, 1u}) deck::Put32(dib, v);  // header size, width, height
  deck::Put16(dib, 1);
  deck::Put16(dib, 24);
  for (int i = 0; i < 6; i++) deck::Put32(dib, 0);
  for (uint8_t b : {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}) dib.push_back(b);
  const std::vector<deck::Bytes> pictures = {deck::BitmapBlip(dib, ppt::rt::kBlipDib, 0x7A8)};
  constexpr uint32_t kFlipH = 0x40;
  const Px red{255, 0, 0}, blue{0, 0, 255};
  {
    Painted p({deck::Shape(75, {{0x0104, 1}}, 1000, 1000, 3000, 2000, kFlipH)}, {}, nullptr, 576,
              pictures);
    ASSERT_TRUE(p.ok());
    EXPECT_TRUE(Near(p.At(110, 150), blue, 40));
    EXPECT_TRUE(Near(p.At(290, 150), red, 40));
  }
  {
    // A quarter turn clockwise: stored as the turned box, the left end comes out on top.
    Painted p({deck::Shape(75, {{0x0104, 1}, {0x0004, 90u << 16}}, 1500, 500, 2500, 2500)}, {},
              nullptr, 576, pictures);
    ASSERT_TRUE(p.ok());
    EXPECT_TRUE(Near(p.At(200, 60), red, 40));
    EXPECT_TRUE(Near(p.At(200, 240), blue, 40));
    EXPECT_TRUE(Near(p.At(120, 150), Px{255, 255, 255}));  // the box as stored stays empty
  }
  {
    // A twelfth of a turn: the picture's ends reach up and down past its upright box.
    Painted p({deck::Shape(75, {{0x0104, 1}, {0x0004, 30u << 16}}, 1000, 1000, 3000, 2000)}, {},
              nullptr, 576, pictures);
    ASSERT_TRUE(p.ok());
    EXPECT_TRUE(Near(p.At(131, 110), red, 40));            // the left end, up and to the left
    EXPECT_TRUE(Near(p.At(269, 190), blue, 40));           // the right end, down and to the right
    EXPECT_TRUE(Near(p.At(105, 195), Px{255, 255, 255}));  // a corner of the upright box: empty
  }
}

// A short line under a long one keeps the long one's scale, centred, unless the WordArt stretches
// each line across.
TEST(PaintWine, WordArtLinesShareOneScaleUnlessStretched) {
  const deck::Bytes text = WordArtText(u"MMMMMMMM\nMM");
  for (uint32_t align : {1u, 0u}) {
    Painted p(
        {deck::Shape(136, {{0x1BF, kFilled}, {0x181, 0x0000FF}, {0x1FF, kNoLine}, {0xC2, align}},
                     1000, 1000, 5000, 3000, 0, false, {{0x00C0, text}})});
    ASSERT_TRUE(p.ok());
    auto red = [&](int x0, int x1) {
      int n = 0;
      for (int y = 220; y < 280; y++)
        for (int x = x0; x < x1; x++) n += Near(p.At(x, y), Px{255, 0, 0}, 40);
      return n;
    };
    EXPECT_GT(red(260, 340), 50) << align;  // the short line's letters, mid-box
    if (align == 1)
      EXPECT_EQ(red(100, 200) + red(400, 500), 0);  // and nothing out to the sides
    else
      EXPECT_GT(red(100, 200), 50);  // stretched out to the sides
  }
}

// Stretches of a line that a tab holds far apart are reported as lines of their own, as a
// PDF's text lines are; a tab that moves its text on by less than an em is a word break.
TEST(PaintWine, TabsSplitTheReportedLines) {
  std::vector<viewer::LineBox> lines;
  Painted p({deck::ShapeWithId(202, 0x401, {{0x1FF, kNoLine}}, 500, 500, 5000, 1500, 0, -1,
                               "Reg\tzero constant"),
             deck::ShapeWithId(202, 0x402, {{0x1FF, kNoLine}}, 500, 2000, 5000, 3000, 0, -1,
                               "Register\tzero")},
            {}, &lines);
  ASSERT_TRUE(p.ok());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "Reg");
  EXPECT_EQ(lines[1].text, "zero constant");
  EXPECT_LT(lines[0].box.right + 10, lines[1].box.left);
  EXPECT_EQ(lines[0].box.top, lines[1].box.top);
  EXPECT_EQ(lines[2].text, "Register zero");
}

// Text turned with its shape by a quarter runs up or down the slide, measured as if it were not
// turned: each letter in its own place, the line as long as it is unturned.
TEST(PaintWine, TextOfQuarterTurnedShapesKeepsItsLength) {
  std::vector<viewer::LineBox> lines;
  for (int32_t turn : {90, -90, 0}) {
    lines.clear();
    // Stored turned by a quarter, the anchor is the turned box: 300 wide and 2000 tall.
    const int32_t w = turn ? 300 : 2000, h = turn ? 2000 : 300;
    Painted p({deck::ShapeWithId(202, 0x401, {{0x0004, uint32_t(turn * 65536)}, {0x1FF, kNoLine}},
                                 2000, 1000, 2000 + w, 1000 + h, 0, -1, "Hello world")},
              {}, &lines);
    ASSERT_TRUE(p.ok());
    ASSERT_EQ(lines.size(), 1u) << turn;
    const RECT& b = lines[0].box;
    const int along = turn ? b.bottom - b.top : b.right - b.left;
    const int across = turn ? b.right - b.left : b.bottom - b.top;
    EXPECT_GT(along, 60) << turn;  // "Hello world" at 18 pt is about 100 pixels long
    EXPECT_GT(across, 10) << turn;
    EXPECT_GT(along, 3 * across) << turn;
  }
}

// Text is laid out as designed, not as a small size's whole pixels round it: the same lines at
// every size, each as long in proportion.
TEST(PaintWine, LinesBreakAlikeAtEverySize) {
  const std::string text =
      "The quick brown fox jumps over the lazy dog while seven wizards quietly box jugs";
  std::vector<std::vector<viewer::LineBox>> at(2);
  const int widths[2] = {288, 1152};
  for (int i = 0; i < 2; i++) {
    Painted p(
        {deck::ShapeWithId(202, 0x401, {{0x1FF, kNoLine}}, 500, 500, 3000, 3000, 0, -1, text)}, {},
        &at[i], widths[i]);
    ASSERT_TRUE(p.ok());
  }
  ASSERT_GE(at[0].size(), 3u);
  ASSERT_EQ(at[0].size(), at[1].size());
  for (size_t k = 0; k < at[0].size(); k++) {
    EXPECT_EQ(at[0][k].text, at[1][k].text);
    const double small = at[0][k].box.right - at[0][k].box.left;
    const double large = at[1][k].box.right - at[1][k].box.left;
    EXPECT_NEAR(small * 4, large, 10) << at[0][k].text;
  }
}

// A bullet opens its paragraph's first line: the line as seen starts there and reads with it, as
// a PDF of the slide gives it.
TEST(PaintWine, LinesOfBulletedParagraphsStartAtTheirBullet) {
  deck::Bytes para;
  for (uint16_t v : {0x7, int('-'), 0}) deck::Put16(para, v);
  deck::Put32(para, 0xFE0000FF);
  const uint32_t kBulletFlags = 0x1 | 0x2 | 0x4, kChar = 0x10, kFont = 0x20, kColor = 0x80;
  for (bool bulleted : {true, false}) {
    std::vector<viewer::LineBox> lines;
    std::vector<deck::Bytes> records;
    if (bulleted)
      records.push_back(
          deck::StyleTextProp(12, 0, kBulletFlags | kChar | kFont | kColor, para, 0, {}));
    Painted p({deck::ShapeWithId(202, 0x401, {{0x1FF, kNoLine}}, 2000, 1000, 4000, 1300, 0, -1,
                                 "Hello world", 4, records)},
              {}, &lines);
    ASSERT_TRUE(p.ok());
    ASSERT_EQ(lines.size(), 1u) << bulleted;
    EXPECT_EQ(lines[0].text.rfind(bulleted ? "- Hello" : "Hello", 0), 0u) << lines[0].text;
    // The box's left inset is a tenth of an inch: about six pixels in from the shape's 200.
    EXPECT_LE(lines[0].box.left, 208) << bulleted;
  }
}

}  // namespace

// A metafile that rescales its viewport and moves its window partway (as some clip art does,
// to frame what follows) is played with its first window spanning the picture: what follows
// lands where that mapping puts it, cut off at the picture's edge.
// A Macintosh picture: a blue square over its whole frame, a red oval in its middle, a line of
// text below; words big-endian, each operation on an even byte.
TEST(PaintWine, MacintoshPicturesAreDrawn) {
  deck::Bytes pict;
  auto w = [&](int v) {
    pict.push_back(uint8_t(v >> 8));
    pict.push_back(uint8_t(v));
  };
  auto words = [&](std::initializer_list<int> vs) {
    for (int v : vs) w(v);
  };
  words({0, 0, 0, 100, 100, 0x0011, 0x02FF, 0x0C00, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  words({0x1A, 0, 0, 0xFFFF, 0x31, 0, 0, 100, 100});          // blue; paint rectangle
  words({0x1A, 0xFFFF, 0, 0, 0x51, 25, 25, 75, 75, 0x00FF});  // red; paint oval; end
  const int32_t bounds[4] = {0, 0, 100, 100};
  Painted p({}, {}, nullptr, 576, {deck::PictBlip(pict, bounds)});
  ASSERT_TRUE(p.ok());
  // The picture's box: x 100..300, y 200..300 pixels.
  EXPECT_TRUE(Near(p.At(110, 210), Px{0, 0, 255}, 40));
  EXPECT_TRUE(Near(p.At(290, 290), Px{0, 0, 255}, 40));
  EXPECT_TRUE(Near(p.At(200, 250), Px{255, 0, 0}, 40));
  EXPECT_TRUE(Near(p.At(310, 250), Px{255, 255, 255}));
}

// A metafile mirrors with its shape as a bitmap does: blue on its left, red on its right.
TEST(PaintWine, MetafilesMirrorWithTheirShape) {
  const uint16_t kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C, kCreateBrush = 0x02FC;
  const uint16_t kSelectObject = 0x012D, kRectangle = 0x041B, kCreatePen = 0x02FA;
  const int16_t kSolid = 0, kNullPen = 5;
  deck::Bytes wmf = deck::Wmf(
      {deck::WmfRecord(kSetWindowOrg, {0, 0}), deck::WmfRecord(kSetWindowExt, {100, 100}),
       deck::WmfRecord(kCreatePen, {kNullPen, 0, 0, 0, 0}), deck::WmfRecord(kSelectObject, {0}),
       deck::WmfRecord(kCreateBrush, {kSolid, 0, 255, 0}), deck::WmfRecord(kSelectObject, {1}),
       deck::WmfRecord(kRectangle, {101, 51, 0, 0}),
       deck::WmfRecord(kCreateBrush, {kSolid, 255, 0, 0}), deck::WmfRecord(kSelectObject, {2}),
       deck::WmfRecord(kRectangle, {101, 101, 0, 50})},
      3);
  const int32_t bounds[4] = {0, 0, 100, 100};
  Painted p({deck::Shape(75, {{0x0104, 1}}, 1000, 1000, 3000, 2000, 0x40)}, {}, nullptr, 576,
            {deck::WmfBlip(wmf, bounds)});
  ASSERT_TRUE(p.ok());
  EXPECT_TRUE(Near(p.At(110, 150), Px{255, 0, 0}, 40));
  EXPECT_TRUE(Near(p.At(290, 150), Px{0, 0, 255}, 40));
}

// A 100 x 100 metafile as the slide's picture, at x 100..300, y 200..300 pixels.
Painted PaintedMetafile(const deck::Bytes& wmf) {
  const int32_t bounds[4] = {0, 0, 100, 100};
  return Painted({}, {}, nullptr, 576, {deck::WmfBlip(wmf, bounds)});
}

void ExpectColour(const Painted& p, std::initializer_list<std::pair<int, int>> places, Px colour) {
  for (auto [x, y] : places) EXPECT_TRUE(Near(p.At(x, y), colour, 40)) << x << "," << y;
}

TEST(PaintWine, MetafileBitmapsKeepTheirColourTable) {
  // A stretched 8-bit bitmap whose colour count is left at zero, meaning all 256: every pixel
  // index 1, green in the table. Converted metafiles have drawn the indices as colours instead.
  const uint16_t kSetMapMode = 0x0103, kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C;
  const uint16_t kDibStretchBlt = 0x0B41;
  const uint32_t kSrcCopy = 0x00CC0020;
  deck::Bytes blt;
  deck::Put32(blt, 0);  // size: set below
  deck::Put16(blt, kDibStretchBlt);
  deck::Put32(blt, kSrcCopy);
  for (int16_t v : {2, 2, 0, 0, 100, 100, 0, 0}) deck::Put16(blt, uint16_t(v));
  for (uint32_t v : {40u, 2u, 2u}) deck::Put32(blt, v);
  deck::Put16(blt, 1);
  deck::Put16(blt, 8);
  for (int i = 0; i < 6; i++) deck::Put32(blt, 0);  // compression .. colours used, important
  for (int i = 0; i < 256; i++) deck::Put32(blt, i == 1 ? 0x0000FF00u : 0u);
  for (int row = 0; row < 2; row++) deck::Put32(blt, 0x00000101u);
  for (int i = 0; i < 4; i++) blt[size_t(i)] = uint8_t((blt.size() / 2) >> (8 * i));
  deck::Bytes wmf =
      deck::Wmf({deck::WmfRecord(kSetWindowOrg, {0, 0}), deck::WmfRecord(kSetWindowExt, {100, 100}),
                 deck::WmfRecord(kSetMapMode, {8}), blt},
                0);
  Painted p = PaintedMetafile(wmf);
  ASSERT_TRUE(p.ok());
  ExpectColour(p, {{120, 220}, {200, 250}, {280, 290}}, Px{0, 255, 0});
}

TEST(PaintWine, MetafilesThatRescaleTheirViewportKeepTheirFrame) {
  const uint16_t kSetMapMode = 0x0103, kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C;
  const uint16_t kScaleViewportExt = 0x0412, kCreateBrush = 0x02FC, kSelectObject = 0x012D;
  const uint16_t kRectangle = 0x041B, kCreatePen = 0x02FA;
  const int16_t kAnisotropic = 8, kSolid = 0, kNullPen = 5;
  auto brush = [&](uint8_t r, uint8_t g, uint8_t b) {
    return deck::WmfRecord(kCreateBrush, {kSolid, int16_t(r | g << 8), b, 0});
  };
  // Records give their parameters last first: y before x, bottom-right before top-left.
  deck::Bytes wmf = deck::Wmf(
      {deck::WmfRecord(kSetWindowOrg, {0, 0}), deck::WmfRecord(kSetWindowExt, {100, 100}),
       deck::WmfRecord(kCreatePen, {kNullPen, 0, 0, 0, 0}), deck::WmfRecord(kSelectObject, {0}),
       brush(0, 0, 255), deck::WmfRecord(kSelectObject, {1}),
       deck::WmfRecord(kSetMapMode, {kAnisotropic}), deck::WmfRecord(kRectangle, {100, 100, 0, 0}),
       // Twice as large from here on, the window moved by a quarter: the red square starts
       // half way across and down the picture and reaches past it.
       deck::WmfRecord(kScaleViewportExt, {1, 2, 1, 2}), deck::WmfRecord(kSetWindowOrg, {-25, -25}),
       deck::WmfRecord(kSetWindowExt, {100, 100}), brush(255, 0, 0),
       deck::WmfRecord(kSelectObject, {2}), deck::WmfRecord(kRectangle, {200, 200, 0, 0})},
      3);
  Painted p = PaintedMetafile(wmf);
  ASSERT_TRUE(p.ok());
  // Red from half way on.
  ExpectColour(p, {{110, 210}, {150, 250}, {190, 290}}, Px{0, 0, 255});
  ExpectColour(p, {{210, 260}, {295, 295}}, Px{255, 0, 0});
  EXPECT_TRUE(Near(p.At(310, 295), Px{255, 255, 255}));
}
