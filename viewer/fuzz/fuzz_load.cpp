// libFuzzer entry: the whole load path, from container to resolved slides, and the layout of
// every text on them.
#include <cstddef>
#include <cstdint>

#include "geom/outline.h"
#include "geom/text_warp.h"
#include "ppt/presentation.h"
#include "text/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ppt::Presentation p;
  ppt::LoadOptions options;
  options.max_blip_bytes = 16u << 20;
  options.max_total_blip_bytes = 64u << 20;
  // A smaller work budget than a show's: inputs that spend it still take the cut-short paths,
  // and each stays quick enough under the sanitizers for the fuzzer to go on mutating.
  options.max_work = 1u << 20;
  if (ppt::Load(data, size, &p, options) != ppt::LoadError::kNone) return 0;
  // Pictures are read only when asked for: ask for each, as a show would.
  for (size_t i = 0; i < p.blips.size() && i < 64; i++) p.Picture(int(i));
  // The outlines are evaluated from what the file stores (adjust values, freeform geometry).
  // WordArt is bent along its outline: map a few points of a two-line text through it.
  for (const ppt::Slide& slide : p.slides)
    for (const ppt::Shape& s : slide.shapes) {
      const double w = (double(s.anchor.right) - s.anchor.left) / 8,
                   h = (double(s.anchor.bottom) - s.anchor.top) / 8;
      geom::Outline o = geom::ShapeOutline(s, w, h);
      if (s.word_art.text.empty()) continue;
      geom::TextWarp warp(o, w, h);
      for (int line = 0; line < 2; line++)
        for (double u : {-0.1, 0.0, 0.37, 1.0, 1.2}) warp.Map(line, 2, u, 0.5, 0.2);
    }
  text::Measurer fixed = [](const text::Font& f, const std::u16string& s) {
    text::Metrics m;
    m.advances.assign(s.size(), f.size / 2);
    m.ascent = f.size * 0.8;
    m.descent = f.size * 0.2;
    return m;
  };
  for (const ppt::Slide& slide : p.slides)
    for (const ppt::Shape& s : slide.shapes) {
      text::Box box;
      box.width = s.anchor.width() / 8.0;
      box.height = s.anchor.height() / 8.0;
      text::LayOut(s.text, box, fixed);
    }
  return 0;
}
