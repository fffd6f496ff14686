// Text in the classic symbol faces shown as the Unicode characters it stands for where the faces
// are missing.
#include "text/symbol_faces.h"

#include <gtest/gtest.h>

namespace {

using text::SymbolFace;
using text::SymbolLookalike;
using text::SymbolToUnicode;

TEST(SymbolFaces, NamesAreRecognisedWhateverTheirCase) {
  EXPECT_EQ(text::SymbolFaceOf("Symbol"), SymbolFace::kSymbol);
  EXPECT_EQ(text::SymbolFaceOf("WINGDINGS"), SymbolFace::kWingdings);
  EXPECT_EQ(text::SymbolFaceOf("wingdings 2"), SymbolFace::kWingdings2);
  EXPECT_EQ(text::SymbolFaceOf("Wingdings 3"), SymbolFace::kWingdings3);
  EXPECT_EQ(text::SymbolFaceOf("Webdings"), SymbolFace::kWebdings);
  EXPECT_EQ(text::SymbolFaceOf("Arial"), SymbolFace::kNone);
  EXPECT_EQ(text::SymbolFaceOf("Symbol Sans"), SymbolFace::kNone);
}

TEST(SymbolFaces, DingbatsShowTheDingbatsBlockAndItsNeighbours) {
  EXPECT_EQ(text::SymbolFaceOf("Monotype Sorts"), SymbolFace::kDingbats);
  EXPECT_EQ(text::SymbolFaceOf("ITC Zapf Dingbats"), SymbolFace::kDingbats);
  const std::pair<char16_t, char16_t> shown[] = {
      {0x21, 0x2701}, {0x25, 0x260E}, {0x48, 0x2605}, {0x6C, 0x25CF}, {0x6E, 0x25A0},
      {0x76, 0x2756}, {0x7E, 0x275E}, {0x80, 0x2768}, {0xA4, 0x2764}, {0xAB, 0x2660},
      {0xAC, 0x2460}, {0xB6, 0x2776}, {0xD4, 0x2794}, {0xD5, 0x2192}, {0xD8, 0x2798},
      {0xE4, 0x27A4}, {0xEF, 0x27AF}, {0xF1, 0x27B1}, {0xFE, 0x27BE}, {0xF0E4, 0x27A4}};
  for (const auto& [code, u] : shown)
    EXPECT_EQ(int(SymbolToUnicode(SymbolFace::kDingbats, code)), int(u)) << int(code);
  for (char16_t unused : {0x7F, 0x8E, 0xA0, 0xF0, 0xFF})
    EXPECT_EQ(SymbolToUnicode(SymbolFace::kDingbats, unused), 0) << int(unused);
}

TEST(SymbolFaces, SymbolShowsGreekAndMathematics) {
  // Both code ranges: the plain one and the private one the faces also answer to.
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, u'a'), u'\u03B1');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xF061), u'\u03B1');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, u'W'), u'\u03A9');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, u'p'), u'\u03C0');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, u'j'), u'\u03D5');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xB3), u'\u2265');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xB9), u'\u2260');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xE5), u'\u2211');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xF2), u'\u222B');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xD6), u'\u221A');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xA5), u'\u221E');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, 0xAE), u'\u2192');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, u'3'), u'3');
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kSymbol, u'-'), u'\u2212');
  // Every Latin letter is a Greek one, none stays a letter.
  for (char16_t c = u'A'; c <= u'Z'; c++) {
    char16_t upper = SymbolToUnicode(SymbolFace::kSymbol, c);
    char16_t lower = SymbolToUnicode(SymbolFace::kSymbol, char16_t(c + 0x20));
    EXPECT_TRUE(upper >= 0x0391 && upper <= 0x03F6) << char(c);
    EXPECT_TRUE(lower >= 0x03B1 && lower <= 0x03F6) << char(c + 0x20);
  }
}

TEST(SymbolFaces, WingdingsBulletsArrowsChecksCirclesSquares) {
  struct {
    char16_t code, unicode;
  } cases[] = {
      {0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x71, 0x2751}, {0x75, 0x25C6},
      {0x76, 0x2756}, {0x9F, 0x2022}, {0xA7, 0x25AA}, {0xA1, 0x25CB}, {0xAB, 0x2605},
      {0xD8, 0x27A2}, {0xE0, 0x2192}, {0xDF, 0x2190}, {0xE8, 0x27A1}, {0xF0, 0x21E8},
      {0xFB, 0x2717}, {0xFC, 0x2713}, {0xFE, 0x2611}, {0x81, 0x2460}, {0x4A, 0x263A},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SymbolToUnicode(SymbolFace::kWingdings, c.code), c.unicode) << int(c.code);
    EXPECT_EQ(SymbolToUnicode(SymbolFace::kWingdings, char16_t(0xF000 + c.code)), c.unicode);
  }
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kWingdings2, 0x50), 0x2714);
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kWingdings3, 0x75), 0x25B6);
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kWebdings, 0x34), 0x25B6);
  // Outside the faces' codes, or a face that is none of them: no equivalent.
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kWingdings, 0x1F), 0);
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kWingdings, 0xF100), 0);
  EXPECT_EQ(SymbolToUnicode(SymbolFace::kNone, u'a'), 0);
}

