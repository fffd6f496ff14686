// libFuzzer entry: the whole load path, from container to resolved slides.
#include <cstddef>
#include <cstdint>

#include "geom/outline.h"
#include "ppt/presentation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ppt::Presentation p;
  ppt::LoadOptions options;
  options.max_blip_bytes = 16u << 20;
  options.max_total_blip_bytes = 64u << 20;
  ppt::Load(data, size, &p, options);
  // The outlines are evaluated from what the file stores (adjust values, freeform geometry).
  for (const ppt::Slide& slide : p.slides)
    for (const ppt::Shape& s : slide.shapes)
      geom::ShapeOutline(s, (double(s.anchor.right) - s.anchor.left) / 8,
                         (double(s.anchor.bottom) - s.anchor.top) / 8);
  return 0;
}
