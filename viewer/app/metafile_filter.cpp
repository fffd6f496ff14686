#include "app/metafile_filter.h"

#include <map>

#include "common/le_bytes.h"
#include "text/symbol_faces.h"

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

// A font record: the object's index, then a LOGFONTW whose average width, character set,
// pitch and family, and face sit here.
constexpr uint32_t kEmrExtCreateFontIndirectW = 82;
constexpr size_t kFontHandleAt = 8, kFontWidthAt = 16, kFontCharsetAt = 35, kFontPitchAt = 39;
constexpr size_t kFontFaceAt = 40, kFontFaceUnits = 32;
constexpr size_t kFontRecordMin = kFontFaceAt + kFontFaceUnits * 2;
constexpr uint8_t kDefaultCharset = 1;

// Records that choose the font text is drawn in, and the text records: a fixed part (bounds,
// mode, scales, then the text's reference point, length, offset, options, box and the offset of
// its advances), the characters (bytes or UTF-16) and the advances.
constexpr uint32_t kEmrSaveDc = 33, kEmrRestoreDc = 34, kEmrSelectObject = 37;
constexpr uint32_t kEmrDeleteObject = 40, kEmrExtTextOutA = 83, kEmrExtTextOutW = 84;
constexpr size_t kObjectAt = 8, kTextCountAt = 44, kTextOffsetAt = 48, kTextOptionsAt = 52;
constexpr size_t kTextDxOffsetAt = 72, kTextFixedBytes = 76;
constexpr uint32_t kEtoPdy = 0x2000;  // advances come in pairs, across and down
constexpr uint32_t kStockObject = 0x80000000;

// Windows metafile layout: an 18-byte header whose size field counts 16-bit words, then records
// of a 32-bit size in words and a 16-bit function, ending with a record of function zero.
constexpr size_t kWmfHeaderBytes = 18, kWmfSizeAt = 6, kWmfRecordHead = 6;
constexpr size_t kWmfVersionAt = 4;
constexpr uint16_t kWmfVersion1 = 0x0100, kWmfVersion3 = 0x0300;
constexpr uint8_t kWmfEndRecord[kWmfRecordHead] = {3, 0, 0, 0, 0, 0};  // three words, function 0
constexpr uint16_t kMetaEof = 0x0000, kMetaEscape = 0x0626;
// Records that carry a device-independent bitmap: where its header starts among the record's
// parameters, and where their colour usage is (DIB_PAL_COLORS bitmaps index the palette and
// have no colours of their own), if they have one.
struct DibRecord {
  uint16_t function;
  size_t header_at;
  int usage_at;
};
constexpr DibRecord kDibRecords[] = {
    {0x0940, 16, -1},  // META_DIBBITBLT
    {0x0B41, 20, -1},  // META_DIBSTRETCHBLT
    {0x0F43, 22, 4},   // META_STRETCHDIB
    {0x0D33, 18, 0},   // META_SETDIBTODEV
    {0x0142, 4, 2},    // META_DIBCREATEPATTERNBRUSH
};
constexpr uint16_t kDibPalColors = 1;
constexpr size_t kBitmapInfoSize = 40, kBitCountAt = 14, kColorsUsedAt = 32;
constexpr uint16_t kMaxIndexedBits = 8;

using kestrane::le::Get16;
using kestrane::le::Get32;
using kestrane::le::Put16;
using kestrane::le::Put32;

bool DroppedEmf(uint32_t type) {
  for (uint32_t t : kEmfDropped)
    if (t == type) return true;
  return false;
}

std::u16string FaceOf(const uint8_t* rec) {
  std::u16string face;
  for (size_t n = 0; n < kFontFaceUnits; n++) {
    char16_t c = char16_t(Get16(rec + kFontFaceAt + 2 * n));
    if (!c) break;
    face.push_back(c);
  }
  return face;
}

