#pragma once
// Writes document streams laid out as PowerPoint 95 saved them, for tests and fuzz seeds: the
// records the viewer reads, with the sizes and offsets of the real files.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace pp95 {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kContainer = 0xFFFF;

inline void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; i++) b->push_back(uint8_t(v >> (8 * i)));
}
inline void Put16(Bytes* b, uint16_t v) {
  b->push_back(uint8_t(v));
  b->push_back(uint8_t(v >> 8));
}

inline Bytes Record(uint32_t type, uint32_t inst, uint32_t ref, const Bytes& body) {
  Bytes out;
  Put32(&out, type);
  Put32(&out, inst);
  Put32(&out, uint32_t(body.size()));
  Put32(&out, ref);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
inline Bytes Atom(uint32_t type, const Bytes& body, uint32_t ref = 0) {
  return Record(type, 0, ref, body);
}
inline Bytes Container(uint32_t type, const std::vector<Bytes>& kids, uint32_t ref = 0) {
  Bytes body;
  for (const Bytes& k : kids) body.insert(body.end(), k.begin(), k.end());
  return Record(type, kContainer, ref, body);
}

// A colour as the format writes it: red, green, blue, then a scheme slot or 0xFE for "these".
inline void PutColor(Bytes* b, uint8_t r, uint8_t g, uint8_t bl, uint8_t index) {
  b->insert(b->end(), {r, g, bl, index});
}

struct CharRun {
  uint32_t count;
  uint32_t size = 24;
  uint16_t style = 0;  // 1 bold, 2 italic, 4 underlined
  uint8_t r = 0, g = 0, b = 0, index = 1;
  uint16_t face = 3;  // the number the environment's font list gives a face
  int32_t escapement = 0;
};
struct Bullet {
  uint16_t flags = 0;  // 1 shown, 4 its own face, 0x10 its own colour, 0x40 its own size
  uint8_t code = 0x95;
  uint16_t face = 0;
  uint8_t r = 0, g = 0, b = 0, index = 0;
  int16_t size = 100;
};
struct ParaRun {
  uint32_t count;
  uint32_t level = 0, align = 0;  // 0 left, 1 centre, 2 right
  Bullet bullet = {};
  int32_t line_spacing = 100, space_before = 0, space_after = 0;  // percent; points below 0
};

inline Bytes StyleString(uint32_t ref, const std::vector<Bytes>& formats,
                         const std::vector<uint32_t>& counts) {
  Bytes s;
  for (size_t i = 0; i < formats.size(); i++) {
    Put32(&s, counts[i]);
    s.insert(s.end(), formats[i].begin(), formats[i].end());
  }
  return Container(0x07EC, {Atom(0x07EE, s, ref)}, ref);
}

inline Bytes CharFormat(const CharRun& c) {
  Bytes f;
  Put16(&f, c.face);
  Put16(&f, 2);
  Put32(&f, c.size);
  Put16(&f, c.style);
  PutColor(&f, c.r, c.g, c.b, c.index);
  Put16(&f, 0x12);
  Put32(&f, uint32_t(c.escapement));
  Put32(&f, 0);
  return Atom(0x0FE2, f);
}

inline Bytes ParaFormat(const ParaRun& p) {
  Bytes f;
  Put16(&f, p.bullet.flags);
  PutColor(&f, p.bullet.r, p.bullet.g, p.bullet.b, p.bullet.index);
  for (int16_t v : {int16_t(p.bullet.code), int16_t(p.bullet.face), int16_t(2), p.bullet.size})
    Put16(&f, uint16_t(v));
  f.resize(24, 0);
  Put32(&f, p.level);
  Put32(&f, p.align);
  for (int32_t v : {p.line_spacing, p.space_before, p.space_after}) Put32(&f, uint32_t(v));
  f.resize(52, 0);
  return Atom(0x0FE3, f);
}

// A text: its characters (paragraphs end at '\r'), runs, which ruler it takes, and its frame's
// switches (1 box fits the text, 4 words wrap) and anchor byte (0x13 centred top to bottom).
inline Bytes Text(const std::string& chars, const std::vector<CharRun>& cf,
                  const std::vector<ParaRun>& pf, uint32_t kind = 1, uint32_t ruler = 0,
                  uint8_t frame_flags = 0x04, uint8_t anchor = 0x03) {
  std::vector<Bytes> cformats, pformats;
  std::vector<uint32_t> ccounts, pcounts;
  for (const CharRun& c : cf) {
    cformats.push_back(CharFormat(c));
    ccounts.push_back(c.count);
  }
  for (const ParaRun& p : pf) {
    pformats.push_back(ParaFormat(p));
    pcounts.push_back(p.count);
  }
  Bytes atom;
  Put32(&atom, kind);
  Put32(&atom, 4);
  atom.resize(36, 0);
  Bytes choice;
  Put32(&choice, ruler);
  Bytes content = Container(
      0x0FE0, {Atom(0x07EE, Bytes(chars.begin(), chars.end()), 0x35),
               StyleString(0x2F, cformats, ccounts), StyleString(0x30, pformats, pcounts)});
  return Container(0x0FA1,
                   {Atom(0x0FA0, Bytes{58, 0, 0, 0, 29, 0, 0, 0, frame_flags, 0x6E, 7, 0x50, anchor,
                                       0xE0, 0x62, 0}),
                    Container(0x0FA2, {Atom(0x0FA3, atom), Atom(0x0FB5, choice), content})});
}

// An object's style: line and fill switched on or off, in scheme slots; the line's width code
// and dashes, a shadow (offset in master units) and flips (1 across, 2 upside down).
struct Look {
  uint8_t width = 0, dash = 0;
  bool shadow = false;
  int32_t shadow_dx = 48, shadow_dy = 48;
  uint8_t flips = 0;
};
inline Bytes Style(bool line, uint8_t line_slot, bool fill, uint8_t fill_slot,
                   const Look& look = {}) {
  Bytes s;
  s.push_back(line ? 0 : 1);
  s.insert(s.end(), {look.dash, 0, look.width});
  PutColor(&s, 0, 0, 0, line_slot);
  PutColor(&s, 255, 255, 255, 0xFE);
  s.push_back(fill ? 0 : 1);
  s.insert(s.end(), {1, 0, 0});
  Put32(&s, 0);
  PutColor(&s, 0, 0, 0, fill_slot);
  PutColor(&s, 0, 0, 0, 0);
  s.insert(s.end(), {uint8_t(look.shadow ? 0 : 1), 1});
  PutColor(&s, 0, 0, 0, 2);
  Put16(&s, 0);
  Put32(&s, uint32_t(look.shadow_dx));
  Put32(&s, uint32_t(look.shadow_dy));
  s.resize(52, 0);
  s.push_back(look.flips);
  s.resize(56, 0);
  return Atom(0x0BBD, s, 0);
}

// A straight line between two points from the slide's centre, with arrowheads at its ends
// where `arrows` names them (start, end; 0 none).
inline Bytes Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const Bytes& style,
                  std::pair<uint8_t, uint8_t> arrows = {0, 0}) {
  Bytes atom;
  for (int32_t v : {x1, y1, x2, y2}) Put32(&atom, uint32_t(v));
  return Container(0x0BC6, {Atom(0x0BC7, atom), Atom(0x0BBF, {arrows.first, arrows.second}), style},
                   0x13);
}

