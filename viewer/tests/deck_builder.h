#pragma once
// Writes small presentations in the binary format for tests: a compound file with a document,
// one master and slides with a background colour, a text box and show settings, plus the damage
// that real files come with (incremental saves, broken edit chains, encryption, old versions).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace deck {

using Bytes = std::vector<uint8_t>;

// An action setting as the interactive-info atom stores it.
struct LinkSpec {
  uint8_t action = 0;  // 3: jump, 4: hyperlink, 2: run a program, 1: macro
  uint8_t jump = 0;    // 1 next .. 6 end show
  uint8_t link_type = 0xFF;
  uint32_t hyperlink_id = 0;
  uint32_t sound_id = 0;
};

// A per-shape build as the animation-info atom stores it.
struct AnimSpec {
  bool on = false;
  int16_t order = 1;
  bool automatic = false, reverse = false;
  int32_t delay_ms = 0;
  uint8_t build_type = 1;  // 1: the shape at once; 2..6: by paragraphs down to level 1..5
  uint8_t effect = 0, direction = 0, after = 0;
  uint32_t dim = 0;
  uint32_t sound_id = 0;
};

struct TextLinkSpec {
  uint32_t begin = 0, end = 0;  // characters of the stored text
  LinkSpec link;
  bool over = false;
};

// A rectangle with an optional text (paragraphs separated by '\r', with their indent levels).
struct ShapeSpec {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // master units
  uint32_t fill = 0x808080;
  std::string text;
  std::vector<uint16_t> levels;  // per paragraph, zero-based
  AnimSpec anim;
  LinkSpec click, over;
  bool has_click = false, has_over = false;
  std::vector<TextLinkSpec> text_links;
  bool group = false;  // wrapped alone in an animated/linked group carrying anim and click
};

// A small box at `left`, 800 master units square, on the row where the show tests look.
inline ShapeSpec SmallBox(int32_t left, const std::string& text = "") {
  ShapeSpec s;
  s.left = left;
  s.top = 2500;
  s.right = left + 800;
  s.bottom = 3300;
  s.text = text;
  return s;
}

struct SlideSpec {
  uint32_t background = 0xFFFFFF;  // 0xBBGGRR as the format stores colours
  std::string text;
  bool hidden = false;
  int advance_ms = -1;  // >= 0: advance automatically after this time
  // Further shape or group containers (see Shape and Group below), drawn after the text box.
  std::vector<std::vector<uint8_t>> containers = {};
  // When not empty, the background's drawing properties instead of a solid `background`.
  std::vector<std::pair<uint16_t, uint32_t>> background_props = {};
  // The text box's further records (style runs, ruler, fields), its drawing properties and the
  // records of its client data (programmable tags).
  std::vector<std::vector<uint8_t>> text_records = {};
  std::vector<std::pair<uint16_t, uint32_t>> text_props = {};
  std::vector<std::vector<uint8_t>> client_data = {};
  uint32_t text_type = 4;  // as the text header gives it: 4 other, 0 title, 1 body...
  std::vector<ShapeSpec> shapes = {};
  // The slide's transition: written when effect >= 0.
  int effect = -1;
  uint8_t direction = 0, speed = 2;
  uint32_t sound_id = 0;
  bool loop_sound = false, stop_sound = false;
  std::vector<std::vector<uint8_t>> slide_records = {};  // further records of the slide container
  std::u16string wide_text = {};  // instead of `text`, for characters beyond one byte
};

struct HyperlinkSpec {
  uint32_t id = 0;
  std::string target, location;
};

struct SoundSpec {
  uint32_t id = 0;
  std::string name;
  std::vector<uint8_t> data;
};

