#include <gtest/gtest.h>

#include "text/layout.h"

// Where tabs put the text after them, and how they take part in line breaking.

namespace {

// Every character half its size wide; one layout unit per point, so eight master units a unit.
text::Metrics HalfEm(const text::Font& f, const std::u16string& s) {
  text::Metrics m;
  m.advances.assign(s.size(), f.size / 2);
  m.ascent = f.size * 0.8;
  m.descent = f.size * 0.2;
  return m;
}

text::Layout LayTabs(const std::u16string& s, std::vector<ppt::TabStop> tabs, double width,
                     int indent = 0, int margin = 0) {
  ppt::Paragraph p;
  ppt::Run r;
  r.text = s;
  r.size = 10;
  r.font = "Arial";
  p.runs.push_back(r);
  p.tabs = std::move(tabs);
  p.indent = indent;
  p.left_margin = margin;
  ppt::TextBody body;
  body.paragraphs.push_back(p);
  text::Box box;
  box.width = width;
  box.height = 1000;
  return text::LayOut(body, box, HalfEm);
}

// x of the piece that starts with `text`, or -1.
double XOf(const text::Line& l, char16_t first) {
  for (const text::Piece& p : l.pieces)
    if (!p.text.empty() && p.text[0] == first) return p.x;
  return -1;
}

TEST(TextTabs, StopsNearTheRightEdgeKeepTheirTextOnTheLine) {
  // "Label" and the value are 25 units each; the box is 100 units wide.
  struct Case {
    const char* name;
    std::u16string text;
    ppt::TabStop stop;
    double x;  // of the value
  } cases[] = {
      {"right stop on the edge", u"Label\tvalue", {800, ppt::TabStop::kRight}, 75},
      {"centred stop", u"Label\tvalue", {640, ppt::TabStop::kCenter}, 67.5},
      {"decimal stop", u"Total\t12.50", {640, ppt::TabStop::kDecimal}, 70},
      {"trailing blanks do not count", u"Label\tvalue  ", {800, ppt::TabStop::kRight}, 75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    text::Layout l = LayTabs(c.text, {c.stop}, 100);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(XOf(l.lines[0], c.text[6]), c.x);
    EXPECT_LE(l.lines[0].x + l.lines[0].width, 100 + 1e-9);
  }
}

TEST(TextTabs, StopsCountFromTheBoxEdgeNotFromTheIndent) {
  struct Case {
    const char* name;
    int indent, margin;
    std::vector<ppt::TabStop> tabs;
    double x;  // of the text after a leading tab
  } cases[] = {
      {"stop after the indent", 80, 0, {{160, ppt::TabStop::kLeft}}, 20},
      {"stop before the indent: a default one", 200, 0, {{160, ppt::TabStop::kLeft}}, 72},
      {"first stop, from the box edge", 0, 0, {{100, ppt::TabStop::kLeft}}, 12.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    text::Layout l = LayTabs(u"\tx", c.tabs, 500, c.indent, c.margin);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(XOf(l.lines[0], u'x'), c.x);
  }
  text::Layout two = LayTabs(u"\t\tx", {{100, ppt::TabStop::kLeft}}, 500);
  ASSERT_EQ(two.lines.size(), 1u);
  EXPECT_DOUBLE_EQ(XOf(two.lines[0], u'x'), 72);
}

TEST(TextTabs, AHangingIndentIsAStop) {
  // Other lines start at 50 units, the first at 0: "Label:<tab>value" lines up with them.
  struct Case {
    const char* name;
    std::u16string text;
    std::vector<ppt::TabStop> tabs;
    double x;  // of the text after the tab
  } cases[] = {
      {"no stops of its own", u"Label:\tv", {}, 50},
      {"a stop before the indent comes first", u"ab\tv", {{160, ppt::TabStop::kLeft}}, 20},
      {"the indent comes before a later stop", u"ab\tv", {{480, ppt::TabStop::kLeft}}, 50},
      {"text already past the indent: a default stop", u"LongLabelText\tv", {}, 72},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    text::Layout l = LayTabs(c.text, c.tabs, 500, 0, 400);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(XOf(l.lines[0], u'v'), c.x);
  }
  // Without a hanging indent the default stops hold as before.
  text::Layout flush = LayTabs(u"Label:\tv", {}, 500, 400, 400);
  EXPECT_DOUBLE_EQ(XOf(flush.lines.at(0), u'v'), 144);
}

TEST(TextTabs, TextPastTheEdgeStillWraps) {
  // The value would end past a right stop's box: a stop never squeezes text that does not fit.
  text::Layout l = LayTabs(u"Label\tmuch longer value here", {{800, ppt::TabStop::kRight}}, 100);
  ASSERT_GE(l.lines.size(), 2u);
  for (const text::Line& line : l.lines) EXPECT_LE(line.x + line.width, 100 + 1e-9);
  // A left stop past the right edge sends the text after the tab to a new line.
  text::Layout far = LayTabs(u"ab cd\tef", {{2000, ppt::TabStop::kLeft}}, 100);
  ASSERT_GE(far.lines.size(), 2u);
  // Tabs that no longer fit go to a new line: a row of trailing tabs leaves a blank line under
  // its text, which decks use for spacing.
  text::Layout trailing = LayTabs(u"deaths\t\t\t\t\t\t", {}, 300);
  ASSERT_EQ(trailing.lines.size(), 2u);
  EXPECT_EQ(trailing.lines[0].pieces.at(0).text, u"deaths");
}

}  // namespace
