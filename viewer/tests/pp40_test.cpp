// Presentations saved by PowerPoint 4 for Windows: slides in their list's order, the master's
// objects, text and drawn frames, and streams that are cut short or name what is not there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ppt/pp40.h"
#include "ppt/presentation.h"
#include "viewer/tests/corpus.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/pp40_builder.h"
#include "viewer/tests/pp95_builder.h"

namespace {

using ppt::Presentation;
using ppt::Rgb;
using ppt::Shape;

// Stored coordinates run from the page's centre.
constexpr int32_t kHalfW = 2880, kHalfH = 2160;
const std::vector<uint32_t> kScheme{0xFFFFFF, 0x000000, 0x808080, 0x000080,
                                    0xFF6600, 0xFFCC00, 0x996633, 0x808000};
const pp40::Bytes kMetafile{1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};

struct Deck {
  pp40::Bytes stream;
  uint32_t metafile_at = 0;  // where the metafile lies in the stream
};

uint32_t MasterSlide(pp40::Stream* s) {
  using namespace pp40;
  Frame title{1, 0, 0, 1, -2600, -2000, 2200, -1300};
  Frame bar{1, 1, 0, 0, -2880, 1800, 2880, 2000};
  bar.fill_color = 8;  // one of the document's own colours
  Frame picture{1, 0, 0, 2, -2000, -1300, 2000, -1100};
  picture.picture = 1;
  Frame footer{1, 0, 0, 1, -2800, 1900, 0, 2100};
  uint32_t texts = s->Add(
      TextZone({Text(0, 0x20, -2800, 1900, 0, 2100, "Footer", {{6, 0, 12}}, {{6}}),
                Text(0, 0x20, -2600, -2000, 2200, -1300, "Master title", {{12, 0, 44}}, {{12}})}));
  uint32_t frames = s->Add(Frames({title, bar, picture, footer}));
  return s->Add(Slide(s->Add(Content(texts, frames, 0, -1, false, 0))));
}

uint32_t FirstSlide(pp40::Stream* s) {
  using namespace pp40;
  Frame ellipse{1, 1, 1, 0, 1000, -500, 1400, 300};
  ellipse.shape = -1;
  ellipse.fill_color = 5;
  ellipse.line_color = 2;
  Frame title{1, 0, 0, 1, -2600, -2000, 2200, -1300};
  Frame body{1, 0, 0, 1, -2600, -900, 2500, 1600};
  Frame triangle{2, 1, 1, 0, -500, 500, -100, 900};
  Frame line{0, 0, 4, 0, 600, 400, 200, 800};  // drawn from its right end, dashed
  line.weight = 3;
  Frame nothing{1, 0, 0, 0, 0, 0, 100, 100};
  Frame turned{1, 1, 0, 0, 0, 0, 100, 100};
  turned.shape = 0x2001;  // the menu's triangle, half a turn round
  Frame arc{3, 1, 1, 0, 0, 0, 100, 100};
  arc.shape = 0;
  arc.sweep = 90 * 16;  // a quarter, from three o'clock up to twelve
  // The frames' own texts come first; the title's and the body's follow.
  uint32_t texts = s->Add(TextZone(
      {Text(0, 0x72, -2560, -1980, 2160, -1320, "Overview", {{8, 0, 40, 0, 3}}, {{8, 0, 1}}),
       Text(1, 0x22, -2580, -880, 2480, 1580, "Lead in\rSecond",
            {{5, 1, 32, 1}, {2, 1, 32, 2, 8}, {7, 0, 20, 4}}, {{8, 0, 2}, {7, 1, 0, 0x95}})}));
  uint32_t frames = s->Add(Frames({ellipse, title, body, triangle, line, nothing, arc, turned}));
  uint32_t polygons = s->Add(Polygons({{true, {0, 0, 40, 0, 20, 40}}}));
  return s->Add(Slide(s->Add(Content(texts, frames, 1, 2, true, 0, polygons))));
}

Deck MakeDeck() {
  using namespace pp40;
  Stream s;
  Slots slots;
  slots.fonts = s.Add(List(64, {FontEntry("Times New Roman"), FontEntry("Arial")}));
  uint32_t plain = s.Add(Ruler({{0, 0}, {288, 288}}));
  uint32_t body = s.Add(Ruler({{0, 0}, {468, 288}}, {{1000, 3}, {500, 2}}));
  slots.rulers = s.Add(List(4, {Word32(plain), Word32(body)}));
  uint32_t first = s.Add(Scheme(kScheme)), second = s.Add(Scheme({0x000040, 0xFFFFFF}));
  slots.schemes = s.Add(List(4, {Word32(first), Word32(second)}));
  slots.colors = s.Add(ColorMenu(s.Add(ColorTable({0, 0, 0, 0, 0, 0, 0, 0, 0x996633, 0}))));
  uint32_t picture = Picture(&s, kMetafile);
  slots.pictures = s.Add(Word32(s.Add(List(4, {Bytes(), Word32(picture)}))));
  slots.master = MasterSlide(&s);
  // The second slide's zone comes before the first's: the list sets the order.
  uint32_t dark = s.Add(Slide(s.Add(Content(0, 0, -1, -1, false, 1))));
  uint32_t lit = FirstSlide(&s);
  slots.root = s.Add(Root(s.Add(SlideList({lit, dark}))));
  Deck d;
  d.stream = s.Build(s.Add(DocInfo(slots)));
  // The metafile is the first zone added after the colours: find it by its bytes.
  auto at = std::search(d.stream.begin(), d.stream.end(), kMetafile.begin(), kMetafile.end());
  d.metafile_at = uint32_t(at - d.stream.begin());
  return d;
}

Presentation LoadStream(const pp40::Bytes& b) {
  Presentation p;
  EXPECT_TRUE(ppt::detail::IsPowerPoint4(b.data(), b.size()));
  EXPECT_EQ(ppt::detail::LoadPowerPoint4(b.data(), b.size(), &p), ppt::LoadError::kNone);
  return p;
}

TEST(PowerPoint4, SlidesInListOrderOnTheirSchemesWithTheMasterBeneath) {
  const Deck d = MakeDeck();
  std::vector<uint8_t> file = deck::CompoundFile({{"PP40", d.stream}});
  Presentation p;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
  EXPECT_EQ(p.width, 2 * kHalfW);
  EXPECT_EQ(p.height, 2 * kHalfH);
  ASSERT_EQ(p.slides.size(), 2u);
  EXPECT_EQ(p.slides[0].background.color, (Rgb{255, 255, 255}));
  EXPECT_EQ(p.slides[1].background.color, (Rgb{0, 0, 0x40})) << "each slide its own scheme";
  EXPECT_TRUE(p.slides[1].shapes.empty()) << "the second slide leaves the master's objects out";
  // The master's bar, picture and footer first; its title frame only shapes the slides' text.
  const std::vector<Shape>& s = p.slides[0].shapes;
  ASSERT_GE(s.size(), 3u);
  EXPECT_EQ(s[0].anchor.top, 1800 + kHalfH);
  EXPECT_EQ(s[0].fill.color, (Rgb{0x99, 0x66, 0x33})) << "the document's colour 8";
  EXPECT_EQ(s[1].picture, 0);
  EXPECT_EQ(s[2].text.paragraphs.at(0).runs.at(0).text, u"Footer");
  // The picture is the metafile where it lies in the stream.
  ASSERT_EQ(p.blips.size(), 1u);
  EXPECT_EQ(p.blips[0].type, ppt::Blip::kWmf);
  EXPECT_EQ(p.blips[0].source, ppt::Blip::kDocument);
  EXPECT_EQ(p.blips[0].offset, d.metafile_at);
  EXPECT_EQ(p.blips[0].length, kMetafile.size());
  ppt::PictureBytes bytes = p.Picture(0);
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(std::vector<uint8_t>(bytes.data, bytes.data + bytes.size), kMetafile);
}

TEST(PowerPoint4, ALaterPresentationBesideItIsTheOneShown) {
  pp95::Bytes later = pp95::Document(pp95::Environment({{"Arial"}}, {}),
                                     {pp95::Slide({}, pp95::Scheme({0x102030}))}, pp95::Bytes());
  std::vector<uint8_t> file =
      deck::CompoundFile({{"PowerPoint Document", later}, {"PP40", MakeDeck().stream}});
  Presentation p;
  ASSERT_EQ(ppt::Load(file.data(), file.size(), &p), ppt::LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 1u);
  EXPECT_EQ(p.slides[0].background.color, (Rgb{0x10, 0x20, 0x30}));
}

TEST(PowerPoint4, TextKeepsItsRunsParagraphsRulerAndPlace) {
  Presentation p = LoadStream(MakeDeck().stream);
  // Master bar, picture and footer, then the slide's ellipse, title and body.
  const std::vector<Shape>& s = p.slides.at(0).shapes;
  ASSERT_GE(s.size(), 6u);
  const Shape& title = s[4];
  ASSERT_EQ(title.text.paragraphs.size(), 1u);
  const ppt::Run& t = title.text.paragraphs[0].runs.at(0);
  EXPECT_EQ(t.text, u"Overview");
  EXPECT_EQ(t.size, 40);
  EXPECT_EQ(t.font, "Times New Roman");
  EXPECT_EQ(t.color, (Rgb{0, 0, 0x80})) << "scheme slot 3";
  EXPECT_EQ(title.text.paragraphs[0].align, ppt::Paragraph::kCenter);
  EXPECT_EQ(title.text.anchor, ppt::TextBody::kMiddle);
  EXPECT_EQ(title.anchor.left, -2600 + kHalfW);
  EXPECT_EQ(title.text.insets.left, 0) << "set across the frame, not its stored box";
  EXPECT_EQ(title.text.insets.bottom, 0);
  EXPECT_TRUE(title.text.face_lines) << "lines as tall as their face";

  const ppt::TextBody& body = s[5].text;
  ASSERT_EQ(body.paragraphs.size(), 2u);
  const ppt::Paragraph& lead = body.paragraphs[0];
  ASSERT_EQ(lead.runs.size(), 2u);
  EXPECT_EQ(lead.runs[0].text, u"Lead ");
  EXPECT_TRUE(lead.runs[0].bold);
  EXPECT_EQ(lead.runs[0].font, "Arial");
  EXPECT_EQ(lead.runs[1].text, u"in");
  EXPECT_TRUE(lead.runs[1].italic);
  EXPECT_EQ(lead.runs[1].color, (Rgb{0x99, 0x66, 0x33}));
  EXPECT_EQ(lead.align, ppt::Paragraph::kRight);
  EXPECT_FALSE(lead.bullet);
  const ppt::Paragraph& second = body.paragraphs[1];
  EXPECT_EQ(second.runs.at(0).text, u"Second");
  EXPECT_TRUE(second.runs[0].underline);
  EXPECT_EQ(second.runs[0].size, 20);
  EXPECT_EQ(second.level, 1);
  EXPECT_EQ(second.left_margin, 468) << "the ruler the text names";
  EXPECT_EQ(second.indent, 288);
  EXPECT_TRUE(second.bullet);
  EXPECT_EQ(second.bullet_char, u'\u2022');
  ASSERT_EQ(second.tabs.size(), 2u);
  EXPECT_EQ(second.tabs[0].position, 500) << "in position order";
  EXPECT_EQ(second.tabs[0].kind, ppt::TabStop::kCenter);
}

TEST(PowerPoint4, DrawnFramesKeepTheirKindLineAndFill) {
  Presentation p = LoadStream(MakeDeck().stream);
  const std::vector<Shape>& s = p.slides.at(0).shapes;
  // The empty rectangle shows nothing.
  ASSERT_EQ(s.size(), 10u);
  const Shape& ellipse = s[3];
  EXPECT_EQ(ellipse.geometry, Shape::kEllipse);
  EXPECT_TRUE(ellipse.line);
  EXPECT_EQ(ellipse.line_color, (Rgb{0x80, 0x80, 0x80}));
  EXPECT_EQ(ellipse.fill.kind, ppt::Fill::kSolid);
  EXPECT_EQ(ellipse.fill.color, (Rgb{0xFF, 0xCC, 0}));
  const Shape& triangle = s[6];
  EXPECT_EQ(triangle.geometry, Shape::kFreeform);
  EXPECT_EQ(triangle.custom.vertices, (std::vector<int32_t>{0, 0, 40, 0, 20, 40}));
  EXPECT_EQ(triangle.custom.segments.size(), 4u) << "move, lines, close, end";
  EXPECT_EQ(triangle.anchor.right, -100 + kHalfW);
  const Shape& line = s[7];
  EXPECT_EQ(line.geometry, Shape::kLine);
  EXPECT_TRUE(line.flip_h);
  EXPECT_FALSE(line.flip_v);
  EXPECT_EQ(line.anchor.left, 200 + kHalfW);
  EXPECT_EQ(line.line_width, 3 * 12700);
  EXPECT_NE(line.line_style.dash, ppt::LineStyle::kSolid);
  // A filled arc is a wedge of the ellipse its frame bounds.
  const Shape& arc = s[8];
  EXPECT_EQ(arc.geometry, Shape::kFreeform);
  EXPECT_EQ(arc.anchor.right, 100 + kHalfW);
  const std::vector<int32_t>& v = arc.custom.vertices;
  ASSERT_GE(v.size(), 6u);
  EXPECT_EQ((std::vector<int32_t>(v.begin(), v.begin() + 4)),
            (std::vector<int32_t>{10800, 10800, 21600, 10800}))
      << "from the centre out to three o'clock";
  EXPECT_EQ((std::vector<int32_t>(v.end() - 2, v.end())), (std::vector<int32_t>{10800, 0}));
  const Shape& turned = s[9];
  EXPECT_EQ(turned.type, 5) << "an isosceles triangle";
  EXPECT_TRUE(turned.flip_h && turned.flip_v);
}

// A deck of one slide with one text frame.
pp40::Bytes OneText(const std::string& chars, const std::vector<pp40::CharRun>& cf,
                    const std::vector<pp40::ParaRun>& pf) {
  using namespace pp40;
  Stream s;
  Slots slots;
  uint32_t texts = s.Add(TextZone({Text(0, 0x20, -2000, -1000, 2000, 1000, chars, cf, pf)}));
  uint32_t frames = s.Add(Frames({Frame{1, 0, 0, 1, -2000, -1000, 2000, 1000}}));
  uint32_t slide = s.Add(Slide(s.Add(Content(texts, frames, -1, -1, false, 0))));
  slots.root = s.Add(Root(s.Add(SlideList({slide}))));
  return s.Build(s.Add(DocInfo(slots)));
}

TEST(PowerPoint4, BlankLinesTakeTheSizeOfTheirOwnBreak) {
  Presentation p = LoadStream(OneText("Big\r\rBig", {{4, 0, 32}, {1, 0, 12}, {3, 0, 32}}, {{9}}));
  const ppt::TextBody& t = p.slides.at(0).shapes.at(0).text;
  ASSERT_EQ(t.paragraphs.size(), 3u);
  EXPECT_EQ(t.paragraphs[0].runs.at(0).size, 32) << "a break keeps the size of its line";
  EXPECT_EQ(t.paragraphs[1].runs.at(0).size, 12);
  EXPECT_EQ(t.paragraphs[2].runs.at(0).size, 32);
}

TEST(PowerPoint4, MasterNumbersEachSlideShadowsAndTimingsAreKept) {
  using namespace pp40;
  Stream s;
  Slots slots;
  uint32_t footer = s.Add(TextZone({Text(0, 0x20, 0, 1900, 2800, 2100, "Page ##", {{7}}, {{7}})}));
  slots.master = s.Add(Slide(s.Add(
      Content(footer, s.Add(Frames({Frame{1, 0, 0, 1, 0, 1900, 2800, 2100}})), -1, -1, false, 0))));
  Frame shadowed{1, 1, 0, 4, -100, -100, 100, 100};
  shadowed.shadow = true;
  Frame plain_shadow = shadowed;
  plain_shadow.flags = 0;
  uint32_t frames = s.Add(Frames({shadowed, plain_shadow}));
  uint32_t formats = s.Add(Format(0, 24, -16));
  uint32_t content = s.Add(Content(0, frames, -1, -1, true, 0, 0, formats));
  uint32_t first = s.Add(Slide(content, s.Add(Transition(0, 5000))));
  uint32_t second = s.Add(Slide(content, s.Add(Transition(2, -1))));
  slots.root = s.Add(Root(s.Add(SlideList({first, second}))));
  Presentation p = LoadStream(s.Build(s.Add(DocInfo(slots))));
  ASSERT_EQ(p.slides.size(), 2u);
  ASSERT_EQ(p.slides[1].shapes.size(), 3u);
  const ppt::TextBody& number = p.slides[1].shapes[0].text;
  EXPECT_EQ(number.paragraphs.at(0).runs.at(0).text, u"Page 2");
  EXPECT_TRUE(number.fields & ppt::TextBody::kSlideNumberField);
  const Shape& shadowed_shape = p.slides[0].shapes[1];
  EXPECT_TRUE(shadowed_shape.shadow.visible);
  EXPECT_EQ(shadowed_shape.shadow.dx, 24) << "the format's offset";
  EXPECT_EQ(shadowed_shape.shadow.dy, -16);
  EXPECT_EQ(shadowed_shape.shadow.color, (Rgb{0x80, 0x80, 0x80}));
  EXPECT_GT(p.slides[0].shapes[2].shadow.dx, 0) << "a frame without a format still casts one";
  EXPECT_TRUE(p.slides[0].auto_advance);
  EXPECT_EQ(p.slides[0].advance_ms, 5000);
  EXPECT_EQ(p.slides[0].transition.speed, ppt::Transition::kSlow);
  EXPECT_FALSE(p.slides[1].auto_advance);
}

// Every load of a damaged stream must end, within the reader's bounds.
void LoadAnyway(const pp40::Bytes& b) {
  Presentation p;
  if (ppt::detail::IsPowerPoint4(b.data(), b.size()))
    ppt::detail::LoadPowerPoint4(b.data(), b.size(), &p);
  EXPECT_LE(p.slides.size(), 10000u);
  for (const ppt::Slide& s : p.slides) EXPECT_LE(s.shapes.size(), 2000u);
}

TEST(PowerPoint4, StreamsCutShortOrNamingWhatIsNotThereAreSafe) {
  const pp40::Bytes whole = MakeDeck().stream;
  for (size_t n = 0; n < whole.size(); n += 5)
    LoadAnyway(pp40::Bytes(whole.begin(), whole.begin() + long(n)));
  // Any word made huge: counts, lengths, zone numbers and offsets alike.
  for (size_t at = 12; at + 2 <= whole.size(); at += 2) {
    pp40::Bytes lying = whole;
    lying[at] = 0xFF;
    lying[at + 1] = 0x7F;
    LoadAnyway(lying);
  }
  EXPECT_FALSE(ppt::detail::IsPowerPoint4(nullptr, 0));
  Presentation p;
  pp40::Stream empty;
  pp40::Bytes no_list = empty.Build(empty.Add(pp40::DocInfo(pp40::Slots())));
  EXPECT_EQ(ppt::detail::LoadPowerPoint4(no_list.data(), no_list.size(), &p),
            ppt::LoadError::kDamaged);
}

TEST(PowerPoint4, HugeCountsAreHeldToTheReadersLimits) {
  using namespace pp40;
  Stream s;
  // One slide named twelve thousand times, with five thousand frames that each show a fill.
  Frame box{1, 1, 0, 0, 0, 0, 10, 10};
  uint32_t frames = s.Add(Frames(std::vector<Frame>(5000, box)));
  uint32_t slide = s.Add(Slide(s.Add(Content(0, frames, -1, -1, false, 0))));
  uint32_t empty = s.Add(Slide(s.Add(Content(0, 0, -1, -1, false, 0))));
  std::vector<uint32_t> list(12000, empty);
  list[0] = slide;
  Slots slots;
  slots.root = s.Add(Root(s.Add(SlideList(list))));
  Bytes stream = s.Build(s.Add(DocInfo(slots)));
  Presentation p = LoadStream(stream);
  EXPECT_EQ(p.slides.size(), 10000u);
  EXPECT_EQ(p.slides[0].shapes.size(), 2000u);
}

TEST(PowerPoint4, SlidesNamingOneLargeZoneOverAndOverStopBeingRead) {
  using namespace pp40;
  Stream s;
  // Twenty thousand frames that show nothing, then one that does, on every slide.
  std::vector<Frame> frames(20000, Frame{1, 0, 0, 0, 0, 0, 10, 10});
  frames.push_back(Frame{1, 1, 0, 0, 0, 0, 10, 10});
  uint32_t slide = s.Add(Slide(s.Add(Content(0, s.Add(Frames(frames)), -1, -1, false, 0))));
  Slots slots;
  slots.root = s.Add(Root(s.Add(SlideList(std::vector<uint32_t>(10000, slide)))));
  Presentation p = LoadStream(s.Build(s.Add(DocInfo(slots))));
  ASSERT_EQ(p.slides.size(), 10000u);
  EXPECT_EQ(p.slides.front().shapes.size(), 1u);
  EXPECT_TRUE(p.slides.back().shapes.empty());
}

// The public test file as PowerPoint 4 saved it, where a copy is at hand.
TEST(PowerPoint4, RealFileShowsAllItsSlides) {
  std::vector<uint8_t> b;
  if (!corpus::Read("pp40only.ppt", &b)) GTEST_SKIP() << "no pp40only.ppt in the corpus";
  Presentation p;
  ASSERT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
  EXPECT_EQ(p.slides.size(), 87u);
  EXPECT_EQ(p.slides[0].background.color, (Rgb{0x66, 0x66, 0}));
  EXPECT_EQ(p.slides[1].background.color, (Rgb{0xFF, 0xCC, 0x66}));
  size_t texts = 0;
  for (const ppt::Slide& s : p.slides)
    for (const Shape& sh : s.shapes) texts += !sh.text.paragraphs.empty();
  EXPECT_GE(texts, 87u * 2);
}

}  // namespace
