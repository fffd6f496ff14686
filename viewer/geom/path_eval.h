#pragma once
// Evaluates a path program in the drawing format's own encoding (guide formulas over adjust
// values, vertices naming guides, path segments with their escapes) into flattened figures. Used
// for the preset table and for the geometry freeforms store.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geom/outline.h"
#include "geom/preset.h"

namespace geom {

struct PathProgram {
  const int32_t* vertices = nullptr;  // x, y pairs; 0x80000000 | n names guide n
  size_t vertex_count = 0;            // pairs
  const uint16_t* segments = nullptr;
  size_t segment_count = 0;  // 0: one figure through every vertex
  const PresetGuide* guides = nullptr;
  size_t guide_count = 0;
  double left = 0, top = 0, right = 21600, bottom = 21600;  // the box vertices are given in
  double adjust[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  bool close_default = true;  // without segments: whether the one figure is closed
};

// The figures of `prog` scaled into a box w × h. Figures of one path (up to an end segment)
// share `path`; nofill/nostroke escapes clear fill/stroke for their path.
std::vector<SubPath> EvaluatePath(const PathProgram& prog, double w, double h);

// The adjust values a path's guides take as angles (bit i: adjust i), which files store in
// 16.16 fixed-point degrees.
uint16_t AngleAdjusts(const PresetGuide* guides, size_t count);

// A rectangle given as left, top, right, bottom in vertex encoding, scaled like the figures.
Box EvaluateBox(const PathProgram& prog, const int32_t* ltrb, double w, double h);

}  // namespace geom
