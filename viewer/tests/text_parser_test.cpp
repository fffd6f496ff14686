#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "ppt/fields.h"
#include "ppt/presentation.h"
#include "ppt/text.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/corpus.h"

namespace {

using deck::Bytes;
using deck::Put16;
using deck::Put32;

// 5 March 2024 (a Tuesday), 14:07:09: what every date field in these tests shows.
ppt::LoadOptions FixedDate() {
  ppt::LoadOptions o;
  o.year = 2024;
  o.month = 3;
  o.day = 5;
  o.hour = 14;
  o.minute = 7;
  o.second = 9;
  return o;
}

// The text box of a one-slide deck.
const ppt::TextBody& TextOf(const ppt::Presentation& p) {
  static const ppt::TextBody none;
  if (p.slides.empty()) return none;
  for (const ppt::Shape& s : p.slides[0].shapes)
    if (!s.text.paragraphs.empty()) return s.text;
  return none;
}

bool LoadSlide(const deck::SlideSpec& slide, ppt::Presentation* p,
               const std::vector<Bytes>& doc_records = {}, int slides = 1) {
  deck::DeckSpec deck_plan;
  for (int i = 0; i < slides; i++) deck_plan.slides.push_back(slide);
  deck_plan.doc_records = doc_records;
  Bytes b = deck::Build(deck_plan);
  return ppt::Load(b.data(), b.size(), p, FixedDate()) == ppt::LoadError::kNone;
}

std::string Text(const ppt::Paragraph& para) {
  std::u16string s;
  for (const ppt::Run& r : para.runs) s += r.text;
  return ppt::ToUtf8(s);
}

Bytes& operator+=(Bytes& a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes U16s(std::initializer_list<uint16_t> v) {
  Bytes b;
  for (uint16_t x : v) Put16(b, x);
  return b;
}

// --- fields -----------------------------------------------------------------------------------

TEST(TextFields, SlideNumberReplacesItsPlaceholderCharacter) {
  deck::SlideSpec slide;
  slide.text = "Page (*) of the deck";
  slide.text_records = {deck::FieldAtom(0x0FD8, 6)};
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p, {}, 3));
  for (size_t i = 0; i < 3; i++) {
    ASSERT_FALSE(p.slides[i].shapes.empty());
    const ppt::Shape& s = p.slides[i].shapes[0];
    ASSERT_EQ(s.text.paragraphs.size(), 1u);
    EXPECT_EQ(Text(s.text.paragraphs[0]), "Page (" + std::to_string(i + 1) + ") of the deck");
    EXPECT_TRUE(s.text.fields & ppt::TextBody::kSlideNumberField);
  }
}

TEST(TextFields, DatesAndTimesInEveryFormat) {
  const char* expected[] = {"3/5/2024",
                            "Tuesday, March 5, 2024",
                            "5 March 2024",
                            "March 5, 2024",
                            "5-Mar-24",
                            "March 24",
                            "Mar-24",
                            "3/5/2024 2:07 PM",
                            "3/5/2024 2:07:09 PM",
                            "14:07",
                            "14:07:09",
                            "2:07 PM",
                            "2:07:09 PM",
                            "3/5/2024"};  // unknown formats: the short date
  for (int format = 0; format < 14; format++) {
    SCOPED_TRACE(format);
    deck::SlideSpec slide;
    slide.text = "on *";
    slide.text_records = {deck::FieldAtom(0x0FF7, 3, uint8_t(format))};
    ppt::Presentation p;
    ASSERT_TRUE(LoadSlide(slide, &p));
    ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
    EXPECT_EQ(Text(TextOf(p).paragraphs[0]), std::string("on ") + expected[format]);
  }
  // Midnight and noon on the twelve-hour clock; the weekday of a leap day.
  ppt::DateTime t = ppt::DateTimeFor(2028, 2, 29, 0, 5, 0);
  EXPECT_EQ(ppt::ToUtf8(ppt::FormatDateTime(11, t)), "12:05 AM");
  EXPECT_EQ(ppt::ToUtf8(ppt::FormatDateTime(1, t)), "Tuesday, February 29, 2028");
  t = ppt::DateTimeFor(2028, 2, 29, 12, 0, 0);
  EXPECT_EQ(ppt::ToUtf8(ppt::FormatDateTime(11, t)), "12:00 PM");
  // Without a date given, now: some year after this code was written.
  EXPECT_GE(ppt::DateTimeFor(0, 0, 0, 0, 0, 0).year, 2024);
}

