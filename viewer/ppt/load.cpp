#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/cfb.h"
#include "ppt/presentation.h"
#include "ppt/records.h"
#include "ppt/text.h"

namespace ppt {
namespace {

constexpr uint32_t kTokenPlain = 0xE391C05F;
constexpr uint32_t kTokenEncrypted = 0xF3D1C4DF;
constexpr int kMaxDepth = 24;
constexpr size_t kMaxShapes = 20000;

// A slide list entry: the slide's persist reference and the outline texts stored beside it.
struct RawText {
  int type = 4;
  std::u16string chars;
  Record style;
  bool has_style = false;
};

struct ListEntry {
  uint32_t persist = 0;
  uint32_t slide_id = 0;
  std::vector<RawText> texts;
};

struct Font {
  std::string name;
  uint8_t charset = 0, pitch_family = 0;
};

struct Transform {
  double sx = 1, sy = 1, dx = 0, dy = 0;
  Rect Apply(const Rect& r) const {
    Rect o;
    o.left = int32_t(std::lround(r.left * sx + dx));
    o.right = int32_t(std::lround(r.right * sx + dx));
    o.top = int32_t(std::lround(r.top * sy + dy));
    o.bottom = int32_t(std::lround(r.bottom * sy + dy));
    return o;
  }
};

// What a slide shows in its master's date, number and footer placeholders.
struct Footers {
  bool date = false, number = false, footer = false;
  std::u16string date_text, footer_text;
  int slide_number = 0;
};

Footers ReadFooters(const Record& container, Footers f) {
  Children c(container);
  Record r;
  while (c.Next(&r)) {
    if (r.type == rt::kHeadersFootersAtom && r.len >= 4) {
      uint16_t flags = Le16(r.body + 2);
      f.date = (flags & 0x1) && (flags & 0x4);  // only a fixed date: today's is not known here
      f.number = flags & 0x8;
      f.footer = flags & 0x20;
    } else if (r.type == rt::kCString) {
      std::u16string text;
      for (size_t i = 0; i + 1 < r.len; i += 2) text += char16_t(Le16(r.body + i));
      if (r.inst == 0) f.date_text = text;
      if (r.inst == 2) f.footer_text = text;
    }
  }
  return f;
}

// Everything a slide's drawing is resolved against: its colour scheme and text styles.
struct Context {
  Rgb scheme[8];
  const LevelStyles* styles = nullptr;  // nine text types
  const std::vector<RawText>* outline = nullptr;
  bool master = false;
  const Footers* footers = nullptr;
  // Placeholders of the master chain by type: slides' placeholders take what they leave unset
  // (anchor, text insets, wrapping, vertical alignment) from them.
  std::map<int, std::pair<Rect, std::map<uint16_t, uint32_t>>>* placeholders = nullptr;
};

int MasterPlaceholderFor(int type,
                         const std::map<int, std::pair<Rect, std::map<uint16_t, uint32_t>>>& m) {
  auto has = [&](int t) { return m.count(t) != 0; };
  switch (type) {
    case 0x0F:
      return has(0x03) ? 0x03 : 0x01;
    case 0x0D:
    case 0x11:
      return 0x01;
    case 0x10:
      return has(0x04) ? 0x04 : 0x02;
    case 0x07:
    case 0x08:
    case 0x09:
      return type;
    default:
      return 0x02;
  }
}

struct Properties {
  std::map<uint16_t, uint32_t> values;
  std::map<uint16_t, std::pair<const uint8_t*, size_t>> complex;
  void Read(const Record& r) {
    ByteReader br = r.reader();
    std::vector<std::pair<uint16_t, uint32_t>> pending;  // complex parts follow all entries
    for (int i = 0; i < r.inst && br.Has(6); i++) {
      uint16_t id = br.U16();
      uint32_t v = br.U32();
      values[id & 0x3FFF] = v;
      if (id & 0x8000) pending.push_back({uint16_t(id & 0x3FFF), v});
    }
    for (auto& p : pending) {
      size_t n = std::min<size_t>(p.second, br.left());
      complex[p.first] = {br.here(), n};
      br.Skip(n);
    }
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
};

Rgb FromColorRef(uint32_t v) {
  return Rgb{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
}

class Loader {
 public:
  Loader(const std::vector<uint8_t>& doc, const std::vector<uint8_t>& pictures,
         const LoadOptions& options, Presentation* out)
      : doc_(doc), pictures_(pictures), options_(options), out_(out) {}

  LoadError Run(uint32_t current_edit, bool have_current_user);

 private:
  bool At(uint32_t offset, Record* r) const {
    return RecordAt(doc_.data(), doc_.size(), offset, r);
  }
  bool Object(uint32_t persist, Record* r) const {
    auto it = persist_.find(persist);
    return it != persist_.end() && At(it->second, r);
  }
  bool ReadEditChain(uint32_t first, uint32_t* doc_ref, bool* encrypted);
  void RepairByScan(uint32_t* doc_ref, uint32_t* doc_offset);
  void ReadDocument(const Record& doc);
  void ReadSlideList(const Record& list, std::vector<ListEntry>* out);
  void ReadBlipStore(const Record& dgg);
  bool ReadBlip(const uint8_t* data, size_t size, Blip* out);
  void ReadSlide(const ListEntry& entry);

  struct Master {
    bool loaded = false;
    bool title_master = false;
    Record container;
    Rgb scheme[8];
    LevelStyles styles[9];
    uint32_t parent_id = 0;  // title masters: their main master
    bool master_objects = true;
  };
  Master* FindMaster(uint32_t slide_id, int depth = 0);
  void ReadScheme(const Record& container, Rgb* scheme, bool* found);
  void DrawingShapes(const Record& container, const Context& ctx, std::vector<Shape>* shapes,
                     Fill* background, bool* has_background);
  void GroupShapes(const Record& group, const Transform& t, const Context& ctx, int depth,
                   std::vector<Shape>* shapes);
  bool ReadShape(const Record& sp, const Transform& t, const Context& ctx, Shape* out,
                 Rect* child_space, bool* is_group);
  Rgb Color(uint32_t ref, const Context& ctx, Rgb fallback) const;
  Fill ReadFill(const Properties& p, const Context& ctx, bool filled_default) const;
  void BuildText(const RawText& text, const Context& ctx, TextBody* body);
  bool FooterText(const Context& ctx, Shape* s);
  Rgb TextColor(uint32_t ci, const Context& ctx) const {
    if ((ci >> 24) == 0xFE) return FromColorRef(ci);
    if ((ci >> 24) < 8) return ctx.scheme[ci >> 24];
    return ctx.scheme[1];
  }

  const std::vector<uint8_t>& doc_;
  const std::vector<uint8_t>& pictures_;
  LoadOptions options_;
  Presentation* out_;
  std::map<uint32_t, uint32_t> persist_;
  std::vector<Font> fonts_;
  LevelStyles doc_styles_[9];
  std::vector<ListEntry> slides_, masters_;
  std::map<uint32_t, Master> master_cache_;
  size_t blip_bytes_ = 0;
  Footers doc_footers_;
  int slide_number_ = 0;
  uint32_t persist_crypt_ = 0;
  bool has_crypt_ = false;
  size_t shape_count_ = 0;
};

bool ValidEdit(const Record& r) {
  return r.type == rt::kUserEdit && r.len >= 28;
}

void ApplyPersistDirectory(const Record& r, std::map<uint32_t, uint32_t>* map, bool override) {
  ByteReader br = r.reader();
  while (br.Has(4)) {
    uint32_t head = br.U32();
    uint32_t id = head & 0xFFFFF, count = head >> 20;
    for (uint32_t i = 0; i < count && br.Has(4); i++) {
      uint32_t off = br.U32();
      if (override || !map->count(id + i)) (*map)[id + i] = off;
    }
  }
}

bool Loader::ReadEditChain(uint32_t first, uint32_t* doc_ref, bool* encrypted) {
  std::set<uint32_t> seen;
  uint32_t off = first;
  bool newest = true;
  while (true) {
    Record r;
    if (seen.count(off) || !At(off, &r) || !ValidEdit(r)) return false;
    seen.insert(off);
    ByteReader br = r.reader();
    br.Skip(8);
    uint32_t last = br.U32();
    uint32_t dir = br.U32();
    uint32_t ref = br.U32();
    br.Skip(8);
    uint32_t crypt = r.len >= 32 ? br.U32() : 0;
    Record d;
    if (!At(dir, &d) || d.type != rt::kPersistDirectory) return false;
    ApplyPersistDirectory(d, &persist_, false);  // newer edits were applied first and win
    if (newest) {
      *doc_ref = ref;
      if (r.len >= 32) {
        // The session record is resolved once the whole directory is known.
        persist_crypt_ = crypt;
        has_crypt_ = true;
      }
      newest = false;
    }
    if (last == 0) break;
    off = last;
  }
  if (has_crypt_) {
    Record c;
    if (Object(persist_crypt_, &c) && c.type == rt::kCryptSession) *encrypted = true;
  }
  return true;
}

// A broken edit chain: read the stream's top-level records in file order, letting each persist
// directory override the ones before it, as successive saves did.
void Loader::RepairByScan(uint32_t* doc_ref, uint32_t* doc_offset) {
  persist_.clear();
  out_->repaired = true;
  Children c(doc_.data(), doc_.size());
  Record r;
  uint32_t last_doc = UINT32_MAX;
  bool have_ref = false;
  while (c.Next(&r)) {
    if (r.type == rt::kPersistDirectory) {
      ApplyPersistDirectory(r, &persist_, true);
    } else if (ValidEdit(r)) {
      ByteReader br = r.reader();
      br.Skip(16);
      *doc_ref = br.U32();
      have_ref = true;
    } else if (r.type == rt::kDocument) {
      last_doc = uint32_t(r.offset);
    }
  }
  Record d;
  if (!have_ref || !Object(*doc_ref, &d) || d.type != rt::kDocument) *doc_offset = last_doc;
}

LoadError Loader::Run(uint32_t current_edit, bool have_current_user) {
  uint32_t doc_ref = 0, doc_offset = UINT32_MAX;
  bool encrypted = false;
  bool chain_ok = have_current_user && ReadEditChain(current_edit, &doc_ref, &encrypted);
  if (encrypted) return LoadError::kEncrypted;
  Record doc;
  if (!chain_ok || !Object(doc_ref, &doc) || doc.type != rt::kDocument) {
    RepairByScan(&doc_ref, &doc_offset);
    if (doc_offset != UINT32_MAX) {
      if (!At(doc_offset, &doc)) return LoadError::kDamaged;
    } else if (!Object(doc_ref, &doc) || doc.type != rt::kDocument) {
      return LoadError::kDamaged;
    }
  }
  ReadDocument(doc);
  for (const ListEntry& e : slides_) {
    if (out_->slides.size() >= 10000) break;
    ReadSlide(e);
  }
  return LoadError::kNone;
}

void Loader::ReadDocument(const Record& doc) {
  Children c(doc);
  Record r;
  while (c.Next(&r)) {
    switch (r.type) {
      case rt::kDocumentAtom: {
        ByteReader br = r.reader();
        int32_t w = br.I32(), h = br.I32();
        // Sizes outside a sane range (1/8 inch to 100 inches) are ignored.
        if (br.ok() && w >= 72 && h >= 72 && w <= 57600 && h <= 57600) {
          out_->width = w;
          out_->height = h;
        }
        break;
      }
      case rt::kSlideListWithText:
        if (r.inst == 0) ReadSlideList(r, &slides_);
        if (r.inst == 1) ReadSlideList(r, &masters_);
        break;
      case rt::kSlideShowDocInfo: {
        ByteReader br = r.reader();
        br.Skip(8);
        int16_t first = br.I16(), last = br.I16();
        br.Skip(64);
        uint16_t flags = br.U16();
        if (br.ok()) {
          out_->show.use_timings = flags & 0x01;
          out_->show.use_range = flags & 0x04;
          out_->show.loop = flags & 0x80;
          out_->show.first = first;
          out_->show.last = last;
        }
        break;
      }
      case rt::kEnvironment: {
        Children e(r);
        Record x;
        while (e.Next(&x)) {
          if (x.type == rt::kFontCollection) {
            Children f(x);
            Record fe;
            while (f.Next(&fe)) {
              if (fe.type != rt::kFontEntity || fe.len < 68) continue;
              Font font;
              std::u16string name;
              for (int i = 0; i < 32; i++) {
                char16_t ch = Le16(fe.body + i * 2);
                if (!ch) break;
                name += ch;
              }
              font.name = ToUtf8(name);
              font.charset = fe.body[64];
              font.pitch_family = fe.body[67];
              fonts_.push_back(font);
            }
          } else if (x.type == rt::kTextMasterStyle && x.inst < 9) {
            ReadMasterStyle(x.body, x.len, x.inst, &doc_styles_[x.inst]);
          }
        }
        break;
      }
      case rt::kHeadersFooters:
        if (r.inst == 3) doc_footers_ = ReadFooters(r, Footers());
        break;
      case rt::kDrawingGroup: {
        Record dgg;
        if (FindChild(r, rt::kDggContainer, &dgg)) ReadBlipStore(dgg);
        break;
      }
      default:
        break;
    }
  }
}

void Loader::ReadSlideList(const Record& list, std::vector<ListEntry>* out) {
  Children c(list);
  Record r;
  while (c.Next(&r)) {
    if (r.type == rt::kSlidePersistAtom) {
      ByteReader br = r.reader();
      ListEntry e;
      e.persist = br.U32();
      br.U32();
      br.U32();
      e.slide_id = br.U32();
      if (br.ok()) out->push_back(e);
      continue;
    }
    if (out->empty()) continue;
    std::vector<RawText>& texts = out->back().texts;
    if (r.type == rt::kTextHeader) {
      RawText t;
      t.type = r.len >= 4 ? int(Le32(r.body)) : 4;
      texts.push_back(t);
    } else if (texts.empty()) {
      continue;
    } else if (r.type == rt::kTextChars) {
      for (size_t i = 0; i + 1 < r.len; i += 2) texts.back().chars += char16_t(Le16(r.body + i));
    } else if (r.type == rt::kTextBytes) {
      for (size_t i = 0; i < r.len; i++) texts.back().chars += char16_t(r.body[i]);
    } else if (r.type == rt::kStyleTextProp) {
      texts.back().style = r;
      texts.back().has_style = true;
    }
  }
}

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

Loader::Master* Loader::FindMaster(uint32_t slide_id, int depth) {
  if (depth > 2) return nullptr;
  const ListEntry* entry = nullptr;
  for (const ListEntry& e : masters_)
    if (e.slide_id == slide_id) entry = &e;
  if (!entry) return nullptr;
  Master& m = master_cache_[slide_id];
  if (m.loaded) return &m;
  m.loaded = true;
  if (!Object(entry->persist, &m.container) ||
      (m.container.type != rt::kMainMaster && m.container.type != rt::kSlide)) {
    master_cache_.erase(slide_id);
    return nullptr;
  }
  m.title_master = m.container.type == rt::kSlide;
  for (int i = 0; i < 9; i++) m.styles[i] = doc_styles_[i];
  static const Rgb kDefaultScheme[8] = {{255, 255, 255}, {0, 0, 0},       {128, 128, 128},
                                        {0, 0, 0},       {187, 224, 227}, {51, 51, 153},
                                        {0, 153, 153},   {153, 204, 0}};
  std::copy(kDefaultScheme, kDefaultScheme + 8, m.scheme);
  bool found = false;
  ReadScheme(m.container, m.scheme, &found);
  Record atom;
  if (m.title_master && FindChild(m.container, rt::kSlideAtom, &atom) && atom.len >= 24) {
    m.parent_id = Le32(atom.body + 12);
    m.master_objects = Le16(atom.body + 20) & 1;
    Master* parent = FindMaster(m.parent_id, depth + 1);
    if (parent && !parent->title_master) {
      for (int i = 0; i < 9; i++) m.styles[i] = parent->styles[i];
      if (!found) std::copy(parent->scheme, parent->scheme + 8, m.scheme);
    }
  }
  Children c(m.container);
  Record r;
  while (c.Next(&r))
    if (r.type == rt::kTextMasterStyle && r.inst < 9)
      ReadMasterStyle(r.body, r.len, r.inst, &m.styles[r.inst]);
  return &master_cache_[slide_id];
}

void Loader::ReadScheme(const Record& container, Rgb* scheme, bool* found) {
  Record s;
  if (FindChild(container, rt::kColorScheme, &s, 1) && s.len >= 32) {
    for (int i = 0; i < 8; i++) scheme[i] = FromColorRef(Le32(s.body + i * 4));
    *found = true;
  }
}

Rgb Loader::Color(uint32_t ref, const Context& ctx, Rgb fallback) const {
  uint8_t flags = uint8_t(ref >> 24);
  if (flags & 0x08) return ctx.scheme[(ref & 0xFF) % 8];
  if (flags & 0x10) return fallback;
  return FromColorRef(ref);
}

Fill Loader::ReadFill(const Properties& p, const Context& ctx, bool filled_default) const {
  Fill f;
  int filled = p.Flag(0x01BF, 4);
  if (filled == 0 || (filled < 0 && !filled_default)) return f;
  uint32_t type = p.Get(0x0180, 0);
  f.color = Color(p.Get(0x0181, 0xFFFFFF), ctx, ctx.scheme[4]);
  f.color2 = Color(p.Get(0x0183, 0xFFFFFF), ctx, ctx.scheme[0]);
  if (type == 2 || type == 3) {
    uint32_t pib = p.Get(0x0186, 0);
    if (pib >= 1 && pib <= out_->blips.size()) {
      f.kind = Fill::kPicture;
      f.blip = int(pib - 1);
      return f;
    }
    f.kind = Fill::kSolid;
  } else if (type >= 4 && type <= 8) {
    f.kind = Fill::kGradient;
  } else {
    f.kind = Fill::kSolid;
  }
  if (p.Has(0x0182) && p.Get(0x0182, 0x10000) == 0) f.kind = Fill::kNone;
  return f;
}

// A freeform's outline: its vertices mapped into the shape's own coordinate box; curve control
// points are taken as corners, which keeps the outline close enough for a shape's fill.
void ReadPath(const Properties& props, Shape* out) {
  auto it = props.complex.find(0x0145);
  if (it == props.complex.end() || it->second.second < 6) return;
  ByteReader br(it->second.first, it->second.second);
  uint16_t n = br.U16();
  br.U16();
  uint16_t cb = br.U16();
  bool wide = cb == 8;
  double left = int32_t(props.Get(0x0140, 0)), top = int32_t(props.Get(0x0141, 0));
  double right = int32_t(props.Get(0x0142, 21600)), bottom = int32_t(props.Get(0x0143, 21600));
  if (right == left || bottom == top) return;
  for (uint16_t i = 0; i < n && i < 4096 && br.ok(); i++) {
    double x = wide ? br.I32() : br.I16();
    double y = wide ? br.I32() : br.I16();
    if (!br.ok()) break;
    out->path.push_back({(x - left) / (right - left), (y - top) / (bottom - top)});
  }
}

Shape::Geometry GeometryOf(int type) {
  switch (type) {
    case 0:
      return Shape::kFreeform;
    case 1:
    case 202:
    case 75:
      return Shape::kRect;
    case 2:
      return Shape::kRoundRect;
    case 3:
      return Shape::kEllipse;
    case 4:
      return Shape::kDiamond;
    case 5:
      return Shape::kTriangle;
    case 6:
      return Shape::kRightTriangle;
    case 7:
      return Shape::kParallelogram;
    case 8:
      return Shape::kTrapezoid;
    case 9:
      return Shape::kHexagon;
    case 10:
      return Shape::kOctagon;
    case 20:
    case 32:
    case 33:
    case 34:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40:
      return Shape::kLine;
    default:
      return Shape::kRect;
  }
}

// Bullets drawn from symbol fonts, as the Unicode characters they look like.
char16_t SymbolBullet(uint8_t c) {
  switch (c) {
    case 0x6E:
      return 0x25A0;
    case 0xA7:
      return 0x25AA;
    case 0xD8:
      return 0x27A2;
    case 0x71:
      return 0x2751;
    case 0x76:
      return 0x2756;
    case 0xFC:
      return 0x2713;
    case 0x6C:
      return 0x25CF;
    case 0xE0:
      return 0x2192;
    case 0x75:
      return 0x25C6;
    case 0x77:
      return 0x2B25;
    case 0xA1:
      return 0x25CB;
    case 0x9F:
      return 0x2022;
    default:
      return 0x2022;
  }
}

int EmuToMaster(uint32_t emu) {
  return int(int32_t(emu) / 1587);
}

bool Loader::ReadShape(const Record& sp, const Transform& t, const Context& ctx, Shape* out,
                       Rect* child_space, bool* is_group) {
  Children c(sp);
  Record r;
  Properties props;
  bool have_anchor = false, have_child = false, have_fsp = false, deleted = false;
  uint32_t flags = 0;
  Rect anchor;
  std::vector<RawText> texts;
  while (c.Next(&r)) {
    switch (r.type) {
      case rt::kFsp:
        if (r.len >= 8) {
          have_fsp = true;
          out->type = r.inst;
          flags = Le32(r.body + 4);
          deleted = flags & 0x8;
        }
        break;
      case rt::kFspgr:
        if (r.len >= 16) {
          ByteReader br = r.reader();
          child_space->left = br.I32();
          child_space->top = br.I32();
          child_space->right = br.I32();
          child_space->bottom = br.I32();
        }
        break;
      case rt::kFopt:
      case rt::kTertiaryFopt:
        props.Read(r);
        break;
      case rt::kChildAnchor:
        if (r.len >= 16) {
          ByteReader br = r.reader();
          anchor.left = br.I32();
          anchor.top = br.I32();
          anchor.right = br.I32();
          anchor.bottom = br.I32();
          have_anchor = have_child = true;
        }
        break;
      case rt::kClientAnchor:
        if (have_child) break;
        if (r.len >= 16) {
          ByteReader br = r.reader();
          anchor.top = br.I32();
          anchor.left = br.I32();
          anchor.right = br.I32();
          anchor.bottom = br.I32();
          have_anchor = true;
        } else if (r.len >= 8) {
          ByteReader br = r.reader();
          anchor.top = br.I16();
          anchor.left = br.I16();
          anchor.right = br.I16();
          anchor.bottom = br.I16();
          have_anchor = true;
        }
        break;
      case rt::kClientData: {
        Record ph;
        if (FindChild(r, rt::kPlaceholderAtom, &ph) && ph.len >= 5) out->placeholder = ph.body[4];
        break;
      }
      case rt::kClientTextbox: {
        Children tc(r);
        Record x;
        while (tc.Next(&x)) {
          if (x.type == rt::kTextHeader) {
            RawText text;
            text.type = x.len >= 4 ? int(Le32(x.body)) : 4;
            texts.push_back(text);
          } else if (x.type == rt::kOutlineTextRef && x.len >= 4) {
            uint32_t index = Le32(x.body);
            if (ctx.outline && index < ctx.outline->size()) {
              if (!texts.empty() && texts.back().chars.empty()) texts.pop_back();
              texts.push_back((*ctx.outline)[index]);
            }
          } else if (texts.empty()) {
            continue;
          } else if (x.type == rt::kTextChars) {
            for (size_t i = 0; i + 1 < x.len; i += 2)
              texts.back().chars += char16_t(Le16(x.body + i));
          } else if (x.type == rt::kTextBytes) {
            for (size_t i = 0; i < x.len; i++) texts.back().chars += char16_t(x.body[i]);
          } else if (x.type == rt::kStyleTextProp) {
            texts.back().style = x;
            texts.back().has_style = true;
          }
        }
        break;
      }
      default:
        break;
    }
  }
  if (!have_fsp || deleted) return false;
  if (ctx.placeholders && out->placeholder > 0) {
    if (ctx.master) {
      (*ctx.placeholders)[out->placeholder] = {have_anchor ? anchor : Rect(), props.values};
    } else {
      auto it = ctx.placeholders->find(MasterPlaceholderFor(out->placeholder, *ctx.placeholders));
      if (it != ctx.placeholders->end()) {
        if (!have_anchor) {
          anchor = it->second.first;
          have_anchor = true;
        }
        for (uint16_t id : {0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0087})
          if (!props.Has(id) && it->second.second.count(id))
            props.values[id] = it->second.second.at(id);
      }
    }
  }
  *is_group = flags & 0x1;
  if (props.Flag(0x03BF, 1) == 1) return false;  // hidden
  if (!have_anchor) anchor = Rect{0, 0, 0, 0};
  out->anchor = t.Apply(anchor);
  if (out->anchor.left > out->anchor.right) std::swap(out->anchor.left, out->anchor.right);
  if (out->anchor.top > out->anchor.bottom) std::swap(out->anchor.top, out->anchor.bottom);
  out->flip_h = flags & 0x40;
  out->flip_v = flags & 0x80;
  out->geometry = GeometryOf(out->type);
  out->rotation = int(int32_t(props.Get(0x0004, 0)) / 65536) % 360;
  if (out->geometry == Shape::kFreeform) ReadPath(props, out);
  for (int i = 0; i < 4; i++) {
    // Crops are 16.16 fractions of the picture: top, bottom, left, right.
    int32_t v = int32_t(props.Get(uint16_t(0x0100 + i), 0));
    out->crop[i] = std::max(-4.0, std::min(0.99, v / 65536.0));
  }
  const bool plain = out->type == 202 || out->type == 75 || out->placeholder >= 0;
  if (out->geometry != Shape::kLine) out->fill = ReadFill(props, ctx, !plain);
  int line = props.Flag(0x01FF, 3);
  out->line = line == 1 || (line < 0 && (!plain || out->geometry == Shape::kLine));
  out->line_color = Color(props.Get(0x01C0, 0), ctx, ctx.scheme[1]);
  out->line_width = int(std::min<uint32_t>(props.Get(0x01CB, 9525), 2000000));
  if (out->type == 75 || props.Has(0x0104)) {
    uint32_t pib = props.Get(0x0104, 0);
    if (pib >= 1 && pib <= out_->blips.size()) out->picture = int(pib - 1);
  }
  TextBody& body = out->text;
  body.insets.left = EmuToMaster(props.Get(0x0081, 91440));
  body.insets.top = EmuToMaster(props.Get(0x0082, 45720));
  body.insets.right = EmuToMaster(props.Get(0x0083, 91440));
  body.insets.bottom = EmuToMaster(props.Get(0x0084, 45720));
  body.wrap = props.Get(0x0085, 0) != 2;
  uint32_t a = props.Get(0x0087, 0);
  body.anchor = a <= 5 ? TextBody::Anchor(a % 3) : TextBody::kTop;
  for (const RawText& text : texts) BuildText(text, ctx, &body);
  return true;
}

void Loader::BuildText(const RawText& text, const Context& ctx, TextBody* body) {
  if (text.chars.empty()) return;
  std::vector<StyleRun> para_runs, char_runs;
  if (text.has_style)
    ReadStyleRuns(text.style.body, text.style.len, text.chars.size(), &para_runs, &char_runs);
  int type = text.type >= 0 && text.type < 9 ? text.type : 4;
  int base = (type == 0 || type == 6) ? 0 : (type == 1 || type >= 5) ? 1 : type == 2 ? 2 : 4;
  auto style_at = [&](int level, ParaProps* pp, CharProps* cp) {
    level = std::min(std::max(level, 0), 4);
    *pp = ParaProps();
    *cp = CharProps();
    // Built-in defaults, then the document's and the master's styles of the base type, then those
    // of the specific type.
    cp->size = base == 0 ? 44 : base == 1 ? (level == 0 ? 32 : level == 1 ? 28 : 24) : 18;
    cp->color = base == 0 ? 0x03000000 : 0x01000000;
    pp->align = base == 0 ? 1 : 0;
    const LevelStyles* styles = ctx.styles ? ctx.styles : doc_styles_;
    const LevelStyles* chain[] = {&doc_styles_[base], &styles[base], &styles[type]};
    for (const LevelStyles* ls : chain) {
      if (!ls->present) continue;
      pp->Overlay(ls->para[level]);
      cp->Overlay(ls->chars[level]);
    }
  };
  size_t pi = 0, ci = 0;
  uint32_t p_left = para_runs.empty() ? UINT32_MAX : para_runs[0].count;
  uint32_t c_left = char_runs.empty() ? UINT32_MAX : char_runs[0].count;
  Paragraph para;
  ParaProps pp;
  CharProps cp;
  int level = para_runs.empty() ? 0 : para_runs[0].level;
  auto start_para = [&]() {
    para = Paragraph();
    level = pi < para_runs.size() ? std::min<int>(para_runs[pi].level, 4) : level;
    ParaProps base_pp;
    CharProps base_cp;
    style_at(level, &base_pp, &base_cp);
    pp = base_pp;
    if (pi < para_runs.size()) pp.Overlay(para_runs[pi].para);
    para.level = level;
    para.align = pp.align <= 3 ? Paragraph::Align(pp.align) : Paragraph::kLeft;
    para.left_margin = pp.left_margin;
    para.indent = pp.indent;
    para.bullet = pp.bullet_flags & 1;
    if (pp.bullet_char >= 0x20) para.bullet_char = pp.bullet_char;
    bool symbol_font = (pp.bullet_flags & 2) && pp.bullet_font < fonts_.size() &&
                       fonts_[pp.bullet_font].charset == 2;
    if (symbol_font || (para.bullet_char >= 0xF000 && para.bullet_char <= 0xF0FF))
      para.bullet_char = SymbolBullet(uint8_t(para.bullet_char));
    para.bullet_size = (pp.bullet_flags & 8) && pp.bullet_size > 0 ? pp.bullet_size : 100;
    para.line_spacing = pp.line_spacing;
    para.space_before = pp.space_before;
    para.space_after = pp.space_after;
  };
  auto char_style = [&]() {
    ParaProps unused;
    CharProps c;
    style_at(level, &unused, &c);
    if (ci < char_runs.size()) c.Overlay(char_runs[ci].chars);
    return c;
  };
  start_para();
  cp = char_style();
  bool bullet_colored = false;
  auto add_char = [&](char16_t ch) {
    Rgb color = TextColor(cp.color, ctx);
    if (para.runs.empty() || para.runs.back().bold != cp.bold ||
        para.runs.back().italic != cp.italic || para.runs.back().underline != cp.underline ||
        para.runs.back().size != cp.size || !(para.runs.back().color == color) ||
        para.runs.back().font != (cp.font < fonts_.size() ? fonts_[cp.font].name : "")) {
      ppt::Run run;
      if (cp.font < fonts_.size()) {
        run.font = fonts_[cp.font].name;
        run.pitch_family = fonts_[cp.font].pitch_family;
        run.charset = fonts_[cp.font].charset;
      }
      run.size = cp.size > 0 && cp.size < 4000 ? cp.size : 18;
      run.bold = cp.bold;
      run.italic = cp.italic;
      run.underline = cp.underline;
      run.color = color;
      para.runs.push_back(run);
    }
    para.runs.back().text += ch;
  };
  // Far more than a slide can show; bounds the work a hostile file can ask of the renderer.
  const size_t shown = std::min<size_t>(text.chars.size(), 65536);
  for (size_t i = 0; i < shown; i++) {
    char16_t ch = text.chars[i];
    if (ch == u'\r') {
      if (!bullet_colored)
        para.bullet_color = TextColor(
            pp.mask & ParaProps::kBulletColor && (pp.bullet_flags & 4) ? pp.bullet_color : cp.color,
            ctx);
      body->paragraphs.push_back(para);
    }
    if (--p_left == 0 && pi < para_runs.size()) {
      pi++;
      p_left = pi < para_runs.size() ? para_runs[pi].count : UINT32_MAX;
    }
    if (--c_left == 0 && ci < char_runs.size()) {
      ci++;
      c_left = ci < char_runs.size() ? char_runs[ci].count : UINT32_MAX;
    }
    if (ch == u'\r') {
      start_para();
      cp = char_style();
      bullet_colored = false;
      continue;
    }
    if (!bullet_colored) {
      para.bullet_color = TextColor(
          (pp.mask & ParaProps::kBulletColor) && (pp.bullet_flags & 4) ? pp.bullet_color : cp.color,
          ctx);
      bullet_colored = true;
    }
    if (c_left != UINT32_MAX || ci < char_runs.size()) cp = char_style();
    add_char(ch);
  }
  if (!bullet_colored) para.bullet_color = TextColor(cp.color, ctx);
  body->paragraphs.push_back(para);
}

// A master's date, number or footer placeholder, filled for the slide when it shows it.
bool Loader::FooterText(const Context& ctx, Shape* s) {
  if (!ctx.footers) return false;
  const Footers& f = *ctx.footers;
  std::u16string text;
  if (s->placeholder == 0x07 && f.date && !f.date_text.empty()) {
    text = f.date_text;
  } else if (s->placeholder == 0x08 && f.number) {
    for (char c : std::to_string(f.slide_number)) text += char16_t(c);
  } else if (s->placeholder == 0x09 && f.footer && !f.footer_text.empty()) {
    text = f.footer_text;
  } else {
    return false;
  }
  Paragraph para;
  if (!s->text.paragraphs.empty()) para = s->text.paragraphs[0];
  ppt::Run run;
  if (!para.runs.empty()) {
    run = para.runs[0];
  } else {
    run.size = 14;
    run.color = ctx.scheme[1];
    if (!fonts_.empty()) run.font = fonts_[0].name;
  }
  run.text = text;
  para.runs.assign(1, run);
  para.bullet = false;
  s->text.paragraphs.assign(1, para);
  return true;
}

void Loader::GroupShapes(const Record& group, const Transform& t, const Context& ctx, int depth,
                         std::vector<Shape>* shapes) {
  if (depth > kMaxDepth) return;
  Children c(group);
  Record r;
  bool first = true;
  Transform inner = t;
  while (c.Next(&r) && shape_count_ < kMaxShapes) {
    if (r.type == rt::kSpContainer) {
      Shape s;
      Rect space{0, 0, 0, 0};
      bool is_group = false;
      bool ok = ReadShape(r, t, ctx, &s, &space, &is_group);
      if (first) {
        first = false;
        if (is_group) {
          // The group's own record: maps the children's coordinates onto its anchor.
          if (depth > 0 && space.width() != 0 && space.height() != 0) {
            inner.sx = double(s.anchor.width()) / space.width();
            inner.sy = double(s.anchor.height()) / space.height();
            inner.dx = s.anchor.left - space.left * inner.sx;
            inner.dy = s.anchor.top - space.top * inner.sy;
          }
          if (depth > 0 && !ok) return;  // a hidden or deleted group hides its children
          continue;
        }
      }
      if (!ok || is_group) continue;
      if (ctx.master && s.placeholder >= 0 && !FooterText(ctx, &s)) continue;
      shape_count_++;
      shapes->push_back(std::move(s));
    } else if (r.type == rt::kSpgrContainer) {
      GroupShapes(r, inner, ctx, depth + 1, shapes);
      first = false;
    }
  }
}

void Loader::DrawingShapes(const Record& container, const Context& ctx, std::vector<Shape>* shapes,
                           Fill* background, bool* has_background) {
  Record drawing, dg;
  if (!FindChild(container, rt::kDrawing, &drawing) || !FindChild(drawing, rt::kDgContainer, &dg))
    return;
  Children c(dg);
  Record r;
  while (c.Next(&r)) {
    if (r.type == rt::kSpgrContainer) {
      GroupShapes(r, Transform(), ctx, 0, shapes);
    } else if (r.type == rt::kSpContainer) {
      Record fsp;
      if (!FindChild(r, rt::kFsp, &fsp) || fsp.len < 8 || !(Le32(fsp.body + 4) & 0x400)) continue;
      Record opt;
      Properties props;
      Children pc(r);
      while (pc.Next(&opt))
        if (opt.type == rt::kFopt || opt.type == rt::kTertiaryFopt) props.Read(opt);
      *background = ReadFill(props, ctx, true);
      *has_background = true;
    }
  }
}

void Loader::ReadSlide(const ListEntry& entry) {
  Record container;
  slide_number_++;
  if (!Object(entry.persist, &container) || container.type != rt::kSlide) return;
  Slide slide;
  slide.slide_id = entry.slide_id;
  uint32_t master_id = 0;
  uint16_t flags = 0x7;
  Record r;
  if (FindChild(container, rt::kSlideAtom, &r) && r.len >= 24) {
    master_id = Le32(r.body + 12);
    flags = Le16(r.body + 20);
  }
  if (FindChild(container, rt::kSlideShowSlideInfo, &r) && r.len >= 12) {
    int32_t time = int32_t(Le32(r.body));
    uint16_t f = Le16(r.body + 10);
    slide.hidden = f & 0x0004;
    slide.auto_advance = f & 0x0400;
    slide.advance_ms = std::min(std::max(time, 0), 86399000);
  }
  Master* master = FindMaster(master_id);
  Master* main = master;
  if (master && master->title_master) {
    Master* parent = FindMaster(master->parent_id, 1);
    main = parent && !parent->title_master ? parent : nullptr;
  }
  Context ctx;
  if (master)
    std::copy(master->scheme, master->scheme + 8, ctx.scheme);
  else
    ctx.scheme[0] = Rgb{255, 255, 255};
  if (!(flags & 0x2)) {
    bool found = false;
    ReadScheme(container, ctx.scheme, &found);
  }
  ctx.styles = master ? master->styles : doc_styles_;

  // Background and objects of the master chain, drawn in the slide's colours.
  Fill background;
  background.kind = Fill::kSolid;
  background.color = ctx.scheme[0];
  std::map<int, std::pair<Rect, std::map<uint16_t, uint32_t>>> placeholders;
  ctx.placeholders = &placeholders;
  Context mctx = ctx;
  mctx.master = true;
  Footers footers = doc_footers_;
  Record hf;
  if (FindChild(container, rt::kHeadersFooters, &hf)) footers = ReadFooters(hf, footers);
  footers.slide_number = slide_number_;
  mctx.footers = &footers;
  std::vector<Shape> shapes;
  bool has_bg = false;
  if (flags & 0x1) {
    if (main && master != main && master->master_objects) {
      std::vector<Shape> unused;
      Fill main_bg;
      bool main_has = false;
      DrawingShapes(main->container, mctx, &shapes, &main_bg, &main_has);
      if (main_has) background = main_bg;
    }
    if (master) DrawingShapes(master->container, mctx, &shapes, &background, &has_bg);
  } else if (master) {
    std::vector<Shape> unused;
    if (main && master != main) DrawingShapes(main->container, mctx, &unused, &background, &has_bg);
    DrawingShapes(master->container, mctx, &unused, &background, &has_bg);
  }
  Fill own_bg;
  bool own_has = false;
  Context sctx = ctx;
  sctx.outline = &entry.texts;
  DrawingShapes(container, sctx, &shapes, &own_bg, &own_has);
  if (own_has && !(flags & 0x4)) background = own_bg;
  if (background.kind == Fill::kNone) {
    background.kind = Fill::kSolid;
    background.color = ctx.scheme[0];
  }
  slide.background = background;
  slide.shapes = std::move(shapes);
  out_->slides.push_back(std::move(slide));
}

}  // namespace

bool TextBody::empty() const {
  for (const Paragraph& p : paragraphs)
    for (const Run& r : p.runs)
      for (char16_t c : r.text)
        if (c > u' ') return false;
  return true;
}

std::vector<size_t> Presentation::ShowOrder() const {
  std::vector<size_t> order;
  size_t first = 0, last = slides.size();
  if (show.use_range && show.first >= 1 && show.last >= show.first) {
    first = std::min<size_t>(size_t(show.first - 1), slides.size());
    last = std::min<size_t>(size_t(show.last), slides.size());
  }
  for (size_t i = first; i < last; i++)
    if (!slides[i].hidden) order.push_back(i);
  return order;
}

std::string ToUtf8(const std::u16string& s) {
  std::string o;
  for (size_t i = 0; i < s.size(); i++) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      i++;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      o += char(c);
    } else if (c < 0x800) {
      o += char(0xC0 | (c >> 6));
      o += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      o += char(0xE0 | (c >> 12));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    } else {
      o += char(0xF0 | (c >> 18));
      o += char(0x80 | ((c >> 12) & 0x3F));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    }
  }
  return o;
}

LoadError Load(const uint8_t* data, size_t size, Presentation* out, const LoadOptions& options) {
  *out = Presentation();
  CompoundFile cf;
  if (!cf.Open(data, size)) return LoadError::kNotCompound;
  if (cf.Has("EncryptedSummary")) return LoadError::kEncrypted;
  std::vector<uint8_t> doc, pictures, user;
  // PowerPoint 95 kept its edits in streams of its own beside a document stream of the same name.
  if (cf.Has("PersistentStorage Directory") || cf.Has("PP40")) return LoadError::kOldFormat;
  if (!cf.Read("PowerPoint Document", &doc)) {
    return LoadError::kNotPresentation;
  }
  cf.Read("Pictures", &pictures);
  uint32_t current_edit = 0;
  bool have_user = false;
  if (cf.Read("Current User", &user)) {
    Record r;
    if (RecordAt(user.data(), user.size(), 0, &r) && r.type == rt::kCurrentUser && r.len >= 16) {
      ByteReader br = r.reader();
      br.U32();
      uint32_t token = br.U32();
      current_edit = br.U32();
      br.U16();
      uint16_t version = br.U16();
      if (token == kTokenEncrypted) return LoadError::kEncrypted;
      if (version != 0 && version < 0x03F4) return LoadError::kOldFormat;
      have_user = token == kTokenPlain || token == 0;
      (void)version;
    }
  }
  Loader loader(doc, pictures, options, out);
  LoadError e = loader.Run(current_edit, have_user);
  if (e != LoadError::kNone) *out = Presentation();
  return e;
}

}  // namespace ppt
