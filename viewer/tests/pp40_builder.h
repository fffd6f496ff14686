#pragma once
// Writes streams laid out as PowerPoint 4 for Windows saved them, for tests and fuzz seeds: the
// zones the viewer reads, with the sizes and offsets of the real files.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pp40 {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes* b, uint16_t v) {
  b->push_back(uint8_t(v));
  b->push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; i++) b->push_back(uint8_t(v >> (8 * i)));
}
inline void PutBox(Bytes* b, int16_t l, int16_t t, int16_t r, int16_t bottom) {
  for (int16_t v : {l, t, r, bottom}) Put16(b, uint16_t(v));
}
inline Bytes Word32(uint32_t v) {
  Bytes b;
  Put32(&b, v);
  return b;
}

// Zones are numbered from 1 as they are added; zone 0 is left empty, as the real files do.
class Stream {
 public:
  uint32_t Add(const Bytes& zone) {
    zones_.push_back(zone);
    return uint32_t(zones_.size());
  }
  // Room for a zone whose contents name zones added after it.
  uint32_t Reserve() { return Add(Bytes()); }
  void Set(uint32_t id, const Bytes& zone) { zones_[id - 1] = zone; }
  Bytes Build(uint32_t doc_info) const {
    Bytes out;
    Put32(&out, 0x0BADDEED);
    Put32(&out, 4);
    Put32(&out, 0);  // the table's place, set below
    Put16(&out, uint16_t(zones_.size() + 1));
    Put16(&out, 4);
    Put32(&out, 0);
    Put16(&out, 0);
    Put16(&out, uint16_t(doc_info));
    std::vector<std::pair<uint32_t, uint32_t>> places{{0, 0}};
    for (const Bytes& z : zones_) {
      places.push_back({uint32_t(z.size()) | 0x80000000u, uint32_t(out.size())});
      out.insert(out.end(), z.begin(), z.end());
    }
    const uint32_t table = uint32_t(out.size());
    for (int i = 0; i < 4; i++) out[8 + i] = uint8_t(table >> (8 * i));
    for (auto& p : places) {
      Put32(&out, p.first);
      Put32(&out, p.second);
    }
    return out;
  }

 private:
  std::vector<Bytes> zones_;
};

// A list of entries of one size; an empty entry is unused.
inline Bytes List(uint16_t entry_size, const std::vector<Bytes>& entries) {
  Bytes b;
  Put16(&b, 0x8001);
  Put32(&b, 0);
  Put16(&b, uint16_t(entries.size()));
  Put16(&b, 0x7FFF);
  Put16(&b, 0);
  Put16(&b, entry_size);
  Put32(&b, 0);
  for (Bytes e : entries) {
    Put16(&b, e.empty() ? 0 : 1);
    e.resize(entry_size, 0);
    b.insert(b.end(), e.begin(), e.end());
  }
  return b;
}

inline Bytes FontEntry(const std::string& face) {
  Bytes e(64, 0);
  for (size_t i = 0; i < face.size() && i < 31; i++) e[18 + i] = uint8_t(face[i]);
  return e;
}

inline void PutColor(Bytes* b, uint16_t mark, uint32_t rgb) {
  Put16(b, mark);
  for (int shift : {16, 8, 0}) Put16(b, uint16_t(((rgb >> shift) & 0xFF) * 0x101));
}

inline Bytes Scheme(const std::vector<uint32_t>& rgb) {
  Bytes b(54, 0);
  for (size_t i = 0; i < 8; i++) PutColor(&b, 0xFFFF, i < rgb.size() ? rgb[i] : 0);
  return b;
}

// The document's colours from number 0 on; zero leaves a number unused.
inline Bytes ColorTable(const std::vector<uint32_t>& rgb) {
  Bytes b(6, 0);
  Put16(&b, uint16_t(rgb.size() - 1));
  for (uint32_t c : rgb) PutColor(&b, c ? 0xFFFF : 0, c);
  return b;
}
inline Bytes ColorMenu(uint32_t table) {
  Bytes b;
  Put16(&b, 0);
  Put16(&b, 8);
  Put32(&b, table);
  b.resize(48, 0);
  return b;
}

