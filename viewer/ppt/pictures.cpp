#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/loader.h"

namespace ppt {
namespace detail {

bool Inflate(const uint8_t* data, size_t size, size_t expected, size_t cap,
             std::vector<uint8_t>* out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  size_t limit = std::min(std::max<size_t>(expected, 1), cap);
  out->assign(limit, 0);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = uInt(std::min<size_t>(size, UINT32_MAX));
  z.next_out = out->data();
  z.avail_out = uInt(limit);
  int rc = inflate(&z, Z_FINISH);
  size_t got = limit - z.avail_out;
  inflateEnd(&z);
  out->resize(got);
  return (rc == Z_STREAM_END || rc == Z_BUF_ERROR || rc == Z_OK) && got > 0;
}

bool Loader::ReadBlip(const uint8_t* data, size_t size, Blip* out) {
  Record r;
  if (!RecordAt(data, size, 0, &r) || r.type < rt::kBlipFirst || r.type > rt::kBlipLast)
    return false;
  size_t uids = 1 + (r.inst & 1);
  ByteReader br = r.reader();
  br.Skip(16 * uids);
  switch (r.type) {
    case 0xF01A:
    case 0xF01B:
    case 0xF01C: {
      out->type = r.type == 0xF01A ? Blip::kEmf : r.type == 0xF01B ? Blip::kWmf : Blip::kPict;
      uint32_t raw_size = br.U32();
      out->bounds.left = br.I32();
      out->bounds.top = br.I32();
      out->bounds.right = br.I32();
      out->bounds.bottom = br.I32();
      br.Skip(8);
      uint32_t saved = br.U32();
      uint8_t compression = br.U8();
      br.U8();
      if (!br.ok()) return false;
      size_t n = std::min<size_t>(saved, br.left());
      size_t cap = std::min(
          options_.max_blip_bytes,
          options_.max_total_blip_bytes - std::min(options_.max_total_blip_bytes, blip_bytes_));
      if (compression == 0) {
        if (!Inflate(br.here(), n, raw_size, cap, &out->data)) return false;
      } else {
        out->data.assign(br.here(), br.here() + std::min(n, cap));
      }
      break;
    }
    case 0xF01D:
    case 0xF02A:
    case 0xF01E:
    case 0xF01F:
    case 0xF029: {
      out->type = r.type == 0xF01E   ? Blip::kPng
                  : r.type == 0xF01F ? Blip::kDib
                  : r.type == 0xF029 ? Blip::kTiff
                                     : Blip::kJpeg;
      br.U8();
      if (!br.ok()) return false;
      size_t n = std::min(br.left(), options_.max_blip_bytes);
      out->data.assign(br.here(), br.here() + n);
      break;
    }
    default:
      return false;
  }
  blip_bytes_ += out->data.size();
  return true;
}

void Loader::ReadBlipStore(const Record& dgg) {
  Record store;
  if (!FindChild(dgg, rt::kBStore, &store)) return;
  Children c(store);
  Record r;
  while (c.Next(&r) && out_->blips.size() < 100000) {
    Blip blip;
    if (r.type == rt::kFbse && r.len >= 36 && blip_bytes_ < options_.max_total_blip_bytes) {
      uint32_t size = Le32(r.body + 20);
      uint32_t delay = Le32(r.body + 28);
      uint8_t name_len = r.body[33];
      size_t embedded = 36 + size_t(name_len);
      if (r.len > embedded + 8) {
        ReadBlip(r.body + embedded, r.len - embedded, &blip);
      } else if (size > 0 && delay < pictures_.size()) {
        ReadBlip(pictures_.data() + delay, pictures_.size() - delay, &blip);
      }
    }
    out_->blips.push_back(std::move(blip));  // keeps the one-based picture numbering intact
  }
}
}  // namespace detail
}  // namespace ppt
