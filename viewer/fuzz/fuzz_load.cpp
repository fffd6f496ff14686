// libFuzzer entry: the whole load path, from container to resolved slides.
#include <cstddef>
#include <cstdint>

#include "ppt/presentation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ppt::Presentation p;
  ppt::LoadOptions options;
  options.max_blip_bytes = 16u << 20;
  options.max_total_blip_bytes = 64u << 20;
  ppt::Load(data, size, &p, options);
  return 0;
}
