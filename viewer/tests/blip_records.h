#pragma once
// Picture records as PowerPoint stores them, for the tests that read pictures.
#include <zlib.h>

#include "ppt/records.h"
#include "viewer/tests/deck_builder.h"

namespace deck {

// The instance that marks a record's pictures with one id (two ids set its low bit).
constexpr uint16_t kPngInstance = 0x6E0, kEmfInstance = 0x3D4, kWmfInstance = 0x216;
constexpr uint16_t kPictInstance = 0x542;

// A bitmap picture: 16 bytes of id, a tag byte, then the bytes.
inline Bytes BitmapBlip(const Bytes& data, uint16_t type = ppt::rt::kBlipPng,
                        uint16_t inst = kPngInstance, uint8_t id_byte = 0x11) {
  Bytes body(16, id_byte);
  body.push_back(0xFF);
  body.insert(body.end(), data.begin(), data.end());
  return Rec(type, body, inst, 0);
}

// An enhanced metafile stored deflated, as PowerPoint saves them. `claimed_size` is the size
// its header gives the inflated picture; `packed` stands in for the deflated bytes.
inline Bytes EmfBlip(const Bytes& raw, uint32_t claimed_size, const Bytes* packed = nullptr) {
  uLongf n = compressBound(uLong(raw.size()));
  Bytes deflated(n);
  compress2(deflated.data(), &n, raw.data(), uLong(raw.size()), 9);
  deflated.resize(n);
  if (packed) deflated = *packed;
  Bytes body(16, 0x22);
  Put32(body, claimed_size);
  for (uint32_t v : {0u, 0u, 100u, 100u, 914400u, 914400u}) Put32(body, v);  // bounds, size
  Put32(body, uint32_t(deflated.size()));
  body.push_back(0);  // deflate
  body.push_back(0xFE);
  body.insert(body.end(), deflated.begin(), deflated.end());
  return Rec(ppt::rt::kBlipEmf, body, kEmfInstance, 0);
}

// A metafile picture (Windows metafile or Macintosh picture) stored deflated, its header giving
// `bounds` (left, top, right, bottom).
inline Bytes MetafileBlip(uint16_t type, uint16_t inst, const Bytes& raw,
                          const int32_t (&bounds)[4]) {
  uLongf n = compressBound(uLong(raw.size()));
  Bytes deflated(n);
  compress2(deflated.data(), &n, raw.data(), uLong(raw.size()), 9);
  deflated.resize(n);
  Bytes body(16, 0x33);
  Put32(body, uint32_t(raw.size()));
  for (int32_t v : bounds) Put32(body, uint32_t(v));
  for (uint32_t v : {914400u, 914400u}) Put32(body, v);  // size
  Put32(body, uint32_t(deflated.size()));
  body.push_back(0);  // deflate
  body.push_back(0xFE);
  body.insert(body.end(), deflated.begin(), deflated.end());
  return Rec(type, body, inst, 0);
}

inline Bytes WmfBlip(const Bytes& raw, const int32_t (&bounds)[4]) {
  return MetafileBlip(ppt::rt::kBlipWmf, kWmfInstance, raw, bounds);
}

inline Bytes PictBlip(const Bytes& raw, const int32_t (&bounds)[4]) {
  return MetafileBlip(ppt::rt::kBlipPict, kPictInstance, raw, bounds);
}

// Windows metafile records: function and 16-bit parameters, as they are stored.
inline Bytes WmfRecord(uint16_t function, std::initializer_list<int16_t> params) {
  Bytes r;
  Put32(r, uint32_t(3 + params.size()));
  Put16(r, function);
  for (int16_t v : params) Put16(r, uint16_t(v));
  return r;
}

// A whole Windows metafile around `records`: header first, end-of-file record last.
inline Bytes Wmf(const std::vector<Bytes>& records, uint16_t objects) {
  Bytes body;
  size_t largest = 3;
  for (const Bytes& r : records) {
    body.insert(body.end(), r.begin(), r.end());
    largest = std::max(largest, r.size() / 2);
  }
  Bytes end = WmfRecord(0x0000, {});
  body.insert(body.end(), end.begin(), end.end());
  Bytes w;
  Put16(w, 1);       // in memory
  Put16(w, 9);       // header words
  Put16(w, 0x0300);  // version
  Put32(w, uint32_t((18 + body.size()) / 2));
  Put16(w, objects);
  Put32(w, uint32_t(largest));
  Put16(w, 0);
  w.insert(w.end(), body.begin(), body.end());
  return w;
}

}  // namespace deck
