#pragma once
// Bounds-checked little-endian reads over untrusted bytes: every read past the end yields zero
// and marks the reader as failed, so parsers can read a whole structure and check once.
#include <cstddef>
#include <cstdint>

#include "common/le_bytes.h"

namespace ppt {

using kestrane::le::Get16;
using kestrane::le::Get32;
inline uint16_t Le16(const uint8_t* p) {
  return Get16(p);
}
inline uint32_t Le32(const uint8_t* p) {
  return Get32(p);
}

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t left() const { return pos_ < size_ ? size_ - pos_ : 0; }
  const uint8_t* here() const { return data_ + pos_; }
  bool Has(size_t n) const { return left() >= n; }
  void Skip(size_t n) {
    if (!Has(n)) {
      ok_ = false;
      pos_ = size_;
    } else {
      pos_ += n;
    }
  }
  uint8_t U8() { return Has(1) ? data_[pos_++] : Fail(); }
  uint16_t U16() {
    if (!Has(2)) return Fail();
    uint16_t v = Le16(data_ + pos_);
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    if (!Has(4)) return Fail();
    uint32_t v = Le32(data_ + pos_);
    pos_ += 4;
    return v;
  }
  int16_t I16() { return int16_t(U16()); }
  int32_t I32() { return int32_t(U32()); }

 private:
  uint8_t Fail() {
    ok_ = false;
    pos_ = size_;
    return 0;
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace ppt
