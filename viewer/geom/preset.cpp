#include "geom/preset.h"

#include <algorithm>

namespace geom {
namespace {
#include "geom/preset_table.inc"
}  // namespace

const PresetShape* FindPreset(int type) {
  const PresetShape* end = kPresets + sizeof(kPresets) / sizeof(kPresets[0]);
  const PresetShape* it =
      std::lower_bound(kPresets, end, type, [](const PresetShape& p, int t) { return p.type < t; });
  return it != end && it->type == type ? it : nullptr;
}

const PresetShape* Presets(size_t* count) {
  *count = sizeof(kPresets) / sizeof(kPresets[0]);
  return kPresets;
}

}  // namespace geom