struct DeckSpec {
  std::vector<SlideSpec> slides;
  int32_t width = 5760, height = 4320;
  bool use_timings = false, loop = false, kiosk = false, no_animation = false;
  std::vector<HyperlinkSpec> hyperlinks;
  std::vector<SoundSpec> sounds;
  // Persist ids are given to slides in this order; the slide list keeps the order of `slides`.
  std::vector<int> persist_order;
  bool incremental = false;     // a second save replaces the first slide's text with "edited"
  bool broken_pointer = false;  // the current-user record points into the middle of a record
  bool chain_loop = false;      // the newest edit names itself as its predecessor
  bool encrypted = false;
  bool old_format = false;
  // Saved for PowerPoint 95 and 97 at once: the old streams at the top, the deck in a storage.
  bool dual_storage = false;
  // Text style records (whole records) in the document's environment and on the master.
  std::vector<Bytes> doc_text_styles, master_text_styles;
  // Complete picture records for the picture store. Unless slide_pictures is given, each is shown
  // on the first slide as picture number i + 1.
  std::vector<Bytes> pictures;
  std::vector<std::vector<int>> slide_pictures;  // per slide: the one-based pictures it shows
  bool picture_stream = false;  // pictures in a stream of their own, as PowerPoint saves them
  bool scattered = false;       // large streams' sectors interleaved instead of in one run
  std::vector<Bytes> shapes;    // further shape containers on the first slide, after its text
  // Further records of the document container (headers and footers).
  std::vector<Bytes> doc_records;
  // The drawing properties every shape of the file starts from (the drawing group's), and
  // further shape containers on the master.
  std::vector<std::pair<uint16_t, uint32_t>> drawing_defaults;
  std::vector<Bytes> master_shapes;
  // Faces after the document's first (Arial, font 0), with their character sets.
  std::vector<std::pair<std::string, uint8_t>> fonts;
};

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline Bytes Rec(uint16_t type, const Bytes& body, uint16_t inst = 0, uint16_t ver = 0) {
  Bytes b;
  Put16(b, uint16_t(ver | (inst << 4)));
  Put16(b, type);
  Put32(b, uint32_t(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
inline Bytes Box(uint16_t type, const std::vector<Bytes>& kids, uint16_t inst = 0) {
  Bytes body;
  for (const Bytes& k : kids) body.insert(body.end(), k.begin(), k.end());
  return Rec(type, body, inst, 0xF);
}
inline Bytes Words(std::initializer_list<uint32_t> v) {
  Bytes b;
  for (uint32_t x : v) Put32(b, x);
  return b;
}

inline Bytes Fopt(const std::vector<std::pair<uint16_t, uint32_t>>& props) {
  Bytes b;
  for (auto& p : props) {
    Put16(b, p.first);
    Put32(b, p.second);
  }
  return Rec(0xF00B, b, uint16_t(props.size()), 3);
}

inline Bytes Fsp(uint16_t type, uint32_t id, uint32_t flags) {
  return Rec(0xF00A, Words({id, flags}), type, 2);
}

// Drawing properties with complex parts: each `complex` entry's bytes follow all the entries.
inline Bytes FoptWith(const std::vector<std::pair<uint16_t, uint32_t>>& props,
                      const std::vector<std::pair<uint16_t, Bytes>>& complex) {
  Bytes b, tail;
  for (auto& p : props) {
    Put16(b, p.first);
    Put32(b, p.second);
  }
  for (auto& c : complex) {
    Put16(b, uint16_t(c.first | 0x8000));
    Put32(b, uint32_t(c.second.size()));
    tail.insert(tail.end(), c.second.begin(), c.second.end());
  }
  b.insert(b.end(), tail.begin(), tail.end());
  return Rec(0xF00B, b, uint16_t(props.size() + complex.size()), 3);
}

// A shape on a slide (`child`: inside a group, anchored in the group's coordinates).
inline Bytes Shape(uint16_t type, const std::vector<std::pair<uint16_t, uint32_t>>& props,
                   int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t flags = 0,
                   bool child = false,
                   const std::vector<std::pair<uint16_t, Bytes>>& complex = {}) {
  static uint32_t id = 0x800;
  Bytes anchor =
      child
          ? Rec(0xF00F, Words({uint32_t(left), uint32_t(top), uint32_t(right), uint32_t(bottom)}))
          : Rec(0xF010, Words({uint32_t(top), uint32_t(left), uint32_t(right), uint32_t(bottom)}));
  return Box(0xF004, {Fsp(type, id++, 0xA00 | flags), FoptWith(props, complex), anchor});
}

// A group: its own shape (with the child coordinate space, anchor, flips and rotation), then
// its children.
inline Bytes Group(const std::vector<Bytes>& children, int32_t left, int32_t top, int32_t right,
                   int32_t bottom, const Bytes& space,
                   const std::vector<std::pair<uint16_t, uint32_t>>& props = {}, uint32_t flags = 0,
                   bool child = false) {
  Bytes self = Shape(0, props, left, top, right, bottom, 0x1 | flags, child);
  // The group's coordinate space goes in front of its other records.
  Bytes own = Box(0xF004, {Rec(0xF009, space, 0, 1), Bytes(self.begin() + 8, self.end())});
  std::vector<Bytes> kids{own};
  kids.insert(kids.end(), children.begin(), children.end());
  return Box(0xF003, kids);
}

inline Bytes CStringRec(const std::string& text, uint16_t inst) {
  Bytes b;
  for (char c : text) Put16(b, uint8_t(c));
  return Rec(0x0FBA, b, inst);
}

inline Bytes Interactive(const LinkSpec& l, uint16_t inst) {
  Bytes a = Words({l.sound_id, l.hyperlink_id});
  a.push_back(l.action);
  a.push_back(0);
  a.push_back(l.jump);
  a.push_back(0);
  a.push_back(l.link_type);
  a.resize(16, 0);
  return Box(0x0FF2, {Rec(0x0FF3, a)}, inst);
}

inline Bytes Animation(const AnimSpec& a) {
  Bytes b =
      Words({a.dim, uint32_t((a.reverse ? 1 : 0) | (a.automatic ? 4 : 0) | (a.sound_id ? 0x10 : 0)),
             a.sound_id, uint32_t(a.delay_ms)});
  Put16(b, uint16_t(a.order));
  Put16(b, 1);
  for (uint8_t v : {a.build_type, a.effect, a.direction, a.after, uint8_t(0), uint8_t(0),
                    uint8_t(0), uint8_t(0)})
    b.push_back(v);
  return Box(0x1014, {Rec(0x0FF1, b, 0, 1)});
}

inline Bytes ShapeRecord(const ShapeSpec& sh, uint32_t id) {
  std::vector<Bytes> kids{
      Fsp(1, id, 0xA00), Fopt({{0x0181, sh.fill}, {0x01BF, 0x00100010}, {0x01FF, 0x00080000}}),
      Rec(0xF010,
          Words({uint32_t(sh.top), uint32_t(sh.left), uint32_t(sh.right), uint32_t(sh.bottom)}))};
  std::vector<Bytes> data;
  if (!sh.group) {
    if (sh.has_click) data.push_back(Interactive(sh.click, 0));
    if (sh.has_over) data.push_back(Interactive(sh.over, 1));
    if (sh.anim.on) data.push_back(Animation(sh.anim));
  }
  if (!data.empty()) kids.push_back(Box(0xF011, data));
  if (!sh.text.empty()) {
    Bytes chars;
    for (char c : sh.text) Put16(chars, uint8_t(c));
    std::vector<Bytes> box{Rec(0x0F9F, Words({4})), Rec(0x0FA0, chars)};
    if (!sh.levels.empty()) {
      // One paragraph run per paragraph, no properties; one character run over everything.
      Bytes style;
      size_t start = 0;
      for (size_t i = 0; i < sh.levels.size(); i++) {
        size_t end = sh.text.find('\r', start);
        bool last = end == std::string::npos || i + 1 == sh.levels.size();
        uint32_t count = uint32_t(last ? sh.text.size() + 1 - start : end + 1 - start);
        Put32(style, count);
        Put16(style, sh.levels[i]);
        Put32(style, 0);
        if (last) break;
        start = end + 1;
      }
      Put32(style, uint32_t(sh.text.size() + 1));
      Put32(style, 0);
      box.push_back(Rec(0x0FA1, style));
    }
    for (const TextLinkSpec& t : sh.text_links) {
      box.push_back(Interactive(t.link, t.over ? 1 : 0));
      box.push_back(Rec(0x0FDF, Words({t.begin, t.end})));
    }
    kids.push_back(Box(0xF00D, box));
  }
  Bytes sp = Box(0xF004, kids);
  if (!sh.group) return sp;
  std::vector<Bytes> gdata;
  if (sh.has_click) gdata.push_back(Interactive(sh.click, 0));
  if (sh.anim.on) gdata.push_back(Animation(sh.anim));
  Bytes gsp = Box(0xF004, {Rec(0xF009, Words({0, 0, 100, 100}), 0, 1), Fsp(0, id + 0x100, 0x201),
                           Rec(0xF010, Words({uint32_t(sh.top), uint32_t(sh.left),
                                              uint32_t(sh.right), uint32_t(sh.bottom)})),
                           Box(0xF011, gdata)});
  Bytes inner = Box(0xF004, {Fsp(1, id, 0xA02), Fopt({{0x0181, sh.fill}, {0x01BF, 0x00100010}}),
                             Rec(0xF00F, Words({0, 0, 100, 100}))});
  return Box(0xF003, {gsp, inner});
}

inline Bytes Drawing(const SlideSpec* slide, bool master, const std::vector<int>& pictures = {},
                     const std::vector<Bytes>* shapes = nullptr) {
  std::vector<Bytes> group{
      Box(0xF004, {Rec(0xF009, Words({0, 0, 0, 0}), 0, 1), Fsp(0, 0x400, 0x005)})};
  if (slide && (!slide->text.empty() || !slide->wide_text.empty())) {
    Bytes chars;
    for (char c : slide->text) Put16(chars, uint8_t(c));
    for (char16_t c : slide->wide_text) Put16(chars, c);
    std::vector<std::pair<uint16_t, uint32_t>> props{{0x01BF, 0x00100000}, {0x01FF, 0x00080000}};
    props.insert(props.end(), slide->text_props.begin(), slide->text_props.end());
    std::vector<Bytes> box{Rec(0x0F9F, Words({slide->text_type})), Rec(0x0FA0, chars)};
    box.insert(box.end(), slide->text_records.begin(), slide->text_records.end());
    std::vector<Bytes> shape{Fsp(202, 0x401, 0xA00), Fopt(props),
                             Rec(0xF010, Words({1000, 500, 5000, 2000}))};
    if (!slide->client_data.empty()) shape.push_back(Box(0xF011, slide->client_data));
    shape.push_back(Box(0xF00D, box));
    group.push_back(Box(0xF004, shape));
  }
  if (slide) group.insert(group.end(), slide->containers.begin(), slide->containers.end());
  if (shapes) group.insert(group.end(), shapes->begin(), shapes->end());
  for (size_t i = 0; i < pictures.size(); i++)
    group.push_back(
        Box(0xF004, {Fsp(75, uint32_t(0x410 + i), 0xA00), Fopt({{0x4104, uint32_t(pictures[i])}}),
                     Rec(0xF010, Words({2000, 1000, 3000, 3000}))}));
  if (slide)
    for (size_t i = 0; i < slide->shapes.size(); i++)
      group.push_back(ShapeRecord(slide->shapes[i], uint32_t(0x420 + i)));
  uint32_t bg = slide ? slide->background : 0xFFFFFF;
  std::vector<std::pair<uint16_t, uint32_t>> bg_props{{0x0181, bg}, {0x0180, 0}};
  if (slide && !slide->background_props.empty()) bg_props = slide->background_props;
  Bytes background = Box(0xF004, {Fsp(1, 0x402, 0xC00), Fopt(bg_props)});
  Bytes dg = Box(0xF002, {Rec(0xF008, Words({2, 0x402}), 1, 0), Box(0xF003, group), background});
  (void)master;
  return Box(0x040C, {dg});
}

// Text records. A style atom with one paragraph run and one character run over `count`
// characters; `para` and `chars` are the props after their masks.
inline Bytes StyleTextProp(uint32_t count, uint16_t level, uint32_t para_mask, const Bytes& para,
                           uint32_t char_mask, const Bytes& chars) {
  Bytes b;
  Put32(b, count);
  Put16(b, level);
  Put32(b, para_mask);
  b.insert(b.end(), para.begin(), para.end());
  Put32(b, count);
  Put32(b, char_mask);
  b.insert(b.end(), chars.begin(), chars.end());
  return Rec(0x0FA1, b);
}

// A field standing in for the character at `pos`: slide number 0x0FD8, date 0x0FF7 (with its
// format), header 0x0FF9, footer 0x0FFA.
inline Bytes FieldAtom(uint16_t type, uint32_t pos, uint8_t format = 0) {
  Bytes b = Words({pos});
  if (type == 0x0FF7) b.insert(b.end(), {format, 0, 0, 0});
  return Rec(type, b);
}

inline Bytes Ppt9Tag(const Bytes& data) {
  Bytes name;
  for (char c : std::string("___PPT9")) Put16(name, uint8_t(c));
  return Box(0x138A, {Rec(0x0FBA, name), Rec(0x138B, data)});
}

// A shape's programmable tag with extended paragraph props: per entry automatic numbering in
// `scheme` from `start` (scheme < 0: no number).
inline Bytes NumberingTag(const std::vector<std::pair<int, int>>& entries) {
  Bytes atom;
  for (auto& e : entries) {
    if (e.first < 0) {
      Put32(atom, 0);
    } else {
      Put32(atom, 0x03000000);
      Put16(atom, 1);
      Put16(atom, uint16_t(e.first));
      Put16(atom, uint16_t(e.second));
    }
    Put32(atom, 0);  // character props
    Put32(atom, 0);  // special info
  }
  return Box(0x1388, {Ppt9Tag(Rec(0x0FAC, atom))});
}

// A shape's tag giving its first paragraph the document's picture bullet number `blip`.
inline Bytes PictureBulletTag(uint16_t blip) {
  Bytes atom;
  Put32(atom, 0x00800000);
  Put16(atom, blip);
  Put32(atom, 0);
  Put32(atom, 0);
  return Box(0x1388, {Ppt9Tag(Rec(0x0FAC, atom))});
}

// The document's tag with the pictures bullets are drawn with (complete picture records).
inline Bytes BulletPictures(const std::vector<Bytes>& blips) {
  std::vector<Bytes> entities;
  for (const Bytes& b : blips) {
    Bytes e{0x06, 0x00};
    e.insert(e.end(), b.begin(), b.end());
    entities.push_back(Rec(0x07F9, e));
  }
  return Box(0x1388, {Ppt9Tag(Box(0x07F8, entities))});
}

inline Bytes SlideAtom(uint32_t master_id, uint16_t flags) {
  Bytes b = Words({0, 0, 0, master_id, 0});
  Put16(b, flags);
  Put16(b, 0);
  return Rec(0x03EF, b, 0, 2);
}

inline Bytes SlideRecord(const SlideSpec& s, const std::vector<int>& pictures = {},
                         const std::vector<Bytes>* shapes = nullptr) {
  std::vector<Bytes> kids{SlideAtom(0x80000000, 0x3)};
  if (s.hidden || s.advance_ms >= 0 || s.effect >= 0) {
    uint16_t flags =
        uint16_t((s.hidden ? 0x4 : 0) | (s.advance_ms >= 0 ? 0x400 : 0x1) |
                 (s.sound_id ? 0x10 : 0) | (s.loop_sound ? 0x40 : 0) | (s.stop_sound ? 0x100 : 0));
    Bytes info = Words({uint32_t(s.advance_ms < 0 ? 0 : s.advance_ms), s.sound_id});
    info.push_back(s.direction);
    info.push_back(uint8_t(s.effect < 0 ? 0 : s.effect));
    Put16(info, flags);
    Put32(info, s.speed);
    kids.push_back(Rec(0x03F9, info));
  }
  kids.push_back(Drawing(&s, false, pictures, shapes));
  kids.insert(kids.end(), s.slide_records.begin(), s.slide_records.end());
  return Box(0x03EE, kids);
}

inline Bytes CompoundFile(const std::vector<std::pair<std::string, Bytes>>& streams,
                          bool scattered = false);

inline Bytes CurrentUser(uint32_t offset, bool encrypted) {
  Bytes b = Words({0x14, encrypted ? 0xF3D1C4DFu : 0xE391C05Fu, offset});
  Put16(b, 0);
  Put16(b, 0x03F4);
  b.push_back(3);
  b.push_back(0);
  Put16(b, 0);
  Put32(b, 8);
  return Rec(0x0FF6, b);
}

inline Bytes Build(const DeckSpec& plan) {
  if (plan.old_format) {
    Bytes doc = Rec(0x03E8, Bytes(16, 0), 0, 0xF);
    return CompoundFile({{"PowerPoint Document", doc},
                         {"PersistentStorage Directory", Bytes(64, 0)},
                         {"Header", Bytes(57, 0)}});
  }
  const size_t n = plan.slides.size();
  std::vector<int> order = plan.persist_order;
  if (order.size() != n) {
    order.clear();
    for (size_t i = 0; i < n; i++) order.push_back(int(i));
  }
  // Persist ids: 1 document, 2 master, 3.. slides in `order`.
  std::map<int, uint32_t> persist_of_slide;
  for (size_t k = 0; k < n; k++) persist_of_slide[order[k]] = uint32_t(3 + k);

  Bytes atom = Words({uint32_t(plan.width), uint32_t(plan.height), 4320, 5760, 1, 2, 1, 2, 0, 0});
  Put16(atom, 1);
  Put16(atom, 0);
  Put32(atom, 0);
  std::vector<Bytes> font_list;
  std::vector<std::pair<std::string, uint8_t>> faces{{"Arial", 0}};
  faces.insert(faces.end(), plan.fonts.begin(), plan.fonts.end());
  for (const auto& [face, charset] : faces) {
    Bytes font(68, 0);
    for (size_t i = 0; i < face.size() && i < 31; i++) font[i * 2] = uint8_t(face[i]);
    font[64] = charset;
    font_list.push_back(Rec(0x0FB7, font, uint16_t(font_list.size())));
  }
  Bytes masters = Box(0x0FF0, {Rec(0x03F3, Words({2, 0, 0, 0x80000000, 0}))}, 1);
  std::vector<Bytes> list;
  for (size_t i = 0; i < n; i++)
    list.push_back(Rec(0x03F3, Words({persist_of_slide[int(i)], 0, 0, uint32_t(256 + i), 0})));
  std::vector<Bytes> environment{Box(0x07D5, font_list)};
  environment.insert(environment.end(), plan.doc_text_styles.begin(), plan.doc_text_styles.end());
  std::vector<Bytes> doc_kids{Rec(0x03E9, atom, 0, 1), Box(0x03F2, environment), masters,
                              Box(0x0FF0, list, 0)};
  if (!plan.hyperlinks.empty()) {
    std::vector<Bytes> objs{Rec(0x040A, Words({uint32_t(plan.hyperlinks.size())}))};
    for (const HyperlinkSpec& h : plan.hyperlinks) {
      std::vector<Bytes> k{Rec(0x0FD3, Words({h.id})), CStringRec(h.target, 0)};
      if (!h.target.empty()) k.push_back(CStringRec(h.target, 1));
      if (!h.location.empty()) k.push_back(CStringRec(h.location, 3));
      objs.push_back(Box(0x0FD7, k));
    }
    doc_kids.push_back(Box(0x0409, objs));
  }
  if (!plan.sounds.empty()) {
    std::vector<Bytes> snd{Rec(0x07E5, Words({uint32_t(plan.sounds.size() + 1)}))};
    for (const SoundSpec& so : plan.sounds)
      snd.push_back(Box(0x07E6, {CStringRec(so.name, 0), CStringRec(".wav", 1),
                                 CStringRec(std::to_string(so.id), 2), Rec(0x07E7, so.data)}));
    doc_kids.push_back(Box(0x07E4, snd));
  }
  if (plan.use_timings || plan.loop || plan.kiosk || plan.no_animation) {
    Bytes info = Words({0, 0});
    Put16(info, 0);
    Put16(info, 0);
    info.resize(info.size() + 64, 0);
    Put16(info, uint16_t((plan.use_timings ? 0x01 : 0) | (plan.loop ? 0x80 : 0) |
                         (plan.no_animation ? 0x02 : 0) | (plan.kiosk ? 0x20 : 0)));
    Put16(info, 0);
    doc_kids.push_back(Rec(0x0401, info, 0, 1));
  }
  Bytes picture_stream;
  std::vector<Bytes> dgg;
  if (!plan.drawing_defaults.empty()) dgg.push_back(Fopt(plan.drawing_defaults));
  if (!plan.pictures.empty()) {
    std::vector<Bytes> entries;
    for (const Bytes& blip : plan.pictures) {
      Bytes fbse(36, 0);
      fbse[0] = fbse[1] = 6;  // PNG
      uint32_t size = uint32_t(blip.size());
      for (int i = 0; i < 4; i++) fbse[20 + i] = uint8_t(size >> (8 * i));
      fbse[24] = 1;
      if (plan.picture_stream) {
        uint32_t delay = uint32_t(picture_stream.size());
        for (int i = 0; i < 4; i++) fbse[28 + i] = uint8_t(delay >> (8 * i));
        picture_stream.insert(picture_stream.end(), blip.begin(), blip.end());
      } else {
        fbse.insert(fbse.end(), blip.begin(), blip.end());
      }
      entries.push_back(Rec(0xF007, fbse, 6, 2));
    }
    dgg.push_back(Box(0xF001, entries, uint16_t(entries.size())));
  }
  if (!dgg.empty()) doc_kids.push_back(Box(0x040B, {Box(0xF000, dgg)}));
  doc_kids.insert(doc_kids.end(), plan.doc_records.begin(), plan.doc_records.end());
  doc_kids.push_back(Rec(0x03EA, {}));

  Bytes scheme =
      Words({0xFFFFFF, 0x000000, 0x808080, 0x000000, 0xE3E0BB, 0x993333, 0x999900, 0x00CC99});
  std::vector<Bytes> master_kids{SlideAtom(0, 0), Rec(0x07F0, scheme, 1)};
  master_kids.insert(master_kids.end(), plan.master_text_styles.begin(),
                     plan.master_text_styles.end());
  master_kids.push_back(Drawing(nullptr, true, {}, &plan.master_shapes));
  Bytes master = Box(0x03F8, master_kids);

  Bytes doc;
  std::map<uint32_t, uint32_t> offsets;
  auto add = [&](uint32_t id, const Bytes& rec) {
    if (id) offsets[id] = uint32_t(doc.size());
    doc.insert(doc.end(), rec.begin(), rec.end());
  };
  add(1, Box(0x03E8, doc_kids));
  add(2, master);
  std::vector<int> all;
  for (size_t i = 0; i < plan.pictures.size(); i++) all.push_back(int(i + 1));
  for (size_t k = 0; k < n; k++) {
    size_t slide = size_t(order[k]);
    std::vector<int> shown = slide == 0 ? all : std::vector<int>();
    if (!plan.slide_pictures.empty())
      shown = slide < plan.slide_pictures.size() ? plan.slide_pictures[slide] : std::vector<int>();
    add(uint32_t(3 + k),
        SlideRecord(plan.slides[slide], shown, slide == 0 ? &plan.shapes : nullptr));
  }
  Bytes dir = Words({1u | (uint32_t(offsets.size()) << 20)});
  for (auto& o : offsets) Put32(dir, o.second);
  uint32_t dir_offset = uint32_t(doc.size());
  add(0, Rec(0x1772, dir));
  uint32_t edit_offset = uint32_t(doc.size());
  auto edit = [&](uint32_t last, uint32_t dir_at, uint32_t self) {
    Bytes e = Words({256, 0x03000000, plan.chain_loop ? self : last, dir_at, 1, uint32_t(3 + n)});
    Put16(e, 1);
    Put16(e, 0);
    return Rec(0x0FF5, e);
  };
  add(0, edit(0, dir_offset, edit_offset));
  if (plan.incremental && n > 0) {
    SlideSpec changed = plan.slides[0];
    changed.text = "edited";
    uint32_t id = persist_of_slide[0];
    uint32_t slide_at = uint32_t(doc.size());
    add(0, SlideRecord(changed));
    uint32_t dir2 = uint32_t(doc.size());
    add(0, Rec(0x1772, Words({id | (1u << 20), slide_at})));
    uint32_t prev = edit_offset;
    edit_offset = uint32_t(doc.size());
    add(0, edit(prev, dir2, edit_offset));
  }
  uint32_t pointer = plan.broken_pointer ? 5 : edit_offset;
  std::vector<std::pair<std::string, Bytes>> streams{
      {"Current User", CurrentUser(pointer, plan.encrypted)}, {"PowerPoint Document", doc}};
  if (plan.encrypted) streams.push_back({"EncryptedSummary", Bytes(64, 0)});
  if (!picture_stream.empty()) streams.push_back({"Pictures", picture_stream});
  if (plan.dual_storage) {
    for (auto& st : streams) st.first = "PP97_DUALSTORAGE/" + st.first;
    // What an old version reads: its own document, edits and a user name without a record.
    Bytes user = Words({4});
    for (char c : std::string("user")) user.push_back(uint8_t(c));
    streams.insert(streams.begin(), {{"PowerPoint Document", Bytes(600, 0)},
                                     {"PersistentStorage Directory", Bytes(62, 0)},
                                     {"Current User", user},
                                     {"Header", Bytes(57, 0)}});
  }
  return CompoundFile(streams, plan.scattered);
}

// A version 3 compound file with 512-byte sectors; streams under 4096 bytes go into the mini
// stream as the container requires. `scattered`: the large streams' sectors are stored out of
// order, so none of them lies in one run.
inline void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}

// Directory entry fields of a compound file.
namespace cfb_entry {
constexpr size_t kSize = 128, kNameBytes = 64, kType = 66, kColor = 67, kLinks = 68;
constexpr size_t kStart = 116, kStreamSize = 120, kMaxNameUnits = 31;
constexpr uint8_t kStream = 2, kRoot = 5, kRed = 0, kBlack = 1;
constexpr uint32_t kNoLink = 0xFFFFFFFF;
}  // namespace cfb_entry

// One directory entry: its name, type and colour, its right sibling and child (no left ones),
// its first sector and size.
inline Bytes DirEntry(const std::string& name, uint8_t type, uint32_t child, uint32_t right,
                      uint32_t first, uint32_t size, uint8_t color = cfb_entry::kBlack) {
  using namespace cfb_entry;
  Bytes e(kSize, 0);
  for (size_t i = 0; i < name.size() && i < kMaxNameUnits; i++) e[i * 2] = uint8_t(name[i]);
  e[kNameBytes] = uint8_t((name.size() + 1) * 2);
  e[kType] = type;
  e[kColor] = color;
  const uint32_t links[3] = {kNoLink, right, child};
  for (int k = 0; k < 3; k++) Set32(e, kLinks + k * 4, links[k]);
  Set32(e, kStart, first);
  Set32(e, kStreamSize, size);
  return e;
}

inline Bytes CompoundFile(const std::vector<std::pair<std::string, Bytes>>& streams,
                          bool scattered) {
  const uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD;
  Bytes mini;
  std::vector<uint32_t> minifat, start(streams.size());
  std::vector<Bytes> big;
  std::vector<size_t> big_index(streams.size(), SIZE_MAX);
  for (size_t i = 0; i < streams.size(); i++) {
    const Bytes& s = streams[i].second;
    if (s.size() < 4096) {
      uint32_t first = uint32_t(mini.size() / 64);
      size_t count = (s.size() + 63) / 64;
      start[i] = count ? first : kEnd;
      for (size_t k = 0; k < count; k++)
        minifat.push_back(k + 1 < count ? uint32_t(first + k + 1) : kEnd);
      mini.insert(mini.end(), s.begin(), s.end());
      mini.resize((mini.size() + 63) / 64 * 64, 0);
    } else {
      big_index[i] = big.size();
      big.push_back(s);
    }
  }
  auto sectors = [](size_t bytes) { return uint32_t((bytes + 511) / 512); };
  std::vector<std::string> storage_names;
  for (const auto& st : streams) {
    size_t slash = st.first.find('/');
    if (slash == std::string::npos) continue;
    std::string name = st.first.substr(0, slash);
    if (std::find(storage_names.begin(), storage_names.end(), name) == storage_names.end())
      storage_names.push_back(name);
  }
  uint32_t n_dir = sectors((streams.size() + storage_names.size() + 1) * 128);
  uint32_t n_minifat = sectors(minifat.size() * 4);
  uint32_t n_mini = sectors(mini.size());
  uint32_t n_big = 0;
  for (const Bytes& b : big) n_big += sectors(b.size());
  uint32_t n_fat = 1;
  while (n_fat * 128 < n_fat + n_dir + n_minifat + n_mini + n_big) n_fat++;
  std::vector<uint32_t> fat(n_fat * 128, kFree);
  uint32_t next = 0;
  for (uint32_t i = 0; i < n_fat; i++) fat[next++] = kFatSect;
  auto chain = [&](uint32_t count) {
    uint32_t first = count ? next : kEnd;
    for (uint32_t k = 0; k < count; k++, next++) fat[next] = k + 1 < count ? next + 1 : kEnd;
    return first;
  };
  uint32_t dir_start = chain(n_dir);
  uint32_t minifat_start = chain(n_minifat);
  uint32_t mini_start = chain(n_mini);
  // Sectors of the large streams in file order: which stream, which of its sectors.
  std::vector<std::pair<size_t, uint32_t>> layout;
  std::vector<uint32_t> big_start(big.size(), kEnd);
  if (!scattered) {
    for (size_t i = 0; i < big.size(); i++) {
      big_start[i] = chain(sectors(big[i].size()));
      for (uint32_t k = 0; k < sectors(big[i].size()); k++) layout.push_back({i, k});
    }
  } else {
    // Every other sector first, then the rest: no two neighbours of a chain lie side by side.
    for (size_t i = 0; i < big.size(); i++) {
      uint32_t count = sectors(big[i].size());
      std::vector<uint32_t> at(count);
      for (uint32_t pass = 0; pass < 2; pass++)
        for (uint32_t k = pass; k < count; k += 2) {
          at[k] = next++;
          layout.push_back({i, k});
        }
      for (uint32_t k = 0; k < count; k++) fat[at[k]] = k + 1 < count ? at[k + 1] : kEnd;
      big_start[i] = count ? at[0] : kEnd;
    }
  }

  Bytes out(512, 0);
  const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(magic, magic + 8, out.begin());
  auto set16 = [&](size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
  };
  auto set32 = [&](size_t at, uint32_t v) {
    set16(at, v & 0xFFFF);
    set16(at + 2, v >> 16);
  };
  set16(24, 0x3E);
  set16(26, 3);
  set16(28, 0xFFFE);
  set16(30, 9);
  set16(32, 6);
  set32(44, n_fat);
  set32(48, dir_start);
  set32(56, 4096);
  set32(60, n_minifat ? minifat_start : kEnd);
  set32(64, n_minifat);
  set32(68, kEnd);
  for (int i = 0; i < 109; i++) set32(76 + i * 4, uint32_t(i) < n_fat ? uint32_t(i) : kFree);

  auto append_padded = [&](const Bytes& b) {
    out.insert(out.end(), b.begin(), b.end());
    out.resize((out.size() + 511) / 512 * 512, 0);
  };
  Bytes fat_bytes;
  for (uint32_t v : fat) Put32(fat_bytes, v);
  append_padded(fat_bytes);
  Bytes dir;
  auto entry = [&](const std::string& name, uint8_t type, uint32_t child, uint32_t right,
                   uint32_t first, uint32_t size) {
    Bytes e = DirEntry(name, type, child, right, first, size);
    dir.insert(dir.end(), e.begin(), e.end());
  };
  // A stream named "storage/stream" lies in a storage of that name below the root. Entries: the
  // root, the top streams, then each storage followed by its streams; siblings chain rightwards.
  const std::vector<std::string>& storages = storage_names;
  std::vector<std::vector<size_t>> below(storages.size() + 1);  // [0]: the root's; [k]: storage k's
  for (size_t i = 0; i < streams.size(); i++) {
    size_t slash = streams[i].first.find('/');
    size_t k = slash == std::string::npos ? 0
                                          : std::find(storages.begin(), storages.end(),
                                                      streams[i].first.substr(0, slash)) -
                                                storages.begin() + 1;
    below[k].push_back(i);
  }
  std::vector<uint32_t> index(streams.size()), storage_index(storages.size());
  uint32_t at = 1;
  for (size_t i : below[0]) index[i] = at++;
  for (size_t k = 0; k < storages.size(); k++) {
    storage_index[k] = at++;
    for (size_t i : below[k + 1]) index[i] = at++;
  }
  std::vector<uint32_t> top;
  for (size_t i : below[0]) top.push_back(index[i]);
  top.insert(top.end(), storage_index.begin(), storage_index.end());
  entry("Root Entry", 5, top.empty() ? kFree : top[0], kFree, n_mini ? mini_start : kEnd,
        uint32_t(mini.size()));
  auto stream_entries = [&](const std::vector<size_t>& list, uint32_t right_of_last) {
    for (size_t n = 0; n < list.size(); n++) {
      size_t i = list[n];
      uint32_t first = big_index[i] == SIZE_MAX ? start[i] : big_start[big_index[i]];
      std::string name = streams[i].first.substr(streams[i].first.find('/') + 1);
      entry(name, 2, kFree, n + 1 < list.size() ? index[list[n + 1]] : right_of_last, first,
            uint32_t(streams[i].second.size()));
    }
  };
  stream_entries(below[0], storages.empty() ? kFree : storage_index[0]);
  for (size_t k = 0; k < storages.size(); k++) {
    entry(storages[k], 1, below[k + 1].empty() ? kFree : index[below[k + 1][0]],
          k + 1 < storages.size() ? storage_index[k + 1] : kFree, 0, 0);
    stream_entries(below[k + 1], kFree);
  }
  append_padded(dir);
  Bytes mf;
  for (uint32_t v : minifat) Put32(mf, v);
  if (!mf.empty()) append_padded(mf);
  if (!mini.empty()) append_padded(mini);
  for (const auto& part : layout) {
    const Bytes& b = big[part.first];
    size_t from = size_t(part.second) * 512;
    Bytes sector(b.begin() + from, b.begin() + std::min(b.size(), from + 512));
    append_padded(sector);
  }
  return out;
}

// --- Timelines of PowerPoint 2002 and later: time nodes in a slide's "___PPT10" tag -----------
namespace tl {

enum : uint32_t { kParallel = 0, kSequential = 1, kBehavior = 2 };
enum : int { kClick = 1, kWith = 2, kAfter = 3 };
enum : int { kEntrance = 1, kExit = 2, kEmphasis = 3, kPath = 4 };

inline Bytes NodeAtom(uint32_t type, int32_t duration = -1) {
  // reserved, restart, type, fill, reserved, reserved/unused, duration, flags (duration set)
  return Rec(0xF127, Words({0, 0, type, 0, 0, 0, uint32_t(duration), duration >= 0 ? 0x10u : 0u}));
}
inline Bytes IntVar(uint16_t id, int32_t v) {
  Bytes b{1};
  Put32(b, uint32_t(v));
  return Rec(0xF142, b, id);
}
inline Bytes StringVar(const std::string& s, uint16_t inst = 0) {
  Bytes b{3};
  for (char c : s) Put16(b, uint8_t(c));
  Put16(b, 0);
  return Rec(0xF142, b, inst);
}
inline Bytes Target(uint32_t shape, int first = -1, int last = -1) {
  uint32_t type = first >= 0 ? 2 : 0;
  return Box(0xF13C, {Rec(0x2AFB, Words({type, 1, shape, uint32_t(first), uint32_t(last)}))});
}
// A begin condition: after `delay` ms (-1: waits), or on a click (event 5) on `shape`.
inline Bytes Begin(int32_t delay, uint32_t event = 0, uint32_t shape = 0) {
  std::vector<Bytes> kids{Rec(0xF128, Words({shape ? 1u : 0u, event, 0, uint32_t(delay)}))};
  if (shape) kids.push_back(Target(shape));
  return Box(0xF125, kids, 1);
}
inline Bytes Common(uint32_t shape, const std::vector<std::string>& attributes, int first = -1,
                    int last = -1) {
  std::vector<Bytes> names;
  for (const std::string& a : attributes) names.push_back(StringVar(a));
  return Box(0xF12A,
             {Rec(0xF133, Words({4, 0, 0, 0})), Box(0xF13E, names, 1), Target(shape, first, last)});
}
// A behaviour's node: the container `behavior` running for `ms`.
inline Bytes Behavior(const Bytes& behavior, int32_t ms, int32_t delay = 0, float repeat = 0) {
  std::vector<Bytes> kids{NodeAtom(kBehavior, ms), Begin(delay)};
  if (repeat > 0) {
    Bytes m = Words({0});
    uint32_t bits;
    std::memcpy(&bits, &repeat, 4);
    Put32(m, bits);
    kids.push_back(Rec(0xF129, m));
  }
  kids.push_back(behavior);
  return Box(0xF144, kids);
}
inline uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return bits;
}
inline Bytes SetVisible(uint32_t shape, bool visible, int first = -1, int last = -1) {
  return Behavior(
      Box(0xF131, {Rec(0xF13A, Words({0, 3})), StringVar(visible ? "visible" : "hidden"),
                   Common(shape, {"style.visibility"}, first, last)}),
      1);
}
inline Bytes Filter(uint32_t shape, const std::string& filter, bool out, int32_t ms) {
  return Behavior(Box(0xF12D, {Rec(0xF136, Words({3, out ? 1u : 0u})), StringVar(filter, 1),
                               Common(shape, {})}),
                  ms);
}
inline Bytes Motion(uint32_t shape, const std::string& path, int32_t ms) {
  return Behavior(Box(0xF12E, {Rec(0xF137, Words({0x10, 0, 0, 0, 0, 0, 0, 0})), StringVar(path, 1),
                               Common(shape, {"ppt_x", "ppt_y"})}),
                  ms);
}
inline Bytes Spin(uint32_t shape, float degrees, int32_t ms) {
  return Behavior(
      Box(0xF12F, {Rec(0xF138, Words({1, FloatBits(degrees), 0, 0, 0})), Common(shape, {"r"})}),
      ms);
}
inline Bytes Grow(uint32_t shape, float percent, int32_t ms) {
  return Behavior(
      Box(0xF130, {Rec(0xF139, Words({1, FloatBits(percent), FloatBits(percent), 0, 0, 0, 0, 0})),
                   Common(shape, {})}),
      ms);
}
inline Bytes FillTo(uint32_t shape, uint8_t r, uint8_t g, uint8_t b, int32_t ms) {
  return Behavior(Box(0xF12C, {Rec(0xF135, Words({4, 0, 0, 0, 0, 0, 0, 0, 0, 0, r, g, b})),
                               Common(shape, {"fillcolor"})}),
                  ms);
}
// An effect's node: its class, preset and start, then its behaviours.
inline Bytes Effect(int node_type, int cls, int preset, const std::vector<Bytes>& behaviors,
                    int32_t delay = 0, int subtype = 0) {
  std::vector<Bytes> kids{NodeAtom(kParallel),
                          Box(0xF13D, {IntVar(0x09, preset), IntVar(0x0A, subtype),
                                       IntVar(0x0B, cls), IntVar(0x14, node_type)}),
                          Begin(delay)};
  kids.insert(kids.end(), behaviors.begin(), behaviors.end());
  return Box(0xF144, kids);
}
// One click's group: the effects that start with it and after it.
inline Bytes Group(const std::vector<Bytes>& effects, Bytes begin = Begin(-1)) {
  std::vector<Bytes> inner{NodeAtom(kParallel), Begin(0)};
  inner.insert(inner.end(), effects.begin(), effects.end());
  return Box(0xF144, {NodeAtom(kParallel), begin, Box(0xF144, inner)});
}
inline Bytes MainSequence(const std::vector<Bytes>& groups) {
  std::vector<Bytes> kids{NodeAtom(kSequential), Box(0xF13D, {IntVar(0x14, 4)})};
  kids.insert(kids.end(), groups.begin(), groups.end());
  return Box(0xF144, kids);
}
inline Bytes Interactive(uint32_t trigger, const std::vector<Bytes>& effects) {
  return Box(0xF144, {NodeAtom(kSequential), Box(0xF13D, {IntVar(0x14, 5)}),
                      Group(effects, Begin(0, 5, trigger))});
}
inline Bytes Root(const std::vector<Bytes>& sequences) {
  std::vector<Bytes> kids{NodeAtom(kParallel), Box(0xF13D, {IntVar(0x14, 9)})};
  kids.insert(kids.end(), sequences.begin(), sequences.end());
  return Box(0xF144, kids);
}
// The slide's programmable tags holding the tree.
inline Bytes Ppt10Tags(const Bytes& root) {
  Bytes name;
  for (char c : std::string("___PPT10")) Put16(name, uint8_t(c));
  return Box(0x1388, {Box(0x138A, {Rec(0x0FBA, name), Box(0x138B, {root})})});
}

}  // namespace tl

}  // namespace deck