// Every character the faces' tables lead to in the later arrow and shape blocks, which few
// faces draw, has an older lookalike, and that one needs none itself.
TEST(SymbolFaces, RareShapesHaveCommonLookalikes) {
  const SymbolFace faces[] = {SymbolFace::kWingdings, SymbolFace::kWingdings2,
                              SymbolFace::kWingdings3, SymbolFace::kWebdings};
  int rare = 0;
  for (SymbolFace face : faces)
    for (char16_t code = 0x20; code <= 0xFF; code++) {
      char16_t u = SymbolToUnicode(face, code);
      if (u < 0x2B0C || u > 0x2BFF) continue;  // the plain heavy arrows before are common
      rare++;
      char16_t like = SymbolLookalike(u);
      EXPECT_NE(like, 0) << std::hex << int(u);
      EXPECT_EQ(SymbolLookalike(like), 0) << std::hex << int(u);
    }
  EXPECT_GT(rare, 0);
  EXPECT_EQ(SymbolLookalike(u'a'), 0);
}

TEST(SymbolFaces, OnlyRunsInMissingSymbolFacesAreMapped) {
  ppt::TextBody body;
  body.paragraphs.resize(1);
  ppt::Run greek, check, plain, installed;
  greek.font = "Symbol";
  greek.charset = 2;
  greek.text = u"a\uF062 ";
  check.font = "Wingdings";
  check.text = u"\u00FC\u0024";  // a check mark, then a picture without an equivalent
  check.link = 3;
  plain.font = "Arial";
  plain.text = u"ab";
  installed.font = "Webdings";
  installed.text = u"a";
  body.paragraphs[0].runs = {greek, check, plain, installed};
  auto have = [](const std::string& f, const std::u16string&) {
    return f == "Arial" || f == "Webdings";
  };
  ppt::TextBody out;
  ASSERT_TRUE(text::MapSymbolRuns(body, have, "DejaVu Sans", &out));
  const auto& runs = out.paragraphs[0].runs;
  EXPECT_EQ(runs[0].text, u"\u03B1\u03B2 ");
  EXPECT_EQ(runs[0].font, "DejaVu Sans");
  EXPECT_EQ(runs[0].charset, 0);
  EXPECT_EQ(runs[1].text, u"\u2713$");
  EXPECT_EQ(runs[1].link, 3) << "a run keeps everything but its face";
  EXPECT_EQ(runs[2].text, u"ab");
  EXPECT_EQ(runs[2].font, "Arial");
  EXPECT_EQ(runs[3].text, u"a") << "an installed symbol face draws itself";

  ppt::TextBody untouched;
  body.paragraphs[0].runs = {plain, installed};
  EXPECT_FALSE(text::MapSymbolRuns(body, have, "DejaVu Sans", &untouched));
  EXPECT_TRUE(untouched.paragraphs.empty());

  // Symbol's private codes left in text of an ordinary face show Symbol's characters there.
  plain.text = u"1\uF020secretion \uF0B7 \uF061";
  body.paragraphs[0].runs = {plain};
  ASSERT_TRUE(text::MapSymbolRuns(body, have, "DejaVu Sans", &out));
  EXPECT_EQ(out.paragraphs[0].runs[0].text, u"1 secretion \u2022 \u03B1");
  EXPECT_EQ(out.paragraphs[0].runs[0].font, "Arial");

  // A face of the symbol face's name that lacks the codes used is no better than none.
  auto greek_only_at_unicode = [](const std::string& f, const std::u16string& t) {
    return f == "Symbol" && t.find(u'\uF062') == std::u16string::npos;
  };
  greek.text = u"\uF062";
  installed = greek;
  installed.text = u"+";
  body.paragraphs[0].runs = {greek, installed};
  ASSERT_TRUE(text::MapSymbolRuns(body, greek_only_at_unicode, "DejaVu Sans", &out));
  EXPECT_EQ(out.paragraphs[0].runs[0].text, u"\u03B2");
  EXPECT_EQ(out.paragraphs[0].runs[0].font, "DejaVu Sans");
  EXPECT_EQ(out.paragraphs[0].runs[1].font, "Symbol");
}

}  // namespace
