#pragma once
// Presentations saved by PowerPoint 4 for Windows: one stream of numbered zones, found through
// a table of offsets, that refer to each other by number. Their slides are read with the
// master's objects beneath them, drawn shapes and text frames in place, on the colour scheme's
// background.
#include <cstddef>
#include <cstdint>

#include "ppt/presentation.h"

namespace ppt::detail {

// Whether a stream starts as PowerPoint 4 for Windows wrote it.
bool IsPowerPoint4(const uint8_t* doc, size_t size);

// Reads the slides of such a stream into `out`; kDamaged when no slide list can be found.
// Pictures are located as ranges of the stream itself.
LoadError LoadPowerPoint4(const uint8_t* doc, size_t size, Presentation* out);

}  // namespace ppt::detail