// ---- Decks with a password to open ---------------------------------------------------------
// A plain deck of Build() saved again with a password, as PowerPoint 2002 and later save one:
// the persist objects encrypted under their ids' keys, the picture records part by part under
// block 0's, a session record with the verifier, one new persist directory and edit naming it.
#include "ppt/cfb.h"
#include "ppt/crypto.h"

namespace deck {

struct Encryption {
  std::u16string password = u"secret";
  uint32_t key_bits = 128;  // as stored: 0 means 40
  uint16_t major = 4;       // 2 and 3 from PowerPoint 2002 and 2003
  uint8_t salt_seed = 7;
  bool plain_token = false;  // the current-user record does not say the file is encrypted
};

class Encrypter {
 public:
  explicit Encrypter(const Encryption& e) : bits_(e.key_bits ? e.key_bits : 40) {
    for (size_t i = 0; i < 16; i++) salt_[i] = uint8_t(e.salt_seed * 31 + i * 17);
    ppt::Sha1 h;
    h.Update(salt_, 16);
    for (char16_t c : e.password) {
      uint8_t le[2] = {uint8_t(c), uint8_t(c >> 8)};
      h.Update(le, 2);
    }
    h.Final(base_);
  }
  void Apply(uint32_t block, uint8_t* p, size_t n) const {
    ppt::Sha1 h;
    h.Update(base_, 20);
    uint8_t le[4] = {uint8_t(block), uint8_t(block >> 8), uint8_t(block >> 16),
                     uint8_t(block >> 24)};
    h.Update(le, 4);
    uint8_t digest[20], key[16] = {};
    h.Final(digest);
    std::copy(digest, digest + bits_ / 8, key);
    ppt::Rc4(key, 16).Apply(p, n);
  }
  // The session record's body: version, header, verifier.
  Bytes Info(const Encryption& e) const {
    Bytes b;
    Put16(b, e.major);
    Put16(b, 2);
    Put32(b, 0x04);
    const char* csp = "Microsoft Base Cryptographic Provider v1.0";
    Bytes header = Words({0x04, 0, 0x6801, 0x8004, e.key_bits, 1, 0, 0});
    for (const char* c = csp; *c; c++) Put16(header, uint8_t(*c));
    Put16(header, 0);
    Put32(b, uint32_t(header.size()));
    b.insert(b.end(), header.begin(), header.end());
    Put32(b, 16);
    b.insert(b.end(), salt_, salt_ + 16);
    uint8_t check[36];
    for (int i = 0; i < 16; i++) check[i] = uint8_t(0xA0 + i * 3);
    ppt::Sha1 h;
    h.Update(check, 16);
    h.Final(check + 16);
    Apply(0, check, sizeof check);
    b.insert(b.end(), check, check + 16);
    Put32(b, 20);
    b.insert(b.end(), check + 16, check + 36);
    return b;
  }
  // A picture record's parts as the picture stream encrypts them, each on its own.
  void Picture(uint8_t* p, size_t size) const {
    if (size < 8) return;
    uint16_t inst = uint16_t(p[0] | p[1] << 8) >> 4, type = uint16_t(p[2] | p[3] << 8);
    size_t end = std::min<size_t>(size, 8 + (p[4] | p[5] << 8 | p[6] << 16 | size_t(p[7]) << 24));
    std::vector<size_t> parts{8, 16};
    if (inst & 1) parts.push_back(16);
    parts.push_back(type >= 0xF01A && type <= 0xF01C ? 34 : 1);
    size_t at = 0;
    for (size_t n : parts) {
      n = std::min(n, end - at);
      Apply(0, p + at, n);
      at += n;
    }
    Apply(0, p + at, end - at);
  }

