// Slides drawn as their authors made them: what a shape leaves unset comes from its master
// shape and its type, flag by flag, never from the defaults the editor gives new shapes; text
// shrinks only where the box stores that it fits its text. Decks built here, and real files where
// the corpus has them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/picture_budget.h"
#include "ppt/presentation.h"
#include "ppt/props.h"
#include "viewer/tests/drawing_props.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/corpus.h"

namespace {

using namespace drawing;
using ppt::Rgb;

constexpr uint32_t kFitText = 0x00010001, kNoFitText = 0x00010000, kGrowBox = 0x00020002;
// Placeholder types: on the master, then on a slide.
constexpr int kMasterTitle = 0x01, kMasterBody = 0x02, kSlideTitle = 0x0D, kSlideBody = 0x0E;
constexpr uint32_t kScheme = 0x08000000;  // a colour reference naming a scheme colour
// The deck builder's scheme: 1 black, 5 0x333399.
const Rgb kSchemeAccent{0x33, 0x33, 0x99};

// PowerPoint's drawing defaults: filled and outlined, in the scheme's fill and line colours.
const Props kDefaults{{kFillColor, kScheme | 4},
                      {kFillBooleans, kFilled},
                      {kLineColor, kScheme | 5},
                      {kLineBooleans, kLined}};

struct Deck {
  Props defaults;
  std::vector<deck::Bytes> master, slide;
  std::vector<deck::Bytes> pictures;
};

// The slide's own shapes (master objects left out), in the order they are drawn.
std::vector<ppt::Shape> SlideShapes(const Deck& d, ppt::Presentation* keep = nullptr) {
  deck::DeckSpec spec;
  spec.slides.resize(1);
  spec.slides[0].containers = d.slide;
  spec.drawing_defaults = d.defaults;
  spec.master_shapes = d.master;
  spec.pictures = d.pictures;
  spec.slide_pictures = {{}};
  deck::Bytes file = deck::Build(spec);
  ppt::Presentation p;
  EXPECT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
  std::vector<ppt::Shape> out;
  if (p.slides.empty()) return out;
  // Slide shapes are anchored from x = 3000 on; master objects left of it.
  for (const ppt::Shape& s : p.slides[0].shapes)
    if (s.anchor.left >= 3000) out.push_back(s);
  if (keep) *keep = std::move(p);
  return out;
}

ppt::Shape OnlySlideShape(const Deck& d) {
  std::vector<ppt::Shape> s = SlideShapes(d);
  EXPECT_EQ(s.size(), 1u);
  return s.empty() ? ppt::Shape() : s[0];
}

deck::Bytes MasterPlaceholder(uint32_t spid, int type, const Props& props) {
  return deck::ShapeWithId(1, spid, props, 500, 500, 2500, 2500, 0, type, "master text", 1);
}

deck::Bytes SlidePlaceholder(uint32_t spid, int type, const Props& props, uint32_t master) {
  return deck::ShapeWithId(1, spid, props, 3000, 500, 5000, 2500, master, type, "slide text", 1);
}

// --- flags, one by one ---------------------------------------------------------------------

TEST(PropertyInheritance, EachFlagCountsOnlyWithItsUseBit) {
  ppt::Properties own;
  // Fill booleans: fFilled unset (no use bit) though its value bit is on; fNoFillHitTest set.
  own.values[kFillBooleans] = 0x00010011;
  own.values[kFillColor] = 0x0000FF;
  std::map<uint16_t, uint32_t> master{{kFillBooleans, kNoFill},
                                      {kFillColor, 0x00FF00},
                                      {kLineBooleans, kLined},
                                      {kShadowBooleans, kShadowOn}};
  own.Inherit(master);
  EXPECT_EQ(own.Flag(kFillBooleans, 4), 0) << "the master decides what the shape leaves unset";
  EXPECT_EQ(own.Flag(kFillBooleans, 0), 1) << "what the shape sets stays";
  EXPECT_EQ(own.Get(kFillColor, 0), 0x0000FFu) << "values the shape stores win";
  EXPECT_EQ(own.Flag(kLineBooleans, 3), 1);
  EXPECT_EQ(own.Flag(kShadowBooleans, 1), 1);
  // A value skipped on purpose (a master's turn) is never taken.
  ppt::Properties turned;
  turned.Inherit({{0x0004, 90u << 16}}, 0x0004);
  EXPECT_FALSE(turned.Has(0x0004));
}

TEST(PropertyInheritance, ATertiaryRecordDecidesOnlyTheFlagsThePrimaryLeftOpen) {
  // The primary record switches the fill off; the tertiary one names two other fill flags only.
  deck::Bytes primary = deck::Fopt({{kFillBooleans, 0x00110000}, {kFillColor, 0x0000FF}});
  deck::Bytes tertiary = deck::Fopt({{kFillBooleans, 0x00600020}});
  tertiary[2] = 0x22;  // record type 0xF122
  tertiary[3] = 0xF1;
  ppt::Properties props;
  for (const deck::Bytes* b : {&primary, &tertiary}) {
    ppt::Record r;
    ASSERT_TRUE(ppt::RecordAt(b->data(), b->size(), 0, &r));
    props.Read(r);
  }
  EXPECT_EQ(props.Flag(kFillBooleans, 4), 0) << "the primary's fill switch stays";
  EXPECT_EQ(props.Flag(kFillBooleans, 5), 1) << "the tertiary decides what the primary left open";
  EXPECT_EQ(props.Flag(kFillBooleans, 0), 0);
  // Where both decide a flag, the first record's word stands.
  deck::Bytes again = deck::Fopt({{kFillBooleans, 0x00100010}});
  ppt::Record r;
  ASSERT_TRUE(ppt::RecordAt(again.data(), again.size(), 0, &r));
  props.Read(r);
  EXPECT_EQ(props.Flag(kFillBooleans, 4), 0);
  EXPECT_EQ(props.Get(kFillColor, 0), 0x0000FFu);
}

// --- fills and lines -----------------------------------------------------------------------

TEST(InheritedFills, ShapesTakeWhatTheyLeaveUnsetFromTheirMasterShape) {
  const Props master_props{
      {kFillColor, 0x0000FF}, {kFillBooleans, kFilled}, {kLineBooleans, kNoLine}};
  struct Case {
    const char* what;
    Props own;
    bool filled;
    Rgb color;
    bool line;
  } cases[] = {
      {"nothing stored: the master's fill", {}, true, Rgb{0xFF, 0, 0}, false},
      {"only the line decided: the fill still the master's",
       {{kLineBooleans, kLined}},
       true,
       Rgb{0xFF, 0, 0},
       true},
      {"a fill flag without its use bit is unset",
       {{kFillBooleans, 0x00000000}},
       true,
       Rgb{0xFF, 0, 0},
       false},
      {"the shape's own colour", {{kFillColor, 0x00FF00}}, true, Rgb{0, 0xFF, 0}, false},
      {"the shape's own 'no fill'", {{kFillBooleans, kNoFill}}, false, Rgb{}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Deck d;
    d.defaults = kDefaults;
    d.master = {deck::ShapeWithId(1, 0x2002, master_props, 500, 3000, 1000, 3500)};
    d.slide = {deck::ShapeWithId(1, 0x3001, c.own, 3000, 3000, 4000, 3500, 0x2002)};
    ppt::Shape s = OnlySlideShape(d);
    EXPECT_EQ(s.fill.kind != ppt::Fill::kNone, c.filled);
    if (c.filled) {
      EXPECT_EQ(s.fill.color, c.color);
    }
    EXPECT_EQ(s.line, c.line);
  }
}

TEST(InheritedFills, PlaceholdersFollowTheMastersPlaceholderByNameOrByKind) {
  Deck d;
  d.defaults = kDefaults;
  // The master's title is filled with the accent colour, its body neither filled nor outlined.
  d.master = {
      MasterPlaceholder(0x2002, kMasterTitle,
                        {{kFillColor, kScheme | 5}, {kFillBooleans, kFilled}}),
      MasterPlaceholder(0x2003, kMasterBody, {{kFillBooleans, kNoFill}, {kLineBooleans, kNoLine}})};
  // The title names its master; the body is found by its kind.
  d.slide = {SlidePlaceholder(0x3001, kSlideTitle, {{kFillBooleans, 0x00010000}}, 0x2002),
             deck::ShapeWithId(1, 0x3002, {}, 3000, 3000, 5000, 4000, 0, kSlideBody, "body", 1)};
  std::vector<ppt::Shape> s = SlideShapes(d);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].fill.kind, ppt::Fill::kSolid);
  EXPECT_EQ(s[0].fill.color, kSchemeAccent);
  EXPECT_EQ(s[1].fill.kind, ppt::Fill::kNone) << "body text on a template is never filled";
  EXPECT_FALSE(s[1].line);
}

