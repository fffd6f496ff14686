#include "app/metafile_filter.h"

#include "common/le_bytes.h"

namespace viewer {
namespace {

// Enhanced metafile layout: every record starts with its type and size; the header record comes
// first and gives the whole size and the record count, the end-of-file record comes last.
constexpr uint32_t kEmrHeader = 1, kEmrEof = 14;
constexpr size_t kEmfRecordHead = 8, kEmfHeaderMin = 88;
constexpr size_t kEmfSignatureAt = 40, kEmfBytesAt = 48, kEmfRecordsAt = 52;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"

// Records left out, with why:
// - colour management: creating a colour space and setting an ICM profile name a profile file
//   that the system opens, from any path, a network share included; matching to a target names
//   one too. Turning colour management on, selecting, deleting or correcting with such colour
//   spaces only makes sense with them, so these go as well.
// - OpenGL records and the pixel format for them hand a command stream to the OpenGL driver.
// - escapes pass raw data to the device driver, the named one to a driver chosen by name.
// Comments (EMF+ ones included) stay: GDI playback ignores them.
constexpr uint32_t kEmfDropped[] = {
    98,   // EMR_SETICMMODE
    99,   // EMR_CREATECOLORSPACE
    100,  // EMR_SETCOLORSPACE
    101,  // EMR_DELETECOLORSPACE
    102,  // EMR_GLSRECORD
    103,  // EMR_GLSBOUNDEDRECORD
    104,  // EMR_PIXELFORMAT
    105,  // EMR_DRAWESCAPE
    106,  // EMR_EXTESCAPE
    110,  // EMR_NAMEDESCAPE
    111,  // EMR_COLORCORRECTPALETTE
    112,  // EMR_SETICMPROFILEA
    113,  // EMR_SETICMPROFILEW
    121,  // EMR_COLORMATCHTOTARGETW
    122,  // EMR_CREATECOLORSPACEW
};

// A font record: the object's index, then a LOGFONTW whose average width and face sit here.
constexpr uint32_t kEmrExtCreateFontIndirectW = 82;
constexpr size_t kFontWidthAt = 16, kFontFaceAt = 40, kFontFaceUnits = 32;
constexpr size_t kFontRecordMin = kFontFaceAt + kFontFaceUnits * 2;

// Windows metafile layout: an 18-byte header whose size field counts 16-bit words, then records
// of a 32-bit size in words and a 16-bit function, ending with a record of function zero.
constexpr size_t kWmfHeaderBytes = 18, kWmfSizeAt = 6, kWmfRecordHead = 6;
constexpr size_t kWmfVersionAt = 4;
constexpr uint16_t kWmfVersion1 = 0x0100, kWmfVersion3 = 0x0300;
constexpr uint8_t kWmfEndRecord[kWmfRecordHead] = {3, 0, 0, 0, 0, 0};  // three words, function 0
constexpr uint16_t kMetaEof = 0x0000, kMetaEscape = 0x0626;

using kestrane::le::Get16;
using kestrane::le::Get32;
using kestrane::le::Put32;

bool DroppedEmf(uint32_t type) {
  for (uint32_t t : kEmfDropped)
    if (t == type) return true;
  return false;
}

// Clears the stored average width of a font record (already copied to `rec`) whose face is not
// there.
void DropForeignWidth(uint8_t* rec, size_t len, FaceAvailable available, void* context) {
  if (len < kFontRecordMin || Get32(rec + kFontWidthAt) == 0) return;
  char16_t face[kFontFaceUnits];
  size_t n = 0;
  for (; n < kFontFaceUnits; n++) {
    face[n] = char16_t(Get16(rec + kFontFaceAt + 2 * n));
    if (!face[n]) break;
  }
  if (!available(face, n, context)) Put32(rec + kFontWidthAt, 0);
}

}  // namespace

bool FilterEnhancedMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                            size_t* dropped, FaceAvailable available, void* context) {
  out->clear();
  size_t skipped = 0;
  if (size < kEmfHeaderMin || Get32(data) != kEmrHeader ||
      Get32(data + kEmfSignatureAt) != kEmfSignature)
    return false;
  uint32_t records = 0;
  bool ended = false;
  for (size_t at = 0; at < size && !ended;) {
    if (size - at < kEmfRecordHead) return false;
    uint32_t type = Get32(data + at), len = Get32(data + at + 4);
    if (len < kEmfRecordHead || len % 4 || len > size - at) return false;
    if (at == 0 ? len < kEmfHeaderMin : type == kEmrHeader) return false;
    if (DroppedEmf(type)) {
      skipped++;
    } else {
      out->insert(out->end(), data + at, data + at + len);
      if (type == kEmrExtCreateFontIndirectW && available)
        DropForeignWidth(out->data() + out->size() - len, len, available, context);
      records++;
    }
    ended = type == kEmrEof;
    at += len;
  }
  if (!ended) return false;
  Put32(out->data() + kEmfBytesAt, uint32_t(out->size()));
  Put32(out->data() + kEmfRecordsAt, records);
  if (dropped) *dropped = skipped;
  return true;
}

bool FilterWindowsMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                           size_t* dropped) {
  out->clear();
  size_t skipped = 0;
  if (size < kWmfHeaderBytes) return false;
  size_t header = size_t(Get16(data + 2)) * 2;  // header size in words
  if (header != kWmfHeaderBytes) return false;
  out->assign(data, data + header);
  bool ended = false;
  for (size_t at = header; at < size && !ended;) {
    if (size - at < kWmfRecordHead) return false;
    uint64_t len = uint64_t(Get32(data + at)) * 2;
    uint16_t function = Get16(data + at + 4);
    if (len < kWmfRecordHead || len > size - at) return false;
    if (function == kMetaEscape) {
      skipped++;
    } else {
      out->insert(out->end(), data + at, data + at + len);
    }
    ended = function == kMetaEof;
    at += size_t(len);
  }
  if (!ended) {
    // Some writers stop at the last drawing record: the end record is added, as players assume.
    out->insert(out->end(), kWmfEndRecord, kWmfEndRecord + kWmfRecordHead);
  }
  Put32(out->data() + kWmfSizeAt, uint32_t(out->size() / 2));
  // Metafiles of the first version (old clip art) hold the same records as the third, which is
  // the only one some players take: they are handed on as the third.
  if (Get16(out->data() + kWmfVersionAt) == kWmfVersion1) {
    (*out)[kWmfVersionAt] = uint8_t(kWmfVersion3 & 0xFF);
    (*out)[kWmfVersionAt + 1] = uint8_t(kWmfVersion3 >> 8);
  }
  if (dropped) *dropped = skipped;
  return true;
}

}  // namespace viewer
