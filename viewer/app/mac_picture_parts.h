#pragma once
// What the picture converter shares between its files: a big-endian reader and the decoding of
// pixel maps and regions.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace viewer {
namespace mac {

class Reader {
 public:
  Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t left() const { return ok_ ? n_ - pos_ : 0; }
  const uint8_t* here() const { return d_ + pos_; }
  uint8_t U8() { return Need(1) ? d_[pos_++] : 0; }
  uint16_t U16() {
    if (!Need(2)) return 0;
    pos_ += 2;
    return uint16_t(d_[pos_ - 2] << 8 | d_[pos_ - 1]);
  }
  int16_t I16() { return int16_t(U16()); }
  uint32_t U32() {
    uint32_t hi = U16();
    return hi << 16 | U16();
  }
  void Skip(size_t k) {
    if (Need(k)) pos_ += k;
  }
  void Seek(size_t at) {
    if (at > n_)
      ok_ = false;
    else
      pos_ = at;
  }
  void AlignWord() {
    if (pos_ % 2) Skip(1);
  }
  void Fail() { ok_ = false; }

 private:
  bool Need(size_t k) {
    if (ok_ && k <= n_ - pos_) return true;
    ok_ = false;
    return false;
  }
  const uint8_t* d_;
  size_t n_, pos_ = 0;
  bool ok_ = true;
};

struct Rect {
  int top = 0, left = 0, bottom = 0, right = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

Rect ReadRect(Reader& r);

// Colours as 0x00BBGGRR, as the metafile wants them.
inline uint32_t Rgb(int r, int g, int b) {
  return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

// The fixed data size of reserved operations from 0x0100 on.
size_t ReservedBytes(uint16_t op);
// The eight colours of the original QuickDraw, by their old numbers.
uint32_t OldColor(uint32_t number);
// A character of the Macintosh character set in Windows' western one ('?' when it has none).
char FromMacRoman(uint8_t c);
// The face a text operation's font number stands for, by the names the picture gives and the
// system's own numbers, under the name Windows knows it by.
std::string WindowsFace(int id, const std::map<int, std::string>& named);

// A pixel map decoded to bottom-up rows of blue, green, red, each row padded to four bytes.
struct Pixels {
  int width = 0, height = 0;
  Rect bounds, src, dst;
  int mode = 0;
  bool one_bit = false;
  std::vector<uint8_t> bgr;
};

// What kind of pixel data an operation carries: without a colour table (direct pixels), with a
// mask region, with packed rows, or as a pattern (no source, destination or transfer mode).
struct PixelKind {
  bool direct = false, region = false, packed = true, pattern = false;
};

// Reads a pixel map's data (the reader at its first byte); one-bit pictures take `fg` and `bg`.
// False when the data is malformed or the pixels would go beyond `*pixel_budget`, which is
// lowered by what was decoded.
bool ReadPixels(Reader& r, const PixelKind& kind, uint32_t fg, uint32_t bg, size_t* pixel_budget,
                Pixels* out);

// A region's rectangles (left, top, right, bottom each), from its data after the size and the
// bounding box; at most `max` of them.
bool RegionRects(Reader& r, size_t data_bytes, const Rect& box, size_t max, std::vector<Rect>* out);

}  // namespace mac
}  // namespace viewer