TEST(InheritedFills, ShapesAreFilledButNeverPicturesTextBoxesOrPlaceholders) {
  Deck d;
  d.defaults = kDefaults;
  d.pictures = {deck::Rec(0xF01E, deck::Bytes(24, 0), 0x6E0)};
  d.slide = {
      deck::ShapeWithId(1, 0x3001, {}, 3000, 100, 4000, 600),                  // rectangle
      deck::ShapeWithId(75, 0x3002, {{kPib, 1}}, 3000, 700, 4000, 1200),       // picture
      deck::ShapeWithId(202, 0x3003, {}, 3000, 1300, 4000, 1800, 0, -1, "x"),  // text box
      // A placeholder whose master has no placeholder of its kind, nor a stored fill.
      deck::ShapeWithId(1, 0x3004, {}, 3000, 1900, 4000, 2400, 0, kSlideTitle, "title", 0),
      deck::ShapeWithId(20, 0x3005, {}, 3000, 2500, 4000, 2500),  // line
  };
  std::vector<ppt::Shape> s = SlideShapes(d);
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].fill.kind, ppt::Fill::kSolid);
  EXPECT_EQ(s[0].fill.color, (Rgb{0xFF, 0xFF, 0xFF})) << "the format's colour, not the defaults'";
  EXPECT_TRUE(s[0].line);
  for (size_t i : {1, 2, 3}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(s[i].fill.kind, ppt::Fill::kNone);
    EXPECT_FALSE(s[i].line);
  }
  EXPECT_TRUE(s[4].line);
  EXPECT_EQ(s[1].picture, 0);
}

