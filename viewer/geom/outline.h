#pragma once
// The outline a shape is painted along, as plain polygons in the shape's own box: the portable
// half of shape drawing, apart from any device, so it can be tested without one.
#include <vector>

#include "ppt/presentation.h"

namespace geom {

struct Pt {
  double x = 0, y = 0;
};

// One figure of an outline: flattened to points (curves already broken into short lines).
struct SubPath {
  std::vector<Pt> pts;
  bool closed = true;  // the last point joins the first
  bool fill = true;    // the figure takes the shape's fill
  bool stroke = true;  // the figure takes the shape's line
  // Figures of one path are filled together (even-odd, so an inner figure makes a hole);
  // consecutive figures with the same number belong to one path.
  int path = 0;
  // The fill made darker (< 0, towards black) or lighter (> 0, towards white) by this fraction:
  // the faces of cubes, cans, bevels and action buttons.
  double shade = 0;
};

struct Box {
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct Outline {
  std::vector<SubPath> parts;
  bool open_line = false;  // a line or connector: arrowheads belong to its ends
  Box text_box;            // where the shape's text goes, in the same box as the figures
};

// The outline of `s` in a box `w` × `h` with its top-left corner at 0,0, flips applied.
Outline ShapeOutline(const ppt::Shape& s, double w, double h);

// Appends an elliptic arc around (cx, cy) with radii rx, ry from angle a0 to a1 (degrees,
// clockwise on screen from the positive x axis), flattened.
void AppendArc(std::vector<Pt>* pts, double cx, double cy, double rx, double ry, double a0,
               double a1);

// Appends a cubic Bézier from the last point of `pts` through c1, c2 to p, flattened.
void AppendCubic(std::vector<Pt>* pts, Pt c1, Pt c2, Pt p);

}  // namespace geom