TEST(TextFields, FooterHeaderAndDocumentDateFromHeadersAndFooters) {
  auto cstring = [](uint16_t inst, const std::string& s) {
    Bytes b;
    for (char c : s) Put16(b, uint8_t(c));
    return deck::Rec(0x0FBA, b, inst);
  };
  Bytes atom;
  Put16(atom, 3);                        // date format: "March 5, 2024"
  Put16(atom, 0x1 | 0x2 | 0x20 | 0x10);  // date (today's), header, footer
  Bytes hf =
      deck::Box(0x0FD9, {deck::Rec(0x0FDA, atom), cstring(1, "Head"), cstring(2, "Foot")}, 3);
  deck::SlideSpec slide;
  slide.text = "* / * / *";
  slide.text_records = {deck::FieldAtom(0x0FFA, 0), deck::FieldAtom(0x0FF9, 4),
                        deck::FieldAtom(0x0FF8, 8)};
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p, {hf}));
  ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
  EXPECT_EQ(Text(TextOf(p).paragraphs[0]), "Foot / Head / March 5, 2024");
}

// --- paragraphs -------------------------------------------------------------------------------

TEST(TextParagraphs, RulerIndentsTabsAndDefaultTabSize) {
  // Default tab size 288; stops at 100 (left) and 900 (right); level 1: margin 200 indent 50;
  // level 2: margin 400 indent 300.
  Bytes ruler;
  Put32(ruler, 0x1 | 0x4 | 0x8 | 0x10 | 0x100 | 0x200);
  Put16(ruler, 288);
  ruler += U16s({2, 100, 0, 900, 2});
  ruler += U16s({200, 50, 400, 300});
  for (uint16_t level : {0, 1}) {
    SCOPED_TRACE(level);
    deck::SlideSpec slide;
    slide.text = "a\tb";
    slide.text_records = {deck::StyleTextProp(4, level, 0, {}, 0, {}), deck::Rec(0x0FA6, ruler)};
    ppt::Presentation p;
    ASSERT_TRUE(LoadSlide(slide, &p));
    ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
    const ppt::Paragraph& para = TextOf(p).paragraphs[0];
    EXPECT_EQ(para.left_margin, level == 0 ? 200 : 400);
    EXPECT_EQ(para.indent, level == 0 ? 50 : 300);
    EXPECT_EQ(para.default_tab, 288);
    ASSERT_EQ(para.tabs.size(), 2u);
    EXPECT_EQ(para.tabs[0].position, 100);
    EXPECT_EQ(para.tabs[1].kind, ppt::TabStop::kRight);
  }
}

TEST(TextParagraphs, JustifiedWithABulletFontAndColour) {
  // Bullet on with its own font (the deck's font 0) and colour, bullet char '-', justified.
  Bytes para = U16s({0x7, '-', 0});
  Put32(para, 0xFE0000FF);  // red, as an RGB colour
  Put16(para, 3);
  deck::SlideSpec slide;
  slide.text = "justified";
  slide.text_records = {
      deck::StyleTextProp(10, 0, 0x1 | 0x2 | 0x4 | 0x10 | 0x20 | 0x80 | 0x800, para, 0, {})};
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p));
  ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
  const ppt::Paragraph& pa = TextOf(p).paragraphs[0];
  EXPECT_EQ(pa.align, ppt::Paragraph::kJustify);
  EXPECT_TRUE(pa.bullet);
  EXPECT_EQ(pa.bullet_char, u'-');
  EXPECT_EQ(pa.bullet_font, "Arial");
  EXPECT_FALSE(pa.bullet_from_symbols);
  EXPECT_EQ(pa.bullet_color, (ppt::Rgb{255, 0, 0}));
}

