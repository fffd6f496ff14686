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
  Bytes env = Environment("Tahoma", {{{0, 0}, {288, 288}}, {{216, 0}, {468, 288}}}, {metafile});
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