// An object at a rectangle from the slide's centre; kind 0xFFFFFFFD a rectangle, 0xFFFFFFFF an
// ellipse.
inline Bytes Object(int32_t l, int32_t t, int32_t r, int32_t b, const Bytes& style,
                    const Bytes& text = Bytes(), uint32_t kind = 0xFFFFFFFD, int placeholder = -1,
                    int picture = -1) {
  Bytes atom;
  Put32(&atom, kind);
  Put32(&atom, 0);
  Put32(&atom, 0);
  for (int32_t v : {l, t, r, b}) Put32(&atom, uint32_t(v));
  atom.resize(40, 0);
  std::vector<Bytes> kids;
  if (placeholder >= 0) {
    Bytes ph(8, 0);
    ph[0] = uint8_t(placeholder);
    kids.push_back(Atom(0x0BC3, ph));
  }
  kids.push_back(Atom(0x0BC1, atom));
  kids.push_back(style);
  if (!text.empty()) kids.push_back(text);
  if (picture >= 0) {
    Bytes index;
    Put32(&index, uint32_t(picture));
    kids.push_back(Container(
        0x0FAE, {Atom(0x0FAF, Bytes(16, 0)), Container(0x0FD5, {Atom(0x0FC4, index)})}, 0x1F));
  }
  return Container(placeholder >= 0 ? 0x0BC2 : 0x0BC0, kids, 0x13);
}