// Text in shapes takes the document's default style; a master's style of that type gives way to
// it (files written by other suites carry a right-aligned one there). Titles keep the master's.
TEST(TextParagraphs, TextInShapesTakesTheDocumentsStyleBeforeTheMasters) {
  const uint32_t kAlign = 0x800;
  auto aligned = [&](int type, uint16_t align) {
    Bytes b = U16s({1});  // one level
    Put32(b, kAlign);
    Put16(b, align);
    Put32(b, 0);  // no character props
    return deck::Rec(0x0FA3, b, uint16_t(type));
  };
  const int kTitle = 0, kOther = 4;
  deck::SlideSpec slide;
  slide.text = "box";
  auto align_of = [&](const deck::DeckSpec& deck_plan) {
    Bytes b = deck::Build(deck_plan);
    ppt::Presentation p;
    EXPECT_EQ(ppt::Load(b.data(), b.size(), &p, FixedDate()), ppt::LoadError::kNone);
    return TextOf(p).paragraphs.empty() ? -1 : int(TextOf(p).paragraphs[0].align);
  };
  deck::DeckSpec deck_plan;
  deck_plan.slides = {slide};
  deck_plan.master_text_styles = {aligned(kOther, 2)};
  EXPECT_EQ(align_of(deck_plan), ppt::Paragraph::kRight);  // nothing above the master's
  deck_plan.doc_text_styles = {aligned(kOther, 0)};
  EXPECT_EQ(align_of(deck_plan), ppt::Paragraph::kLeft);
  deck_plan.slides[0].text_type = kTitle;
  deck_plan.master_text_styles.push_back(aligned(kTitle, 1));
  deck_plan.doc_text_styles.push_back(aligned(kTitle, 2));
  EXPECT_EQ(align_of(deck_plan), ppt::Paragraph::kCenter);
}

// A bullet in a symbol face shows the character that face draws at its code, whatever face the
// machine has: Monotype Sorts' arrow, Wingdings' square.
TEST(TextParagraphs, SymbolFaceBulletsShowTheirFacesCharacters) {
  const uint16_t kHasBulletWithFont = 0x1 | 0x2;
  const uint32_t kFlags = 0x1 | 0x2, kChar = 0x80, kFont = 0x10;
  struct Case {
    const char* face;
    uint16_t code;
    char16_t shown;
  } cases[] = {{"Monotype Sorts", 0xE4, 0x27A4},
               {"Wingdings", 0x6E, 0x25A0},
               {"Symbol", 0xB7, 0x2022},
               {"Zapf Dingbats", 0xAC, 0x2460}};
  for (const Case& c : cases) {
    deck::SlideSpec slide;
    slide.text = "item";
    slide.text_records = {deck::StyleTextProp(5, 0, kFlags | kChar | kFont,
                                              U16s({kHasBulletWithFont, c.code, 1}), 0, {})};
    deck::DeckSpec deck_plan;
    deck_plan.slides = {slide};
    deck_plan.fonts = {{c.face, 2}};  // the symbol character set
    deck::Bytes file = deck::Build(deck_plan);
    ppt::Presentation p;
    ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
    const ppt::Paragraph& pa = TextOf(p).paragraphs[0];
    EXPECT_TRUE(pa.bullet) << c.face;
    EXPECT_EQ(int(pa.bullet_char), int(c.shown)) << c.face;
    EXPECT_TRUE(pa.bullet_from_symbols) << c.face << ": drawn by a stand-in for symbol faces";
  }
}

TEST(TextParagraphs, AutomaticNumbersCountOnFromTheirStart) {
  deck::SlideSpec slide;
  slide.text = "one\rtwo\r\rthree";
  Bytes flags = U16s({1});
  slide.text_records = {deck::StyleTextProp(15, 0, 0x1, flags, 0, {})};
  slide.client_data = {deck::NumberingTag({{9, 4}})};  // a) from d)
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p));
  const ppt::TextBody& body = TextOf(p);
  ASSERT_EQ(body.paragraphs.size(), 4u);
  EXPECT_EQ(ppt::ToUtf8(body.paragraphs[0].bullet_text), "d)");
  EXPECT_EQ(ppt::ToUtf8(body.paragraphs[1].bullet_text), "e)");
  EXPECT_EQ(ppt::ToUtf8(body.paragraphs[2].bullet_text), "");  // empty: neither shown nor counted
  EXPECT_EQ(ppt::ToUtf8(body.paragraphs[3].bullet_text), "f)");
  // The empty paragraph keeps the text's size for its line.
  ASSERT_EQ(body.paragraphs[2].runs.size(), 1u);
  EXPECT_EQ(body.paragraphs[2].runs[0].size, body.paragraphs[0].runs[0].size);
}

TEST(TextParagraphs, PictureBulletsComeFromTheDocumentsBulletPictures) {
  Bytes png_body(16, 0x11);
  png_body.push_back(0xFF);
  png_body += Bytes{0x89, 'P', 'N', 'G', 7};
  Bytes png = deck::Rec(0xF01E, png_body, 0x6E0);
  deck::SlideSpec slide;
  slide.text = "pictured";
  slide.text_records = {deck::StyleTextProp(9, 0, 0x1, U16s({1}), 0, {})};
  slide.client_data = {deck::PictureBulletTag(1)};
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p, {deck::BulletPictures({png, png})}));
  ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
  int blip = TextOf(p).paragraphs[0].bullet_blip;
  ASSERT_GE(blip, 0);
  ASSERT_LT(size_t(blip), p.blips.size());
  EXPECT_EQ(p.blips[size_t(blip)].type, ppt::Blip::kPng);
  EXPECT_EQ(blip, 1);  // the second bullet picture, after an empty picture store
}

