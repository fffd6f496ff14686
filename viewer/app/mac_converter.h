#pragma once
// The converter of Macintosh pictures inside: the operations it knows, its drawing state, and
// its drawing (mac_drawing.cpp) apart from its reading of operations (mac_picture.cpp).
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/mac_picture.h"
#include "app/mac_picture_parts.h"
#include "app/wmf_writer.h"

namespace viewer {
namespace mac {

// The picture's header: its size (meaningless past 64 KB), its frame, then the version
// operation. Files carry a 512-byte application header before it, pictures in documents not.
constexpr size_t kFileHeaderBytes = 512, kFrameAt = 2, kVersionAt = 10;
constexpr uint8_t kVersion1[] = {0x11, 0x01};
constexpr uint8_t kVersion2[] = {0x00, 0x11, 0x02, 0xFF};
// The version 2 header operation: an extended header (-2) gives the source rectangle that the
// drawing's coordinates span, at the picture's own resolution.
constexpr int16_t kExtendedHeader = -2;
constexpr size_t kHeaderOpBytes = 24;

// Operations.
enum : uint16_t {
  kNop = 0x00,
  kClip = 0x01,
  kBkPat = 0x02,
  kTxFont = 0x03,
  kTxFace = 0x04,
  kTxMode = 0x05,
  kSpExtra = 0x06,
  kPnSize = 0x07,
  kPnMode = 0x08,
  kPnPat = 0x09,
  kFillPat = 0x0A,
  kOvSize = 0x0B,
  kOrigin = 0x0C,
  kTxSize = 0x0D,
  kFgColor = 0x0E,
  kBkColor = 0x0F,
  kTxRatio = 0x10,
  kVersionOp = 0x11,
  kBkPixPat = 0x12,
  kPnPixPat = 0x13,
  kFillPixPat = 0x14,
  kPnLocHFrac = 0x15,
  kChExtra = 0x16,
  kRgbFgCol = 0x1A,
  kRgbBkCol = 0x1B,
  kHiliteMode = 0x1C,
  kHiliteColor = 0x1D,
  kDefHilite = 0x1E,
  kOpColor = 0x1F,
  kLine = 0x20,
  kLineFrom = 0x21,
  kShortLine = 0x22,
  kShortLineFrom = 0x23,
  kLongText = 0x28,
  kDhText = 0x29,
  kDvText = 0x2A,
  kDhDvText = 0x2B,
  kFontName = 0x2C,
  kRectFirst = 0x30,   // rectangle, then the same rectangle again (0x38)
  kRRectFirst = 0x40,  // rounded rectangles
  kOvalFirst = 0x50,
  kArcFirst = 0x60,
  kPolyFirst = 0x70,
  kRgnFirst = 0x80,
  kBitsRect = 0x90,
  kBitsRgn = 0x91,
  kPackBitsRect = 0x98,
  kPackBitsRgn = 0x99,
  kDirectBitsRect = 0x9A,
  kDirectBitsRgn = 0x9B,
  kShortComment = 0xA0,
  kLongComment = 0xA1,
  kOpEndPic = 0xFF,
  kHeaderOp = 0x0C00,
};
// Each shape family has five verbs, then three reserved, then the same eight on the last shape.
enum Verb { kFrame, kPaint, kErase, kInvert, kFill };
constexpr int kSameShape = 8;

// Pattern transfer modes: the low three bits say how, the fourth marks a pattern mode.
constexpr int kModeBic = 3, kModeNotCopy = 4, kModeNotOr = 5;
constexpr int kSrcOr = 1;
constexpr int kTextBold = 1, kTextItalic = 2, kTextUnderline = 4;
constexpr int kDefaultTextSize = 12;
// Comments around text that printers turn: its angle (whole degrees clockwise, after the
// justification and flip bytes), the centre it turns about (two 16.16 fractions, vertical
// first, from where the text starts) and its end.
constexpr uint16_t kTextBegin = 150, kTextEnd = 151, kTextCenter = 154;
constexpr size_t kTextAngleAt = 2, kTextBeginMin = 4, kTextCenterMin = 8;
constexpr uint8_t kSymbolCharset = 2;
// Coordinates are 16-bit on both sides; the metafile's are scaled up so that half a pen stays
// whole, as far as the frame's size allows.
constexpr int kMaxLogical = 16000, kMaxScale = 8;
constexpr double kPi = 3.14159265358979323846;

struct Point {
  int x = 0, y = 0;
};

class Converter {
 public:
  Converter(const uint8_t* d, size_t n, const MacPictureLimits& limits)
      : r_(d, n), limits_(limits), pixel_budget_(limits.max_pixels) {}
  bool Run(std::vector<uint8_t>* wmf);

 private:
  bool Header();
  bool SetState(uint16_t op);
  bool Step(uint16_t op);
  void FontName();
  void Skip16Length() { r_.Skip(r_.U16()); }

  // Picture coordinates to the metafile's.
  int X(int h) const { return (h - origin_.x) * scale_; }
  int Y(int v) const { return (v - origin_.y) * scale_; }
  Point ReadPoint() {
    Point p;
    p.y = r_.I16();
    p.x = r_.I16();
    return p;
  }

  uint32_t PatternColor(const uint8_t pat[8]) const;
  uint32_t PenColor() const;
  bool Framing() const { return pen_w_ > 0 && pen_h_ > 0; }
  void SetFrame();
  bool SetPaint(Verb verb);
  WmfPoint SetLinePen();
  void DrawLine(Point a, Point b);
  void Shape(uint16_t op);
  void Polygon(Verb verb);
  void Region(Verb verb);
  void ArcShape(Verb verb, const Rect& box, int start, int angle);
  void Text(Point at, size_t count);
  void DrawPixels(uint16_t op);
  void ReadPattern(uint8_t pat[8], bool* has_color);
  void ReadPixPat(uint8_t pat[8], uint32_t* color, bool* has_color);
  void Clip();
  void Comment(uint16_t kind, size_t bytes);
  Point Turned(Point at);

  Reader r_;
  MacPictureLimits limits_;
  size_t pixel_budget_;
  size_t shapes_ = 0;
  int version_ = 2;
  WmfWriter w_;
  Rect frame_;
  Point origin_;
  int scale_ = 1;

  Point pen_, text_;
  int pen_w_ = 1, pen_h_ = 1, pen_mode_ = 8;
  uint32_t fg_ = 0, bg_ = Rgb(255, 255, 255);
  uint8_t pen_pat_[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t fill_pat_[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t back_pat_[8] = {};
  bool pen_rgb_ = false, fill_rgb_ = false, back_rgb_ = false;
  uint32_t pen_pix_ = 0, fill_pix_ = 0, back_pix_ = 0;
  int font_id_ = 0, face_ = 0, text_size_ = kDefaultTextSize;
  std::map<int, std::string> font_names_;
  Point oval_;
  Rect last_rect_, last_rrect_, last_oval_, last_arc_;
  bool clipped_ = false;
  bool drew_ = false;
  // Text between a turning comment and its end: screens showed it as it was drawn, printers
  // turned it; it is turned here as the printer did.
  int text_angle_ = 0;
  bool center_pending_ = false;
  double center_dx_ = 0, center_dy_ = 0, center_x_ = 0, center_y_ = 0;
};

}  // namespace mac
}  // namespace viewer