TEST(InheritedFills, TheEditorsDefaultsForNewShapesDecideNothing) {
  Deck d;
  // A box that stores its gradient's colours and nothing about being filled.
  d.slide = {
      deck::ShapeWithId(1, 0x3001, {{kLineColor, 0x0000FF}, {kFillType, 7}}, 3000, 100, 4000, 600)};
  ppt::Shape plain = OnlySlideShape(d);
  EXPECT_EQ(plain.fill.kind, ppt::Fill::kGradient) << "the format's own defaults";
  EXPECT_TRUE(plain.line);
  EXPECT_EQ(plain.line_color, (Rgb{0xFF, 0, 0}));
  d.defaults = {{kFillBooleans, kNoFill}, {kLineBooleans, kNoLine}, {kLineColor, 0x00FF00}};
  ppt::Shape same = OnlySlideShape(d);
  EXPECT_EQ(same.fill.kind, ppt::Fill::kGradient);
  EXPECT_TRUE(same.line);
  EXPECT_EQ(same.line_color, (Rgb{0xFF, 0, 0}));
}

TEST(InheritedFills, MastersNamingEachOtherOrNothingAreHarmless) {
  Deck d;
  d.defaults = kDefaults;
  // Two master shapes naming each other, and a slide shape naming itself.
  d.master = {
      deck::ShapeWithId(1, 0x2002, {{kShadowBooleans, kShadowOn}}, 500, 3000, 900, 3400, 0x2003),
      deck::ShapeWithId(1, 0x2003, {{kFillBooleans, kNoFill}}, 500, 3500, 900, 3900, 0x2002)};
  d.slide = {deck::ShapeWithId(1, 0x3001, {}, 3000, 100, 4000, 600, 0x2002),
             deck::ShapeWithId(1, 0x3002, {}, 3000, 700, 4000, 1200, 0x3002),
             deck::ShapeWithId(1, 0x3003, {}, 3000, 1300, 4000, 1800, 0x7777)};
  std::vector<ppt::Shape> s = SlideShapes(d);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_TRUE(s[0].shadow.visible);
  EXPECT_EQ(s[0].fill.kind, ppt::Fill::kNone) << "through the master's own master";
  EXPECT_EQ(s[1].fill.kind, ppt::Fill::kSolid);
  EXPECT_EQ(s[2].fill.kind, ppt::Fill::kSolid);
}

// --- text that fits its box ----------------------------------------------------------------

