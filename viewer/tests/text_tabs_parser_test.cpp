#include <gtest/gtest.h>

#include "ppt/presentation.h"
#include "viewer/tests/deck_builder.h"

// Which tab stops and tab size a paragraph ends up with: its text's own ruler over its own
// paragraph props, over the master's styles, over the document's defaults.

namespace {

using deck::Bytes;
using deck::Put16;
using deck::Put32;

constexpr uint32_t kPFDefaultTab = 0x8000, kPFTabStops = 0x100000;
constexpr uint32_t kRulerDefaultTab = 0x1, kRulerTabStops = 0x4;

// Tab stops as the format writes them: a count, then position and kind of each.
Bytes Stops(std::initializer_list<std::pair<int16_t, uint16_t>> stops) {
  Bytes b;
  Put16(b, uint32_t(stops.size()));
  for (const auto& s : stops) {
    Put16(b, uint16_t(s.first));
    Put16(b, s.second);
  }
  return b;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The document's paragraph defaults: two reserved bytes, then paragraph props.
Bytes DocParaDefaults(uint16_t tab_size, const Bytes& stops) {
  Bytes b;
  Put16(b, 0);
  Put32(b, kPFDefaultTab | (stops.empty() ? 0 : kPFTabStops));
  Put16(b, tab_size);
  return deck::Rec(0x0FA5, Cat(b, stops));
}

Bytes Ruler(uint16_t tab_size, const Bytes& stops) {
  Bytes b;
  Put32(b, (tab_size ? kRulerDefaultTab : 0) | (stops.empty() ? 0 : kRulerTabStops));
  if (tab_size) Put16(b, tab_size);
  return deck::Rec(0x0FA6, Cat(b, stops));
}

// The styles of "other" text (instance 4): one level whose paragraph props have these stops.
Bytes OtherTextStyle(const Bytes& stops) {
  Bytes b;
  Put16(b, 1);  // levels
  Put32(b, kPFTabStops);
  b = Cat(b, stops);
  Put32(b, 0);  // no character props
  return deck::Rec(0x0FA3, b, 4);
}

TEST(TextTabStops, ComeFromTheNearestPlaceThatHasThem) {
  struct Case {
    const char* name;
    std::vector<Bytes> environment;  // further records of the document's text settings
    std::vector<Bytes> text_records;
    int default_tab;
    std::vector<std::pair<int, ppt::TabStop::Kind>> stops;
  } cases[] = {
      {"nothing anywhere: one inch apart", {}, {}, 576, {}},
      {"the document's paragraph defaults",
       {DocParaDefaults(288, Stops({{700, 2}}))},
       {},
       288,
       {{700, ppt::TabStop::kRight}}},
      {"the document's default ruler over its paragraph defaults",
       {DocParaDefaults(288, {}), Ruler(144, Stops({{300, 1}, {100, 3}}))},
       {},
       144,
       {{100, ppt::TabStop::kDecimal}, {300, ppt::TabStop::kCenter}}},
      {"a zero tab size is ignored", {DocParaDefaults(0, {})}, {}, 576, {}},
      {"the styles of the text's kind over the document",
       {DocParaDefaults(288, Stops({{700, 2}})), OtherTextStyle(Stops({{500, 0}}))},
       {},
       288,
       {{500, ppt::TabStop::kLeft}}},
      {"the paragraph's own props over the styles",
       {OtherTextStyle(Stops({{500, 0}}))},
       {deck::StyleTextProp(4, 0, kPFTabStops, Stops({{200, 1}}), 0, {})},
       576,
       {{200, ppt::TabStop::kCenter}}},
      {"the text's ruler over everything",
       {DocParaDefaults(288, Stops({{700, 2}}))},
       {deck::StyleTextProp(4, 0, kPFTabStops, Stops({{200, 1}}), 0, {}),
        Ruler(432, Stops({{900, 0}}))},
       432,
       {{900, ppt::TabStop::kLeft}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    deck::DeckSpec spec;
    deck::SlideSpec slide;
    slide.text = "a\tb";
    slide.text_records = c.text_records;
    spec.slides.push_back(slide);
    if (!c.environment.empty()) spec.doc_records.push_back(deck::Box(0x03F2, c.environment));
    Bytes b = deck::Build(spec);
    ppt::Presentation p;
    ASSERT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
    ASSERT_EQ(p.slides.size(), 1u);
    const ppt::Paragraph* para = nullptr;
    for (const ppt::Shape& s : p.slides[0].shapes)
      if (!s.text.paragraphs.empty()) para = &s.text.paragraphs[0];
    ASSERT_NE(para, nullptr);
    EXPECT_EQ(para->default_tab, c.default_tab);
    std::vector<std::pair<int, ppt::TabStop::Kind>> got;
    for (const ppt::TabStop& t : para->tabs) got.push_back({t.position, t.kind});
    EXPECT_EQ(got, c.stops);
  }
}

TEST(TextTabStops, DamagedDocumentDefaultsAreHarmless) {
  Bytes cut;
  Put16(cut, 0);
  Put32(cut, kPFDefaultTab | kPFTabStops);
  Put16(cut, 288);
  Put16(cut, 40);  // forty stops promised, none there
  for (const Bytes& rec : {deck::Rec(0x0FA5, cut), deck::Rec(0x0FA5, Bytes{0}),
                           deck::Rec(0x0FA6, Bytes{0xFF, 0xFF})}) {
    deck::DeckSpec spec;
    deck::SlideSpec slide;
    slide.text = "a\tb";
    spec.slides.push_back(slide);
    spec.doc_records.push_back(deck::Box(0x03F2, {rec}));
    Bytes b = deck::Build(spec);
    ppt::Presentation p;
    ASSERT_EQ(ppt::Load(b.data(), b.size(), &p), ppt::LoadError::kNone);
    for (const ppt::Shape& s : p.slides[0].shapes)
      for (const ppt::Paragraph& para : s.text.paragraphs) {
        EXPECT_EQ(para.default_tab, 576);
        EXPECT_TRUE(para.tabs.empty());
      }
  }
}

}  // namespace
