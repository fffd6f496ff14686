#include "show/frames.h"

#include <algorithm>
#include <cmath>

namespace show {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBlindsCount = 8, kCheckerCount = 8, kCombCount = 8, kCirclePoints = 72;
constexpr int kSlowMs = 1000, kMediumMs = 750, kFastMs = 500, kThroughBlackMs = 400;
constexpr int kBuildMs = 500, kCrawlMs = 1500;

// Directions of movement as the file numbers them: left, up, right, down, then the diagonals.
constexpr int kDirX[8] = {-1, 0, 1, 0, -1, 1, -1, 1};
constexpr int kDirY[8] = {0, -1, 0, 1, -1, -1, 1, 1};

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// A fixed shuffle of 0..n-1, the same for every frame of one effect.
std::vector<int> Shuffle(int n, uint32_t seed) {
  std::vector<int> v(size_t(std::max(n, 0)));
  for (int i = 0; i < n; i++) v[i] = i;
  for (int i = n - 1; i > 0; i--) std::swap(v[i], v[Mix(seed + uint32_t(i)) % uint32_t(i + 1)]);
  return v;
}

Box Intersect(const Box& a, const Box& b) {
  int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  return Box{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

// Shows `r` of the source in place, within the effect's area.
void Show(Frame* f, const Box& area, Box r, Source src = kNew) {
  r = Intersect(r, area);
  if (r.w <= 0 || r.h <= 0) return;
  f->blits.push_back(Blit{src, r, r.x, r.y, r.w, r.h});
}

// Shows the source's whole area moved by (ox, oy), cut to the area.
void Shifted(Frame* f, const Box& area, int ox, int oy, Source src) {
  Box to = Intersect(Box{area.x + ox, area.y + oy, area.w, area.h}, area);
  if (to.w <= 0 || to.h <= 0) return;
  Box from{to.x - ox, to.y - oy, to.w, to.h};
  f->blits.push_back(Blit{src, from, to.x, to.y, to.w, to.h});
}

int Part(double p, int n) {
  return int(std::lround(p * n));
}

void Stripes(Frame* f, const Box& a, double p, bool vertical, int count) {
  for (int i = 0; i < count; i++) {
    if (vertical) {
      int x0 = a.x + a.w * i / count, x1 = a.x + a.w * (i + 1) / count;
      Show(f, a, Box{x0, a.y, Part(p, x1 - x0), a.h});
    } else {
      int y0 = a.y + a.h * i / count, y1 = a.y + a.h * (i + 1) / count;
      Show(f, a, Box{a.x, y0, a.w, Part(p, y1 - y0)});
    }
  }
}

void Checker(Frame* f, const Box& a, double p, bool across) {
  int n = kCheckerCount;
  for (int r = 0; r < n; r++) {
    for (int k = -1; k < n; k++) {
      if (across) {
        int cw = std::max(1, a.w / n), y0 = a.y + a.h * r / n, y1 = a.y + a.h * (r + 1) / n;
        int x = a.x + k * cw + (r % 2) * cw / 2;
        Show(f, a, Box{x, y0, Part(p, cw), y1 - y0});
      } else {
        int ch = std::max(1, a.h / n), x0 = a.x + a.w * r / n, x1 = a.x + a.w * (r + 1) / n;
        int y = a.y + k * ch + (r % 2) * ch / 2;
        Show(f, a, Box{x0, y, x1 - x0, Part(p, ch)});
      }
    }
  }
}

void Cells(Frame* f, const Box& a, double p, int cell, uint32_t seed) {
  cell = std::max(2, cell);
  int cols = (a.w + cell - 1) / cell, rows = (a.h + cell - 1) / cell;
  std::vector<int> order = Shuffle(cols * rows, seed);
  int shown = Part(p, int(order.size()));
  for (int i = 0; i < shown; i++) {
    int c = order[i] % cols, r = order[i] / cols;
    Show(f, a, Box{a.x + c * cell, a.y + r * cell, cell, cell});
  }
}

void Bars(Frame* f, const Box& a, double p, bool horizontal, uint32_t seed) {
  int extent = horizontal ? a.h : a.w;
  int bar = std::max(2, extent / 120);
  int n = (extent + bar - 1) / bar;
  std::vector<int> order = Shuffle(n, seed);
  int shown = Part(p, n);
  for (int i = 0; i < shown; i++) {
    int at = order[i] * bar;
    Show(f, a, horizontal ? Box{a.x, a.y + at, a.w, bar} : Box{a.x + at, a.y, bar, a.h});
  }
}

void Polygon(Frame* f, const Box& a, std::vector<Point> pts) {
  f->shape_clip = a;
  f->shapes.push_back(std::move(pts));
}

// A diagonal front from the corner the movement leaves.
void Strips(Frame* f, const Box& a, double p, int dir) {
  if (dir < 4 || dir > 7) dir = 7;
  double t = 2 * p;
  int sx = kDirX[dir] < 0 ? a.x + a.w : a.x, sy = kDirY[dir] < 0 ? a.y + a.h : a.y;
  int ux = kDirX[dir] < 0 ? -1 : 1, uy = kDirY[dir] < 0 ? -1 : 1;
  auto at = [&](double u, double v) {
    return Point{sx + ux * int(std::lround(u * a.w)), sy + uy * int(std::lround(v * a.h))};
  };
  std::vector<Point> pts{at(0, 0), at(std::min(t, 1.0), 0)};
  if (t > 1) {
    pts.push_back(at(1, t - 1));
    pts.push_back(at(t - 1, 1));
  }
  pts.push_back(at(0, std::min(t, 1.0)));
  Polygon(f, a, pts);
}

void Wedge(Frame* f, const Box& a, double p, int spokes, bool wedge) {
  double cx = a.x + a.w / 2.0, cy = a.y + a.h / 2.0, r = std::hypot(a.w, a.h);
  if (wedge) {
    std::vector<Point> pts{{int(cx), int(cy)}};
    for (int i = 0; i <= kCirclePoints; i++) {
      double ang = -p * kPi + 2 * p * kPi * i / kCirclePoints;
      pts.push_back({int(cx + r * std::sin(ang)), int(cy - r * std::cos(ang))});
    }
    Polygon(f, a, pts);
    return;
  }
  spokes = std::max(1, std::min(spokes, 8));
  for (int k = 0; k < spokes; k++) {
    std::vector<Point> pts{{int(cx), int(cy)}};
    double start = 2 * kPi * k / spokes, sweep = 2 * kPi / spokes * p;
    for (int i = 0; i <= kCirclePoints / spokes + 1; i++) {
      double ang = start + sweep * i / (kCirclePoints / spokes + 1);
      pts.push_back({int(cx + r * std::sin(ang)), int(cy - r * std::cos(ang))});
    }
    Polygon(f, a, pts);
  }
}

// Effects that move or blend whole pictures, drawn inside `a` over the old picture.
bool RevealByMotion(Frame* f, int effect, int dir, double p, const Box& a, bool build) {
  const int d = std::min(std::max(dir, 0), 7);
  switch (effect) {
    case fx::kCover:
      Shifted(f, a, -int(kDirX[d] * (1 - p) * a.w), -int(kDirY[d] * (1 - p) * a.h), kNew);
      return true;
    case fx::kUncover:
      f->base = kNew;
      Shifted(f, a, int(kDirX[d] * p * a.w), int(kDirY[d] * p * a.h), kOld);
      return true;
    case fx::kPush: {
      int e = d & 3;
      Shifted(f, a, int(kDirX[e] * p * a.w), int(kDirY[e] * p * a.h), kOld);
      Shifted(f, a, -int(kDirX[e] * (1 - p) * a.w), -int(kDirY[e] * (1 - p) * a.h), kNew);
      return true;
    }
    case fx::kComb:
      for (int i = 0; i < kCombCount; i++) {
        int sign = i % 2 ? 1 : -1;
        if (dir == 0) {
          int y0 = a.y + a.h * i / kCombCount, y1 = a.y + a.h * (i + 1) / kCombCount;
          Box bar{a.x, y0, a.w, y1 - y0};
          Shifted(f, bar, sign * int((1 - p) * a.w), 0, kNew);
        } else {
          int x0 = a.x + a.w * i / kCombCount, x1 = a.x + a.w * (i + 1) / kCombCount;
          Box bar{x0, a.y, x1 - x0, a.h};
          Shifted(f, bar, 0, sign * int((1 - p) * a.h), kNew);
        }
      }
      return true;
    case fx::kNewsflash: {
      int w = std::max(1, Part(p, a.w)), h = std::max(1, Part(p, a.h));
      f->blits.push_back(Blit{kNew, a, a.x + (a.w - w) / 2, a.y + (a.h - h) / 2, w, h});
      return true;
    }
    case fx::kFade:
      if (build) {
        f->blend = kNew;
        f->alpha = uint8_t(std::lround(p * 255));
      } else if (p < 0.5) {
        f->blend = kBlack;
        f->alpha = uint8_t(std::lround(p * 2 * 255));
      } else {
        f->base = kNew;
        f->blend = kBlack;
        f->alpha = uint8_t(std::lround((1 - p) * 2 * 255));
      }
      return true;
    case fx::kSmoothFade:
      f->blend = kNew;
      f->alpha = uint8_t(std::lround(p * 255));
      return true;
    default:
      return false;
  }
}

// Effects that uncover the new picture part by part, inside `a`.
bool RevealByArea(Frame* f, int effect, int dir, double p, const Box& a, uint32_t seed,
                  bool build) {
  const int d = std::min(std::max(dir, 0), 7);
  switch (effect) {
    case fx::kBlinds:
      Stripes(f, a, p, dir == 0, kBlindsCount);
      return true;
    case fx::kChecker:
      Checker(f, a, p, dir == 0);
      return true;
    case fx::kDissolve:
      Cells(f, a, p, build ? std::max(a.w, a.h) / 16 : std::max(a.w, a.h) / 48, seed);
      return true;
    case fx::kRandomBars:
      Bars(f, a, p, dir == 0, seed);
      return true;
    case fx::kStrips:
      Strips(f, a, p, dir);
      return true;
    case fx::kWipe:
      switch (d & 3) {
        case 0:
          Show(f, a, Box{a.x + a.w - Part(p, a.w), a.y, Part(p, a.w), a.h});
          break;
        case 1:
          Show(f, a, Box{a.x, a.y + a.h - Part(p, a.h), a.w, Part(p, a.h)});
          break;
        case 2:
          Show(f, a, Box{a.x, a.y, Part(p, a.w), a.h});
          break;
        default:
          Show(f, a, Box{a.x, a.y, a.w, Part(p, a.h)});
          break;
      }
      return true;
    case fx::kBox: {
      double s = dir == 1 ? 1 - p : p;
      Box c{a.x + (a.w - Part(s, a.w)) / 2, a.y + (a.h - Part(s, a.h)) / 2, Part(s, a.w),
            Part(s, a.h)};
      if (dir == 1) {
        f->base = kNew;
        Show(f, a, c, kOld);
      } else {
        Show(f, a, c);
      }
      return true;
    }
    case fx::kSplit: {
      bool horizontal = (dir & 3) < 2, out = (dir & 1) == 0;
      int extent = horizontal ? a.h : a.w, open = Part(p, extent);
      int o = horizontal ? a.y : a.x;
      auto band = [&](int from, int len) {
        Show(f, a, horizontal ? Box{a.x, from, a.w, len} : Box{from, a.y, len, a.h});
      };
      if (out) {
        band(o + (extent - open) / 2, open);
      } else {
        band(o, open / 2);
        band(o + extent - open / 2, open / 2 + 1);
      }
      return true;
    }
    case fx::kDiamond: {
      int cx = a.x + a.w / 2, cy = a.y + a.h / 2, rx = Part(p, a.w), ry = Part(p, a.h);
      Polygon(f, a, {{cx, cy - ry}, {cx + rx, cy}, {cx, cy + ry}, {cx - rx, cy}});
      return true;
    }
    case fx::kPlus: {
      int cx = a.x + a.w / 2, cy = a.y + a.h / 2;
      int w1 = Part(p, 2 * a.w), h1 = Part(p, a.h), w2 = Part(p, a.w), h2 = Part(p, 2 * a.h);
      Show(f, a, Box{cx - w1 / 2, cy - h1 / 2, w1, h1});
      Show(f, a, Box{cx - w2 / 2, cy - h2 / 2, w2, h2});
      return true;
    }
    case fx::kWedge:
      Wedge(f, a, p, 1, true);
      return true;
    case fx::kWheel:
      Wedge(f, a, p, dir, false);
      return true;
    case fx::kCircle: {
      double cx = a.x + a.w / 2.0, cy = a.y + a.h / 2.0, r = p * std::hypot(a.w, a.h) / 2;
      std::vector<Point> pts;
      for (int i = 0; i < kCirclePoints; i++) {
        double ang = 2 * kPi * i / kCirclePoints;
        pts.push_back(
            {int(std::lround(cx + r * std::cos(ang))), int(std::lround(cy + r * std::sin(ang)))});
      }
      Polygon(f, a, pts);
      return true;
    }
    default:
      return false;
  }
}

bool Reveal(Frame* f, int effect, int dir, double p, const Box& a, uint32_t seed, bool build) {
  return RevealByMotion(f, effect, dir, p, a, build) ||
         RevealByArea(f, effect, dir, p, a, seed, build);
}

constexpr int kRandomChoices[] = {fx::kBlinds,  fx::kChecker,    fx::kCover,   fx::kDissolve,
                                  fx::kUncover, fx::kRandomBars, fx::kStrips,  fx::kWipe,
                                  fx::kBox,     fx::kSplit,      fx::kDiamond, fx::kPlus,
                                  fx::kWedge,   fx::kPush,       fx::kCircle,  fx::kSmoothFade};

double Clamp01(double p) {
  return p < 0 ? 0 : p > 1 ? 1 : p;
}

// The fly family's directions: eight sides and corners to fly in from, the four sides again for
// the slow variant, four edges to peek out of, then zooms and stretches.
struct FlySide {
  int dx, dy;
};
constexpr FlySide kFlyFrom[] = {{-1, 0},  {0, -1}, {1, 0},  {0, 1},
                                {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
constexpr int kSides = 8, kFirstPeek = 8, kLastPeek = 11, kFirstSlowSide = 12, kLastSlowSide = 15;

// In from beyond the slide's edge on the given side: at q = 1 the shape lies just outside it.
void FlyIn(Moving& m, FlySide from, double q, const Box& area, int w, int h) {
  if (from.dx < 0) m.dx = -double(area.x + area.w) * q;
  if (from.dx > 0) m.dx = double(w - area.x) * q;
  if (from.dy < 0) m.dy = -double(area.y + area.h) * q;
  if (from.dy > 0) m.dy = double(h - area.y) * q;
}

// Out of the shape's own edge: only what has come out is seen.
void PeekIn(Moving& m, int direction, double q, const Box& area) {
  m.clip = area;
  m.dx = direction == 8 ? -area.w * q : direction == 10 ? area.w * q : 0;
  m.dy = direction == 9 ? area.h * q : direction == 11 ? -area.h * q : 0;
}

// Zooms and stretches; the spiral, and what we do not know, come in from the lower right,
// growing.
void ZoomIn(Moving& m, int direction, double p, const Box& area, int w, int h) {
  const double q = 1 - p, cx = area.x + area.w / 2.0, cy = area.y + area.h / 2.0;
  switch (direction) {
    case 16:
      m.sx = m.sy = p;
      break;
    case 17:
      m.sx = m.sy = 0.7 + 0.3 * p;
      break;
    case 18:
      m.sx = m.sy = 1 + 3 * q;
      break;
    case 19:
      m.sx = m.sy = 1 + 0.3 * q;
      break;
    case 20:
      m.sx = m.sy = p;
      m.dx = (w / 2.0 - cx) * q;
      m.dy = (h / 2.0 - cy) * q;
      break;
    case 21:
      m.sx = m.sy = 1 + q;
      m.dy = (h - cy) * q;
      break;
    case 22:
      m.sx = p;
      break;
    case 23:
      m.sx = p;
      m.dx = -area.w / 2.0 * q;
      break;
    case 24:
      m.sy = p;
      m.dy = -area.h / 2.0 * q;
      break;
    case 25:
      m.sx = p;
      m.dx = area.w / 2.0 * q;
      break;
    case 26:
      m.sy = p;
      m.dy = area.h / 2.0 * q;
      break;
    case 27:
      m.sx = std::fabs(std::cos(q * 2 * kPi));
      break;
    default:
      m.sx = m.sy = p;
      m.dx = (w - cx) * q * std::cos(q * kPi / 2);
      m.dy = (h - cy) * q;
      break;
  }
}

// How a shape of the fly family moves at progress p: from where, how scaled, seen where.
void FlyMotion(Moving* out, int direction, double p, const Box& area, int w, int h) {
  Moving& m = *out;
  m.on = true;
  m.area = area;
  m.clip = Box{0, 0, w, h};
  const double q = 1 - p;
  if (direction >= 0 && direction < kSides)
    FlyIn(m, kFlyFrom[direction], q, area, w, h);
  else if (direction >= kFirstSlowSide && direction <= kLastSlowSide)
    FlyIn(m, kFlyFrom[direction - kFirstSlowSide], q, area, w, h);
  else if (direction >= kFirstPeek && direction <= kLastPeek)
    PeekIn(m, direction, q, area);
  else
    ZoomIn(m, direction, p, area, w, h);
}

}  // namespace

void ResolveRandom(int* effect, int* direction, uint32_t seed) {
  if (*effect != fx::kRandom) return;
  uint32_t r = Mix(seed ^ 0x9E3779B9u);
  *effect = kRandomChoices[r % (sizeof kRandomChoices / sizeof kRandomChoices[0])];
  *direction = int((r >> 8) % (*effect == fx::kStrips ? 4 : 2)) + (*effect == fx::kStrips ? 4 : 0);
}

int TransitionMs(int effect, int direction, ppt::Transition::Speed speed) {
  if (effect == fx::kCut) return direction == 1 ? kThroughBlackMs : 0;
  Frame probe;
  if (effect != fx::kRandom && !Reveal(&probe, effect, direction, 0.5, Box{0, 0, 16, 16}, 0, false))
    return 0;  // an effect we do not draw: a cut
  switch (speed) {
    case ppt::Transition::kSlow:
      return kSlowMs;
    case ppt::Transition::kMedium:
      return kMediumMs;
    default:
      return kFastMs;
  }
}

Frame TransitionFrame(int effect, int direction, double progress, int w, int h, uint32_t seed) {
  ResolveRandom(&effect, &direction, seed);
  double p = Clamp01(progress);
  Frame f;
  if (effect == fx::kCut) {
    f.base = direction == 1 && p < 0.5 ? kBlack : kNew;
    return f;
  }
  if (p >= 1 || !Reveal(&f, effect, direction, p, Box{0, 0, w, h}, seed, false)) {
    f = Frame();
    f.base = kNew;
  }
  return f;
}

int BuildMs(int effect, int direction) {
  if (effect == fx::kCut) return 0;
  if (effect == fx::kFly && direction >= 12 && direction <= 15) return kCrawlMs;
  return kBuildMs;
}

Frame BuildFrame(int effect, int direction, double progress, const Box& area, int w, int h,
                 uint32_t seed) {
  if (effect == fx::kRandom) {
    uint32_t r = Mix(seed);
    effect = r % 3 == 0 ? fx::kFly : kRandomChoices[r % 16];
    direction = effect == fx::kFly ? int((r >> 8) % 8) : int((r >> 8) % 2);
    if (effect == fx::kStrips) direction += 4;
  }
  double p = Clamp01(progress);
  Frame f;
  if (p >= 1 || effect == fx::kCut || effect == fx::kFlash) {
    f.base = kNew;
    return f;
  }
  if (effect != fx::kFly) {
    if (!Reveal(&f, effect, direction, p, area, seed, true)) {
      f = Frame();
      f.base = kNew;
    }
    return f;
  }
  FlyMotion(&f.moving, direction, p, area, w, h);
  return f;
}

void ComposeMoving(const uint32_t* before, const uint32_t* after, uint32_t* out, int w, int h,
                   const Moving& m) {
  if (!m.on || m.sx <= 0.001 || m.sy <= 0.001) return;
  const Box a = Intersect(m.area, Box{0, 0, w, h});
  if (a.w <= 0 || a.h <= 0) return;
  const double cx = a.x + a.w / 2.0, cy = a.y + a.h / 2.0;
  // Where the area lands, cut to the clip and the picture.
  int x0 = int(std::floor(cx + (a.x - cx) * m.sx + m.dx));
  int x1 = int(std::ceil(cx + (a.x + a.w - cx) * m.sx + m.dx));
  int y0 = int(std::floor(cy + (a.y - cy) * m.sy + m.dy));
  int y1 = int(std::ceil(cy + (a.y + a.h - cy) * m.sy + m.dy));
  Box to = Intersect(Intersect(Box{x0, y0, x1 - x0, y1 - y0}, m.clip), Box{0, 0, w, h});
  for (int y = to.y; y < to.y + to.h; y++) {
    int sy = int(std::floor(cy + (y + 0.5 - cy - m.dy) / m.sy));
    if (sy < a.y || sy >= a.y + a.h) continue;
    const size_t src_row = size_t(sy) * size_t(w);
    uint32_t* dst = out + size_t(y) * size_t(w);
    for (int x = to.x; x < to.x + to.w; x++) {
      int sx = int(std::floor(cx + (x + 0.5 - cx - m.dx) / m.sx));
      if (sx < a.x || sx >= a.x + a.w) continue;
      size_t s = src_row + size_t(sx);
      if (after[s] != before[s]) dst[x] = after[s];
    }
  }
}

}  // namespace show
