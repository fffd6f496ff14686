#pragma once
// Frames of slide transitions and build effects as functions of their progress (0 to 1): which
// parts of the old and the new picture a frame shows and where. A frame is drawn from two
// off-screen pictures of equal size; the window system only copies and blends what it lists.
#include <cstdint>
#include <vector>

#include "ppt/presentation.h"

namespace show {

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
};

enum Source : uint8_t { kOld, kNew, kBlack, kWhite };

// Copies part of a source picture to (dx, dy), scaled to dw x dh.
struct Blit {
  Source src = kNew;
  Box from;
  int dx = 0, dy = 0, dw = 0, dh = 0;
};

struct Point {
  int x, y;
};

// The shape's own pixels (where the new picture differs from the old inside `area`), moved by
// (dx, dy) and scaled about the area's centre by (sx, sy), seen only within `clip`.
struct Moving {
  bool on = false;
  Box area, clip;
  double dx = 0, dy = 0, sx = 1, sy = 1;
};

struct Frame {
  Source base = kOld;                      // what the frame starts from
  std::vector<Blit> blits;                 // copied on top, in order
  std::vector<std::vector<Point>> shapes;  // the new picture shows inside these polygons
  Box shape_clip;                          // polygons are limited to this box
  Source blend = kNew;                     // then blended over everything with `alpha` (0: none)
  uint8_t alpha = 0;
  Moving moving;
};

// The effect numbers the file stores for transitions (and for builds, where they are shared).
namespace fx {
constexpr int kCut = 0, kRandom = 1, kBlinds = 2, kChecker = 3, kCover = 4, kDissolve = 5;
constexpr int kFade = 6, kUncover = 7, kRandomBars = 8, kStrips = 9, kWipe = 10, kBox = 11;
// Builds only: fly, peek, crawl, zoom, stretch, swivel, spiral by direction.
constexpr int kFly = 12;
constexpr int kSplit = 13, kFlash = 14, kDiamond = 17, kPlus = 18, kWedge = 19, kPush = 20;
constexpr int kComb = 21, kNewsflash = 22, kSmoothFade = 23, kWheel = 26, kCircle = 27;
}  // namespace fx

// How long a transition runs, in milliseconds (0: a plain cut).
int TransitionMs(int effect, int direction, ppt::Transition::Speed speed);
// A transition's effect and direction with "random" resolved by `seed`.
void ResolveRandom(int* effect, int* direction, uint32_t seed);
// The frame of a transition over a w x h picture.
Frame TransitionFrame(int effect, int direction, double progress, int w, int h, uint32_t seed);

// How long a build effect runs (0: appears at once).
int BuildMs(int effect, int direction);
// The frame of a build whose shapes occupy `area` of a w x h picture; old: before the step.
Frame BuildFrame(int effect, int direction, double progress, const Box& area, int w, int h,
                 uint32_t seed);

// Draws a Moving part in 32-bit pixels (rows of `w`): `out` already holds the frame so far.
void ComposeMoving(const uint32_t* before, const uint32_t* after, uint32_t* out, int w, int h,
                   const Moving& m);

}  // namespace show
