#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/loader.h"

namespace ppt {
namespace detail {

bool Inflate(const uint8_t* data, size_t size, size_t expected, size_t cap,
             std::vector<uint8_t>* out, bool* over_cap) {
  z_stream z{};
  if (over_cap) *over_cap = false;
  if (inflateInit(&z) != Z_OK) return false;
  size_t limit = std::min(std::max<size_t>(expected, 1), cap);
  out->assign(limit, 0);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = uInt(std::min<size_t>(size, UINT32_MAX));
  z.next_out = out->data();
  z.avail_out = uInt(limit);
  int rc = inflate(&z, Z_FINISH);
  size_t got = limit - z.avail_out;
  if (over_cap && got == cap && rc != Z_STREAM_END) {
    // Full at the cap: only more output would tell whether the data really goes on.
    uint8_t probe;
    z.next_out = &probe;
    z.avail_out = 1;
    int more = inflate(&z, Z_FINISH);
    *over_cap = z.avail_out == 0 || (more != Z_STREAM_END && more != Z_BUF_ERROR);
  }
  inflateEnd(&z);
  out->resize(got);
  return (rc == Z_STREAM_END || rc == Z_BUF_ERROR || rc == Z_OK) && got > 0;
}

// The largest picture header: record header, two ids, the metafile header.
constexpr size_t kBlipHeadMax = 8 + 32 + 34;

bool ReadBlip(const uint8_t* head, size_t head_size, uint64_t offset, uint64_t stream_size,
              Blip* out) {
  Record r;
  if (!RecordAt(head, head_size, 0, &r) || r.type < rt::kBlipFirst || r.type > rt::kBlipLast ||
      offset + 8 > stream_size)
    return false;
  // The picture's bytes run to the end of the record, or of the stream when that comes first.
  const uint64_t body_at = offset + 8;
  const uint64_t body_len = std::min<uint64_t>(r.declared, stream_size - body_at);
  size_t uids = 1 + (r.inst & 1);
  ByteReader br = r.reader();
  br.Skip(16 * uids);
  switch (r.type) {
    case rt::kBlipEmf:
    case rt::kBlipWmf:
    case rt::kBlipPict: {
      out->type = r.type == rt::kBlipEmf   ? Blip::kEmf
                  : r.type == rt::kBlipWmf ? Blip::kWmf
                                           : Blip::kPict;
      out->raw_size = br.U32();
      out->bounds.left = br.I32();
      out->bounds.top = br.I32();
      out->bounds.right = br.I32();
      out->bounds.bottom = br.I32();
      br.Skip(8);
      uint32_t saved = br.U32();
      uint8_t compression = br.U8();
      br.U8();
      if (!br.ok() || br.pos() > body_len) return false;
      out->offset = body_at + br.pos();
      out->length = std::min<uint64_t>(saved, body_len - br.pos());
      out->deflated = compression == 0;
      break;
    }
    case rt::kBlipJpeg:
    case rt::kBlipJpegCmyk:
    case rt::kBlipPng:
    case rt::kBlipDib:
    case rt::kBlipTiff: {
      out->type = r.type == rt::kBlipPng    ? Blip::kPng
                  : r.type == rt::kBlipDib  ? Blip::kDib
                  : r.type == rt::kBlipTiff ? Blip::kTiff
                                            : Blip::kJpeg;
      br.U8();
      if (!br.ok() || br.pos() > body_len) return false;
      out->offset = body_at + br.pos();
      out->length = body_len - br.pos();
      break;
    }
    default:
      return false;
  }
  return true;
}

void ReadBlipStore(const DocumentIndex& index, const StreamReader& pictures, const Record& dgg,
                   std::vector<Blip>* blips) {
  Record store;
  if (!FindChild(dgg, rt::kBStore, &store)) return;
  Children c(store);
  Record r;
  while (c.Next(&r) && blips->size() < 100000) {
    Blip blip;
    if (r.type == rt::kFbse && r.len >= 36) {
      uint32_t size = Le32(r.body + 20);
      uint32_t delay = Le32(r.body + 28);
      uint8_t name_len = r.body[33];
      size_t embedded = 36 + size_t(name_len);
      if (r.len > embedded + 8) {
        const uint8_t* at = r.body + embedded;
        if (ReadBlip(at, r.len - embedded, index.OffsetOf(at), index.size(), &blip))
          blip.source = Blip::kDocument;
      } else if (size > 0 && delay < pictures.size()) {
        // Only the header is read now; the picture itself when a slide shows it.
        uint8_t head[kBlipHeadMax];
        size_t got = pictures.Read(delay, sizeof head, head);
        if (ReadBlip(head, got, delay, pictures.size(), &blip)) blip.source = Blip::kPictureStream;
      }
    }
    if (blip.source == Blip::kNowhere) blip = Blip();
    blips->push_back(blip);  // keeps the one-based picture numbering intact
  }
}
}  // namespace detail
}  // namespace ppt
