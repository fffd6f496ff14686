#pragma once
// The record layer of presentations saved by PowerPoint 95, shared by the reader of their slides
// and that of their text.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ppt/bytes.h"
#include "ppt/presentation.h"

namespace ppt::detail::pp95 {

// A record: type, instance, length and a reference number, four bytes each, then the body.
// Containers carry this instance.
constexpr size_t kHeaderSize = 16;
constexpr uint32_t kContainer = 0xFFFF;

namespace rt95 {
constexpr uint32_t kStreamStart = 0x0003;
constexpr uint32_t kDocument = 0x03E8;
constexpr uint32_t kDocumentAtom = 0x03E9;
constexpr uint32_t kSlide = 0x03EE;
constexpr uint32_t kSlideAtom = 0x03EF;
constexpr uint32_t kColorScheme = 0x03F4;
constexpr uint32_t kEnvironment = 0x03F2;
constexpr uint32_t kFonts = 0x07D5;
constexpr uint32_t kList = 0x07D0;
constexpr uint32_t kStyleRuns = 0x07EC;
constexpr uint32_t kString = 0x07EE;
constexpr uint32_t kSchemeColors = 0x07EF;
constexpr uint32_t kObjects = 0x0BB8;
constexpr uint32_t kGroup = 0x0BB9;
constexpr uint32_t kObject = 0x0BC0;
constexpr uint32_t kObjectAtom = 0x0BC1;
constexpr uint32_t kPlaceholder = 0x0BC2;
constexpr uint32_t kPlaceholderAtom = 0x0BC3;
constexpr uint32_t kObjectStyle = 0x0BBD;
constexpr uint32_t kLineArrows = 0x0BBF;
constexpr uint32_t kLine = 0x0BC6;
constexpr uint32_t kLineAtom = 0x0BC7;
constexpr uint32_t kPolyline = 0x0BC8;
constexpr uint32_t kPolylineAtom = 0x0BC9;
constexpr uint32_t kPolylinePoints = 0x0BDB;
constexpr uint32_t kMaster = 0x03F8;
constexpr uint32_t kPictures = 0x07D6;
constexpr uint32_t kPicture = 0x0FBC;
constexpr uint32_t kPictureBody = 0x0FC5;
constexpr uint32_t kMetafile = 0x0FC1;
constexpr uint32_t kContent = 0x0FAE;
constexpr uint32_t kPictureRef = 0x0FD5;
constexpr uint32_t kPictureIndex = 0x0FC4;
constexpr uint32_t kRulers = 0x0FB0;
constexpr uint32_t kRulerEntry = 0x0FE5;
constexpr uint32_t kRuler = 0x0FB3;
constexpr uint32_t kRulerChoice = 0x0FB5;
constexpr uint32_t kTextFrame = 0x0FA0;
constexpr uint32_t kText = 0x0FA1;
constexpr uint32_t kTextAtom = 0x0FA3;
constexpr uint32_t kFont = 0x0FB6;
constexpr uint32_t kFontAtom = 0x0FB7;
constexpr uint32_t kFontId = 0x07E1;
constexpr uint32_t kTextContent = 0x0FE0;
}  // namespace rt95

// A colour's index byte: a scheme slot below eight, or the red, green and blue before it.
constexpr uint8_t kSchemeSlots = 8, kRgbIndex = 0xFE;

struct Rec {
  uint32_t type = 0, inst = 0, ref = 0;
  const uint8_t* body = nullptr;
  size_t len = 0;
  bool container() const { return inst == kContainer; }
  ByteReader reader() const { return ByteReader(body, len); }
};

class Kids {
 public:
  Kids(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit Kids(const Rec& parent) : Kids(parent.body, parent.len) {}
  bool Next(Rec* r) {
    if (pos_ > size_ || size_ - pos_ < kHeaderSize) return false;
    const uint8_t* p = data_ + pos_;
    r->type = Le32(p);
    r->inst = Le32(p + 4);
    uint32_t declared = Le32(p + 8);
    r->ref = Le32(p + 12);
    r->body = p + kHeaderSize;
    size_t avail = size_ - pos_ - kHeaderSize;
    r->len = declared < avail ? declared : avail;
    pos_ += kHeaderSize + r->len;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

inline bool Find(const Rec& parent, uint32_t type, Rec* out) {
  Kids k(parent);
  while (k.Next(out))
    if (out->type == type) return true;
  return false;
}

inline Rgb RgbAt(const uint8_t* p) {
  return Rgb{p[0], p[1], p[2]};
}

struct Scheme {
  Rgb slots[kSchemeSlots] = {{255, 255, 255}, {0, 0, 0},       {128, 128, 128}, {0, 0, 0},
                             {255, 255, 255}, {128, 128, 128}, {0, 0, 0},       {0, 0, 0}};
  Rgb Color(const uint8_t* p, int fallback) const {
    if (p[3] == kRgbIndex) return RgbAt(p);
    return slots[p[3] < kSchemeSlots ? p[3] : fallback];
  }
};

inline void ReadScheme(const Rec& slide, Scheme* s) {
  Rec scheme, colors;
  if (!Find(slide, rt95::kColorScheme, &scheme) || !Find(scheme, rt95::kSchemeColors, &colors))
    return;
  ByteReader br = colors.reader();
  uint32_t n = std::min<uint32_t>(br.U32(), kSchemeSlots);
  for (uint32_t i = 0; i < n && br.Has(4); i++) {
    s->slots[i] = RgbAt(br.here());
    br.Skip(4);
  }
}

}  // namespace ppt::detail::pp95
