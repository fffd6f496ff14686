#pragma once
// How a line is laid out before any device draws it: dash patterns, the parallel strokes of
// compound lines and the figures of arrowheads. Portable, so it is tested without a device.
#include <vector>

#include "geom/outline.h"
#include "ppt/presentation.h"

namespace paint {

// Dash and gap lengths, alternating and starting with a dash, in multiples of the line's width;
// empty for a solid line.
std::vector<double> DashPattern(ppt::LineStyle::Dash dash);

// One stroke of a compound line: its centre's offset from the line's centre and its width, both
// as fractions of the whole line's width. Positive offsets lie to the left of the direction of
// travel (on screen, y down).
struct StrokeBand {
  double offset, width;
};
std::vector<StrokeBand> CompoundBands(ppt::LineStyle::Compound compound);

// The path moved sideways by `d` (positive: left of the direction of travel), with mitred
// corners; sharp corners are cut off at four times `d`.
std::vector<geom::Pt> OffsetPath(const std::vector<geom::Pt>& pts, bool closed, double d);

// An arrowhead at `tip`, pointing away from `from`, for a line `width` wide (device units).
struct ArrowHead {
  std::vector<geom::Pt> pts;  // the head's figure
  bool filled = true;         // open arrowheads are stroked, not filled
  double inset = 0;           // how far the line is shortened so it ends inside the head
};
ArrowHead MakeArrowHead(const ppt::LineEnd& end, geom::Pt tip, geom::Pt from, double width);

// Moves the first (or last) point of an open path back by `by` along its segment.
void ShortenStart(std::vector<geom::Pt>* pts, double by);
void ShortenEnd(std::vector<geom::Pt>* pts, double by);

}  // namespace paint
