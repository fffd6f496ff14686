#pragma once
// WordArt bent along its preset: where each point of a line of letters goes in the shape's box.
// The preset's figures are the rails the text follows. An even number of them bounds the text in
// pairs, an upper and a lower edge, and the letters are stretched between the two; an odd number
// carries one line each, the letters standing on (or hanging from) the rail.
#include <vector>

#include "geom/outline.h"

namespace geom {

class TextWarp {
 public:
  // `text_path`: the WordArt preset's outline in a box `w` × `h`. Without usable rails (a type
  // without a preset) the text fills the box, line under line.
  TextWarp(const Outline& text_path, double w, double h);

  // Where the point at fraction `u` along line `line` (of `lines`) and fraction `v` down its cell
  // (0 its top, 1 its bottom) goes. `aspect` is the line's cell height over its advance: letters
  // laid along a single rail keep their proportions where the box leaves room.
  Pt Map(int line, int lines, double u, double v, double aspect) const;

  bool along_rails() const { return single_; }

 private:
  struct Rail {
    std::vector<Pt> pts;
    std::vector<double> at;  // distance from the first point
    std::vector<Pt> turn;    // the direction at each point, between those of its two pieces
    double length = 0;
  };
  struct Spot {
    Pt pt, dir;  // the point and the rail's unit direction there
  };
  static Rail MakeRail(std::vector<Pt> pts);
  static Spot PointAt(const Rail& r, double fraction);
  Pt Between(int line, int lines, double u, double v) const;
  Pt Along(int line, double u, double v, double aspect) const;

  std::vector<Rail> rails_;
  bool single_ = false;
  double w_, h_;
};

}  // namespace geom