// Fits a font record (already copied to `rec`) to the system's faces; the symbol face it is
// drawn as the Unicode characters of, or none.
text::SymbolFace FitFont(uint8_t* rec, size_t len, const MetafileFonts& fonts) {
  if (len < kFontRecordMin) return text::SymbolFace::kNone;
  const std::u16string face = FaceOf(rec);
  if (fonts.genuine && Get32(rec + kFontWidthAt) != 0 &&
      !fonts.genuine(face.data(), face.size(), fonts.context))
    Put32(rec + kFontWidthAt, 0);
  const text::SymbolFace symbols = text::SymbolFaceOf(std::string(face.begin(), face.end()));
  if (symbols == text::SymbolFace::kNone || !fonts.symbols_drawn || fonts.unicode_face.empty() ||
      fonts.symbols_drawn(face.data(), face.size(), fonts.context))
    return text::SymbolFace::kNone;
  for (size_t n = 0; n < kFontFaceUnits; n++)
    Put16(rec + kFontFaceAt + 2 * n,
          n < fonts.unicode_face.size() && n + 1 < kFontFaceUnits ? fonts.unicode_face[n] : 0);
  rec[kFontCharsetAt] = kDefaultCharset;
  rec[kFontPitchAt] = 0;
  Put32(rec + kFontWidthAt, 0);
  return symbols;
}

// The text of a record drawn in a symbol face's stand-in, as the characters it shows; a text
// record of bytes becomes one of UTF-16. False, the record untouched, when its offsets do not
// hold.
bool MapText(std::vector<uint8_t>* out, size_t at, text::SymbolFace face) {
  uint8_t* r = out->data() + at;
  const size_t len = Get32(r + 4);
  if (len < kTextFixedBytes) return false;
  const bool wide = Get32(r) == kEmrExtTextOutW;
  const size_t count = Get32(r + kTextCountAt), text_at = Get32(r + kTextOffsetAt);
  const size_t unit = wide ? 2 : 1;
  // The text lies after the fixed part: mapped in place, it must not overwrite the record's own
  // fields.
  if (text_at < kTextFixedBytes || text_at > len || count > (len - text_at) / unit) return false;
  if (wide) {
    for (size_t i = 0; i < count; i++)
      Put16(r + text_at + 2 * i, text::SymbolShownAs(face, char16_t(Get16(r + text_at + 2 * i))));
    return true;
  }
  const size_t dx_at = Get32(r + kTextDxOffsetAt);
  const size_t dx_bytes = dx_at ? count * 4 * ((Get32(r + kTextOptionsAt) & kEtoPdy) ? 2 : 1) : 0;
  if (dx_at && (dx_at < kTextFixedBytes || dx_at > len || dx_bytes > len - dx_at)) return false;
  std::vector<uint8_t> w(r, r + kTextFixedBytes);
  for (size_t i = 0; i < count; i++) {
    char16_t c = text::SymbolShownAs(face, char16_t(r[text_at + i]));
    w.push_back(uint8_t(c));
    w.push_back(uint8_t(c >> 8));
  }
  while (w.size() % 4) w.push_back(0);
  Put32(w.data() + kTextOffsetAt, uint32_t(kTextFixedBytes));
  if (dx_at) {
    Put32(w.data() + kTextDxOffsetAt, uint32_t(w.size()));
    w.insert(w.end(), r + dx_at, r + dx_at + dx_bytes);
  }
  Put32(w.data(), kEmrExtTextOutW);
  Put32(w.data() + 4, uint32_t(w.size()));
  out->resize(at);
  out->insert(out->end(), w.begin(), w.end());
  return true;
}