TEST(TextParagraphs, NumberingSchemes) {
  struct Case {
    uint16_t scheme;
    int n;
    const char* text;
  } cases[] = {
      {0, 1, "a."},    {1, 28, "BB."},    {2, 3, "3)"},    {3, 10, "10."}, {4, 4, "(iv)"},
      {5, 9, "ix)"},   {6, 3, "iii."},    {7, 14, "XIV."}, {8, 2, "(b)"},  {9, 26, "z)"},
      {10, 3, "(C)"},  {11, 1, "A)"},     {12, 2, "(2)"},  {13, 7, "7"},   {14, 1999, "(MCMXCIX)"},
      {15, 40, "XL)"}, {18, 3, "\u2462"}, {20, 11, "11"},  {999, 5, "5."}};
  for (const Case& c : cases)
    EXPECT_EQ(ppt::ToUtf8(ppt::AutoNumberText(c.scheme, c.n)), c.text) << c.scheme << " " << c.n;
}

// --- characters and frames --------------------------------------------------------------------

TEST(TextCharacters, SuperscriptShadowEmbossAndBold) {
  Bytes chars = U16s({0x1 | 0x10 | 0x200});
  Put16(chars, uint16_t(int16_t(-25)));
  deck::SlideSpec slide;
  slide.text = "H2O";
  slide.text_records = {deck::StyleTextProp(4, 0, 0, {}, 0x1 | 0x10 | 0x200 | 0x80000, chars)};
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p));
  ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
  const ppt::Run& r = TextOf(p).paragraphs[0].runs[0];
  EXPECT_TRUE(r.bold);
  EXPECT_TRUE(r.shadow);
  EXPECT_TRUE(r.emboss);
  EXPECT_EQ(r.escapement, -25);
}

// Each character takes the run it lies in, the last one of a run included: a bold word
// followed by plain text stays bold to its last letter, in every paragraph.
TEST(TextCharacters, RunsEndAfterTheirLastCharacter) {
  const uint32_t kBold = 0x1;
  Bytes runs;  // one paragraph run over the text and its end mark, then the character runs
  Put32(runs, 15);
  Put16(runs, 0);
  Put32(runs, 0);
  for (auto [count, bold] : {std::pair{4u, 1}, {7u, 0}, {3u, 1}, {1u, 0}}) {
    Put32(runs, count);
    Put32(runs, kBold);
    Put16(runs, uint16_t(bold));
  }
  deck::SlideSpec slide;
  slide.text = "Bold plain\rTwo";
  slide.text_records = {deck::Rec(0x0FA1, runs)};
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p));
  const std::vector<ppt::Paragraph>& paras = TextOf(p).paragraphs;
  ASSERT_EQ(paras.size(), 2u);
  ASSERT_EQ(paras[0].runs.size(), 2u);
  EXPECT_EQ(ppt::ToUtf8(paras[0].runs[0].text), "Bold");
  EXPECT_TRUE(paras[0].runs[0].bold);
  EXPECT_EQ(ppt::ToUtf8(paras[0].runs[1].text), " plain");
  EXPECT_FALSE(paras[0].runs[1].bold);
  ASSERT_EQ(paras[1].runs.size(), 1u);
  EXPECT_EQ(ppt::ToUtf8(paras[1].runs[0].text), "Two");
  EXPECT_TRUE(paras[1].runs[0].bold);
}

// A character inserted as a symbol (stored in the private range) shows in the run's symbol
// face, whatever face the text around it is in.
TEST(TextCharacters, InsertedSymbolsShowInTheRunsSymbolFace) {
  const uint32_t kSymbolFont = 0x800000;
  Bytes runs;  // one paragraph run, then the arrow with its symbol face and the rest
  Put32(runs, 5);
  Put16(runs, 0);
  Put32(runs, 0);
  Put32(runs, 1);
  Put32(runs, kSymbolFont);
  Put16(runs, 1);  // the deck's second font
  Put32(runs, 4);
  Put32(runs, 0);
  deck::DeckSpec deck_plan;
  deck_plan.fonts = {{"Wingdings", 2}};
  deck_plan.slides.resize(1);
  deck_plan.slides[0].wide_text = u"\uF0E8 go";
  deck_plan.slides[0].text_records = {deck::Rec(0x0FA1, runs)};
  Bytes b = deck::Build(deck_plan);
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p, FixedDate()), ppt::LoadError::kNone);
  ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
  const std::vector<ppt::Run>& r = TextOf(p).paragraphs[0].runs;
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].font, "Wingdings");
  EXPECT_EQ(r[0].text, u"\uF0E8");
  EXPECT_EQ(r[1].font, "Arial");
  EXPECT_EQ(r[1].text, u" go");
}

