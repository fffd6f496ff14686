#pragma once
// The drawing format's preset shapes as data: for each shape type its vertices, path segments and
// guide formulas in a box of coord_w × coord_h units, evaluated by geom/path_eval.h.
#include <cstddef>
#include <cstdint>

namespace geom {

// One guide formula: op in the low byte, bits 13-15 mark p[0..2] as references (adjust value,
// geometry edge or another guide) rather than plain numbers.
struct PresetGuide {
  uint16_t flags;
  int32_t p[3];
};

struct PresetShape {
  int type;
  const int32_t* vertices;  // x, y pairs; 0x80000000 | n names guide n
  uint16_t vertex_count;    // pairs
  const uint16_t* segments;
  uint16_t segment_count;  // 0: one polygon through every vertex
  const PresetGuide* guides;
  uint16_t guide_count;
  const int32_t* defaults;  // adjust values when the file stores none
  uint8_t default_count;
  const int32_t* text;  // text rectangles: left, top, right, bottom (vertex encoding)
  uint8_t text_count;
  int32_t coord_w, coord_h;
  uint8_t angle_adjusts;  // bit i: adjust i is an angle in 16.16 fixed-point degrees
};

// The preset of a shape type, or null when the type has none.
const PresetShape* FindPreset(int type);

// Every preset, in ascending type order (for tests and tools).
const PresetShape* Presets(size_t* count);

}  // namespace geom