// Rest and first-line margins of five levels, then tab stops (position, kind: 3 left).
inline Bytes Ruler(const std::vector<std::pair<int16_t, int16_t>>& levels,
                   const std::vector<std::pair<int16_t, uint16_t>>& tabs = {}) {
  Bytes b;
  for (size_t i = 0; i < 5; i++) {
    auto l = i < levels.size() ? levels[i] : std::pair<int16_t, int16_t>{0, 0};
    Put16(&b, uint16_t(l.first));
    Put16(&b, uint16_t(l.second));
  }
  Put16(&b, 3);
  Put16(&b, 576);
  Put16(&b, uint16_t(tabs.size()));
  for (auto& t : tabs) {
    Put16(&b, uint16_t(t.first));
    Put16(&b, t.second);
  }
  return b;
}

struct CharRun {
  uint32_t count;
  int16_t face = 0, size = 24;
  uint16_t style = 0;  // 1 bold, 2 italic, 4 underline
  int16_t color = 1;
};
struct ParaRun {
  uint32_t count;
  uint16_t level = 0, align = 0;  // 0 left, 1 centre, 2 right
  uint8_t bullet = 0;             // a Windows character, 0 for none
};

inline void PutFont(Bytes* b, const CharRun& c) {
  for (int16_t v : {c.face, c.size, int16_t(c.style), c.color, int16_t(0), int16_t(0)})
    Put16(b, uint16_t(v));
}
inline void PutPara(Bytes* b, const ParaRun& p) {
  b->insert(b->end(), {uint8_t(p.bullet ? 1 : 0), 0xFF, p.bullet ? p.bullet : uint8_t(0xFF), 0});
  for (int v : {-1, 100, 0, 0, int(p.level), int(p.align), 100, 20, 0, 0}) Put16(b, uint16_t(v));
}

// One text of a text zone: the ruler it takes, its switches (0x20: not centred as a block,
// 0x02: wrapped), its box, characters (paragraphs end at '\r') and runs.
inline Bytes Text(int16_t ruler, uint8_t flags, int16_t l, int16_t t, int16_t r, int16_t bottom,
                  const std::string& chars, const std::vector<CharRun>& cf,
                  const std::vector<ParaRun>& pf) {
  Bytes b;
  Put16(&b, uint16_t(ruler));
  b.insert(b.end(), {flags, 0});
  Put32(&b, 0);
  PutBox(&b, l, t, r, bottom);
  PutFont(&b, cf.empty() ? CharRun{0} : cf[0]);
  PutPara(&b, pf.empty() ? ParaRun{0} : pf[0]);
  Put16(&b, 0);
  Put32(&b, uint32_t(chars.size()));
  b.insert(b.end(), chars.begin(), chars.end());
  if (chars.size() & 1) b.push_back(0);
  Put16(&b, 0x0C);
  Put32(&b, uint32_t(chars.size()));
  Put16(&b, 16);
  Put32(&b, uint32_t(cf.size()));
  for (const CharRun& c : cf) {
    Put32(&b, c.count);
    PutFont(&b, c);
  }
  Put16(&b, 0x18);
  Put32(&b, uint32_t(chars.size()));
  Put16(&b, 28);
  Put32(&b, uint32_t(pf.size()));
  for (const ParaRun& p : pf) {
    Put32(&b, p.count);
    PutPara(&b, p);
  }
  return b;
}
inline Bytes TextZone(const std::vector<Bytes>& texts) {
  Bytes b(14, 0);
  for (const Bytes& t : texts) b.insert(b.end(), t.begin(), t.end());
  return b;
}

struct Frame {
  uint16_t type = 1;  // 0 line, 1 shape, 2 polygon, 3 arc, 4 group
  uint16_t fill = 0;  // 0 none, 1 solid, 2 background, 4 blend
  uint16_t line = 0;  // 0 none, 1 solid, 3 to 6 dashed
  uint8_t flags = 0;  // 1 text, 2 picture, 4 format, 8 and 0x10 arrows
  int16_t l = 0, t = 0, r = 0, b = 0;
  uint8_t pattern = 0, fill_color = 4, weight = 1, line_color = 1;
  int16_t shape = -3;  // -1 oval, -2 rounded, -3 rectangle, 0 and up the shape menu's;
                       // arcs: their start, in sixteenths of a degree
  int16_t sweep = 0;   // arcs: how far they turn
  uint16_t picture = 0;
  bool shadow = false;
  uint8_t shadow_color = 2;
};
inline Bytes Frames(const std::vector<Frame>& frames) {
  Bytes b;
  for (const Frame& f : frames) {
    Put16(&b, uint16_t(f.type | f.fill << 3 | f.line << 6 | (f.shadow ? 1 << 10 : 0)));
    b.insert(b.end(), {f.flags, 0x03});
    PutBox(&b, f.l, f.t, f.r, f.b);
    b.insert(b.end(), {f.pattern, f.fill_color, 0, f.weight, 0, f.line_color, 0, f.shadow_color});
    Put32(&b, 0);
    Put16(&b, uint16_t(f.shape));
    Put16(&b, uint16_t(f.sweep));
    Put16(&b, f.picture);
    Put16(&b, 0);
  }
  return b;
}

