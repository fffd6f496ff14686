#pragma once
// Record headers of the binary presentation format and its embedded drawing format: 8 bytes of
// version/instance, type and length, then the body. Lengths come from the file, so a body is
// clamped to the bytes that really follow it.
#include <cstddef>
#include <cstdint>

#include "ppt/bytes.h"

namespace ppt {

// How deep containers may nest before a reader stops descending: PowerPoint's own files nest
// about eight deep, and a crafted file must not exhaust the stack.
constexpr int kMaxNesting = 24;

struct Record {
  uint16_t ver = 0, inst = 0, type = 0;
  uint32_t declared = 0;  // length as written
  const uint8_t* body = nullptr;
  size_t len = 0;     // length actually available
  size_t offset = 0;  // of the header, within the buffer it was read from
  bool container() const { return ver == 0xF; }
  ByteReader reader() const { return ByteReader(body, len); }
};

// The record whose header starts at `offset`; false when not even the header fits.
inline bool RecordAt(const uint8_t* data, size_t size, size_t offset, Record* r) {
  if (offset > size || size - offset < 8) return false;
  const uint8_t* p = data + offset;
  uint16_t vi = Le16(p);
  r->ver = vi & 0xF;
  r->inst = vi >> 4;
  r->type = Le16(p + 2);
  r->declared = Le32(p + 4);
  r->body = p + 8;
  size_t avail = size - offset - 8;
  r->len = r->declared < avail ? r->declared : avail;
  r->offset = offset;
  return true;
}

// Iterates the records that follow each other in a container's body.
class Children {
 public:
  explicit Children(const Record& parent) : data_(parent.body), size_(parent.len) {}
  Children(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Next(Record* r) {
    if (!RecordAt(data_, size_, pos_, r)) return false;
    pos_ += 8 + r->len;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The first child of the given type, searched one level deep.
inline bool FindChild(const Record& parent, uint16_t type, Record* out, int inst = -1) {
  Children c(parent);
  Record r;
  while (c.Next(&r)) {
    if (r.type == type && (inst < 0 || r.inst == inst)) {
      *out = r;
      return true;
    }
  }
  return false;
}

namespace rt {
enum : uint16_t {
  kDocument = 0x03E8,
  kDocumentAtom = 0x03E9,
  kSlide = 0x03EE,
  kSlideAtom = 0x03EF,
  kSlidePersistAtom = 0x03F3,
  kEnvironment = 0x03F2,
  kMainMaster = 0x03F8,
  kSlideShowSlideInfo = 0x03F9,
  kSlideShowDocInfo = 0x0401,
  kDrawingGroup = 0x040B,
  kDrawing = 0x040C,
  kFontCollection = 0x07D5,
  kColorScheme = 0x07F0,
  kPlaceholderAtom = 0x0BC3,
  kOutlineTextRef = 0x0F9E,
  kTextHeader = 0x0F9F,
  kTextChars = 0x0FA0,
  kStyleTextProp = 0x0FA1,
  kTextMasterStyle = 0x0FA3,
  kTextParaDefaults = 0x0FA5,
  kTextBytes = 0x0FA8,
  kTextRuler = 0x0FA6,
  kStyleTextProp9 = 0x0FAC,
  kSlideNumberMC = 0x0FD8,
  kDateTimeMC = 0x0FF7,
  kGenericDateMC = 0x0FF8,
  kHeaderMC = 0x0FF9,
  kFooterMC = 0x0FFA,
  kRtfDateTimeMC = 0x1015,
  kProgTags = 0x1388,
  kBlipCollection9 = 0x07F8,
  kBlipEntity9 = 0x07F9,
  kProgBinaryTag = 0x138A,
  kBinaryTagData = 0x138B,
  kFontEntity = 0x0FB7,
  kSlideListWithText = 0x0FF0,
  kUserEdit = 0x0FF5,
  kCurrentUser = 0x0FF6,
  kPersistDirectory = 0x1772,
  kCryptSession = 0x2F14,
  kHeadersFooters = 0x0FD9,
  kHeadersFootersAtom = 0x0FDA,
  kCString = 0x0FBA,
  kExObjList = 0x0409,
  kExHyperlinkAtom = 0x0FD3,
  kExHyperlink = 0x0FD7,
  kTxInteractiveInfoAtom = 0x0FDF,
  kSoundCollection = 0x07E4,
  kSound = 0x07E6,
  kSoundData = 0x07E7,
  kAnimationInfoAtom = 0x0FF1,
  kInteractiveInfo = 0x0FF2,
  kInteractiveInfoAtom = 0x0FF3,
  kAnimationInfo = 0x1014,
  // drawing records
  kDggContainer = 0xF000,
  kBStore = 0xF001,
  kDgContainer = 0xF002,
  kSpgrContainer = 0xF003,
  kSpContainer = 0xF004,
  kFbse = 0xF007,
  kFspgr = 0xF009,
  kFsp = 0xF00A,
  kFopt = 0xF00B,
  kClientTextbox = 0xF00D,
  kChildAnchor = 0xF00F,
  kClientAnchor = 0xF010,
  kClientData = 0xF011,
  kTertiaryFopt = 0xF122,
  kBlipFirst = 0xF018,
  kBlipEmf = 0xF01A,
  kBlipWmf = 0xF01B,
  kBlipPict = 0xF01C,
  kBlipJpeg = 0xF01D,
  kBlipPng = 0xF01E,
  kBlipDib = 0xF01F,
  kBlipTiff = 0xF029,
  kBlipJpegCmyk = 0xF02A,
  kBlipLast = 0xF117,
};
}  // namespace rt

// Shape types of the drawing format that the reader and the outlines treat by name; the preset
// table knows the others by number.
namespace spt {
constexpr int kNotPrimitive = 0;  // a freeform: its geometry is in its properties
constexpr int kRectangle = 1, kRoundRectangle = 2, kEllipse = 3, kDiamond = 4;
constexpr int kIsoscelesTriangle = 5, kRightTriangle = 6, kParallelogram = 7, kTrapezoid = 8;
constexpr int kHexagon = 9, kOctagon = 10, kLine = 20, kPictureFrame = 75, kTextBox = 202;
// WordArt presets: their path carries the text, it is not an outline.
constexpr int kFirstTextPath = 136, kLastTextPath = 175;
// Bent connectors 2 to 5 and curved connectors 2 to 5 follow the straight one.
constexpr int kStraightConnector = 32, kLastConnector = 40;
}  // namespace spt

// What a text header says its text is; the master's styles come by this type.
namespace text_type {
constexpr int kTitle = 0, kBody = 1, kNotes = 2, kOther = 4;
constexpr int kCenterBody = 5, kCenterTitle = 6, kHalfBody = 7, kQuarterBody = 8;
}  // namespace text_type

}  // namespace ppt
