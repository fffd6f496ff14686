// A shape's drawing properties for colours, fills, lines, shadows and picture adjustments,
// mapped onto what the renderer paints.
#include <algorithm>
#include <cmath>

#include "ppt/loader.h"

namespace ppt::detail {

namespace {

// Colour reference flags (the reference's top byte).
constexpr uint8_t kSchemeIndexFlag = 0x08;
constexpr uint8_t kSysIndexFlag = 0x10;
constexpr uint8_t kIgnoredColor = 0xFF;

// With the system-index flag, the low 16 bits name the colour's source and how it is changed;
// the third byte is the change's parameter.
enum : uint8_t {
  kSysFillColor = 0xF0,
  kSysLineOrFillColor = 0xF1,
  kSysLineColor = 0xF2,
  kSysShadowColor = 0xF3,
  kSysCurrentColor = 0xF4,
  kSysFillBackColor = 0xF5,
  kSysLineBackColor = 0xF6,
  kSysFillOrLineColor = 0xF7,
};
enum : uint8_t {
  kModDarken = 1,
  kModLighten = 2,
  kModAddGray = 3,
  kModSubGray = 4,
  kModReverseSubGray = 5,
  kModThreshold = 6,
  kModInvert = 0x20,
  kModInvertHighBit = 0x40,
};

// The system colours a reference may name, in the drawing format's order, as a classic Windows
// desktop shows them: a show looks the same on every machine.
constexpr uint32_t kSystemColors[] = {
    0xD4D0C8,  // button face
    0x000000,  // window text
    0xD4D0C8,  // menu
    0x0A246A,  // highlight
    0xFFFFFF,  // highlight text
    0xFFFFFF,  // caption text
    0x0A246A,  // active caption
    0xFFFFFF,  // button highlight
    0x808080,  // button shadow
    0x000000,  // button text
    0x808080,  // grey text
    0x808080,  // inactive caption
    0xD4D0C8,  // inactive caption text
    0xFFFFE1,  // info background
    0x000000,  // info text
    0x000000,  // menu text
    0xD4D0C8,  // scroll bar
    0xFFFFFF,  // window
    0x000000,  // window frame
    0xD4D0C8,  // 3D light
};

// Fill types.
enum : uint32_t {
  kFillSolid = 0,
  kFillPattern = 1,
  kFillTexture = 2,
  kFillPicture = 3,
  kFillShade = 4,
  kFillShadeCenter = 5,
  kFillShadeShape = 6,
  kFillShadeScale = 7,
  kFillShadeTitle = 8,
  kFillBackground = 9,
};

constexpr uint32_t kOpaque = 0x10000;  // opacities are 16.16 fractions
constexpr int kMaxColorDepth = 4;      // references naming references, as far as we follow them
constexpr size_t kMaxShadeColors = 64;

Rgb FromHex(uint32_t v) {
  return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

uint8_t Clamp8(int v) {
  return uint8_t(std::max(0, std::min(255, v)));
}

Rgb Modify(Rgb c, uint8_t mod, uint8_t p) {
  auto each = [&](auto f) { c = Rgb{Clamp8(f(c.r)), Clamp8(f(c.g)), Clamp8(f(c.b))}; };
  switch (mod & 0x0F) {
    case kModDarken:
      each([&](int v) { return v * p / 255; });
      break;
    case kModLighten:
      each([&](int v) { return 255 - (255 - v) * p / 255; });
      break;
    case kModAddGray:
      each([&](int v) { return v + p; });
      break;
    case kModSubGray:
      each([&](int v) { return v - p; });
      break;
    case kModReverseSubGray:
      each([&](int v) { return p - v; });
      break;
    case kModThreshold:
      each([&](int v) { return v < p ? 0 : 255; });
      break;
    default:
      break;
  }
  if (mod & kModInvert) each([](int v) { return 255 - v; });
  if (mod & kModInvertHighBit) each([](int v) { return v ^ 0x80; });
  return c;
}

Rgb Resolve(uint32_t ref, const Context& ctx, Rgb fallback, const Properties* props, int depth) {
  uint8_t flags = uint8_t(ref >> 24);
  if (flags == kIgnoredColor) return fallback;
  if (flags & kSchemeIndexFlag) return ctx.scheme[(ref & 0xFF) % 8];
  if (!(flags & kSysIndexFlag)) return FromColorRef(ref);
  uint8_t source = uint8_t(ref), mod = uint8_t(ref >> 8), param = uint8_t(ref >> 16);
  Rgb base = fallback;
  auto from = [&](uint16_t id, uint32_t def, Rgb fb) {
    uint32_t v = props ? props->Get(id, def) : def;
    if (depth >= kMaxColorDepth) return fb;
    return Resolve(v, ctx, fb, props, depth + 1);
  };
  bool filled = props && props->Flag(prop::kFillBooleans, 4) != 0;
  bool lined = props && props->Flag(prop::kLineBooleans, 3) != 0;
  switch (source) {
    case kSysFillColor:
      base = from(prop::kFillColor, 0xFFFFFF, ctx.scheme[4]);
      break;
    case kSysFillBackColor:
      base = from(prop::kFillBackColor, 0xFFFFFF, ctx.scheme[0]);
      break;
    case kSysLineColor:
      base = from(prop::kLineColor, 0, ctx.scheme[1]);
      break;
    case kSysLineBackColor:
      base = from(prop::kLineBackColor, 0xFFFFFF, ctx.scheme[0]);
      break;
    case kSysShadowColor:
      base = from(prop::kShadowColor, 0x808080, ctx.scheme[2]);
      break;
    case kSysLineOrFillColor:
      base = lined ? from(prop::kLineColor, 0, ctx.scheme[1])
                   : from(prop::kFillColor, 0xFFFFFF, ctx.scheme[4]);
      break;
    case kSysFillOrLineColor:
      base = filled ? from(prop::kFillColor, 0xFFFFFF, ctx.scheme[4])
                    : from(prop::kLineColor, 0, ctx.scheme[1]);
      break;
    case kSysCurrentColor:
      break;
    default:
      if (source < sizeof(kSystemColors) / sizeof(kSystemColors[0]))
        base = FromHex(kSystemColors[source]);
      break;
  }
  return Modify(base, mod, param);
}

uint8_t Opacity(const Properties& p, uint16_t id) {
  uint32_t v = std::min<uint32_t>(p.Get(id, kOpaque), kOpaque);
  return uint8_t((v * 255 + kOpaque / 2) / kOpaque);
}

double Fixed(const Properties& p, uint16_t id, double def) {
  return p.Has(id) ? int32_t(p.Get(id, 0)) / 65536.0 : def;
}

// The blend's own colours from the first colour (pos 0) to the last (pos 1): the fill and back
// colours, or the stored list of shade colours.
std::vector<GradientStop> BaseStops(const Properties& p, const Context& ctx, const Fill& f) {
  std::vector<GradientStop> stops;
  auto it = p.complex.find(prop::kFillShadeColors);
  if (it != p.complex.end() && it->second.second >= 6) {
    ByteReader br(it->second.first, it->second.second);
    uint16_t n = br.U16();
    br.U16();
    uint16_t cb = br.U16();
    for (uint16_t i = 0; cb == 8 && i < n && i < kMaxShadeColors && br.Has(8); i++) {
      uint32_t color = br.U32();
      double pos = std::max(0.0, std::min(1.0, int32_t(br.U32()) / 65536.0));
      stops.push_back(GradientStop{pos, Resolve(color, ctx, f.color, &p, 0), 255});
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const GradientStop& a, const GradientStop& b) { return a.pos < b.pos; });
    // Stored either way round: the first colour belongs at the fill colour's end.
    if (stops.size() >= 2 && stops.front().color == f.color2 && stops.back().color == f.color &&
        !(f.color == f.color2)) {
      std::reverse(stops.begin(), stops.end());
      for (GradientStop& s : stops) s.pos = 1 - s.pos;
    }
    if (stops.size() >= 2) {
      // Opacity runs from the fill's to the back colour's across the blend.
      for (GradientStop& s : stops)
        s.alpha = uint8_t(std::lround(f.alpha + (f.alpha2 - f.alpha) * s.pos));
      if (stops.front().pos > 0) stops.insert(stops.begin(), stops.front()), stops[0].pos = 0;
      if (stops.back().pos < 1) stops.push_back(stops.back()), stops.back().pos = 1;
      return stops;
    }
    stops.clear();
  }
  stops.push_back(GradientStop{0, f.color, f.alpha});
  stops.push_back(GradientStop{1, f.color2, f.alpha2});
  return stops;
}

// The focus puts the last colour at `focus` along the blend and mirrors the blend beyond it
// back to the first colour; a negative focus swaps the colours.
std::vector<GradientStop> Focused(std::vector<GradientStop> base, int focus) {
  focus = std::max(-100, std::min(100, focus));
  if (focus < 0) {
    std::reverse(base.begin(), base.end());
    for (GradientStop& s : base) s.pos = 1 - s.pos;
    focus = -focus;
  }
  double f = focus / 100.0;
  std::vector<GradientStop> out;
  if (f > 0)
    for (const GradientStop& s : base) out.push_back(GradientStop{s.pos * f, s.color, s.alpha});
  if (f < 1)
    for (size_t i = base.size(); i-- > 0;) {
      if (f > 0 && i + 1 == base.size()) continue;  // already there, at f
      const GradientStop& s = base[i];
      out.push_back(GradientStop{f + (1 - s.pos) * (1 - f), s.color, s.alpha});
    }
  return out;
}

// Stops laid out from the blend's start (pos 0) to its end (pos 1) turned end for end.
std::vector<GradientStop> Reversed(std::vector<GradientStop> stops) {
  std::reverse(stops.begin(), stops.end());
  for (GradientStop& s : stops) s.pos = 1 - s.pos;
  return stops;
}

// The focus as the common readers of these files take it: a blend is mirrored only with its
// focus near the middle (past 40 and short of 60, either sign), and otherwise runs plainly from
// one colour to the other, the sign and a zero focus saying which comes first.
int32_t BlendFocus(int32_t focus) {
  focus = std::max(-100, std::min(100, focus));
  const int32_t size = focus < 0 ? -focus : focus;
  if (size > 40 && size < 60) return focus < 0 ? -50 : 50;
  if (focus == 0) return 0;
  return focus < 0 ? -100 : 100;
}

void MapGradient(const Properties& p, const Context& ctx, uint32_t type, Fill* f) {
  f->kind = Fill::kGradient;
  std::vector<GradientStop> base = BaseStops(p, ctx, *f);
  const int32_t focus = BlendFocus(int32_t(p.Get(prop::kFillFocus, 0)));
  if (type == kFillShadeCenter || type == kFillShadeShape) {
    // These blends start at their focus (a corner, the centre) and end at the shape's edge;
    // they are painted from the edge inwards, never mirrored. From a corner or the centre the
    // fill colour is always at the focus; from the shape the focus only picks the order.
    const bool focus_first = focus == 0 || focus == -100 || focus == 50;
    f->stops = Reversed(Focused(std::move(base), type == kFillShadeShape && focus_first ? 0 : 100));
    f->blend = type == kFillShadeShape ? Fill::kShape : Fill::kRectangular;
    if (type != kFillShadeShape) {
      double l = Fixed(p, prop::kFillToLeft, 0), t = Fixed(p, prop::kFillToTop, 0);
      double r = Fixed(p, prop::kFillToRight, 0), b = Fixed(p, prop::kFillToBottom, 0);
      auto unit = [](double v) { return std::max(0.0, std::min(1.0, v)); };
      f->focus[0] = unit(std::min(l, r));
      f->focus[1] = unit(std::min(t, b));
      f->focus[2] = unit(std::max(l, r));
      f->focus[3] = unit(std::max(t, b));
    }
  } else {
    // Blends from the title run like linear ones. At 0 degrees the blend starts at the top and
    // runs down; larger angles turn it
    // counterclockwise on screen. A negative angle (as PowerPoint writes its vertical and
    // diagonal blends) turns it clockwise and trades the two colours' places, which a mirrored
    // blend shows and a plain one does not: there it runs the other way along the same axis.
    double a = Fixed(p, prop::kFillAngle, 0);
    if (!std::isfinite(a)) a = 0;
    a = std::fmod(a, 360.0);
    if (a < 0) {
      base = Reversed(std::move(base));
      a += 360;
    }
    f->stops = Focused(std::move(base), focus);
    f->angle = std::fmod(90 - a + 720, 360.0);
  }
  f->color = f->stops.front().color;
  f->color2 = f->stops.back().color;
}

}  // namespace

Rgb ResolveColor(uint32_t ref, const Context& ctx, Rgb fallback, const Properties* props) {
  return Resolve(ref, ctx, fallback, props, 0);
}

Rgb Loader::Color(uint32_t ref, const Context& ctx, Rgb fallback) const {
  return Resolve(ref, ctx, fallback, nullptr, 0);
}

Fill MapFill(const Properties& p, const Context& ctx, bool filled_default, size_t blip_count) {
  Fill f;
  int filled = p.Flag(prop::kFillBooleans, 4);
  if (filled == 0 || (filled < 0 && !filled_default)) return f;
  uint32_t type = p.Get(prop::kFillType, kFillSolid);
  f.color = Resolve(p.Get(prop::kFillColor, 0xFFFFFF), ctx, ctx.scheme[4], &p, 0);
  f.color2 = Resolve(p.Get(prop::kFillBackColor, 0xFFFFFF), ctx, ctx.scheme[0], &p, 0);
  f.alpha = Opacity(p, prop::kFillOpacity);
  f.alpha2 = p.Has(prop::kFillBackOpacity) ? Opacity(p, prop::kFillBackOpacity) : f.alpha;
  uint32_t pib = p.Get(prop::kFillBlip, 0);
  bool blip = pib >= 1 && pib <= blip_count;
  switch (type) {
    case kFillPattern:
    case kFillTexture:
    case kFillPicture:
      f.kind = !blip                  ? Fill::kSolid
               : type == kFillPattern ? Fill::kPattern
               : type == kFillTexture ? Fill::kTexture
                                      : Fill::kPicture;
      if (blip) f.blip = int(pib - 1);
      break;
    case kFillShade:
    case kFillShadeCenter:
    case kFillShadeShape:
    case kFillShadeScale:
    case kFillShadeTitle:
      MapGradient(p, ctx, type, &f);
      break;
    case kFillBackground:
      f.kind = Fill::kBackground;
      break;
    default:
      f.kind = Fill::kSolid;
      break;
  }
  bool invisible = f.kind == Fill::kGradient ? f.alpha == 0 && f.alpha2 == 0 : f.alpha == 0;
  if (invisible && f.kind != Fill::kPicture && f.kind != Fill::kTexture) f.kind = Fill::kNone;
  return f;
}

Fill Loader::ReadFill(const Properties& p, const Context& ctx, bool filled_default) const {
  return MapFill(p, ctx, filled_default, out_->blips.size());
}

void MapLine(const Properties& p, const Context& ctx, bool line_default, Shape* out) {
  int line = p.Flag(prop::kLineBooleans, 3);
  out->line = line == 1 || (line < 0 && line_default);
  out->line_color = Resolve(p.Get(prop::kLineColor, 0), ctx, ctx.scheme[1], &p, 0);
  out->line_width = int(std::min<uint32_t>(p.Get(prop::kLineWidth, 9525), 2000000));
  LineStyle& ls = out->line_style;
  ls.alpha = Opacity(p, prop::kLineOpacity);
  if (ls.alpha == 0) out->line = false;
  uint32_t dash = p.Get(prop::kLineDashing, 0);
  ls.dash = dash <= LineStyle::kLongDashDotDot ? LineStyle::Dash(dash) : LineStyle::kSolid;
  uint32_t compound = p.Get(prop::kLineStyle, 0);
  ls.compound = compound <= LineStyle::kTriple ? LineStyle::Compound(compound) : LineStyle::kSingle;
  uint32_t join = p.Get(prop::kLineJoinStyle, LineStyle::kRound);
  ls.join = join <= LineStyle::kRound ? LineStyle::Join(join) : LineStyle::kRound;
  uint32_t cap = p.Get(prop::kLineEndCapStyle, LineStyle::kFlatCap);
  ls.cap = cap <= LineStyle::kFlatCap ? LineStyle::Cap(cap) : LineStyle::kFlatCap;
  auto end = [&](uint16_t style, uint16_t width, uint16_t length) {
    LineEnd e;
    uint32_t s = p.Get(style, 0);
    e.style = s <= LineEnd::kOpen ? LineEnd::Style(s) : LineEnd::kTriangle;
    e.width = int(std::min<uint32_t>(p.Get(width, 1), 2));
    e.length = int(std::min<uint32_t>(p.Get(length, 1), 2));
    return e;
  };
  ls.start =
      end(prop::kLineStartArrowhead, prop::kLineStartArrowWidth, prop::kLineStartArrowLength);
  ls.end = end(prop::kLineEndArrowhead, prop::kLineEndArrowWidth, prop::kLineEndArrowLength);
}

Shadow MapShadow(const Properties& p, const Context& ctx) {
  Shadow s;
  s.visible = p.Flag(prop::kShadowBooleans, 1) == 1;
  s.color = Resolve(p.Get(prop::kShadowColor, 0x808080), ctx, ctx.scheme[2], &p, 0);
  s.alpha = Opacity(p, prop::kShadowOpacity);
  s.dx = EmuToMaster(p.Get(prop::kShadowOffsetX, 25400));
  s.dy = EmuToMaster(p.Get(prop::kShadowOffsetY, 25400));
  if (s.alpha == 0) s.visible = false;
  return s;
}

PictureAdjust MapPictureAdjust(const Properties& p, const Context& ctx) {
  PictureAdjust a;
  a.gray = p.Flag(prop::kBlipBooleans, 2) == 1;
  a.black_white = p.Flag(prop::kBlipBooleans, 1) == 1;
  // Contrast is 16.16 with 1 unchanged; brightness a 16.16 fraction of full scale, stored as
  // -0.5 .. 0.5 for the darkest and brightest settings.
  double contrast = Fixed(p, prop::kPictureContrast, 1);
  a.contrast = std::isfinite(contrast) ? std::max(0.0, std::min(contrast, 64.0)) : 1;
  double brightness = Fixed(p, prop::kPictureBrightness, 0) * 2;
  a.brightness = std::isfinite(brightness) ? std::max(-1.0, std::min(brightness, 1.0)) : 0;
  uint32_t transparent = p.Get(prop::kPictureTransparent, 0xFFFFFFFF);
  if ((transparent >> 24) != kIgnoredColor) {
    a.transparent = true;
    a.transparent_color = Resolve(transparent, ctx, Rgb{255, 255, 255}, &p, 0);
  }
  uint32_t recolor = p.Get(prop::kPictureRecolor, 0xFFFFFFFF);
  if (p.Has(prop::kPictureRecolor) && (recolor >> 24) != kIgnoredColor) {
    a.recolor = true;
    a.recolor_color = Resolve(recolor, ctx, Rgb{0, 0, 0}, &p, 0);
  }
  return a;
}

}  // namespace ppt::detail