// A run's colour whose index byte says "undefined" leaves the colour to the style beneath: here
// the document's style for text in shapes, the scheme's background colour (white).
TEST(TextCharacters, AnUndefinedColourLeavesTheStylesColour) {
  const uint32_t kColor = 0x40000;
  Bytes style = U16s({1});
  Put32(style, 0);  // no paragraph props
  Put32(style, kColor);
  Put32(style, 0x00000000);  // scheme colour 0
  deck::DeckSpec deck_plan;
  deck_plan.doc_text_styles = {deck::Rec(0x0FA3, style, 4)};
  auto colour_of = [&](uint32_t run_colour) {
    Bytes chars;
    Put32(chars, run_colour);
    deck::SlideSpec slide;
    slide.text = "text";
    slide.text_records = {deck::StyleTextProp(5, 0, 0, {}, kColor, chars)};
    deck_plan.slides = {slide};
    Bytes b = deck::Build(deck_plan);
    ppt::Presentation p;
    EXPECT_EQ(ppt::Load(b.data(), b.size(), &p, FixedDate()), ppt::LoadError::kNone);
    return TextOf(p).paragraphs.empty() ? ppt::Rgb{1, 2, 3} : TextOf(p).paragraphs[0].runs[0].color;
  };
  EXPECT_EQ(colour_of(0xFFFFFFFF), (ppt::Rgb{255, 255, 255}));
  EXPECT_EQ(colour_of(0xFE0000FF), (ppt::Rgb{255, 0, 0}));
}

TEST(TextFrame, AnchorCentringWrapFitAndFlow) {
  struct Case {
    std::vector<std::pair<uint16_t, uint32_t>> props;
    ppt::TextBody::Anchor anchor;
    bool centered, wrap, fit;
    ppt::TextBody::Flow flow;
  } cases[] = {
      {{}, ppt::TextBody::kTop, false, true, false, ppt::TextBody::kHorizontal},
      {{{0x0087, 4}}, ppt::TextBody::kMiddle, true, true, false, ppt::TextBody::kHorizontal},
      {{{0x0087, 7}}, ppt::TextBody::kBottom, false, true, false, ppt::TextBody::kHorizontal},
      {{{0x0085, 2}, {0x00BF, 0x00020002}},
       ppt::TextBody::kTop,
       false,
       false,
       true,
       ppt::TextBody::kHorizontal},
      {{{0x00BF, 0x00020000}},
       ppt::TextBody::kTop,
       false,
       true,
       false,
       ppt::TextBody::kHorizontal},  // the use bit alone: not fitted
      {{{0x0088, 1}}, ppt::TextBody::kTop, false, true, false, ppt::TextBody::kDown},
      {{{0x0088, 2}}, ppt::TextBody::kTop, false, true, false, ppt::TextBody::kUp},
      {{{0x0089, 3}}, ppt::TextBody::kTop, false, true, false, ppt::TextBody::kUp},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    deck::SlideSpec slide;
    slide.text = "frame";
    slide.text_props = c.props;
    ppt::Presentation p;
    ASSERT_TRUE(LoadSlide(slide, &p));
    const ppt::TextBody& b = TextOf(p);
    EXPECT_EQ(b.anchor, c.anchor);
    EXPECT_EQ(b.centered, c.centered);
    EXPECT_EQ(b.wrap, c.wrap);
    EXPECT_EQ(b.fit_shape, c.fit);
    EXPECT_EQ(b.flow, c.flow);
  }
}

