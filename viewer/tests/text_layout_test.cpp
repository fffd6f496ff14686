#include <gtest/gtest.h>

#include "text/layout.h"

namespace {

// A fixed-width face: every character half its size wide, ideographs a full size; ascent 0.8
// and descent 0.2 of the size. One layout unit per point, so one unit is eight master units.
text::Metrics FixedWidth(const text::Font& f, const std::u16string& s) {
  text::Metrics m;
  for (char16_t c : s) m.advances.push_back(text::BreaksAnywhere(c) ? f.size : f.size / 2);
  m.ascent = f.size * 0.8;
  m.descent = f.size * 0.2;
  return m;
}

ppt::Run RunOf(const std::u16string& s, int size = 10) {
  ppt::Run r;
  r.text = s;
  r.size = size;
  r.font = "Arial";
  return r;
}

ppt::Paragraph ParaOf(const std::u16string& s) {
  ppt::Paragraph p;
  p.runs.push_back(RunOf(s));
  return p;
}

text::Layout Lay(const ppt::TextBody& body, double width, double height = 1000) {
  text::Box box;
  box.width = width;
  box.height = height;
  box.units_per_point = 1;
  return text::LayOut(body, box, FixedWidth);
}

text::Layout LayPara(const ppt::Paragraph& p, double width, double height = 1000) {
  ppt::TextBody body;
  body.paragraphs.push_back(p);
  return Lay(body, width, height);
}

std::string LineText(const text::Line& l) {
  std::u16string s;
  for (const text::Piece& p : l.pieces) s += p.text;
  return ppt::ToUtf8(s);
}

std::vector<std::string> Lines(const text::Layout& l) {
  std::vector<std::string> out;
  for (const text::Line& line : l.lines) out.push_back(LineText(line));
  return out;
}

// --- where lines break ------------------------------------------------------------------------

TEST(TextLayoutBreaking, WrapPoints) {
  struct Case {
    std::u16string text;
    double width;
    bool wrap;
    std::vector<std::string> lines;
  } cases[] = {
      {u"aaa bbb ccc", 40, true, {"aaa bbb", "ccc"}},
      {u"aaa bbb ccc", 100, true, {"aaa bbb ccc"}},
      {u"aaa bbb ccc", 10, false, {"aaa bbb ccc"}},
      {u"abcdefghij", 20, true, {"abcd", "efgh", "ij"}},  // a word longer than the line
      {u"aaa    bbb", 15, true, {"aaa", "bbb"}},          // blanks hang past the edge
      {u"well-known", 30, true, {"well-", "known"}},
      {u"x", 1, true, {"x"}},  // a character wider than the box still takes a line
      // Ideographs break anywhere, but not before closing punctuation.
      {u"\u65E5\u672C\u8A9E\u306E\u6587\u7AE0",
       30,
       true,
       {"\u65E5\u672C\u8A9E", "\u306E\u6587\u7AE0"}},
      {u"\u65E5\u672C\u8A9E\u3002", 30, true, {"\u65E5\u672C", "\u8A9E\u3002"}},
      {u"ab\u65E5\u672C", 25, true, {"ab\u65E5", "\u672C"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ppt::ToUtf8(c.text));
    ppt::TextBody body;
    body.wrap = c.wrap;
    body.paragraphs.push_back(ParaOf(c.text));
    EXPECT_EQ(Lines(Lay(body, c.width)), c.lines);
  }
}

TEST(TextLayoutBreaking, LineBreakInsideAParagraphAndEmptyParagraphs) {
  ppt::TextBody body;
  body.paragraphs.push_back(ParaOf(u"one\vtwo"));
  body.paragraphs.push_back(ParaOf(u""));
  body.paragraphs.push_back(ParaOf(u"end\v"));
  text::Layout l = Lay(body, 100);
  ASSERT_EQ(Lines(l), (std::vector<std::string>{"one", "two", "", "end", ""}));
  EXPECT_EQ(l.lines[1].paragraph, 0u);
  EXPECT_EQ(l.lines[2].paragraph, 1u);
  // Empty lines keep their font's height, so blank paragraphs leave the gap the author saw.
  for (const text::Line& line : l.lines) EXPECT_DOUBLE_EQ(line.height, 12);
  EXPECT_DOUBLE_EQ(l.lines[4].top, 48);
}

// --- horizontal placement ---------------------------------------------------------------------

TEST(TextLayoutAlignment, LeftCentreRightAndJustified) {
  struct Case {
    ppt::Paragraph::Align align;
    double x;
  } cases[] = {{ppt::Paragraph::kLeft, 0},
               {ppt::Paragraph::kCenter, 40},
               {ppt::Paragraph::kRight, 80},
               {ppt::Paragraph::kJustify, 0}};
  for (const Case& c : cases) {
    ppt::Paragraph p = ParaOf(u"abcd");
    p.align = c.align;
    text::Layout l = LayPara(p, 100);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(l.lines[0].pieces[0].x, c.x) << c.align;
  }
  // Justified: wrapped lines end at the right edge, the last line and a line before a line
  // break stay as they are.
  ppt::Paragraph p = ParaOf(u"aa bb cc dd ee\vff gg");
  p.align = ppt::Paragraph::kJustify;
  text::Layout l = LayPara(p, 50);
  ASSERT_EQ(Lines(l).size(), 3u);
  const text::Piece& cc = l.lines[0].pieces.back();
  EXPECT_EQ(ppt::ToUtf8(cc.text), "cc");
  EXPECT_DOUBLE_EQ(cc.x + cc.width, 50);
  EXPECT_DOUBLE_EQ(l.lines[1].pieces.back().x, 15);  // "dd ee", before the line break
  EXPECT_DOUBLE_EQ(l.lines[2].pieces.back().x, 15);  // "ff gg", the last line
}

TEST(TextLayoutAlignment, FirstLineAndHangingIndentsWithBullets) {
  struct Case {
    const char* name;
    int indent, margin;  // master units
    bool bullet;
    double bullet_x, first_x, rest_x;
  } cases[] = {
      {"first-line indent", 80, 0, false, 0, 10, 0},
      {"hanging, bullet", 0, 160, true, 0, 20, 20},
      // Text that would start under its bullet follows it directly.
      {"bullet without room", 0, 0, true, 0, 5, 0},
      {"indented bullet", 80, 160, true, 10, 20, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ppt::Paragraph p = ParaOf(u"aaaa bbbb cccc dddd");
    p.indent = c.indent;
    p.left_margin = c.margin;
    p.bullet = c.bullet;
    text::Layout l = LayPara(p, 70);
    ASSERT_GE(l.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(l.lines[0].x, c.first_x);
    EXPECT_DOUBLE_EQ(l.lines[1].x, c.rest_x);
    ASSERT_EQ(l.bullets.size(), c.bullet ? 1u : 0u);
    if (c.bullet) {
      EXPECT_DOUBLE_EQ(l.bullets[0].x, c.bullet_x);
      EXPECT_DOUBLE_EQ(l.bullets[0].baseline, l.lines[0].baseline);
    }
  }
}

TEST(TextLayoutAlignment, TabStops) {
  struct Case {
    const char* name;
    std::u16string text;
    std::vector<ppt::TabStop> tabs;
    int default_tab;
    double x;  // of the text after the last tab
  } cases[] = {
      {"default stops", u"a\tb", {}, 576, 72},
      {"second default stop", u"aaaaaaaaaaaaaaaa\tb", {}, 576, 144},
      {"left stop", u"a\tb", {{160, ppt::TabStop::kLeft}}, 576, 20},
      {"past the last stop: default ones", u"a\tb\tc", {{160, ppt::TabStop::kLeft}}, 400, 50},
      {"right stop", u"a\tbc", {{400, ppt::TabStop::kRight}}, 576, 40},
      {"centred stop", u"a\tbc", {{400, ppt::TabStop::kCenter}}, 576, 45},
      {"decimal stop", u"a\t12.5", {{400, ppt::TabStop::kDecimal}}, 576, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ppt::Paragraph p = ParaOf(c.text);
    p.tabs = c.tabs;
    p.default_tab = c.default_tab;
    text::Layout l = LayPara(p, 500);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(l.lines[0].pieces.back().x, c.x);
  }
}

// --- vertical placement -----------------------------------------------------------------------

TEST(TextLayoutVertical, AnchoringAndCentredBlocks) {
  struct Case {
    ppt::TextBody::Anchor anchor;
    bool centered;
    double top, x;
  } cases[] = {{ppt::TextBody::kTop, false, 0, 0},
               {ppt::TextBody::kMiddle, false, 44, 0},
               {ppt::TextBody::kBottom, false, 88, 0},
               {ppt::TextBody::kTop, true, 0, 40},
               {ppt::TextBody::kBottom, true, 88, 40}};
  for (const Case& c : cases) {
    ppt::TextBody body;
    body.anchor = c.anchor;
    body.centered = c.centered;
    body.paragraphs.push_back(ParaOf(u"abcd"));
    text::Layout l = Lay(body, 100, 100);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(l.lines[0].top, c.top) << c.anchor;
    EXPECT_DOUBLE_EQ(l.lines[0].pieces[0].x, c.x) << c.anchor;
  }
  // Text taller than its box overflows both ways when centred, upwards when at the bottom.
  ppt::TextBody body;
  body.anchor = ppt::TextBody::kMiddle;
  for (int i = 0; i < 10; i++) body.paragraphs.push_back(ParaOf(u"x"));
  text::Layout l = Lay(body, 100, 100);
  EXPECT_DOUBLE_EQ(l.content_height, 120);
  EXPECT_DOUBLE_EQ(l.lines[0].top, -10);
}

TEST(TextLayoutVertical, LineSpacingInPercentAndPointsAndParagraphSpacing) {
  // The face is as tall as its size: a single line is 1.2 of it, or the face itself where the
  // body sets lines by the face (the oldest format's text).
  struct Case {
    const char* name;
    int line_spacing, before, after;
    bool face_lines;
    double second_top;  // of the second paragraph's first line
    double height;      // of its lines
  } cases[] = {
      {"single", 100, 0, 0, false, 12, 12},
      {"one and a half", 150, 0, 0, false, 18, 18},
      {"tighter", 80, 0, 0, false, 9.6, 9.6},
      {"exactly 20 points", -160, 0, 0, false, 20, 20},
      {"half a line before", 100, 50, 0, false, 18, 12},
      {"ten points after", 100, 0, -80, false, 22, 12},
      {"single, by the face", 100, 0, 0, true, 10, 10},
      {"one and a half, by the face", 150, 0, 0, true, 15, 15},
      {"half a line before, by the face", 100, 50, 0, true, 15, 10},
      {"exactly 20 points, by the face", -160, 0, 0, true, 20, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ppt::TextBody body;
    body.face_lines = c.face_lines;
    for (int i = 0; i < 2; i++) {
      ppt::Paragraph p = ParaOf(u"x");
      p.line_spacing = c.line_spacing;
      p.space_before = c.before;
      p.space_after = c.after;
      body.paragraphs.push_back(p);
    }
    text::Layout l = Lay(body, 100);
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(l.lines[0].top, 0);  // space before the first paragraph is not added
    EXPECT_NEAR(l.lines[1].top, c.second_top, 1e-9);
    EXPECT_NEAR(l.lines[1].height, c.height, 1e-9);
    EXPECT_NEAR(l.lines[1].baseline, l.lines[1].top + c.height - 2, 1e-9);
  }
}

TEST(TextLayoutVertical, AnEmptyOpeningParagraphKeepsAWholeLine) {
  // Spacing is between lines: an empty first paragraph has none before it, so it keeps a whole
  // 12-point line; an empty paragraph further down and every line of text take the spacing.
  struct Case {
    const char* name;
    int line_spacing;
    bool text_first;
    double first, others;  // line heights
  } cases[] = {
      {"tighter", 80, false, 12, 9.6},
      {"looser", 150, false, 12, 18},
      {"exactly 20 points", -160, false, 20, 20},
      {"text first", 80, true, 9.6, 9.6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ppt::TextBody body;
    for (const char16_t* t : {c.text_first ? u"w" : u"", u"x", u"", u"y"}) {
      ppt::Paragraph p = ParaOf(t);
      p.line_spacing = c.line_spacing;
      body.paragraphs.push_back(p);
    }
    text::Layout l = Lay(body, 100);
    ASSERT_EQ(l.lines.size(), 4u);
    EXPECT_NEAR(l.lines[0].height, c.first, 1e-9);
    for (size_t i = 1; i < 4; i++) EXPECT_NEAR(l.lines[i].height, c.others, 1e-9) << i;
    EXPECT_NEAR(l.lines[1].top, c.first, 1e-9);
  }
}

TEST(TextLayoutVertical, BodyTextShrinksToFitItsBoxOnlyWhereItWouldOverflow) {
  // Ten paragraphs of 10-point text at 12 points a line, plus 10 points after each given as a
  // length, which shrinks with the text: 210 points in all at full size (none after the last).
  ppt::TextBody body;
  for (int i = 0; i < 10; i++) {
    ppt::Paragraph p = ParaOf(u"line");
    p.space_after = -80;
    body.paragraphs.push_back(p);
  }
  struct Case {
    const char* name;
    bool shrink;
    double height;
    double min_size, max_size;  // of the text as laid out
  } cases[] = {
      {"room to spare", true, 300, 10, 10},
      {"overflows, no fit asked", false, 110, 10, 10},
      {"half the room", true, 110, 5.13, 5.24},
      {"beyond the least scale", true, 20, 2.5, 2.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    body.shrink_to_fit = c.shrink;
    text::Layout l = Lay(body, 100, c.height);
    ASSERT_EQ(l.lines.size(), 10u);
    const double size = l.lines[0].pieces.at(0).font.size;
    EXPECT_GE(size, c.min_size);
    EXPECT_LE(size, c.max_size);
    if (c.shrink && c.min_size > 2.5) {
      EXPECT_LE(l.content_height, c.height);
    }
    // Lines and spacing shrink with the text, so its look stays the same, only smaller.
    EXPECT_NEAR(l.lines[1].top, 22 * size / 10, 1e-9);
  }
}

TEST(TextLayoutVertical, ShrinkingStepsInWholePercentsToJustUnderTheTightestFit) {
  // The same 210 points of text, whose height goes with the scale: each step takes the root of
  // room over height and drops to a whole percent, until a percent repeats.
  ppt::TextBody body;
  body.shrink_to_fit = true;
  for (int i = 0; i < 10; i++) {
    ppt::Paragraph p = ParaOf(u"line");
    p.space_after = -80;
    body.paragraphs.push_back(p);
  }
  const struct {
    double room, size;
  } cases[] = {
      {200, 9.5},  // 97, 96, 95: the tightest fit is 95.2%
      {110, 5.2},  // 72, 61, 56, 54, 53, 52: the tightest is 52.4%
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.room);
    text::Layout l = Lay(body, 100, c.room);
    EXPECT_NEAR(l.lines[0].pieces.at(0).font.size, c.size, 1e-9);
    EXPECT_LE(l.ink_height, c.room);
  }
}

TEST(TextLayoutVertical, EmptyParagraphsAfterTheTextNeverMakeItShrink) {
  ppt::TextBody body;
  body.shrink_to_fit = true;
  body.paragraphs = {ParaOf(u"one"), ParaOf(u"two")};
  for (int i = 0; i < 5; i++) body.paragraphs.push_back(ParaOf(u""));
  text::Layout l = Lay(body, 100, 30);  // room for the two lines of text, not the empty ones
  EXPECT_DOUBLE_EQ(l.lines[0].pieces.at(0).font.size, 10);
  EXPECT_DOUBLE_EQ(l.ink_height, 24);
  EXPECT_DOUBLE_EQ(l.content_height, 84);
}

// --- characters and bullets -------------------------------------------------------------------

TEST(TextLayoutRuns, SuperscriptSubscriptAndMixedSizes) {
  ppt::Paragraph p = ParaOf(u"E=mc");
  p.runs.push_back(RunOf(u"2"));
  p.runs.back().escapement = 30;
  p.runs.push_back(RunOf(u"x"));
  p.runs.back().escapement = -25;
  p.runs.push_back(RunOf(u"BIG", 20));
  text::Layout l = LayPara(p, 500);
  ASSERT_EQ(l.lines.size(), 1u);
  const text::Line& line = l.lines[0];
  ASSERT_EQ(line.pieces.size(), 4u);
  const double base = line.baseline;
  EXPECT_DOUBLE_EQ(line.pieces[1].font.size, 10.0 * 2 / 3);
  EXPECT_DOUBLE_EQ(line.pieces[1].baseline, base - 3);
  EXPECT_DOUBLE_EQ(line.pieces[2].baseline, base + 2.5);
  EXPECT_DOUBLE_EQ(line.pieces[1].x, 20);
  EXPECT_DOUBLE_EQ(line.pieces[3].x, 20 + 10.0 / 3 * 2);
  // The line is as tall as its largest text.
  EXPECT_DOUBLE_EQ(line.height, 24);
  EXPECT_DOUBLE_EQ(base, 24 - 4);
}

TEST(TextLayoutRuns, BulletsTakeTheirFontColourSizeAndNumber) {
  ppt::TextBody body;
  ppt::Paragraph numbered = ParaOf(u"first");
  numbered.bullet = true;
  numbered.bullet_text = u"12.";
  numbered.bullet_color = ppt::Rgb{200, 0, 0};
  numbered.left_margin = 400;  // 50 units
  body.paragraphs.push_back(numbered);
  ppt::Paragraph symbol = ParaOf(u"second");
  symbol.bullet = true;
  symbol.bullet_char = 0x25A0;
  symbol.bullet_font = "Wingdings";
  symbol.bullet_size = 200;
  body.paragraphs.push_back(symbol);
  ppt::Paragraph fixed = ParaOf(u"third");
  fixed.bullet = true;
  fixed.bullet_size = -30;  // 30 points whatever the text's size
  body.paragraphs.push_back(fixed);
  ppt::Paragraph empty = ParaOf(u"");
  empty.bullet = true;  // an empty paragraph shows no bullet
  body.paragraphs.push_back(empty);
  text::Layout l = Lay(body, 500);
  ASSERT_EQ(l.bullets.size(), 3u);
  EXPECT_EQ(ppt::ToUtf8(l.bullets[0].text), "12.");
  EXPECT_EQ(l.bullets[0].color, (ppt::Rgb{200, 0, 0}));
  EXPECT_DOUBLE_EQ(l.bullets[0].width, 15);
  EXPECT_DOUBLE_EQ(l.lines[0].x, 50);
  EXPECT_EQ(l.bullets[1].text, std::u16string(1, char16_t(0x25A0)));
  EXPECT_EQ(l.bullets[1].font.face, "Wingdings");
  EXPECT_DOUBLE_EQ(l.bullets[1].font.size, 20);
  EXPECT_DOUBLE_EQ(l.lines[1].x, 10);
  EXPECT_DOUBLE_EQ(l.bullets[2].font.size, 30);
  // A centred paragraph's bullet travels with its text.
  body.paragraphs[0].align = ppt::Paragraph::kCenter;
  l = Lay(body, 500);
  EXPECT_DOUBLE_EQ(l.lines[0].x - l.bullets[0].x, 50);
}

TEST(TextLayoutRuns, MeasuresEachRunOnceAndSurvivesShortAnswers) {
  int calls = 0;
  text::Measurer short_answers = [&](const text::Font& f, const std::u16string& s) {
    calls++;
    text::Metrics m = FixedWidth(f, s);
    if (!m.advances.empty()) m.advances.pop_back();  // a measurer that fails part-way
    return m;
  };
  ppt::Paragraph p = ParaOf(u"aaa bbb ccc ddd");
  p.runs.push_back(RunOf(u" eee"));
  ppt::TextBody body;
  body.paragraphs.push_back(p);
  text::Box box{30, 100, 1};
  text::Layout l = text::LayOut(body, box, short_answers);
  EXPECT_EQ(calls, 2);
  EXPECT_GE(l.lines.size(), 2u);
}

}  // namespace
