#pragma once
// Pictures made on a Macintosh (QuickDraw pictures, version 1 and 2) are stored as they were
// drawn: a list of drawing operations. They are drawn again as a Windows metafile, which the
// show plays as it plays any other: lines, shapes, polygons, regions, text and pixel maps are
// carried over; what only a Macintosh screen does (inverting, highlighting, comments for
// printers) is left out.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace viewer {

struct MacPictureLimits {
  size_t max_pixels = 32u << 20;           // all pixel maps of one picture together
  size_t max_metafile_bytes = 128u << 20;  // the metafile written
  size_t max_shapes = 200000;              // rectangles a region may become, shapes drawn
};

// The picture as a Windows metafile (no placeable header) whose window is the picture's frame.
// False when the bytes are not a picture of a known version or draw nothing; a picture cut
// short keeps what was drawn before the cut.
bool MacPictureToMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* wmf,
                          const MacPictureLimits& limits = MacPictureLimits());

}  // namespace viewer
