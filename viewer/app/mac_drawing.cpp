// How a Macintosh picture's shapes, text and pixels are drawn into the metafile.
#include <algorithm>
#include <cmath>

#include "app/mac_converter.h"

namespace viewer {
namespace mac {

uint32_t Converter::PatternColor(const uint8_t pat[8]) const {
  // A two-colour pattern is seen from a distance as the mix of its colours.
  int bits = 0;
  for (int i = 0; i < 8; i++)
    for (int b = 0; b < 8; b++) bits += pat[i] >> b & 1;
  auto mix = [bits](uint32_t f, uint32_t b, int shift) {
    int fc = int(f >> shift & 0xFF), bc = int(b >> shift & 0xFF);
    return uint32_t((fc * bits + bc * (64 - bits) + 32) / 64) << shift;
  };
  return mix(fg_, bg_, 0) | mix(fg_, bg_, 8) | mix(fg_, bg_, 16);
}

uint32_t Converter::PenColor() const {
  if (pen_rgb_) return pen_pix_;
  int how = pen_mode_ & 7;
  if (how == kModeBic) return bg_;
  uint8_t inverse[8];
  for (int i = 0; i < 8; i++) inverse[i] = uint8_t(~pen_pat_[i]);
  if (how == kModeNotCopy || how == kModeNotOr) return PatternColor(inverse);
  return PatternColor(pen_pat_);
}

void Converter::SetFrame() {
  WmfPen pen;
  pen.style = WmfPen::kInsideFrame;
  pen.width = std::max(pen_w_, pen_h_) * scale_;
  pen.color = PenColor();
  w_.Pen(pen);
  WmfBrush none;
  none.style = WmfBrush::kNone;
  w_.Brush(none);
}

// Painting fills with the pen's pattern, filling with the fill pattern, erasing with the
// background's; inverting needs the screen's pixels and is left out.
bool Converter::SetPaint(Verb verb) {
  WmfBrush brush;
  switch (verb) {
    case kPaint:
      brush.color = PenColor();
      break;
    case kFill:
      brush.color = fill_rgb_ ? fill_pix_ : PatternColor(fill_pat_);
      break;
    case kErase:
      brush.color = back_rgb_ ? back_pix_ : PatternColor(back_pat_);
      break;
    default:
      return false;
  }
  WmfPen none;
  none.style = WmfPen::kNone;
  w_.Pen(none);
  w_.Brush(brush);
  return true;
}

// The pen hangs below and right of the point it is at: lines are drawn along its centre, this
// far from their points.
WmfPoint Converter::SetLinePen() {
  WmfPen pen;
  pen.width = std::max(pen_w_, pen_h_) * scale_;
  pen.color = PenColor();
  w_.Pen(pen);
  return {pen_w_ * scale_ / 2, pen_h_ * scale_ / 2};
}

void Converter::DrawLine(Point a, Point b) {
  pen_ = b;
  if (!Framing()) return;
  const WmfPoint d = SetLinePen();
  w_.Line({X(a.x) + d.x, Y(a.y) + d.y}, {X(b.x) + d.x, Y(b.y) + d.y});
  drew_ = true;
}

void Converter::Shape(uint16_t op) {
  const int family = op & 0xF0;
  const bool same = (op & 0x0F) >= kSameShape;
  const Verb verb = Verb(op & 7);
  if ((op & 7) > kFill) {  // reserved: data as its shape's, nothing drawn
    if (!same)
      r_.Skip(family == kArcFirst ? 12 : 8);
    else if (family == kArcFirst)
      r_.Skip(4);
    return;
  }
  Rect* last = family == kRectFirst    ? &last_rect_
               : family == kRRectFirst ? &last_rrect_
               : family == kOvalFirst  ? &last_oval_
                                       : &last_arc_;
  if (!same) *last = ReadRect(r_);
  const Rect b = *last;
  int start = 0, angle = 0;
  if (family == kArcFirst) {
    start = r_.I16();
    angle = r_.I16();
  }
  if (!r_.ok()) return;
  if (verb == kFrame) {
    if (!Framing()) return;
    SetFrame();
  } else if (!SetPaint(verb)) {
    return;
  }
  const int l = X(b.left), t = Y(b.top), rt = X(b.right), bt = Y(b.bottom);
  switch (family) {
    case kRectFirst:
      w_.Rectangle(l, t, rt, bt);
      break;
    case kRRectFirst:
      w_.RoundRect(l, t, rt, bt, oval_.x * scale_, oval_.y * scale_);
      break;
    case kOvalFirst:
      w_.Ellipse(l, t, rt, bt);
      break;
    default:
      ArcShape(verb, b, start, angle);
      break;
  }
  drew_ = true;
}

// Angles run clockwise from twelve o'clock in degrees; the metafile's arcs run
// counter-clockwise between two points on their rays.
void Converter::ArcShape(Verb verb, const Rect& box, int start, int angle) {
  if (angle == 0) return;
  const double cx = (X(box.left) + X(box.right)) / 2.0, cy = (Y(box.top) + Y(box.bottom)) / 2.0;
  const double rx = std::max(1.0, (X(box.right) - X(box.left)) / 2.0);
  const double ry = std::max(1.0, (Y(box.bottom) - Y(box.top)) / 2.0);
  auto at = [&](double deg) {
    double a = deg * kPi / 180;
    return WmfPoint{int(std::lround(cx + rx * std::sin(a))),
                    int(std::lround(cy - ry * std::cos(a)))};
  };
  if (std::abs(angle) >= 360) {
    w_.Ellipse(X(box.left), Y(box.top), X(box.right), Y(box.bottom));
    return;
  }
  WmfPoint from = angle > 0 ? at(start + angle) : at(start);
  WmfPoint to = angle > 0 ? at(start) : at(start + angle);
  w_.Arc(X(box.left), Y(box.top), X(box.right), Y(box.bottom), from, to, verb != kFrame);
}

void Converter::Polygon(Verb verb) {
  const size_t at = r_.pos();
  const size_t bytes = r_.U16();
  if (bytes < 10) {
    r_.Fail();
    return;
  }
  ReadRect(r_);
  std::vector<WmfPoint> pts;
  while (r_.ok() && r_.pos() + 4 <= at + bytes) {
    Point p = ReadPoint();
    pts.push_back({X(p.x), Y(p.y)});
  }
  r_.Seek(at + bytes);
  if (!r_.ok() || pts.size() < 2 || verb == kInvert || verb > kFill) return;
  if (verb == kFrame) {
    if (!Framing()) return;
    // A framed polygon is its lines.
    const WmfPoint d = SetLinePen();
    for (WmfPoint& p : pts) p = {p.x + d.x, p.y + d.y};
    w_.Polyline(pts);
  } else {
    if (!SetPaint(verb)) return;
    w_.Polygon(pts);
  }
  drew_ = true;
}

void Converter::Region(Verb verb) {
  const size_t at = r_.pos();
  const size_t bytes = r_.U16();
  Rect box = ReadRect(r_);
  if (!r_.ok() || bytes < 10) {
    r_.Fail();
    return;
  }
  std::vector<Rect> rects;
  if (!RegionRects(r_, bytes - 10, box, limits_.max_shapes - shapes_, &rects)) return;
  r_.Seek(at + bytes);
  if (verb == kFrame || verb == kInvert || verb > kFill || !SetPaint(verb)) return;
  shapes_ += rects.size();
  for (const Rect& rc : rects) w_.Rectangle(X(rc.left), Y(rc.top), X(rc.right), Y(rc.bottom));
  drew_ = !rects.empty() || drew_;
}

void Converter::Text(Point at, size_t count) {
  std::string bytes;
  const bool symbol = WindowsFace(font_id_, font_names_) == "Symbol";
  for (size_t i = 0; i < count && r_.ok(); i++) {
    uint8_t c = r_.U8();
    bytes.push_back(symbol ? char(c) : FromMacRoman(c));
  }
  if (!r_.ok()) return;
  text_ = at;
  WmfFont font;
  font.height = (text_size_ > 0 ? text_size_ : kDefaultTextSize) * scale_;
  font.bold = face_ & kTextBold;
  font.italic = face_ & kTextItalic;
  font.underline = face_ & kTextUnderline;
  font.face = WindowsFace(font_id_, font_names_);
  font.charset = symbol ? kSymbolCharset : 0;
  Point p = at;
  if (text_angle_) {
    p = Turned(at);
    font.escapement = (360 - text_angle_) * 10;  // tenths of a degree, counter-clockwise
  }
  w_.Font(font);
  w_.TextColor((pen_mode_ & 7) == kModeBic ? bg_ : fg_);
  w_.Text(X(p.x), Y(p.y), bytes);
  drew_ = true;
}

void Converter::DrawPixels(uint16_t op) {
  PixelKind kind;
  kind.direct = op == kDirectBitsRect || op == kDirectBitsRgn;
  kind.region = op == kBitsRgn || op == kPackBitsRgn || op == kDirectBitsRgn;
  kind.packed = op != kBitsRect && op != kBitsRgn;
  Pixels px;
  if (!ReadPixels(r_, kind, fg_, bg_, &pixel_budget_, &px)) {
    r_.Fail();
    return;
  }
  // The source rectangle is in the pixel map's bounds; out of them, nothing is drawn.
  int src[4] = {px.src.left - px.bounds.left, px.src.top - px.bounds.top, px.src.width(),
                px.src.height()};
  if (src[0] < 0 || src[1] < 0 || src[2] <= 0 || src[3] <= 0 || src[0] + src[2] > px.width ||
      src[1] + src[3] > px.height)
    return;
  uint32_t rop = px.one_bit && (px.mode & 7) == kSrcOr ? WmfWriter::kSrcAnd : WmfWriter::kSrcCopy;
  w_.Picture(px.width, px.height, px.bgr, src, X(px.dst.left), Y(px.dst.top), X(px.dst.right),
             Y(px.dst.bottom), rop);
  drew_ = true;
}

// A pixel pattern: its type, a one-bit pattern for screens without colour, then either one
// colour or a pixel map, which is seen here as its one-bit stand-in.
void Converter::ReadPixPat(uint8_t pat[8], uint32_t* color, bool* has_color) {
  constexpr int kOldPattern = 0, kDitherPattern = 2;
  constexpr size_t kPatternPixelsMax = 1u << 16;
  int type = r_.U16();
  for (int i = 0; i < 8; i++) pat[i] = r_.U8();
  *has_color = false;
  if (type == kOldPattern) return;
  if (type == kDitherPattern) {
    int red = r_.U16() >> 8, green = r_.U16() >> 8, blue = r_.U16() >> 8;
    *color = Rgb(red, green, blue);
    *has_color = true;
    return;
  }
  Pixels px;
  size_t budget = std::min(pixel_budget_, kPatternPixelsMax);
  PixelKind kind;
  kind.pattern = true;
  if (!ReadPixels(r_, kind, fg_, bg_, &budget, &px)) {
    r_.Fail();
    return;
  }
  // Seen from a distance, the pattern is the mean of its pixels.
  const size_t stride = (size_t(px.width) * 3 + 3) / 4 * 4;
  uint64_t sum[3] = {};
  for (int y = 0; y < px.height; y++)
    for (int x = 0; x < px.width; x++)
      for (int c = 0; c < 3; c++) sum[c] += px.bgr[stride * size_t(y) + size_t(x) * 3 + size_t(c)];
  const uint64_t n = uint64_t(px.width) * uint64_t(px.height);
  *color = Rgb(int(sum[2] / n), int(sum[1] / n), int(sum[0] / n));
  *has_color = true;
}

// Clipping to the region's box: the shape of a region would need the region as a clip path.
void Converter::Clip() {
  const size_t at = r_.pos();
  const size_t bytes = r_.U16();
  Rect box = ReadRect(r_);
  r_.Seek(at + bytes);
  if (!r_.ok() || bytes < 10) {
    r_.Fail();
    return;
  }
  if (clipped_) w_.RestoreState();
  w_.SaveState();
  w_.ClipTo(X(box.left), Y(box.top), X(box.right), Y(box.bottom));
  clipped_ = true;
}

void Converter::Comment(uint16_t kind, size_t bytes) {
  const size_t at = r_.pos();
  if (kind == kTextBegin && bytes >= kTextBeginMin) {
    r_.Skip(kTextAngleAt);
    text_angle_ = ((r_.I16() % 360) + 360) % 360;
  } else if (kind == kTextCenter && bytes >= kTextCenterMin) {
    center_dy_ = int32_t(r_.U32()) / 65536.0;
    center_dx_ = int32_t(r_.U32()) / 65536.0;
    center_pending_ = true;
  } else if (kind == kTextEnd) {
    text_angle_ = 0;
    center_pending_ = false;
  }
  r_.Seek(at + bytes);
}

// Where text drawn at `at` lands once turned about the centre.
Point Converter::Turned(Point at) {
  if (center_pending_) {
    center_x_ = at.x + center_dx_;
    center_y_ = at.y + center_dy_;
    center_pending_ = false;
  }
  const double a = text_angle_ * kPi / 180, dx = at.x - center_x_, dy = at.y - center_y_;
  return {int(std::lround(center_x_ + dx * std::cos(a) - dy * std::sin(a))),
          int(std::lround(center_y_ + dx * std::sin(a) + dy * std::cos(a)))};
}

}  // namespace mac
}  // namespace viewer
