// libFuzzer entry: the whole load path, from container to resolved slides.
#include <cstddef>
#include <cstdint>

#include "ppt/presentation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ppt::Presentation p;
  ppt::LoadOptions options;
  options.max_blip_bytes = 16u << 20;
  options.max_total_blip_bytes = 64u << 20;
  if (ppt::Load(data, size, &p, options) != ppt::LoadError::kNone) return 0;
  // Pictures are read only when asked for: ask for each, as a show would.
  for (size_t i = 0; i < p.blips.size() && i < 64; i++) p.Picture(int(i));
  return 0;
}
