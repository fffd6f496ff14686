// libFuzzer entry: metafiles made safe to play, their fonts fitted to a system that has none of
// the faces they name; what comes out must be a well-formed metafile again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/metafile_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  viewer::MetafileFonts fonts;
  fonts.genuine = [](const char16_t*, size_t, void*) { return false; };
  fonts.symbols_drawn = [](const char16_t*, size_t, void*) { return false; };
  fonts.unicode_face = u"DejaVu Sans";
  std::vector<uint8_t> out, again;
  if (viewer::FilterEnhancedMetafile(data, size, &out, nullptr, &fonts) &&
      !viewer::FilterEnhancedMetafile(out.data(), out.size(), &again))
    __builtin_trap();
  if (viewer::FilterWindowsMetafile(data, size, &out) &&
      !viewer::FilterWindowsMetafile(out.data(), out.size(), &again))
    __builtin_trap();
  return 0;
}
