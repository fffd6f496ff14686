#pragma once
// Lays out a text body in its box: line breaking, alignment, indents, tabs, bullets, spacing and
// anchoring, independent of any drawing system. The caller measures text through a callback and
// paints the positioned pieces it gets back. All lengths are in the caller's units (for a
// painter: device pixels); master units and points are converted with Box::units_per_point.
#include <functional>
#include <string>
#include <vector>

#include "ppt/presentation.h"

namespace text {

// The face and size a piece of text is measured and painted in.
struct Font {
  std::string face;
  uint8_t pitch_family = 0, charset = 0;
  bool bold = false, italic = false, underline = false;
  double size = 0;  // em height, in layout units
  bool operator==(const Font& o) const {
    return face == o.face && pitch_family == o.pitch_family && charset == o.charset &&
           bold == o.bold && italic == o.italic && underline == o.underline && size == o.size;
  }
};

struct Metrics {
  std::vector<double> advances;  // one per UTF-16 unit of the measured text
  double ascent = 0, descent = 0;
};

using Measurer = std::function<Metrics(const Font&, const std::u16string&)>;

struct Box {
  double width = 0, height = 0;
  double units_per_point = 1;
};

struct Piece {
  double x = 0, baseline = 0, width = 0;
  std::u16string text;
  Font font;
  const ppt::Run* run = nullptr;  // colour, shadow, emboss
};

struct Bullet {
  double x = 0, baseline = 0, width = 0;
  std::u16string text;
  Font font;
  ppt::Rgb color;
  int blip = -1;              // a picture bullet, drawn size x size with its bottom on the baseline
  bool from_symbols = false;  // a symbol face's character, as its Unicode one
  double size = 0;
  size_t paragraph = 0;
};

struct Line {
  double top = 0, height = 0, baseline = 0;
  double x = 0, width = 0;  // the text's extent, trailing blanks left out
  size_t paragraph = 0;
  std::vector<Piece> pieces;
};

struct Layout {
  std::vector<Line> lines;
  std::vector<Bullet> bullets;
  double content_height = 0;  // from the first line's top to the last line's bottom
  double ink_height = 0;      // to the bottom of the last line with something to see
};

Layout LayOut(const ppt::TextBody& body, const Box& box, const Measurer& measure);

// True where a line may break on either side of the character without a space (ideographs,
// kana, hangul), as East Asian text does.
bool BreaksAnywhere(char16_t c);

}  // namespace text
