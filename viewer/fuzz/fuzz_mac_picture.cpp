// libFuzzer entry: a Macintosh picture converted into a Windows metafile, which must come out
// well-formed (what the show then plays is only ever the converter's own output).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/mac_picture.h"
#include "app/metafile_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  viewer::MacPictureLimits limits;
  limits.max_pixels = 4u << 20;
  limits.max_metafile_bytes = 32u << 20;
  std::vector<uint8_t> wmf, kept;
  if (viewer::MacPictureToMetafile(data, size, &wmf, limits) &&
      !viewer::FilterWindowsMetafile(wmf.data(), wmf.size(), &kept))
    __builtin_trap();
  return 0;
}
