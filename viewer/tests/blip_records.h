#pragma once
// Picture records as PowerPoint stores them, for the tests that read pictures.
#include <zlib.h>

#include "ppt/records.h"
#include "viewer/tests/deck_builder.h"

namespace deck {

// The instance that marks a record's pictures with one id (two ids set its low bit).
constexpr uint16_t kPngInstance = 0x6E0, kEmfInstance = 0x3D4;

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

}  // namespace deck