TEST(TextFrame, OnlyBodyPlaceholdersThatKeepTheirSizeShrinkTheirText) {
  const uint32_t kBody = 1, kTitle = 0, kHalfBody = 7, kOther = 4;
  const uint32_t kBodyPlaceholder = 0x0E, kTitlePlaceholder = 0x0D;
  struct Case {
    const char* what;
    uint32_t text_type;
    int placeholder;  // -1: none
    bool fit_shape;
    bool shrink;
  } cases[] = {
      {"body placeholder", kBody, kBodyPlaceholder, false, true},
      {"half body", kHalfBody, kBodyPlaceholder, false, true},
      {"body that resizes its shape", kBody, kBodyPlaceholder, true, false},
      {"title", kTitle, kTitlePlaceholder, false, false},
      {"body text outside a placeholder", kBody, -1, false, false},
      {"text box", kOther, -1, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    deck::SlideSpec slide;
    slide.text = "a body of text";
    slide.text_type = c.text_type;
    if (c.fit_shape) slide.text_props = {{0x00BF, 0x00020002}};
    if (c.placeholder >= 0)
      slide.client_data = {deck::Rec(0x0BC3, deck::Words({0, uint32_t(c.placeholder)}))};
    ppt::Presentation p;
    ASSERT_TRUE(LoadSlide(slide, &p));
    EXPECT_EQ(TextOf(p).shrink_to_fit, c.shrink);
  }
}

TEST(TextHostile, DamagedRulersFieldsAndTagsAreHarmless) {
  Bytes ruler;
  Put32(ruler, 0xFFFFFFFF);
  ruler += U16s({5, 288, 0xFFFF});  // a tab count far past the record
  Bytes bad_tag = deck::NumberingTag({{3, 1}});
  bad_tag.resize(bad_tag.size() - 7);
  deck::SlideSpec slide;
  slide.text = "a*b";
  slide.text_records = {deck::Rec(0x0FA6, ruler), deck::FieldAtom(0x0FD8, 0xFFFFFFF0),
                        deck::Rec(0x0FF7, Bytes{1, 0})};
  slide.client_data = {bad_tag};
  ppt::Presentation p;
  ASSERT_TRUE(LoadSlide(slide, &p));
  ASSERT_EQ(TextOf(p).paragraphs.size(), 1u);
  EXPECT_EQ(Text(TextOf(p).paragraphs[0]), "a*b");
}

// --- real files -------------------------------------------------------------------------------

TEST(TextCorpus, HeadersAndFootersShowTodaysDateAndPerSlideTexts) {
  Bytes b;
  if (!corpus::Read("headers_footers.ppt", &b)) GTEST_SKIP() << "no corpus";
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p, FixedDate()), ppt::LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 2u);
  std::vector<std::string> first, second;
  for (const ppt::Shape& s : p.slides[0].shapes)
    for (const ppt::Paragraph& para : s.text.paragraphs) first.push_back(Text(para));
  for (const ppt::Shape& s : p.slides[1].shapes)
    for (const ppt::Paragraph& para : s.text.paragraphs) second.push_back(Text(para));
  EXPECT_EQ(first, (std::vector<std::string>{"3/5/2024", "Global Slide Footer", "1"}));
  EXPECT_EQ(second, (std::vector<std::string>{"custom date format", "per-slide footer", "2"}));
}

TEST(TextCorpus, BulletsMarginsAndFrames) {
  Bytes b;
  if (!corpus::Read("bullets.ppt", &b)) GTEST_SKIP() << "no corpus";
  ppt::Presentation p;
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 2u);
  const ppt::Shape& body = p.slides[0].shapes.at(1);
  ASSERT_EQ(body.text.paragraphs.size(), 4u);
  for (const ppt::Paragraph& para : body.text.paragraphs) {
    EXPECT_TRUE(para.bullet);
    EXPECT_GT(para.left_margin, para.indent);  // a hanging indent from the master's ruler
  }
  const ppt::Shape& custom = p.slides[1].shapes.at(1);
  ASSERT_FALSE(custom.text.paragraphs.empty());
  EXPECT_EQ(custom.text.paragraphs[0].bullet_char, char16_t(0x263A));
  EXPECT_FALSE(custom.text.wrap);

  if (!corpus::Read("text-margins.ppt", &b)) return;
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 1u);
  ASSERT_EQ(p.slides[0].shapes.size(), 4u);
  // Each box has one wide inset, on a different side.
  const ppt::Rect& a = p.slides[0].shapes[0].text.insets;
  const ppt::Rect& d = p.slides[0].shapes[3].text.insets;
  EXPECT_GT(a.top, 4 * a.bottom);
  EXPECT_GT(d.right, 3 * d.left);
  for (const ppt::Shape& s : p.slides[0].shapes) EXPECT_TRUE(s.text.fit_shape);
}

}  // namespace