inline Bytes Polyline(const std::vector<std::pair<int32_t, int32_t>>& pts, const Bytes& style) {
  int32_t l = pts[0].first, t = pts[0].second, r = l, b = t;
  for (auto& p : pts) {
    l = std::min(l, p.first);
    r = std::max(r, p.first);
    t = std::min(t, p.second);
    b = std::max(b, p.second);
  }
  Bytes atom;
  for (int32_t v : {l, t, r, b}) Put32(&atom, uint32_t(v));
  atom.resize(40, 0);
  Bytes points;
  Put16(&points, uint16_t(pts.size()));
  for (auto& p : pts) {
    Put32(&points, uint32_t(p.first));
    Put32(&points, uint32_t(p.second));
  }
  // The points are the body of a record marked as a container, as the real files have them.
  return Container(
      0x0BC8,
      {Atom(0x0BC9, atom), style, Atom(0x0BBF, {0, 4}), Record(0x0BDB, kContainer, 0, points)},
      0x13);
}

inline Bytes Scheme(const std::vector<uint32_t>& rgb) {
  Bytes s;
  Put32(&s, uint32_t(rgb.size()));
  for (uint32_t c : rgb) PutColor(&s, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0);
  return Container(0x03F4, {Atom(0x07EF, s, 0x78)}, 0x78);
}

// A slide (or, by type, a master) with its own number and that of the master it follows.
inline Bytes Slide(const std::vector<Bytes>& objects, const Bytes& scheme, uint32_t type = 0x03EE,
                   uint32_t id = 0, uint32_t master = 0) {
  Bytes atom;
  Put32(&atom, id);
  Put32(&atom, master);
  return Container(type, {Atom(0x03EF, atom), scheme, Container(0x0BB8, objects, 0x14)}, 0x10);
}

struct Face {
  std::string name;
  uint8_t number = 0, charset = 0;
};

// A font list entry, followed by the number runs name it by where `numbered`.
inline std::vector<Bytes> FontEntry(const Face& face, bool numbered) {
  Bytes font(60, 0);
  for (size_t i = 0; i < face.name.size() && i < 31; i++) font[28 + i] = uint8_t(face.name[i]);
  font[23] = face.charset;
  std::vector<Bytes> out{Record(0x0FB6, kContainer, 9, Atom(0x0FB7, font)), Atom(0x0FCA, {})};
  if (numbered) out.push_back(Atom(0x07E1, {}, face.number));
  return out;
}

// The environment: its faces (the first unnumbered when alone, as some files have it), the
// rulers given as (margin, indent) per level, and pictures (metafiles).
inline Bytes Environment(const std::vector<Face>& faces,
                         const std::vector<std::vector<std::pair<int32_t, int32_t>>>& rulers,
                         const std::vector<Bytes>& pictures = {}) {
  std::vector<Bytes> font_list;
  for (const Face& f : faces)
    for (Bytes& b : FontEntry(f, faces.size() > 1)) font_list.push_back(std::move(b));
  std::vector<Bytes> ruler_entries;
  for (const auto& levels : rulers) {
    Bytes r;
    for (auto& l : levels) {
      Put32(&r, uint32_t(l.first));
      Put32(&r, uint32_t(l.second));
    }
    r.resize(52, 0);
    ruler_entries.push_back(Container(0x0FE5, {Atom(0x0FB3, r)}, 9));
  }
  std::vector<Bytes> picture_entries;
  for (const Bytes& p : pictures)
    picture_entries.push_back(Container(
        0x0FBC, {Container(0x0FC5, {Atom(0x0FC6, Bytes(20, 0)), Atom(0x0FC1, p)}, 9)}, 9));
  return Container(0x03F2,
                   {Container(0x07D5, font_list), Container(0x07D6, picture_entries, 0x17),
                    Container(0x0FB0, ruler_entries, 0x18)},
                   0x15);
}

inline Bytes Document(const Bytes& environment, const std::vector<Bytes>& slides,
                      const Bytes& master, int32_t width = 5760, int32_t height = 4320,
                      const Bytes& title_master = {}) {
  Bytes atom;
  Put32(&atom, uint32_t(width));
  Put32(&atom, uint32_t(height));
  atom.resize(44, 0);
  Bytes count;
  Put32(&count, uint32_t(slides.size()));
  std::vector<Bytes> slide_list{Atom(0x07D1, count)};
  slide_list.insert(slide_list.end(), slides.begin(), slides.end());
  Bytes one;
  Put32(&one, 1);
  std::vector<Bytes> master_list{Atom(0x07D1, one)};
  if (!master.empty()) master_list.push_back(master);
  if (!title_master.empty()) master_list.push_back(title_master);
  return Container(0x0003, {Container(0x03E8, {Atom(0x03E9, atom), environment,
                                               Container(0x07D0, slide_list, 0xA),
                                               Container(0x07D0, master_list, 0xB)})});
}

}  // namespace pp95