inline Bytes Polygons(const std::vector<std::pair<bool, std::vector<int16_t>>>& polygons) {
  Bytes b;
  for (auto& p : polygons) {
    Put16(&b, uint16_t(p.second.size() / 2));
    Put16(&b, p.first ? 1 : 0);
    PutBox(&b, 0, 0, 0, 0);
    for (int16_t v : p.second) Put16(&b, uint16_t(v));
  }
  return b;
}

// A slide's content; zone numbers 0 for none, frame numbers -1 for none.
inline Bytes Content(uint32_t texts, uint32_t frames, int16_t title, int16_t body,
                     bool shows_master, uint16_t scheme, uint32_t polygons = 0,
                     uint32_t formats = 0) {
  Bytes b;
  Put32(&b, texts);
  Put32(&b, frames);
  Put16(&b, 0);
  Put16(&b, 0);
  for (int16_t v : {int16_t(-1), title, body}) Put16(&b, uint16_t(v));
  b.insert(b.end(), {uint8_t(shows_master ? 3 : 2), 0});
  Put16(&b, scheme);
  b.resize(30, 0);
  Put32(&b, formats);
  Put32(&b, polygons);
  return b;
}

// The format of a frame: the shade of its blend's second colour (-10 black to 10 white) and
// its shadow's offset.
inline Bytes Format(int16_t shade, int16_t dx, int16_t dy) {
  Bytes b(10, 0);
  for (int16_t v : {shade, int16_t(0), int16_t(0), dx, dy}) Put16(&b, uint16_t(v));
  b.resize(26, 0);
  return b;
}

// A transition: its speed (0 slow, 2 fast) and the milliseconds before the next slide, -1 for
// a click.
inline Bytes Transition(uint16_t speed, int32_t advance) {
  Bytes b(4, 0);
  Put16(&b, speed);
  Put16(&b, 0);
  Put32(&b, uint32_t(advance));
  b.resize(24, 0);
  return b;
}

inline Bytes Slide(uint32_t content, uint32_t transition = 0) {
  Bytes b;
  Put32(&b, 0x4F5F0194);
  Put32(&b, transition);
  Put32(&b, content);
  Put32(&b, 0);
  b.resize(34, 0);
  return b;
}

inline Bytes SlideList(const std::vector<uint32_t>& slides) {
  Bytes b;
  Put16(&b, uint16_t(slides.size()));
  Put32(&b, 10);
  b.resize(16, 0);
  for (uint32_t s : slides) {
    b.resize(b.size() + 12, 0);
    Put32(&b, s);
  }
  return b;
}

inline Bytes Root(uint32_t slide_list) {
  Bytes b(6, 0);
  Put32(&b, slide_list);
  b.resize(22, 0);
  return b;
}

// The document's information: the page from its centre, then the zones of the root, the
// master, pictures, rulers, schemes, colours and fonts.
struct Slots {
  uint32_t root = 0, master = 0, pictures = 0, rulers = 0, schemes = 0, colors = 0, fonts = 0;
};
inline Bytes DocInfo(const Slots& s, int16_t half_w = 2880, int16_t half_h = 2160) {
  Bytes b(8, 0);
  PutBox(&b, int16_t(-half_w), int16_t(-half_h), half_w, half_h);
  PutBox(&b, int16_t(-half_h), int16_t(-half_w), half_h, half_w);
  b.resize(34, 0);
  for (uint32_t v : {s.root, 0u, s.master, 0u, 0u}) Put32(&b, v);
  b.resize(74, 0);
  for (uint32_t v : {s.pictures, s.rulers, s.schemes, s.colors, 0u, 0u, s.fonts, 0u}) Put32(&b, v);
  b.resize(146, 0);
  return b;
}

// A picture: its definition, the description it names, and the metafile that names.
inline uint32_t Picture(Stream* s, const Bytes& metafile) {
  uint32_t data = s->Add(metafile);
  Bytes desc(18, 0);
  Put16(&desc, uint16_t(data));
  Put16(&desc, 0xFFFF);
  desc.resize(60, 0);
  Bytes def(20, 0);
  Put32(&def, s->Add(desc));
  return s->Add(def);
}

}  // namespace pp40
