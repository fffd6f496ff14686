#pragma once
// A shape's drawing properties as stored: simple values by id, and the complex parts (vertex
// lists, names, blobs) that follow them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "ppt/records.h"

namespace ppt {

// Drawing property ids, by the name the drawing format gives them. Properties are grouped in
// sets of 64; the last id of each set packs that set's boolean flags (see Properties::Flag).
namespace prop {
enum : uint16_t {
  kRotation = 0x0004,
  // text
  kTextId = 0x0080,
  kTextLeft = 0x0081,
  kTextTop = 0x0082,
  kTextRight = 0x0083,
  kTextBottom = 0x0084,
  kWrapText = 0x0085,
  kScaleText = 0x0086,
  kAnchorText = 0x0087,
  kTextFlow = 0x0088,
  kFontRotation = 0x0089,
  kTextDirection = 0x008B,
  kTextBooleans = 0x00BF,
  // WordArt
  kGeoTextUnicode = 0x00C0,
  kGeoTextAlign = 0x00C2,
  kGeoTextSize = 0x00C3,
  kGeoTextSpacing = 0x00C4,
  kGeoTextFont = 0x00C5,
  kGeoTextBooleans = 0x00FF,  // bit 5 bold, bit 4 italic
  // picture
  kCropFromTop = 0x0100,
  kCropFromBottom = 0x0101,
  kCropFromLeft = 0x0102,
  kCropFromRight = 0x0103,
  kPib = 0x0104,
  kPibName = 0x0105,
  kPibFlags = 0x0106,
  kPictureTransparent = 0x0107,
  kPictureContrast = 0x0108,
  kPictureBrightness = 0x0109,
  kPictureGamma = 0x010A,
  kPictureRecolor = 0x011A,
  kBlipBooleans = 0x013F,
  // geometry
  kGeoLeft = 0x0140,
  kGeoTop = 0x0141,
  kGeoRight = 0x0142,
  kGeoBottom = 0x0143,
  kShapePath = 0x0144,
  kVertices = 0x0145,
  kSegmentInfo = 0x0146,
  kAdjustValue = 0x0147,  // adjust values 1 to 10 follow one after the other
  kAdjust10Value = 0x0150,
  kConnectionSites = 0x0151,
  kAdjustHandles = 0x0155,
  kGuides = 0x0156,
  kInscribe = 0x0157,
  kGeometryBooleans = 0x017F,
  // fill
  kFillType = 0x0180,
  kFillColor = 0x0181,
  kFillOpacity = 0x0182,
  kFillBackColor = 0x0183,
  kFillBackOpacity = 0x0184,
  kFillCrMod = 0x0185,
  kFillBlip = 0x0186,
  kFillBlipName = 0x0187,
  kFillBlipFlags = 0x0188,
  kFillWidth = 0x0189,
  kFillHeight = 0x018A,
  kFillAngle = 0x018B,
  kFillFocus = 0x018C,
  kFillToLeft = 0x018D,
  kFillToTop = 0x018E,
  kFillToRight = 0x018F,
  kFillToBottom = 0x0190,
  kFillRectLeft = 0x0191,
  kFillRectTop = 0x0192,
  kFillRectRight = 0x0193,
  kFillRectBottom = 0x0194,
  kFillDzType = 0x0195,
  kFillShadePreset = 0x0196,
  kFillShadeColors = 0x0197,
  kFillOriginX = 0x0198,
  kFillOriginY = 0x0199,
  kFillShapeOriginX = 0x019A,
  kFillShapeOriginY = 0x019B,
  kFillShadeType = 0x019C,
  kFillBooleans = 0x01BF,
  // line
  kLineColor = 0x01C0,
  kLineOpacity = 0x01C1,
  kLineBackColor = 0x01C2,
  kLineType = 0x01C4,
  kLineFillBlip = 0x01C5,
  kLineWidth = 0x01CB,
  kLineMiterLimit = 0x01CC,
  kLineStyle = 0x01CD,
  kLineDashing = 0x01CE,
  kLineDashStyle = 0x01CF,
  kLineStartArrowhead = 0x01D0,
  kLineEndArrowhead = 0x01D1,
  kLineStartArrowWidth = 0x01D2,
  kLineStartArrowLength = 0x01D3,
  kLineEndArrowWidth = 0x01D4,
  kLineEndArrowLength = 0x01D5,
  kLineJoinStyle = 0x01D6,
  kLineEndCapStyle = 0x01D7,
  kLineBooleans = 0x01FF,
  // shadow
  kShadowType = 0x0200,
  kShadowColor = 0x0201,
  kShadowHighlight = 0x0202,
  kShadowCrMod = 0x0203,
  kShadowOpacity = 0x0204,
  kShadowOffsetX = 0x0205,
  kShadowOffsetY = 0x0206,
  kShadowSecondOffsetX = 0x0207,
  kShadowSecondOffsetY = 0x0208,
  kShadowBooleans = 0x023F,
  // shape
  kMaster = 0x0301,
  kConnectorStyle = 0x0303,
  kBlackWhiteMode = 0x0304,
  kShapeBooleans = 0x033F,
  // group shape
  kShapeName = 0x0380,
  kWrapPolygonVertices = 0x0383,
  kShapeDescription = 0x0381,
  kHyperlink = 0x0382,
  kGroupBooleans = 0x03BF,
};
}  // namespace prop

struct Properties {
  std::map<uint16_t, uint32_t> values;
  std::map<uint16_t, std::pair<const uint8_t*, size_t>> complex;
  void Read(const Record& r) {
    ByteReader br = r.reader();
    std::vector<std::pair<uint16_t, uint32_t>> pending;  // complex parts follow all entries
    for (int i = 0; i < r.inst && br.Has(6); i++) {
      uint16_t id = br.U16();
      uint32_t v = br.U32();
      Set(uint16_t(id & 0x3FFF), v);
      if (id & 0x8000) pending.push_back({uint16_t(id & 0x3FFF), v});
    }
    for (auto& p : pending) {
      size_t n = std::min<size_t>(ArrayLength(p.first, p.second, br), br.left());
      complex[p.first] = {br.here(), n};
      br.Skip(n);
    }
  }
  // Some writers give an array's length without its six-byte header (count, reserved count,
  // element size): taken as stored, every part after it would be read six bytes early.
  static uint32_t ArrayLength(uint16_t id, uint32_t stated, ByteReader br) {
    static constexpr uint16_t kArrays[] = {
        prop::kVertices,        prop::kSegmentInfo,   prop::kAdjustHandles,
        prop::kGuides,          prop::kInscribe,      prop::kConnectionSites,
        prop::kFillShadeColors, prop::kLineDashStyle, prop::kWrapPolygonVertices};
    constexpr uint16_t kQuarterSize = 0xFFF0;  // elements of four bytes, stored as two halves
    constexpr uint32_t kHeader = 6;
    if (std::find(std::begin(kArrays), std::end(kArrays), id) == std::end(kArrays) ||
        !br.Has(kHeader))
      return stated;
    const uint32_t count = br.U16(), reserved = br.U16();
    uint32_t size = br.U16();
    if (size == kQuarterSize) size = 4;
    return count > 0 && reserved >= count && count * size == stated ? stated + kHeader : stated;
  }
  // A shape's primary and tertiary property records may both carry one boolean set, each with
  // its own "use" bits: a flag is taken from a later record only where no earlier one decided it,
  // so a tertiary set naming other flags does not undo the primary's fill or line switch.
  void Set(uint16_t id, uint32_t v) {
    auto it = values.find(id);
    if (it == values.end() || !IsBooleanSet(id)) {
      values[id] = v;
      return;
    }
    uint32_t decided = it->second & kUseBits;
    uint32_t take = v & kUseBits & ~decided;
    take |= take >> 16;
    it->second = (it->second & ~take) | (v & take);
  }
  bool Has(uint16_t id) const { return values.count(id) != 0; }
  uint32_t Get(uint16_t id, uint32_t def) const {
    auto it = values.find(id);
    return it == values.end() ? def : it->second;
  }
  // A boolean from one of the packed property sets: bit `bit` with its "use" bit 16 higher.
  int Flag(uint16_t id, int bit) const {
    auto it = values.find(id);
    if (it == values.end() || !(it->second & (1u << (bit + 16)))) return -1;
    return (it->second >> bit) & 1;
  }
  // Takes from `base` what these properties leave unset: values they lack, and in the packed
  // boolean sets each flag whose "use" bit they lack. `skip` is never taken.
  void Inherit(const std::map<uint16_t, uint32_t>& base, uint16_t skip = 0) {
    for (const auto& b : base) {
      if (b.first == skip) continue;
      auto it = values.find(b.first);
      if (it == values.end()) {
        values.insert(b);
      } else if (IsBooleanSet(b.first)) {
        uint32_t unset = ~it->second & b.second & kUseBits;  // flags only the base decides
        uint32_t take = unset | (unset >> 16);
        it->second = (it->second & ~take) | (b.second & take);
      }
    }
  }
  void Inherit(const Properties& base, uint16_t skip = 0) {
    // A complex part belongs with its value: taken only where the value is.
    for (const auto& c : base.complex)
      if (c.first != skip && !values.count(c.first)) complex.insert(c);
    Inherit(base.values, skip);
  }
  static bool IsBooleanSet(uint16_t id) { return (id & kSetMask) == kSetMask; }

 private:
  static constexpr uint16_t kSetMask = 0x3F;  // the last id of a set of 64 packs its flags
  static constexpr uint32_t kUseBits = 0xFFFF0000u;
};

}  // namespace ppt
