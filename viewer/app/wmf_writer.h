#pragma once
// Writes a Windows metafile (no placeable header) from drawing calls: pens, brushes and fonts
// are objects that the writer creates, selects and deletes itself, one of each selected at a
// time, so that a caller only says which colour or face it wants next.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace viewer {

struct WmfPoint {
  int x = 0, y = 0;
};

struct WmfPen {
  // Inside-frame pens keep a shape's outline within its box however wide they are.
  enum Style { kSolid = 0, kNone = 5, kInsideFrame = 6 } style = kSolid;
  int width = 1;
  uint32_t color = 0;  // 0x00BBGGRR
  bool operator==(const WmfPen& o) const {
    return style == o.style && width == o.width && color == o.color;
  }
};

struct WmfBrush {
  enum Style { kSolid = 0, kNone = 1 } style = kSolid;
  uint32_t color = 0;
  bool operator==(const WmfBrush& o) const { return style == o.style && color == o.color; }
};

struct WmfFont {
  int height = 12;     // the character height, in logical units
  int escapement = 0;  // tenths of a degree counter-clockwise
  bool bold = false, italic = false, underline = false;
  uint8_t charset = 0;
  std::string face;  // in the font's character set, cut to 31 bytes
  bool operator==(const WmfFont& o) const {
    return height == o.height && escapement == o.escapement && bold == o.bold &&
           italic == o.italic && underline == o.underline && charset == o.charset && face == o.face;
  }
};

class WmfWriter {
 public:
  // Raster operations for pictures.
  static constexpr uint32_t kSrcCopy = 0x00CC0020, kSrcAnd = 0x008800C6;

  WmfWriter();

  // The logical area that the picture spans; written once, before any drawing.
  void Window(int left, int top, int width, int height);
  void TextBaselineTransparent();

  void Pen(const WmfPen& pen);
  void Brush(const WmfBrush& brush);
  void Font(const WmfFont& font);
  void TextColor(uint32_t color);

  void SaveState();
  // Back to the state saved last; the pen, brush and font in use stay as they were chosen.
  void RestoreState();
  void ClipTo(int left, int top, int right, int bottom);

  void Line(WmfPoint from, WmfPoint to);
  void Rectangle(int left, int top, int right, int bottom);
  void RoundRect(int left, int top, int right, int bottom, int corner_w, int corner_h);
  void Ellipse(int left, int top, int right, int bottom);
  // An arc or a wedge of the ellipse in the box, counter-clockwise from `start` to `end`.
  void Arc(int left, int top, int right, int bottom, WmfPoint start, WmfPoint end, bool wedge);
  void Polygon(const std::vector<WmfPoint>& points);
  void Polyline(const std::vector<WmfPoint>& points);
  void Text(int x, int y, const std::string& bytes);
  // A bottom-up 24-bit picture of `w` × `h` pixels, rows padded to four bytes, drawn from its
  // part `src` (left, top, width, height in pixels) into the box.
  void Picture(int w, int h, const std::vector<uint8_t>& bgr_rows, const int src[4], int left,
               int top, int right, int bottom, uint32_t rop);

  size_t size() const { return out_.size(); }
  // The finished metafile: the end record appended and the header filled in.
  std::vector<uint8_t> Finish();

 private:
  void Record(uint16_t function, std::initializer_list<int> params);
  void Points(uint16_t function, const std::vector<WmfPoint>& points);
  void BeginRecord(uint16_t function);
  void Param(int v);
  void EndRecord();
  int CreateObject();  // the lowest free slot, as the player assigns them
  void Select(int slot);
  void Delete(int slot);
  void Replace(int* slot, uint16_t function, const std::vector<uint16_t>& params);

  std::vector<uint8_t> out_;
  size_t record_at_ = 0;
  size_t max_record_words_ = 0;
  std::vector<bool> slots_;
  int pen_ = -1, brush_ = -1, font_ = -1;
  WmfPen pen_spec_;
  WmfBrush brush_spec_;
  WmfFont font_spec_;
  bool has_pen_ = false, has_brush_ = false, has_font_ = false;
  static constexpr uint32_t kNoColor = 0xFFFFFFFF;
  uint32_t text_color_ = kNoColor;
};

}  // namespace viewer
