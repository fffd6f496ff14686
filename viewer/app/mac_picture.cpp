#include "app/mac_picture.h"

#include <algorithm>

#include "app/mac_converter.h"

namespace viewer {
namespace mac {

// A face's number and name, for the text operations that name it by number.
void Converter::FontName() {
  const size_t at = r_.pos();
  const size_t len = r_.U16();
  int id = r_.U16();
  size_t name_len = r_.U8();
  std::string name;
  for (size_t i = 0; i < name_len && r_.pos() < at + 2 + len; i++) name.push_back(char(r_.U8()));
  font_names_[id] = name;
  r_.Seek(at + 2 + len);
}

bool Converter::Header() {
  const uint8_t* d = r_.here();
  size_t n = r_.left();
  auto has = [&](size_t at, const uint8_t* sig, size_t len) {
    return n >= at + len && std::equal(sig, sig + len, d + at);
  };
  size_t base = 0;
  if (!has(kVersionAt, kVersion1, 2) && !has(kVersionAt, kVersion2, 4)) base = kFileHeaderBytes;
  if (has(base + kVersionAt, kVersion1, 2))
    version_ = 1;
  else if (has(base + kVersionAt, kVersion2, 4))
    version_ = 2;
  else
    return false;
  r_.Seek(base + kFrameAt);
  frame_ = ReadRect(r_);
  r_.Seek(base + kVersionAt + (version_ == 1 ? 2 : 4));
  Rect area = frame_;
  // An extended header's source rectangle is the space the coordinates are in.
  if (version_ == 2 && r_.left() >= 2 + kHeaderOpBytes && r_.here()[0] == 0x0C &&
      r_.here()[1] == 0x00) {
    r_.Skip(2);
    const size_t at = r_.pos();
    if (r_.I16() == kExtendedHeader) {
      r_.Skip(2 + 8);
      area = ReadRect(r_);
    }
    r_.Seek(at + kHeaderOpBytes);
  }
  if (area.width() <= 0 || area.height() <= 0) return false;
  origin_ = {area.left, area.top};
  scale_ = std::max(1, std::min(kMaxScale, kMaxLogical / std::max(area.width(), area.height())));
  w_.Window(0, 0, area.width() * scale_, area.height() * scale_);
  w_.TextBaselineTransparent();
  return r_.ok();
}

// A two-colour pattern, which replaces any pixel pattern set before.
void Converter::ReadPattern(uint8_t pat[8], bool* has_color) {
  for (int i = 0; i < 8; i++) pat[i] = r_.U8();
  *has_color = false;
}

// Operations that set what later drawing looks like; false for any other.
bool Converter::SetState(uint16_t op) {
  switch (op) {
    case kNop:
    case kHiliteMode:
    case kDefHilite:
      return true;
    case kClip:
      Clip();
      return true;
    case kBkPat:
      ReadPattern(back_pat_, &back_rgb_);
      return true;
    case kPnPat:
      ReadPattern(pen_pat_, &pen_rgb_);
      return true;
    case kFillPat:
      ReadPattern(fill_pat_, &fill_rgb_);
      return true;
    case kBkPixPat:
      ReadPixPat(back_pat_, &back_pix_, &back_rgb_);
      return true;
    case kPnPixPat:
      ReadPixPat(pen_pat_, &pen_pix_, &pen_rgb_);
      return true;
    case kFillPixPat:
      ReadPixPat(fill_pat_, &fill_pix_, &fill_rgb_);
      return true;
    case kTxFont:
      font_id_ = r_.U16();
      return true;
    case kTxFace:
      face_ = r_.U8();
      return true;
    case kTxMode:
    case kPnLocHFrac:
    case kChExtra:
      r_.Skip(2);
      return true;
    case kSpExtra:
    case kOrigin:
      r_.Skip(4);
      return true;
    case kPnSize:
      pen_h_ = r_.I16();
      pen_w_ = r_.I16();
      return true;
    case kPnMode:
      pen_mode_ = r_.U16();
      return true;
    case kOvSize:
      oval_ = ReadPoint();
      return true;
    case kTxSize:
      text_size_ = r_.I16();
      return true;
    case kFgColor:
      fg_ = OldColor(r_.U32());
      return true;
    case kBkColor:
      bg_ = OldColor(r_.U32());
      return true;
    case kTxRatio:
      r_.Skip(8);
      return true;
    case kVersionOp:
      r_.Skip(1);
      return true;
    case kRgbFgCol:
    case kRgbBkCol: {
      int red = r_.U16() >> 8, green = r_.U16() >> 8, blue = r_.U16() >> 8;
      (op == kRgbFgCol ? fg_ : bg_) = Rgb(red, green, blue);
      return true;
    }
    case kHiliteColor:
    case kOpColor:
      r_.Skip(6);
      return true;
    case kFontName:
      FontName();
      return true;
    case kShortComment:
      Comment(r_.U16(), 0);
      return true;
    case kLongComment: {
      uint16_t kind = r_.U16();
      Comment(kind, r_.U16());
      return true;
    }
    case kHeaderOp:
      r_.Skip(kHeaderOpBytes);
      return true;
    default:
      return false;
  }
}

// False at the picture's end.
bool Converter::Step(uint16_t op) {
  if (op == kOpEndPic) return false;
  if (SetState(op)) return true;
  const Verb verb = Verb(op & 7);
  switch (op) {
    case kLine: {
      Point a = ReadPoint();
      Point b = ReadPoint();
      DrawLine(a, b);
      return true;
    }
    case kLineFrom:
      DrawLine(pen_, ReadPoint());
      return true;
    case kShortLine: {
      Point a = ReadPoint();
      int dh = int8_t(r_.U8()), dv = int8_t(r_.U8());
      DrawLine(a, {a.x + dh, a.y + dv});
      return true;
    }
    case kShortLineFrom: {
      int dh = int8_t(r_.U8()), dv = int8_t(r_.U8());
      DrawLine(pen_, {pen_.x + dh, pen_.y + dv});
      return true;
    }
    case kLongText: {
      Point at = ReadPoint();
      Text(at, r_.U8());
      return true;
    }
    case kDhText: {
      int dh = r_.U8();
      Text({text_.x + dh, text_.y}, r_.U8());
      return true;
    }
    case kDvText: {
      int dv = r_.U8();
      Text({text_.x, text_.y + dv}, r_.U8());
      return true;
    }
    case kDhDvText: {
      int dh = r_.U8(), dv = r_.U8();
      Text({text_.x + dh, text_.y + dv}, r_.U8());
      return true;
    }
    case kBitsRect:
    case kBitsRgn:
    case kPackBitsRect:
    case kPackBitsRgn:
    case kDirectBitsRect:
    case kDirectBitsRgn:
      DrawPixels(op);
      return true;
    default:
      break;
  }
  if (op >= kRectFirst && op < kPolyFirst) {
    Shape(op);
  } else if (op >= kPolyFirst && op < kRgnFirst) {
    if ((op & 0x0F) < kSameShape) Polygon(verb);
  } else if (op >= kRgnFirst && op < kBitsRect) {
    if ((op & 0x0F) < kSameShape) Region(verb);
  } else if (op < 0x30 || (op >= 0x92 && op <= 0xAF)) {
    // Reserved operations of this range carry a 16-bit length; 0x17 to 0x19 carry nothing.
    if (op > 0x19) Skip16Length();
  } else if (op <= 0xCF) {
    // Reserved, with no data.
  } else if (op <= 0xFE || op >= 0x8100) {
    r_.Skip(r_.U32());
  } else {
    r_.Skip(ReservedBytes(op));
  }
  return true;
}

bool Converter::Run(std::vector<uint8_t>* wmf) {
  if (!Header()) return false;
  while (r_.ok() && r_.left() > 0) {
    uint16_t op;
    if (version_ == 1) {
      op = r_.U8();
    } else {
      r_.AlignWord();
      op = r_.U16();
    }
    if (!r_.ok() || !Step(op)) break;
    if (++shapes_ > limits_.max_shapes || w_.size() > limits_.max_metafile_bytes) break;
  }
  if (!drew_ || w_.size() > limits_.max_metafile_bytes) return false;
  if (clipped_) w_.RestoreState();
  *wmf = w_.Finish();
  return true;
}

}  // namespace mac

bool MacPictureToMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* wmf,
                          const MacPictureLimits& limits) {
  if (!data || size == 0) return false;
  mac::Converter c(data, size, limits);
  return c.Run(wmf);
}

}  // namespace viewer