TEST(TextFit, OutlineTextFitsItsBoxUnlessTheBoxGrowsToIt) {
  struct Case {
    const char* what;
    Props master, own, defaults;
    bool by_name;  // the slide placeholder names its master; else found by kind
    bool shrink, grow;
  } cases[] = {
      {"nothing stored", {}, {}, {}, true, true, false},
      {"the undefined fit bit says no fit",
       {},
       {{kTextBooleans, kNoFitText}},
       {},
       true,
       true,
       false},
      {"the editor's defaults grow new boxes",
       {},
       {},
       {{kTextBooleans, kGrowBox}},
       true,
       true,
       false},
      {"master grows its box, named", {{kTextBooleans, kGrowBox}}, {}, {}, true, false, true},
      {"master grows its box, by kind", {{kTextBooleans, kGrowBox}}, {}, {}, false, false, true},
      {"the slide stores only other flags",
       {{kTextBooleans, kGrowBox}},
       {{kTextBooleans, 0x00100010}},
       {},
       true,
       false,
       true},
      {"the slide's own growth wins",
       {{kTextBooleans, kFitText}},
       {{kTextBooleans, kGrowBox}},
       {},
       true,
       false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Deck d;
    d.defaults = kDefaults;
    d.defaults.insert(d.defaults.end(), c.defaults.begin(), c.defaults.end());
    d.master = {MasterPlaceholder(0x2003, kMasterBody, c.master)};
    d.slide = {SlidePlaceholder(0x3001, kSlideBody, c.own, c.by_name ? 0x2003 : 0)};
    ppt::Shape s = OnlySlideShape(d);
    EXPECT_EQ(s.text.shrink_to_fit, c.shrink);
    EXPECT_EQ(s.text.fit_shape, c.grow);
  }
}

// --- links --------------------------------------------------------------------------------

TEST(TextLinks, LinkedTextShowsInTheHyperlinkColourUnderlined) {
  deck::DeckSpec spec;
  spec.slides.resize(2);
  spec.hyperlinks = {{1, "http://example.com", ""}};
  deck::ShapeSpec box;
  box.left = 3000;
  box.top = 100;
  box.right = 5000;
  box.bottom = 1000;
  box.text = "see the site now";
  box.text_links.push_back({4, 8, {4, 0, 8, 1}, false});  // "the ": a web link
  box.text_links.push_back({13, 16, {3, 1}, true});       // "now": next slide, on mouse over
  spec.slides[0].shapes = {box};
  deck::Bytes file = deck::Build(spec);
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
  const ppt::Shape* s = nullptr;
  for (const ppt::Shape& x : p.slides[0].shapes)
    if (x.anchor.left == 3000) s = &x;
  ASSERT_TRUE(s);
  ASSERT_EQ(s->text.paragraphs.size(), 1u);
  const Rgb kHyperlink{0x00, 0x99, 0x99};  // the deck's scheme colour 6
  std::string linked, plain;
  for (const ppt::Run& r : s->text.paragraphs[0].runs) {
    SCOPED_TRACE(ppt::ToUtf8(r.text));
    (r.link >= 0 ? linked : plain) += ppt::ToUtf8(r.text);
    EXPECT_EQ(r.underline, r.link >= 0);
    if (r.link >= 0) {
      EXPECT_EQ(r.color, kHyperlink);
    } else {
      EXPECT_FALSE(r.color == kHyperlink);
    }
  }
  EXPECT_EQ(linked, "the now");
  EXPECT_EQ(plain, "see site ");
}

// --- backgrounds ----------------------------------------------------------------------------

TEST(Backgrounds, TexturedAndPatternedFillsHaveTheirPicturesReady) {
  ppt::Presentation p;
  p.blips.resize(3);
  p.slides.resize(2);
  p.slides[0].background.kind = ppt::Fill::kTexture;
  p.slides[0].background.blip = 0;
  ppt::Shape patterned;
  patterned.fill.kind = ppt::Fill::kPattern;
  patterned.fill.blip = 1;
  p.slides[0].shapes = {patterned};
  p.slides[1].background.kind = ppt::Fill::kPicture;
  p.slides[1].background.blip = 2;
  viewer::PictureBudget budget(p, 1 << 20);
  std::vector<int> first = budget.PicturesOf(0);
  std::sort(first.begin(), first.end());
  EXPECT_EQ(first, (std::vector<int>{0, 1}));
  EXPECT_EQ(budget.PicturesOf(1), std::vector<int>{2});
}

// --- real files ----------------------------------------------------------------------------

TEST(CorpusFidelity, PicturesStayBareAndPlaceholdersUnfilled) {
  int files = 0;
  for (const char* name : {"42520.ppt", "slide_master.ppt", "ppt_with_png.ppt", "bullets.ppt",
                           "basic_test_ppt_file.ppt", "with_textbox.ppt"}) {
    ppt::Presentation p;
    if (!corpus::Load(name, &p)) continue;
    files++;
    SCOPED_TRACE(name);
    for (const ppt::Slide& slide : p.slides)
      for (const ppt::Shape& s : slide.shapes) {
        if (s.type == 75) {
          EXPECT_EQ(s.fill.kind, ppt::Fill::kNone);
          EXPECT_FALSE(s.line);
        }
        if (s.placeholder >= 0 && !s.text.empty()) {
          EXPECT_EQ(s.fill.kind, ppt::Fill::kNone);
        }
      }
  }
  if (!files) GTEST_SKIP() << "no corpus at " << corpus::Dir();
}

}  // namespace