 private:
  uint32_t bits_;
  uint8_t salt_[16];
  uint8_t base_[20];
};

inline uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

// `plain`: a deck of Build() saved once (not incremental).
inline Bytes Encrypt(const Bytes& plain, const Encryption& e = Encryption()) {
  ppt::CompoundFile cf;
  Bytes doc, user, pictures;
  if (!cf.Open(plain.data(), plain.size()) || !cf.Read("PowerPoint Document", &doc) ||
      !cf.Read("Current User", &user))
    return Bytes();
  cf.Read("Pictures", &pictures);
  const uint32_t edit_at = Get32(user, 16);
  const uint32_t dir_at = Get32(doc, edit_at + 8 + 12);
  const uint32_t doc_ref = Get32(doc, edit_at + 8 + 16);
  const uint32_t seed = Get32(doc, edit_at + 8 + 20);
  std::map<uint32_t, uint32_t> offsets;
  const uint32_t dir_len = Get32(doc, dir_at + 4);
  for (size_t at = dir_at + 8; at < dir_at + 8 + dir_len;) {
    uint32_t head = Get32(doc, at);
    at += 4;
    for (uint32_t i = 0; i < head >> 20; i++, at += 4)
      offsets[(head & 0xFFFFF) + i] = Get32(doc, at);
  }
  doc.resize(dir_at);  // the old directory and edit go; one edit names the session
  Encrypter enc(e);
  for (const auto& o : offsets)
    enc.Apply(o.first, doc.data() + o.second, 8 + Get32(doc, o.second + 4));
  const uint32_t session = seed + 1;
  offsets[session] = uint32_t(doc.size());
  Bytes rec = Rec(0x2F14, enc.Info(e), 0, 0xF);
  doc.insert(doc.end(), rec.begin(), rec.end());
  Bytes dir;
  for (const auto& o : offsets) {
    Put32(dir, o.first | (1u << 20));
    Put32(dir, o.second);
  }
  const uint32_t new_dir = uint32_t(doc.size());
  Bytes dir_rec = Rec(0x1772, dir);
  doc.insert(doc.end(), dir_rec.begin(), dir_rec.end());
  const uint32_t new_edit = uint32_t(doc.size());
  Bytes edit = Words({256, 0x03000000, 0, new_dir, doc_ref, session});
  Put16(edit, 1);
  Put16(edit, 0);
  Put32(edit, session);
  Bytes edit_rec = Rec(0x0FF5, edit);
  doc.insert(doc.end(), edit_rec.begin(), edit_rec.end());
  for (size_t at = 0; at + 8 <= pictures.size();) {
    size_t next = at + 8 + Get32(pictures, at + 4);
    enc.Picture(pictures.data() + at, pictures.size() - at);
    at = next;
  }
  std::vector<std::pair<std::string, Bytes>> streams{
      {"Current User", CurrentUser(new_edit, !e.plain_token)}, {"PowerPoint Document", doc}};
  if (!pictures.empty()) streams.push_back({"Pictures", pictures});
  return CompoundFile(streams);
}

}  // namespace deck