// Which font each handle holds, and the symbol face of the one text is drawn in, through saved
// and restored states.
class FontsInUse {
 public:
  void Created(uint32_t handle, text::SymbolFace face) { fonts_[handle] = face; }
  void Selected(uint32_t handle) {
    if (handle & kStockObject) {
      current_ = text::SymbolFace::kNone;  // stock fonts are the system's own
      return;
    }
    auto it = fonts_.find(handle);
    if (it != fonts_.end()) current_ = it->second;
  }
  void Deleted(uint32_t handle) { fonts_.erase(handle); }
  void Saved() { saved_.push_back(current_); }
  // States are restored by how many saves back they lie.
  void Restored(int32_t back) {
    if (back >= 0 || uint64_t(-int64_t(back)) > saved_.size()) return;
    size_t keep = saved_.size() - size_t(-int64_t(back));
    current_ = saved_[keep];
    saved_.resize(keep);
  }
  text::SymbolFace current() const { return current_; }

 private:
  std::map<uint32_t, text::SymbolFace> fonts_;
  std::vector<text::SymbolFace> saved_;
  text::SymbolFace current_ = text::SymbolFace::kNone;
};

}  // namespace

bool FilterEnhancedMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                            size_t* dropped, const MetafileFonts* fonts) {
  out->clear();
  size_t skipped = 0;
  if (size < kEmfHeaderMin || Get32(data) != kEmrHeader ||
      Get32(data + kEmfSignatureAt) != kEmfSignature)
    return false;
  uint32_t records = 0;
  bool ended = false;
  FontsInUse in_use;
  for (size_t at = 0; at < size && !ended;) {
    if (size - at < kEmfRecordHead) return false;
    uint32_t type = Get32(data + at), len = Get32(data + at + 4);
    if (len < kEmfRecordHead || len % 4 || len > size - at) return false;
    if (at == 0 ? len < kEmfHeaderMin : type == kEmrHeader) return false;
    if (DroppedEmf(type)) {
      skipped++;
    } else {
      const size_t kept_at = out->size();
      out->insert(out->end(), data + at, data + at + len);
      uint8_t* rec = out->data() + kept_at;
      if (fonts && type == kEmrExtCreateFontIndirectW && len >= kFontRecordMin)
        in_use.Created(Get32(rec + kFontHandleAt), FitFont(rec, len, *fonts));
      else if (type == kEmrSelectObject && len >= kObjectAt + 4)
        in_use.Selected(Get32(rec + kObjectAt));
      else if (type == kEmrDeleteObject && len >= kObjectAt + 4)
        in_use.Deleted(Get32(rec + kObjectAt));
      else if (type == kEmrSaveDc)
        in_use.Saved();
      else if (type == kEmrRestoreDc && len >= kObjectAt + 4)
        in_use.Restored(int32_t(Get32(rec + kObjectAt)));
      else if ((type == kEmrExtTextOutA || type == kEmrExtTextOutW) &&
               in_use.current() != text::SymbolFace::kNone)
        MapText(out, kept_at, in_use.current());
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

// A bitmap whose colour table is implied by its depth (a count of zero) gets the count written
// out: players that copy the bitmap into a converted metafile take a zero count as no table and
// draw its indices as colours, near black.
void StateColourCount(uint8_t* record, size_t len) {
  const uint16_t function = Get16(record + 4);
  for (const DibRecord& d : kDibRecords) {
    if (d.function != function) continue;
    uint8_t* params = record + kWmfRecordHead;
    const size_t n = len - kWmfRecordHead;
    if (d.usage_at >= 0 &&
        (size_t(d.usage_at) + 2 > n || Get16(params + d.usage_at) == kDibPalColors))
      return;
    if (d.header_at + kBitmapInfoSize > n || Get32(params + d.header_at) < kBitmapInfoSize) return;
    uint8_t* bi = params + d.header_at;
    const uint16_t bits = Get16(bi + kBitCountAt);
    if (bits == 0 || bits > kMaxIndexedBits || Get32(bi + kColorsUsedAt) != 0) return;
    Put32(bi + kColorsUsedAt, 1u << bits);
    return;
  }
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
      StateColourCount(out->data() + out->size() - len, size_t(len));
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
