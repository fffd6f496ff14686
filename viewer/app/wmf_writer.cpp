#include "app/wmf_writer.h"

#include <algorithm>
#include <initializer_list>

namespace viewer {
namespace {

// Record functions of the Windows metafile format.
enum : uint16_t {
  kMetaEof = 0x0000,
  kMetaSaveDc = 0x001E,
  kMetaSetBkMode = 0x0102,
  kMetaSetTextAlign = 0x012E,
  kMetaRestoreDc = 0x0127,
  kMetaSelectObject = 0x012D,
  kMetaDeleteObject = 0x01F0,
  kMetaSetTextColor = 0x0209,
  kMetaSetWindowOrg = 0x020B,
  kMetaSetWindowExt = 0x020C,
  kMetaLineTo = 0x0213,
  kMetaMoveTo = 0x0214,
  kMetaCreatePenIndirect = 0x02FA,
  kMetaCreateFontIndirect = 0x02FB,
  kMetaCreateBrushIndirect = 0x02FC,
  kMetaPolygon = 0x0324,
  kMetaPolyline = 0x0325,
  kMetaIntersectClipRect = 0x0416,
  kMetaEllipse = 0x0418,
  kMetaRectangle = 0x041B,
  kMetaTextOut = 0x0521,
  kMetaRoundRect = 0x061C,
  kMetaArc = 0x0817,
  kMetaPie = 0x081A,
  kMetaStretchDib = 0x0F43,
};

constexpr size_t kHeaderBytes = 18, kHeaderWords = kHeaderBytes / 2;
constexpr uint16_t kMemoryMetafile = 1, kVersion3 = 0x0300;
constexpr int kTransparent = 1;
constexpr int kTaBaseline = 24;
constexpr size_t kFaceBytes = 32;
constexpr int kWeightNormal = 400, kWeightBold = 700;
constexpr uint32_t kBitmapInfoHeaderBytes = 40;
constexpr uint16_t kDibRgbColors = 0;
// Points are 16-bit: anything beyond is pinned to the edge of that range.
constexpr int kCoordMin = -32768, kCoordMax = 32767;

int Clamp16(int v) {
  return std::min(kCoordMax, std::max(kCoordMin, v));
}

void Put16(std::vector<uint8_t>* b, uint16_t v) {
  b->push_back(uint8_t(v));
  b->push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>* b, uint32_t v) {
  Put16(b, uint16_t(v));
  Put16(b, uint16_t(v >> 16));
}
void Set32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*b)[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

WmfWriter::WmfWriter() {
  out_.resize(kHeaderBytes, 0);
}

void WmfWriter::BeginRecord(uint16_t function) {
  record_at_ = out_.size();
  Put32(&out_, 0);
  Put16(&out_, function);
}

void WmfWriter::Param(int v) {
  Put16(&out_, uint16_t(Clamp16(v)));
}

void WmfWriter::EndRecord() {
  if (out_.size() % 2) out_.push_back(0);
  size_t words = (out_.size() - record_at_) / 2;
  Set32(&out_, record_at_, uint32_t(words));
  max_record_words_ = std::max(max_record_words_, words);
}

void WmfWriter::Record(uint16_t function, std::initializer_list<int> params) {
  BeginRecord(function);
  for (int p : params) Param(p);
  EndRecord();
}

void WmfWriter::Window(int left, int top, int width, int height) {
  Record(kMetaSetWindowOrg, {top, left});
  Record(kMetaSetWindowExt, {height, width});
}

void WmfWriter::TextBaselineTransparent() {
  Record(kMetaSetBkMode, {kTransparent, 0});
  Record(kMetaSetTextAlign, {kTaBaseline, 0});
}

int WmfWriter::CreateObject() {
  auto free = std::find(slots_.begin(), slots_.end(), false);
  int slot = int(free - slots_.begin());
  if (free == slots_.end())
    slots_.push_back(true);
  else
    *free = true;
  return slot;
}

void WmfWriter::Select(int slot) {
  Record(kMetaSelectObject, {slot});
}

void WmfWriter::Delete(int slot) {
  Record(kMetaDeleteObject, {slot});
  slots_[size_t(slot)] = false;
}

// The new object is selected before the old one is deleted: an object is never deleted while
// the player still has it selected.
void WmfWriter::Replace(int* slot, uint16_t function, const std::vector<uint16_t>& params) {
  BeginRecord(function);
  for (uint16_t p : params) Put16(&out_, p);
  EndRecord();
  int created = CreateObject();
  Select(created);
  if (*slot >= 0) Delete(*slot);
  *slot = created;
}

void WmfWriter::Pen(const WmfPen& pen) {
  if (has_pen_ && pen == pen_spec_) return;
  int w = Clamp16(std::max(0, pen.width));
  Replace(&pen_, kMetaCreatePenIndirect,
          {uint16_t(pen.style), uint16_t(w), 0, uint16_t(pen.color), uint16_t(pen.color >> 16)});
  pen_spec_ = pen;
  has_pen_ = true;
}

void WmfWriter::Brush(const WmfBrush& brush) {
  if (has_brush_ && brush == brush_spec_) return;
  Replace(&brush_, kMetaCreateBrushIndirect,
          {uint16_t(brush.style), uint16_t(brush.color), uint16_t(brush.color >> 16), 0});
  brush_spec_ = brush;
  has_brush_ = true;
}

void WmfWriter::Font(const WmfFont& font) {
  if (has_font_ && font == font_spec_) return;
  std::vector<uint16_t> p;
  p.push_back(uint16_t(Clamp16(-std::max(1, font.height))));  // negative: character height
  p.push_back(0);                                             // width: the face's own
  p.push_back(uint16_t(font.escapement));                     // escapement
  p.push_back(uint16_t(font.escapement));                     // orientation
  p.push_back(uint16_t(font.bold ? kWeightBold : kWeightNormal));
  p.push_back(uint16_t((font.italic ? 1 : 0) | (font.underline ? 1 : 0) << 8));
  p.push_back(uint16_t(0 | font.charset << 8));  // strike-out, character set
  p.push_back(0);                                // output and clip precision
  p.push_back(0);                                // quality, pitch and family
  uint8_t face[kFaceBytes] = {};
  std::copy_n(font.face.begin(), std::min(font.face.size(), kFaceBytes - 1), face);
  for (size_t i = 0; i < kFaceBytes; i += 2) p.push_back(uint16_t(face[i] | face[i + 1] << 8));
  Replace(&font_, kMetaCreateFontIndirect, p);
  font_spec_ = font;
  has_font_ = true;
}

void WmfWriter::TextColor(uint32_t color) {
  if (color == text_color_) return;
  Record(kMetaSetTextColor, {int(color & 0xFFFF), int(color >> 16)});
  text_color_ = color;
}

void WmfWriter::SaveState() {
  Record(kMetaSaveDc, {});
}

void WmfWriter::RestoreState() {
  Record(kMetaRestoreDc, {-1});
  for (int slot : {pen_, brush_, font_})
    if (slot >= 0) Select(slot);
  uint32_t color = text_color_;
  text_color_ = kNoColor;
  if (color != kNoColor) TextColor(color);
}

void WmfWriter::ClipTo(int left, int top, int right, int bottom) {
  Record(kMetaIntersectClipRect, {bottom, right, top, left});
}

void WmfWriter::Line(WmfPoint from, WmfPoint to) {
  Record(kMetaMoveTo, {from.y, from.x});
  Record(kMetaLineTo, {to.y, to.x});
}

void WmfWriter::Rectangle(int left, int top, int right, int bottom) {
  Record(kMetaRectangle, {bottom, right, top, left});
}

void WmfWriter::RoundRect(int left, int top, int right, int bottom, int corner_w, int corner_h) {
  Record(kMetaRoundRect, {corner_h, corner_w, bottom, right, top, left});
}

void WmfWriter::Ellipse(int left, int top, int right, int bottom) {
  Record(kMetaEllipse, {bottom, right, top, left});
}

void WmfWriter::Arc(int left, int top, int right, int bottom, WmfPoint start, WmfPoint end,
                    bool wedge) {
  Record(wedge ? kMetaPie : kMetaArc, {end.y, end.x, start.y, start.x, bottom, right, top, left});
}

void WmfWriter::Points(uint16_t function, const std::vector<WmfPoint>& points) {
  BeginRecord(function);
  Param(int(points.size()));
  for (const WmfPoint& p : points) {
    Param(p.x);
    Param(p.y);
  }
  EndRecord();
}

void WmfWriter::Polygon(const std::vector<WmfPoint>& points) {
  Points(kMetaPolygon, points);
}

void WmfWriter::Polyline(const std::vector<WmfPoint>& points) {
  Points(kMetaPolyline, points);
}

void WmfWriter::Text(int x, int y, const std::string& bytes) {
  if (bytes.empty()) return;
  BeginRecord(kMetaTextOut);
  Param(int(bytes.size()));
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  if (bytes.size() % 2) out_.push_back(0);
  Param(y);
  Param(x);
  EndRecord();
}

void WmfWriter::Picture(int w, int h, const std::vector<uint8_t>& bgr_rows, const int src[4],
                        int left, int top, int right, int bottom, uint32_t rop) {
  BeginRecord(kMetaStretchDib);
  Put32(&out_, rop);
  Put16(&out_, kDibRgbColors);
  Param(src[3]);
  Param(src[2]);
  Param(h - src[1] - src[3]);  // the source's bottom row, counted from the picture's bottom
  Param(src[0]);
  Param(bottom - top);
  Param(right - left);
  Param(top);
  Param(left);
  Put32(&out_, kBitmapInfoHeaderBytes);
  Put32(&out_, uint32_t(w));
  Put32(&out_, uint32_t(h));
  Put16(&out_, 1);   // planes
  Put16(&out_, 24);  // bits per pixel
  Put32(&out_, 0);   // uncompressed
  Put32(&out_, uint32_t(bgr_rows.size()));
  for (int i = 0; i < 4; i++) Put32(&out_, 0);  // resolution, colours used and important
  out_.insert(out_.end(), bgr_rows.begin(), bgr_rows.end());
  EndRecord();
}

// Objects still selected at the end are left to the player, which deletes what it created.
std::vector<uint8_t> WmfWriter::Finish() {
  Record(kMetaEof, {});
  std::vector<uint8_t> out = std::move(out_);
  // The header: type, header size in words, version, total size in words, objects, the
  // longest record in words, and an unused parameter count.
  std::vector<uint8_t> h;
  Put16(&h, kMemoryMetafile);
  Put16(&h, kHeaderWords);
  Put16(&h, kVersion3);
  Put32(&h, uint32_t(out.size() / 2));
  Put16(&h, uint16_t(std::max<size_t>(slots_.size(), 1)));
  Put32(&h, uint32_t(max_record_words_));
  Put16(&h, 0);
  std::copy(h.begin(), h.end(), out.begin());
  out_.assign(kHeaderBytes, 0);
  return out;
}

}  // namespace viewer
