#pragma once
// Gradient fills broken into solid bands a device paints one after the other, and the colour
// changes pictures are shown with. Portable, so it is tested without a device.
#include <cstdint>
#include <vector>

#include "geom/outline.h"
#include "ppt/presentation.h"

namespace paint {

struct Sample {
  ppt::Rgb color;
  uint8_t alpha = 255;
};
// The blend's colour at `t` (0..1), between the stops around it.
Sample SampleStops(const std::vector<ppt::GradientStop>& stops, double t);

// One band of a gradient: a figure in one colour. Bands are painted in order; later ones cover
// earlier ones where they overlap.
struct ColorBand {
  std::vector<geom::Pt> pts;
  ppt::Rgb color;
};

// How many bands a blend across `span` device units needs to look smooth.
int BandCount(double span);

// A linear blend over the box (x, y, w, h): strips across the blend's direction that cover the
// whole box. Rectangular blends: nested rectangles from the box in to the focus rectangle.
std::vector<ColorBand> LinearBands(const ppt::Fill& fill, double x, double y, double w, double h,
                                   int n);
std::vector<ColorBand> RectangularBands(const ppt::Fill& fill, double x, double y, double w,
                                        double h, int n);
// Shape blends: the figure itself shrunk step by step towards the box's centre.
std::vector<ColorBand> ShapeBands(const ppt::Fill& fill, const std::vector<geom::Pt>& figure,
                                  double cx, double cy, int n);

// A blend as a shape flipped upside down shows it. Upside down is flipped across and turned half
// round: the blend turns with the shape, and a flip across leaves it as stored, since files store
// it as the flipped shape shows it (mirrored copies carry their own angle).
ppt::Fill UpsideDown(const ppt::Fill& fill);

// The opacity a blend is painted with as a whole.
uint8_t AverageAlpha(const ppt::Fill& fill);

// Applies the picture's colour changes to `w` × `h` premultiplied 32-bit BGRA pixels.
void AdjustPixels(uint8_t* pixels, int w, int h, const ppt::PictureAdjust& adjust);

}  // namespace paint