// ---------------------------------------------------------------------------------------------
// Fidelity: shapes that take what they leave unset from a master shape or the file's defaults.
// ---------------------------------------------------------------------------------------------
namespace deck {

// A shape with a fixed shape id, so that others can name it as their master (`master`: the
// id they inherit from, 0 none); `placeholder` >= 0 makes it a placeholder of that type, and a
// non-empty `text` gives it a text of `text_type`.
inline Bytes ShapeWithId(uint16_t type, uint32_t spid,
                         std::vector<std::pair<uint16_t, uint32_t>> props, int32_t left,
                         int32_t top, int32_t right, int32_t bottom, uint32_t master = 0,
                         int placeholder = -1, const std::string& text = "", uint32_t text_type = 4,
                         const std::vector<Bytes>& text_records = {}) {
  const uint32_t kHaveMaster = 0x20, kHaveAnchor = 0x200, kHaveType = 0x800;
  if (master) props.push_back({0x0301, master});
  std::vector<Bytes> kids{
      Fsp(type, spid, kHaveAnchor | kHaveType | (master ? kHaveMaster : 0)), Fopt(props),
      Rec(0xF010, Words({uint32_t(top), uint32_t(left), uint32_t(right), uint32_t(bottom)}))};
  if (placeholder >= 0)
    kids.push_back(Box(0xF011, {Rec(0x0BC3, Words({0, uint32_t(placeholder)}))}));
  if (!text.empty()) {
    Bytes chars;
    for (char c : text) Put16(chars, uint8_t(c));
    std::vector<Bytes> box{Rec(0x0F9F, Words({text_type})), Rec(0x0FA0, chars)};
    box.insert(box.end(), text_records.begin(), text_records.end());
    kids.push_back(Box(0xF00D, box));
  }
  return Box(0xF004, kids);
}

}  // namespace deck
