#pragma once
// Presentations saved by PowerPoint 95: the record types of later files under headers of their
// own, and a drawing layer that predates the one those files embed. Their slides are read with
// their text in place: boxes, sizes, styles, colours and alignment, on the colour scheme's
// background.
#include <cstddef>
#include <cstdint>

#include "ppt/presentation.h"

namespace ppt::detail {

// Whether a document stream is laid out as PowerPoint 95 wrote it.
bool IsPowerPoint95(const uint8_t* doc, size_t size);

// Reads the slides of such a stream into `out`; kDamaged when it holds no slide list at all.
LoadError LoadPowerPoint95(const uint8_t* doc, size_t size, Presentation* out);

}  // namespace ppt::detail
