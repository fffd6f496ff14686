// Presentations saved by PowerPoint 95: slides, their text and their drawn objects, and streams
// cut short or lying about their lengths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ppt/pp95.h"
#include "ppt/presentation.h"
#include "viewer/tests/pp95_builder.h"

namespace {

using ppt::Presentation;
using ppt::Rgb;

// Master units from the slide's centre, as the format keeps them.
constexpr int32_t kHalfW = 2880, kHalfH = 2160;
const std::vector<uint32_t> kScheme{0xFFFFFF, 0x000000, 0x808080, 0x000080,
                                    0xFF6600, 0xFFCC00, 0x996633, 0x808000};

pp95::Bytes Deck() {
  using namespace pp95;
  const Bytes metafile{1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
  Bytes env = Environment({{"Tahoma"}}, {{{0, 0}, {288, 288}}, {{216, 0}, {468, 288}}}, {metafile});
  Bytes title = Object(-2600, -2000, 2200, -1300, Style(false, 1, false, 4),
                       Text("Overview", {{8, 40, 0, 0, 0, 0, 3}}, {{8, 0, 1}}, 0), 0xFFFFFFFD, 12);
  // Bold, then italic grey given as red, green and blue; a second paragraph at level 1.
  Bytes body =
      Object(-2600, -900, 2500, 1600, Style(false, 1, false, 4),
             Text("Lead in\rSecond", {{5, 32, 1}, {2, 32, 2, 0xC0, 0xC0, 0xC0, 0xFE}, {7, 24}},
                  {{8, 0, 2}, {7, 1, 0}}, 1, 1),
             0xFFFFFFFD, 13);
  Bytes ellipse = Object(1000, -500, 1400, 300, Style(true, 1, true, 5), {}, 0xFFFFFFFF);
  Bytes line = Polyline({{-100, 400}, {200, 500}, {600, 450}}, Style(true, 2, false, 0));
  Bytes empty_box = Object(0, 0, 100, 100, Style(false, 1, false, 4));  // shows nothing
  Bytes master_bar = Object(-2880, 1800, 2880, 2000, Style(false, 1, true, 4));
  Bytes master_picture =
      Object(-2000, -1300, 2000, -1100, Style(false, 1, false, 4), {}, 0xFFFFFFFD, -1, 0);
  Bytes missing_picture =
      Object(-2000, -1300, 2000, -1100, Style(false, 1, false, 4), {}, 0xFFFFFFFD, -1, 7);
  Bytes master = Slide({master_bar, master_picture, missing_picture,
                        Object(-2600, -2000, 2200, -1300, Style(false, 1, false, 4),
                               Text("Master title", {{12, 44}}, {{12}}, 0), 0xFFFFFFFD, 1)},
                       Scheme(kScheme), 0x03F8);
  return Document(env,
                  {Slide({title, body, ellipse, line, empty_box}, Scheme(kScheme)),
                   Slide({}, Scheme({0x000040, 0xFFFFFF}))},
                  master);
}

Presentation LoadDeck(const pp95::Bytes& d) {
  Presentation p;
  EXPECT_TRUE(ppt::detail::IsPowerPoint95(d.data(), d.size()));
  EXPECT_EQ(ppt::detail::LoadPowerPoint95(d.data(), d.size(), &p), ppt::LoadError::kNone);
  return p;
}

TEST(PowerPoint95, SlidesWithTheMastersObjectsBeneathTheirOwn) {
  Presentation p = LoadDeck(Deck());
  EXPECT_EQ(p.width, 5760);
  ASSERT_EQ(p.slides.size(), 2u);
  const ppt::Slide& s = p.slides[0];
  EXPECT_EQ(s.background.color, (Rgb{255, 255, 255}));
  EXPECT_EQ(p.slides[1].background.color, (Rgb{0, 0, 0x40})) << "each slide its own scheme";
  // The master's bar and picture first, then the slide's title, body, ellipse and line; the
  // master's title placeholder, its picture that is not in the list and the slide's empty box
  // show nothing.
  ASSERT_EQ(s.shapes.size(), 6u);
  EXPECT_EQ(s.shapes[0].anchor.top, 1800 + kHalfH);
  EXPECT_EQ(s.shapes[0].fill.color, (Rgb{0xFF, 0x66, 0}));
  EXPECT_EQ(s.shapes[1].picture, 0);
  EXPECT_EQ(p.slides[1].shapes.size(), 2u);
  EXPECT_EQ(s.shapes[2].placeholder, 12);
  EXPECT_EQ(s.shapes[2].anchor.left, -2600 + kHalfW);
  EXPECT_EQ(s.shapes[2].anchor.bottom, -1300 + kHalfH);
  // The picture is a metafile read from the document stream where it lies.
  ASSERT_EQ(p.blips.size(), 1u);
  EXPECT_EQ(p.blips[0].type, ppt::Blip::kWmf);
  EXPECT_EQ(p.blips[0].source, ppt::Blip::kDocument);
  EXPECT_EQ(p.blips[0].length, 22u);
}

TEST(PowerPoint95, TextKeepsItsRunsParagraphsAndRuler) {
  Presentation p = LoadDeck(Deck());
  const ppt::Shape& title = p.slides[0].shapes[2];
  ASSERT_EQ(title.text.paragraphs.size(), 1u);
  EXPECT_EQ(title.text.paragraphs[0].runs.at(0).text, u"Overview");
  EXPECT_EQ(title.text.paragraphs[0].runs[0].size, 40);
  EXPECT_EQ(title.text.paragraphs[0].runs[0].color, (Rgb{0, 0, 0x80})) << "the title colour";
  EXPECT_EQ(title.text.paragraphs[0].align, ppt::Paragraph::kCenter);
  EXPECT_TRUE(title.text.wrap);
  EXPECT_FALSE(title.text.fit_shape);
  EXPECT_EQ(title.text.anchor, ppt::TextBody::kTop);
  EXPECT_TRUE(title.text.face_lines) << "lines as tall as their face";

  const ppt::TextBody& body = p.slides[0].shapes[3].text;
  ASSERT_EQ(body.paragraphs.size(), 2u);
  const ppt::Paragraph& lead = body.paragraphs[0];
  ASSERT_EQ(lead.runs.size(), 2u);
  EXPECT_EQ(lead.runs[0].text, u"Lead ");
  EXPECT_TRUE(lead.runs[0].bold);
  EXPECT_EQ(lead.runs[0].font, "Tahoma");
  EXPECT_EQ(lead.runs[1].text, u"in");
  EXPECT_TRUE(lead.runs[1].italic);
  EXPECT_EQ(lead.runs[1].color, (Rgb{0xC0, 0xC0, 0xC0}));
  EXPECT_EQ(lead.align, ppt::Paragraph::kRight);
  const ppt::Paragraph& second = body.paragraphs[1];
  EXPECT_EQ(second.runs.at(0).text, u"Second");
  EXPECT_EQ(second.runs[0].size, 24);
  EXPECT_EQ(second.level, 1);
  EXPECT_EQ(second.left_margin, 468) << "the second ruler, which the text names";
  EXPECT_EQ(second.indent, 288);
}

TEST(PowerPoint95, DrawnObjectsKeepTheirKindLineAndFill) {
  Presentation p = LoadDeck(Deck());
  const ppt::Shape& ellipse = p.slides[0].shapes[4];
  EXPECT_EQ(ellipse.geometry, ppt::Shape::kEllipse);
  EXPECT_TRUE(ellipse.line);
  EXPECT_EQ(ellipse.fill.kind, ppt::Fill::kSolid);
  EXPECT_EQ(ellipse.fill.color, (Rgb{0xFF, 0xCC, 0}));
  const ppt::Shape& line = p.slides[0].shapes[5];
  EXPECT_EQ(line.geometry, ppt::Shape::kFreeform);
  EXPECT_EQ(line.fill.kind, ppt::Fill::kNone);
  EXPECT_EQ(line.line_color, (Rgb{0x80, 0x80, 0x80}));
  EXPECT_EQ(line.custom.vertices, (std::vector<int32_t>{-100, 400, 200, 500, 600, 450}));
  EXPECT_EQ(line.anchor.left, -100 + kHalfW);
  EXPECT_EQ(line.anchor.right, 600 + kHalfW);
}

TEST(PowerPoint95, RunsAndBulletsTakeTheFacesTheyNumber) {
  using namespace pp95;
  Bytes env =
      Environment({{"Arial", 0}, {"Tahoma", 1}, {"Monotype Sorts", 10, 2}, {"Symbol", 16, 2}},
                  {{{0, 0}, {288, 288}}});
  const Bullet sorts_square{0x15, 'n', 10, 0, 0, 0, 4};  // its face and colour
  const Bullet plain_dot{0x01, 0x95};                    // the text's face and colour
  const Bullet tahoma_dash{0x45, '-', 1, 0, 0, 0, 0, 75};
  const Bullet symbol_unknown{0x05, 0x20, 16};  // a code the face's table has nothing for
  Bytes text = Object(-2600, -900, 2500, 1600, Style(false, 1, false, 4),
                      Text("Tahoma up\rUnknown\rDash\rBlank",
                           {{7, 24, 4, 0, 0, 0, 1, 1, 30},
                            {3, 24, 0, 0, 0, 0, 1, 1},
                            {8, 24, 0, 0, 0, 0, 4, 7},
                            {10, 24, 0, 0, 0, 0, 1, 10}},
                           {{10, 0, 0, sorts_square, 80, -6, 10},
                            {8, 0, 0, plain_dot},
                            {5, 0, 0, tahoma_dash},
                            {5, 0, 0, symbol_unknown}}));
  Presentation p = LoadDeck(Document(env, {Slide({text}, Scheme(kScheme))}, Bytes()));
  const std::vector<ppt::Paragraph>& paras = p.slides.at(0).shapes.at(0).text.paragraphs;
  ASSERT_EQ(paras.size(), 4u);

  const ppt::Run& up = paras[0].runs.at(0);
  EXPECT_EQ(up.font, "Tahoma");
  EXPECT_TRUE(up.underline);
  EXPECT_EQ(up.escapement, 30);
  EXPECT_EQ(paras[0].runs.at(1).text, u"up");
  EXPECT_EQ(paras[0].runs[1].font, "Tahoma");
  EXPECT_EQ(paras[1].runs.at(0).font, "Arial") << "an unlisted number takes the first face";
  EXPECT_EQ(paras[1].runs[0].color, (Rgb{0xFF, 0x66, 0})) << "scheme slot 4";

  // Monotype Sorts' square as the Unicode one, in the bullet's own scheme colour.
  EXPECT_TRUE(paras[0].bullet);
  EXPECT_EQ(int(paras[0].bullet_char), 0x25A0);
  EXPECT_TRUE(paras[0].bullet_from_symbols);
  EXPECT_EQ(paras[0].bullet_color, (Rgb{0xFF, 0x66, 0}));
  EXPECT_EQ(paras[0].line_spacing, 80);
  EXPECT_EQ(paras[0].space_before, -6 * 8) << "points as master units";
  EXPECT_EQ(paras[0].space_after, 10);
  // A western bullet code in the text's own face and colour.
  EXPECT_TRUE(paras[1].bullet);
  EXPECT_EQ(int(paras[1].bullet_char), 0x2022);
  EXPECT_TRUE(paras[1].bullet_font.empty());
  EXPECT_EQ(paras[1].bullet_color, paras[1].runs[0].color);
  // A plain face named for the bullet, at its own size.
  EXPECT_EQ(paras[2].bullet_font, "Tahoma");
  EXPECT_EQ(int(paras[2].bullet_char), '-');
  EXPECT_EQ(paras[2].bullet_size, 75);
  // A symbol face's code with no equivalent still shows a bullet, not a Latin letter.
  EXPECT_EQ(int(paras[3].bullet_char), 0x2022);
  EXPECT_TRUE(paras[3].bullet_from_symbols);
  EXPECT_EQ(paras[3].runs.at(0).font, "Monotype Sorts") << "symbol runs keep their face";
}

TEST(PowerPoint95, LinesRunBetweenTheirEndsWithTheirArrowsWidthsAndShadows) {
  using namespace pp95;
  Look thick_dashed{2, 3}, shadowed{0, 0, true, 24, -16, 3};
  // Drawn right to left and upwards: the direction lives in the ends, not in flips.
  Bytes back_up = Line(400, 300, -200, -100, Style(true, 1, false, 4, thick_dashed), {0, 4});
  Bytes off = Line(0, 0, 100, 100, Style(false, 1, false, 4));  // no line: nothing to draw
  // A label whose box fits its unwrapped lines, centred top to bottom.
  Bytes box = Object(-500, -500, 500, 500, Style(true, 1, true, 4, shadowed),
                     Text("Label", {{5}}, {{5}}, 4, 0, 0x01, 0x13));
  Presentation p = LoadDeck(Document(Environment({{"Arial"}}, {}),
                                     {Slide({back_up, off, box}, Scheme(kScheme))}, Bytes()));
  const std::vector<ppt::Shape>& shapes = p.slides.at(0).shapes;
  ASSERT_EQ(shapes.size(), 2u);
  const ppt::Shape& line = shapes[0];
  EXPECT_EQ(line.geometry, ppt::Shape::kLine);
  EXPECT_EQ(line.anchor.left, -200 + kHalfW);
  EXPECT_EQ(line.anchor.top, -100 + kHalfH);
  EXPECT_EQ(line.anchor.right, 400 + kHalfW);
  EXPECT_EQ(line.anchor.bottom, 300 + kHalfH);
  EXPECT_TRUE(line.flip_h);
  EXPECT_TRUE(line.flip_v);
  EXPECT_EQ(line.fill.kind, ppt::Fill::kNone);
  EXPECT_EQ(line.line_width, 3 * 12700) << "width code 2: three points";
  EXPECT_EQ(line.line_style.dash, ppt::LineStyle::kDash);
  EXPECT_EQ(line.line_style.start.style, ppt::LineEnd::kNone);
  EXPECT_EQ(line.line_style.end.style, ppt::LineEnd::kTriangle);

  const ppt::Shape& b = shapes[1];
  EXPECT_EQ(b.line_width, 12700);
  EXPECT_TRUE(b.shadow.visible);
  EXPECT_EQ(b.shadow.color, (Rgb{0x80, 0x80, 0x80}));
  EXPECT_EQ(b.shadow.dx, 24);
  EXPECT_EQ(b.shadow.dy, -16);
  EXPECT_TRUE(b.flip_h && b.flip_v);
  EXPECT_FALSE(b.text.wrap);
  EXPECT_TRUE(b.text.fit_shape);
  EXPECT_EQ(b.text.anchor, ppt::TextBody::kMiddle);
}

TEST(PowerPoint95, SlidesFollowTheMasterTheyName) {
  using namespace pp95;
  constexpr uint32_t kMasterId = 0x80000004, kTitleMasterId = 0x80000005;
  Bytes style = Style(false, 1, true, 4);
  Bytes master =
      Slide({Object(-2880, 1800, 2880, 2000, style)}, Scheme(kScheme), 0x03F8, kMasterId);
  // The title master is kept as a slide in the masters' list, with a bar of its own.
  Bytes title_master =
      Slide({Object(-2880, 0, 2880, 100, style)}, Scheme({0}), 0x03EE, kTitleMasterId);
  Presentation p = LoadDeck(Document(Environment({{"Arial"}}, {}),
                                     {Slide({}, Scheme(kScheme), 0x03EE, 0x100, kTitleMasterId),
                                      Slide({}, Scheme(kScheme), 0x03EE, 0x101, kMasterId),
                                      Slide({}, Scheme(kScheme), 0x03EE, 0x102, 0x12345)},
                                     master, 5760, 4320, title_master));
  ASSERT_EQ(p.slides.size(), 3u) << "the title master is no slide";
  ASSERT_EQ(p.slides[0].shapes.size(), 1u);
  EXPECT_EQ(p.slides[0].shapes[0].anchor.top, kHalfH);
  EXPECT_EQ(p.slides[0].background.color, (Rgb{255, 255, 255})) << "the slide's own colours";
  ASSERT_EQ(p.slides[1].shapes.size(), 1u);
  EXPECT_EQ(p.slides[1].shapes[0].anchor.top, 1800 + kHalfH);
  ASSERT_EQ(p.slides[2].shapes.size(), 1u) << "an unknown master: the slide master";
  EXPECT_EQ(p.slides[2].shapes[0].anchor.top, 1800 + kHalfH);
}

TEST(PowerPoint95, StreamsCutShortOrLyingAboutLengthsAreSafe) {
  const pp95::Bytes whole = Deck();
  for (size_t n = 0; n < whole.size(); n += 7) {
    pp95::Bytes cut(whole.begin(), whole.begin() + long(n));
    Presentation p;
    if (ppt::detail::IsPowerPoint95(cut.data(), cut.size()))
      ppt::detail::LoadPowerPoint95(cut.data(), cut.size(), &p);
  }
  // Every length field claiming far more than there is.
  for (size_t at = 8; at + 4 <= whole.size(); at += 16) {
    pp95::Bytes lying = whole;
    lying[at + 3] = 0x7F;
    Presentation p;
    if (ppt::detail::IsPowerPoint95(lying.data(), lying.size()))
      ppt::detail::LoadPowerPoint95(lying.data(), lying.size(), &p);
  }
  Presentation p;
  EXPECT_FALSE(ppt::detail::IsPowerPoint95(nullptr, 0));
  pp95::Bytes no_slides = pp95::Document(pp95::Bytes(), {}, pp95::Bytes());
  ASSERT_TRUE(ppt::detail::IsPowerPoint95(no_slides.data(), no_slides.size()));
  EXPECT_EQ(ppt::detail::LoadPowerPoint95(no_slides.data(), no_slides.size(), &p),
            ppt::LoadError::kDamaged);
}

}  // namespace
