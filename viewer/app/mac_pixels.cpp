// Pixel maps and regions of Macintosh pictures.
#include <algorithm>

#include "app/mac_picture_parts.h"

namespace viewer {
namespace mac {
namespace {

// A row's byte count: a pixel map's rowBytes carries flags in its top two bits, the top one
// telling a pixel map from a one-bit bit map.
constexpr uint16_t kPixMapFlag = 0x8000, kRowBytesMask = 0x3FFF;
// Rows shorter than this are stored unpacked; longer than the other, their packed length
// takes two bytes instead of one.
constexpr int kPackedRowMin = 8, kOneByteCountMax = 250;
// Pack types: none, none without the pad byte, run-length by pixel (16-bit) or by component.
constexpr int kPackNone = 1, kPackDropPad = 2, kPackPixels16 = 3, kPackComponents = 4;
constexpr size_t kPixMapFieldsBytes = 36;  // version to reserved, after rowBytes and bounds
constexpr uint16_t kDeviceColorTable = 0x8000;
constexpr size_t kMaxColorEntries = 256;
constexpr int kMaxSide = 16384;
constexpr int kRegionEnd = 0x7FFF;

struct PixMapHead {
  int row_bytes = 0;
  bool pixmap = false;
  Rect bounds;
  int pack_type = 0, pixel_size = 1, cmp_count = 1;
};

// Run-length rows: a flag byte n below 128 copies n + 1 units, above 128 repeats the next unit
// 257 - n times; a unit is one byte, or two for 16-bit pixels.
void UnpackBits(const uint8_t* p, size_t n, size_t unit, std::vector<uint8_t>* row) {
  size_t out = 0, i = 0;
  while (i < n && out < row->size()) {
    int flag = p[i++];
    if (flag < 128) {
      size_t k = size_t(flag + 1) * unit;
      for (size_t j = 0; j < k && i < n && out < row->size(); j++) (*row)[out++] = p[i++];
    } else if (flag > 128) {
      size_t times = size_t(257 - flag);
      if (i + unit > n) break;
      for (size_t t = 0; t < times; t++)
        for (size_t j = 0; j < unit && out < row->size(); j++) (*row)[out++] = p[i + j];
      i += unit;
    }
  }
}

PixMapHead ReadHead(Reader& r, bool direct) {
  PixMapHead h;
  if (direct) r.Skip(4);  // base address, meaningless in a file
  uint16_t rb = r.U16();
  h.pixmap = direct || (rb & kPixMapFlag);
  h.row_bytes = rb & kRowBytesMask;
  h.bounds = ReadRect(r);
  if (!h.pixmap) return h;
  size_t fields = r.pos();
  r.U16();  // version
  h.pack_type = r.U16();
  r.Skip(4 + 8);  // pack size, resolutions
  r.U16();        // pixel type
  h.pixel_size = r.U16();
  h.cmp_count = r.U16();
  r.Seek(fields + kPixMapFieldsBytes);
  // The default packing of direct pixels is by pixel for 16 bits, by component for 32.
  if (h.pack_type == 0 && h.pixel_size == 16) h.pack_type = kPackPixels16;
  if (h.pack_type == 0 && h.pixel_size == 32) h.pack_type = kPackComponents;
  return h;
}

bool ReadColorTable(Reader& r, std::vector<uint32_t>* table) {
  r.Skip(4);  // seed
  uint16_t flags = r.U16();
  size_t count = size_t(r.U16()) + 1;
  if (!r.ok() || count > kMaxColorEntries * 128) return false;
  table->assign(kMaxColorEntries, 0);
  for (size_t i = 0; i < count && r.ok(); i++) {
    size_t value = r.U16();
    int red = r.U16() >> 8, green = r.U16() >> 8, blue = r.U16() >> 8;
    // A device's table is in order; any other gives each entry's index with it.
    size_t index = (flags & kDeviceColorTable) ? i : value;
    if (index < kMaxColorEntries) (*table)[index] = Rgb(red, green, blue);
  }
  return r.ok();
}

// How many bytes a row holds once unpacked.
size_t RowBytes(const PixMapHead& h, int width) {
  if (h.pixel_size == 32 && h.pack_type == kPackComponents) return size_t(width) * h.cmp_count;
  if (h.pixel_size == 32 && h.pack_type == kPackDropPad) return size_t(width) * 3;
  return size_t(h.row_bytes);
}

bool ReadRow(Reader& r, const PixMapHead& h, bool packed, std::vector<uint8_t>* row) {
  std::fill(row->begin(), row->end(), 0);
  bool stored = !packed || h.row_bytes < kPackedRowMin || h.pack_type == kPackNone ||
                h.pack_type == kPackDropPad;
  if (stored) {
    if (r.left() < row->size()) return false;
    std::copy_n(r.here(), row->size(), row->begin());
    r.Skip(row->size());
    return true;
  }
  size_t n = h.row_bytes > kOneByteCountMax ? r.U16() : r.U8();
  if (!r.ok() || r.left() < n) return false;
  UnpackBits(r.here(), n, h.pack_type == kPackPixels16 ? 2 : 1, row);
  r.Skip(n);
  return true;
}

uint32_t PixelAt(const PixMapHead& h, const std::vector<uint8_t>& row, int x, int width,
                 const std::vector<uint32_t>& table, uint32_t fg, uint32_t bg) {
  if (!h.pixmap) return (row[size_t(x) / 8] >> (7 - x % 8)) & 1 ? fg : bg;
  switch (h.pixel_size) {
    case 1:
    case 2:
    case 4:
    case 8: {
      int per_byte = 8 / h.pixel_size;
      int shift = 8 - h.pixel_size * (x % per_byte + 1);
      size_t i = (row[size_t(x / per_byte)] >> shift) & ((1 << h.pixel_size) - 1);
      return table[i];
    }
    case 16: {
      unsigned v = unsigned(row[size_t(x) * 2]) << 8 | row[size_t(x) * 2 + 1];
      auto five = [](unsigned c) { return int(c << 3 | c >> 2); };
      return Rgb(five(v >> 10 & 31), five(v >> 5 & 31), five(v & 31));
    }
    default:
      if (h.pack_type == kPackComponents) {
        size_t plane = size_t(h.cmp_count >= 4 ? 1 : 0) * size_t(width);
        return Rgb(row[plane + size_t(x)], row[plane + size_t(width) + size_t(x)],
                   row[plane + 2 * size_t(width) + size_t(x)]);
      }
      if (h.pack_type == kPackDropPad)
        return Rgb(row[size_t(x) * 3], row[size_t(x) * 3 + 1], row[size_t(x) * 3 + 2]);
      return Rgb(row[size_t(x) * 4 + 1], row[size_t(x) * 4 + 2], row[size_t(x) * 4 + 3]);
  }
}

bool KnownDepth(const PixMapHead& h) {
  if (!h.pixmap) return true;
  switch (h.pixel_size) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
      return true;
    case 32:
      return h.cmp_count == 3 || h.cmp_count == 4;
    default:
      return false;
  }
}

}  // namespace

Rect ReadRect(Reader& r) {
  Rect rc;
  rc.top = r.I16();
  rc.left = r.I16();
  rc.bottom = r.I16();
  rc.right = r.I16();
  return rc;
}

bool ReadPixels(Reader& r, const PixelKind& kind, uint32_t fg, uint32_t bg, size_t* pixel_budget,
                Pixels* out) {
  PixMapHead h = ReadHead(r, kind.direct && !kind.pattern);
  std::vector<uint32_t> table;
  if (h.pixmap && !kind.direct && !ReadColorTable(r, &table)) return false;
  out->bounds = h.bounds;
  if (kind.pattern) {
    out->src = out->dst = h.bounds;
  } else {
    out->src = ReadRect(r);
    out->dst = ReadRect(r);
    out->mode = r.U16();
  }
  if (kind.region) {
    size_t at = r.pos();
    r.Seek(at + r.U16());
  }
  const int w = h.bounds.width(), ht = h.bounds.height();
  if (!r.ok() || w <= 0 || ht <= 0 || w > kMaxSide || ht > kMaxSide || !KnownDepth(h)) return false;
  // A row must hold the pixels it claims, or the decoding would read past it.
  const size_t bits = h.pixmap ? size_t(h.pixel_size) : 1;
  size_t row_size = RowBytes(h, w);
  if (h.pixel_size != 32 && row_size * 8 < size_t(w) * bits) return false;
  if (h.pixel_size == 32 && h.pack_type != kPackComponents && h.pack_type != kPackDropPad &&
      row_size < size_t(w) * 4)
    return false;
  const size_t pixels = size_t(w) * size_t(ht);
  if (pixels > *pixel_budget) return false;
  *pixel_budget -= pixels;
  const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
  out->width = w;
  out->height = ht;
  out->one_bit = !h.pixmap || h.pixel_size == 1;
  out->bgr.assign(stride * size_t(ht), 0);
  std::vector<uint8_t> row(row_size);
  for (int y = 0; y < ht; y++) {
    if (!ReadRow(r, h, kind.packed, &row)) return false;
    uint8_t* dst = out->bgr.data() + stride * size_t(ht - 1 - y);
    for (int x = 0; x < w; x++) {
      uint32_t c = PixelAt(h, row, x, w, table, fg, bg);
      dst[size_t(x) * 3] = uint8_t(c >> 16);
      dst[size_t(x) * 3 + 1] = uint8_t(c >> 8);
      dst[size_t(x) * 3 + 2] = uint8_t(c);
    }
  }
  return true;
}

// A region's data lists, for each scan line where it changes, the horizontal places where
// inside and outside swap relative to the line above; the lines between share their spans.
bool RegionRects(Reader& r, size_t data_bytes, const Rect& box, size_t max,
                 std::vector<Rect>* out) {
  out->clear();
  if (data_bytes == 0) {
    if (box.width() > 0 && box.height() > 0) out->push_back(box);
    return true;
  }
  const size_t end = r.pos() + data_bytes;
  std::vector<int> inside;  // sorted places where the current band swaps
  int band_top = 0;
  bool started = false;
  while (r.ok() && r.pos() + 2 <= end) {
    int y = r.I16();
    if (y == kRegionEnd) break;
    if (started) {
      for (size_t i = 0; i + 1 < inside.size() && out->size() < max; i += 2)
        out->push_back(Rect{band_top, inside[i], y, inside[i + 1]});
    }
    std::vector<int> swaps;
    while (r.ok() && r.pos() + 2 <= end) {
      int x = r.I16();
      if (x == kRegionEnd) break;
      swaps.push_back(x);
    }
    std::sort(swaps.begin(), swaps.end());
    std::vector<int> next;
    std::set_symmetric_difference(inside.begin(), inside.end(), swaps.begin(), swaps.end(),
                                  std::back_inserter(next));
    inside.swap(next);
    band_top = y;
    started = true;
    if (out->size() >= max) break;
  }
  r.Seek(end);
  return r.ok();
}

}  // namespace mac
}  // namespace viewer
