#include "ppt/pp95.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "ppt/bytes.h"
#include "ppt/charsets.h"
#include "ppt/records.h"

namespace ppt::detail {
namespace {

// A record: type, instance, length and a reference number, four bytes each, then the body.
// Containers carry this instance.
constexpr size_t kHeaderSize = 16;
constexpr uint32_t kContainer = 0xFFFF;

namespace rt95 {
constexpr uint32_t kStreamStart = 0x0003;
constexpr uint32_t kDocument = 0x03E8;
constexpr uint32_t kDocumentAtom = 0x03E9;
constexpr uint32_t kSlide = 0x03EE;
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
constexpr uint32_t kText = 0x0FA1;
constexpr uint32_t kTextAtom = 0x0FA3;
constexpr uint32_t kFont = 0x0FB6;
constexpr uint32_t kFontAtom = 0x0FB7;
constexpr uint32_t kTextContent = 0x0FE0;
}  // namespace rt95

// What the strings of a text's content hold, by their reference numbers.
constexpr uint32_t kRefCharRuns = 0x2F, kRefParaRuns = 0x30, kRefChars = 0x35;

// Character formats: size, style bits and a colour as the later format writes it.
constexpr size_t kCharSizeAt = 4, kCharStyleAt = 8, kCharColorAt = 10, kCharFormatSize = 14;
constexpr uint16_t kBold = 0x0001, kItalic = 0x0002;
constexpr uint32_t kMaxTextSize = 4000;  // points
// Paragraph formats: the outline level and the alignment.
constexpr size_t kLevelAt = 24, kAlignAt = 28, kParaFormatSize = 32;
// A ruler: the text margin and first-line indent of each outline level, in master units.
constexpr int kLevels = 5;
constexpr size_t kMaxRulers = 16;
constexpr int32_t kMaxIndent = 1 << 16;
// An object's kind, first in its atom: an ellipse, or else a rectangle.
constexpr uint32_t kEllipseKind = 0xFFFFFFFF;
// An object's style: switches that turn its line and its fill off, and their colours.
constexpr size_t kNoLineAt = 0, kLineColorAt = 4, kNoFillAt = 12, kFillColorAt = 20,
                 kStyleSize = 24;
constexpr int kFillSlot = 4;
constexpr int kEllipseType = 3;  // the drawing's shape type an ellipse has
// Most points a polyline keeps.
constexpr uint16_t kMaxPoints = 4096;
// The outline of a drawn polyline: one move, straight segments, the end.
constexpr uint16_t kMoveTo = 0x4000, kLineTo = 0x0000, kPathEnd = 0x8000;
// A colour's index byte: a scheme slot below eight, or the red, green and blue before it.
constexpr uint8_t kSchemeSlots = 8, kRgbIndex = 0xFE;
constexpr int kTextSlot = 1, kTitleSlot = 3;
// Text kinds of a text's atom: the two title kinds take the title colour.
constexpr uint32_t kTitleText = 0, kCentreTitleText = 6;
// The face name of a font entry: after the logical font's sizes, weight and flags.
constexpr size_t kFaceAt = 28, kFaceSize = 32;
// Places in an object's atom (its kind, and its rectangle from the slide's centre) and in a
// text's atom (its kind).
constexpr size_t kRectSize = 16;  // left, top, right, bottom
constexpr size_t kObjectKindAt = 0, kObjectRectAt = 12, kTextKindAt = 0, kTextAtomSize = 4;
// Bounds on what a crafted file can make the reader build.
constexpr int32_t kMaxSlideSide = 1000000;  // master units, some 43 metres
constexpr size_t kMaxTotalShapes = 200000;  // over all slides, the master's copies counted
constexpr size_t kMaxSlides = 10000, kMaxShapes = 2000, kMaxRuns = 100000, kMaxPictures = 10000;

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

bool Find(const Rec& parent, uint32_t type, Rec* out) {
  Kids k(parent);
  while (k.Next(out))
    if (out->type == type) return true;
  return false;
}

Rgb RgbAt(const uint8_t* p) {
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

void ReadScheme(const Rec& slide, Scheme* s) {
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

// A run of a style string: how many characters it covers, and its format's body.
struct StyleRun {
  uint32_t count = 0;
  const uint8_t* format = nullptr;
  size_t size = 0;
};

std::vector<StyleRun> ReadRuns(const Rec& runs) {
  std::vector<StyleRun> out;
  Rec s;
  if (!Find(runs, rt95::kString, &s)) return out;
  ByteReader br = s.reader();
  while (br.Has(4 + kHeaderSize) && out.size() < kMaxRuns) {
    StyleRun r;
    r.count = br.U32();
    Kids k(br.here(), br.left());
    Rec f;
    if (!k.Next(&f)) break;
    r.format = f.body;
    r.size = f.len;
    br.Skip(kHeaderSize + f.len);
    out.push_back(r);
  }
  return out;
}

// Walks runs alongside the characters they cover.
class RunCursor {
 public:
  explicit RunCursor(std::vector<StyleRun> runs) : runs_(std::move(runs)) {}
  // The format in force at character `at`, null past the last run.
  const StyleRun* At(size_t at) {
    while (i_ < runs_.size() && at >= end_ + runs_[i_].count) {
      end_ += runs_[i_].count;
      i_++;
    }
    return i_ < runs_.size() ? &runs_[i_] : nullptr;
  }

 private:
  std::vector<StyleRun> runs_;
  size_t i_ = 0, end_ = 0;
};

void ApplyCharFormat(const StyleRun* f, const Scheme& scheme, int slot, Run* r) {
  if (!f || f->size < kCharFormatSize) {
    r->color = scheme.slots[slot];
    return;
  }
  const uint8_t* p = f->format;
  uint32_t size = Le32(p + kCharSizeAt);
  if (size >= 1 && size <= kMaxTextSize) r->size = int(size);
  uint16_t style = Le16(p + kCharStyleAt);
  r->bold = style & kBold;
  r->italic = style & kItalic;
  r->color = scheme.Color(p + kCharColorAt, slot);
}

struct Ruler {
  int32_t margin[kLevels] = {}, indent[kLevels] = {};
};

void ApplyParaFormat(const StyleRun* f, const Ruler& ruler, Paragraph* p) {
  if (!f || f->size < kParaFormatSize) return;
  uint32_t level = Le32(f->format + kLevelAt);
  if (level < uint32_t(kLevels)) {
    p->level = int(level);
    p->left_margin = ruler.margin[level];
    p->indent = ruler.indent[level];
  }
  static const Paragraph::Align kAlign[] = {Paragraph::kLeft, Paragraph::kCenter, Paragraph::kRight,
                                            Paragraph::kJustify};
  uint32_t a = Le32(f->format + kAlignAt);
  if (a < std::size(kAlign)) p->align = kAlign[a];
}

class Reader {
 public:
  Reader(int32_t width, int32_t height, std::string face, std::vector<Ruler> rulers,
         size_t pictures)
      : half_w_(width / 2),
        half_h_(height / 2),
        face_(std::move(face)),
        rulers_(std::move(rulers)),
        pictures_(pictures) {}

  // The master's own objects, which every slide shows beneath its own; its placeholders only
  // shape the slides' text.
  void ReadMaster(const Rec& master) {
    Slide m;
    ReadScheme(master, &scheme_);
    Rec objects;
    if (Find(master, rt95::kObjects, &objects)) ReadObjects(objects, 0, &m);
    for (Shape& s : m.shapes)
      if (s.placeholder < 0) master_.push_back(std::move(s));
  }

  Slide ReadSlide(const Rec& slide) {
    Slide out;
    Scheme saved = scheme_;
    ReadScheme(slide, &scheme_);
    out.background.kind = Fill::kSolid;
    out.background.color = scheme_.slots[0];
    if (total_shapes_ + master_.size() <= kMaxTotalShapes) out.shapes = master_;
    Rec objects;
    if (Find(slide, rt95::kObjects, &objects) && total_shapes_ < kMaxTotalShapes)
      ReadObjects(objects, 0, &out);
    total_shapes_ += out.shapes.size();
    for (size_t i = 0; i < out.shapes.size(); i++) out.shapes[i].id = uint32_t(i + 1);
    scheme_ = saved;
    return out;
  }

 private:
  void ReadObjects(const Rec& list, int depth, Slide* out) {
    Kids k(list);
    Rec r;
    while (k.Next(&r) && out->shapes.size() < kMaxShapes) {
      if (r.type == rt95::kObject || r.type == rt95::kPlaceholder) {
        ReadObject(r, out);
      } else if (r.type == rt95::kPolyline) {
        ReadPolyline(r, out);
      } else if (r.type == rt95::kGroup && depth < kMaxNesting) {
        Rec members;
        if (Find(r, rt95::kList, &members)) ReadObjects(members, depth + 1, out);
      }
    }
  }

  // Coordinates from the slide's centre, moved to its corner; held within range.
  static int32_t Moved(const uint8_t* p, int32_t by) {
    int64_t v = int64_t(int32_t(Le32(p))) + by;
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  }
  Rect RectAt(const uint8_t* p) const {
    return Rect{Moved(p, half_w_), Moved(p + 4, half_h_), Moved(p + 8, half_w_),
                Moved(p + 12, half_h_)};
  }

  // The line and fill an object's style switches on, in their colours.
  void ReadStyle(const Rec& object, Shape* s) const {
    Rec style;
    if (!Find(object, rt95::kObjectStyle, &style) || style.len < kStyleSize) return;
    const uint8_t* p = style.body;
    s->line = p[kNoLineAt] == 0;
    s->line_color = scheme_.Color(p + kLineColorAt, kTextSlot);
    if (p[kNoFillAt] == 0) {
      s->fill.kind = Fill::kSolid;
      s->fill.color = scheme_.Color(p + kFillColorAt, kFillSlot);
    }
  }

  void ReadObject(const Rec& object, Slide* out) {
    Rec atom, text;
    if (!Find(object, rt95::kObjectAtom, &atom) || atom.len < kObjectRectAt + kRectSize) return;
    Shape s;
    s.id = uint32_t(out->shapes.size() + 1);
    s.anchor = RectAt(atom.body + kObjectRectAt);
    if (Le32(atom.body + kObjectKindAt) == kEllipseKind) {
      s.geometry = Shape::kEllipse;
      s.type = kEllipseType;
    }
    s.text.insets = Rect{0, 0, 0, 0};
    Rec placeholder;
    if (Find(object, rt95::kPlaceholderAtom, &placeholder) && placeholder.len >= 1)
      s.placeholder = placeholder.body[0];
    ReadStyle(object, &s);
    s.picture = PictureOf(object);
    bool has_text = Find(object, rt95::kText, &text) && ReadText(text, &s);
    if (has_text || s.line || s.fill.kind != Fill::kNone || s.picture >= 0)
      out->shapes.push_back(std::move(s));
  }

  // The picture an object shows, by its place in the document's picture list; -1 for none.
  int PictureOf(const Rec& object) const {
    Rec content, ref, index;
    if (!Find(object, rt95::kContent, &content) || !Find(content, rt95::kPictureRef, &ref) ||
        !Find(ref, rt95::kPictureIndex, &index) || index.len < 4)
      return -1;
    uint32_t i = Le32(index.body);
    return i < pictures_ ? int(i) : -1;
  }

  // A line through points, drawn as an open outline.
  void ReadPolyline(const Rec& object, Slide* out) {
    Rec atom, points;
    if (!Find(object, rt95::kPolylineAtom, &atom) || atom.len < kRectSize ||
        !Find(object, rt95::kPolylinePoints, &points))
      return;
    Shape s;
    s.id = uint32_t(out->shapes.size() + 1);
    s.geometry = Shape::kFreeform;
    s.type = 0;
    s.anchor = RectAt(atom.body);
    ReadStyle(object, &s);
    s.fill.kind = Fill::kNone;
    ByteReader br = points.reader();
    uint16_t n = std::min(br.U16(), kMaxPoints);
    Shape::Custom& c = s.custom;
    c.left = int32_t(Le32(atom.body));
    c.top = int32_t(Le32(atom.body + 4));
    c.right = int32_t(Le32(atom.body + 8));
    c.bottom = int32_t(Le32(atom.body + 12));
    for (uint16_t i = 0; i < n && br.Has(8); i++) {
      c.vertices.push_back(br.I32());
      c.vertices.push_back(br.I32());
    }
    const size_t count = c.vertices.size() / 2;
    if (count < 2 || !s.line) return;
    c.segments = {kMoveTo, uint16_t(kLineTo | (count - 1)), kPathEnd};
    out->shapes.push_back(std::move(s));
  }

  bool ReadText(const Rec& text, Shape* s) {
    Rec body, atom, content;
    Kids k(text);
    bool found = false;
    while (!found && k.Next(&body))
      found = body.container() && Find(body, rt95::kTextContent, &content);
    if (!found) return false;
    Ruler ruler;
    Rec choice;
    if (Find(body, rt95::kRulerChoice, &choice) && choice.len >= 4 &&
        Le32(choice.body) < rulers_.size())
      ruler = rulers_[Le32(choice.body)];
    int slot = kTextSlot;
    if (Find(body, rt95::kTextAtom, &atom) && atom.len >= kTextAtomSize) {
      uint32_t kind = Le32(atom.body + kTextKindAt);
      if (kind == kTitleText || kind == kCentreTitleText) slot = kTitleSlot;
    }
    std::u16string chars;
    std::vector<StyleRun> char_runs, para_runs;
    Kids parts(content);
    Rec part;
    while (parts.Next(&part)) {
      if (part.type == rt95::kString && part.ref == kRefChars) {
        chars.clear();
        for (size_t i = 0; i < part.len; i++) chars += FromWindows1252(part.body[i]);
      } else if (part.type == rt95::kStyleRuns && part.ref == kRefCharRuns) {
        char_runs = ReadRuns(part);
      } else if (part.type == rt95::kStyleRuns && part.ref == kRefParaRuns) {
        para_runs = ReadRuns(part);
      }
    }
    if (chars.empty()) return false;
    BuildParagraphs(chars, std::move(char_runs), std::move(para_runs), slot, ruler, &s->text);
    return true;
  }

  void BuildParagraphs(const std::u16string& chars, std::vector<StyleRun> char_runs,
                       std::vector<StyleRun> para_runs, int slot, const Ruler& ruler,
                       TextBody* body) {
    RunCursor cf(std::move(char_runs)), pf(std::move(para_runs));
    Paragraph p;
    ApplyParaFormat(pf.At(0), ruler, &p);
    Run run;
    const StyleRun* current = nullptr;
    bool started = false;
    for (size_t i = 0; i <= chars.size(); i++) {
      bool end = i == chars.size() || chars[i] == u'\r';
      const StyleRun* f = cf.At(i);
      if (!started || (f != current && !end)) {
        if (started && !run.text.empty()) p.runs.push_back(run);
        run = Run();
        run.font = face_;
        ApplyCharFormat(f, scheme_, slot, &run);
        current = f;
        started = true;
      }
      if (!end) {
        run.text += chars[i];
        continue;
      }
      // An empty paragraph keeps its run: its size sets the line's height.
      p.runs.push_back(run);
      body->paragraphs.push_back(std::move(p));
      p = Paragraph();
      ApplyParaFormat(pf.At(i + 1), ruler, &p);
      run.text.clear();
    }
  }

  int32_t half_w_, half_h_;
  std::string face_;
  std::vector<Ruler> rulers_;
  size_t pictures_;
  size_t total_shapes_ = 0;
  Scheme scheme_;
  std::vector<Shape> master_;
};

// The document's pictures, metafiles in the document stream itself, in list order.
void ReadPictures(const uint8_t* doc, const Rec& document, Presentation* out) {
  Rec env, list;
  if (!Find(document, rt95::kEnvironment, &env) || !Find(env, rt95::kPictures, &list)) return;
  Kids k(list);
  Rec entry, body, metafile;
  while (k.Next(&entry) && out->blips.size() < kMaxPictures) {
    if (entry.type != rt95::kPicture) continue;
    Blip b;
    if (Find(entry, rt95::kPictureBody, &body) && Find(body, rt95::kMetafile, &metafile)) {
      b.type = Blip::kWmf;
      b.source = Blip::kDocument;
      b.offset = uint64_t(metafile.body - doc);
      b.length = metafile.len;
    }
    out->blips.push_back(b);
  }
}

// The document's rulers, which texts choose by their place in this list.
std::vector<Ruler> ReadRulers(const Rec& document) {
  std::vector<Ruler> out;
  Rec env, list;
  if (!Find(document, rt95::kEnvironment, &env) || !Find(env, rt95::kRulers, &list)) return out;
  Kids k(list);
  Rec entry, ruler;
  while (k.Next(&entry) && out.size() < kMaxRulers) {
    if (entry.type != rt95::kRulerEntry) continue;
    Ruler r;
    if (Find(entry, rt95::kRuler, &ruler)) {
      ByteReader br = ruler.reader();
      for (int i = 0; i < kLevels && br.Has(8); i++) {
        r.margin[i] = std::clamp(br.I32(), 0, kMaxIndent);
        r.indent[i] = std::clamp(br.I32(), 0, kMaxIndent);
      }
    }
    out.push_back(r);
  }
  return out;
}

// The first face of the document's font list, which its text is mostly set in.
std::string FirstFace(const Rec& document) {
  Rec env, fonts, font, atom;
  if (!Find(document, rt95::kEnvironment, &env) || !Find(env, rt95::kFonts, &fonts) ||
      !Find(fonts, rt95::kFont, &font))
    return "Arial";
  // The entry holds its atom as bytes of its own.
  Kids k(font.body, font.len);
  if (!k.Next(&atom) || atom.type != rt95::kFontAtom || atom.len < kFaceAt + kFaceSize)
    return "Arial";
  std::string face;
  for (size_t i = 0; i < kFaceSize && atom.body[kFaceAt + i]; i++)
    face += char(atom.body[kFaceAt + i]);
  return face.empty() ? "Arial" : face;
}

}  // namespace

bool IsPowerPoint95(const uint8_t* doc, size_t size) {
  Kids top(doc, size);
  Rec start, document;
  if (!top.Next(&start) || start.type != rt95::kStreamStart || !start.container()) return false;
  Kids in(start);
  return in.Next(&document) && document.type == rt95::kDocument && document.container();
}

LoadError LoadPowerPoint95(const uint8_t* doc, size_t size, Presentation* out) {
  Kids top(doc, size);
  Rec start, document, atom;
  if (!top.Next(&start) || !Find(start, rt95::kDocument, &document)) return LoadError::kDamaged;
  if (Find(document, rt95::kDocumentAtom, &atom) && atom.len >= 8) {
    int32_t w = int32_t(Le32(atom.body)), h = int32_t(Le32(atom.body + 4));
    if (w > 0 && h > 0 && w <= kMaxSlideSide && h <= kMaxSlideSide) {
      out->width = w;
      out->height = h;
    }
  }
  ReadPictures(doc, document, out);
  Reader reader(out->width, out->height, FirstFace(document), ReadRulers(document),
                out->blips.size());
  // The slide list is the list that holds slides; masters and notes pages have lists of their
  // own.
  Kids lists(document);
  Rec list, item;
  bool master = false;
  while (!master && lists.Next(&list)) {
    if (list.type != rt95::kList) continue;
    Kids items(list);
    while (!master && items.Next(&item))
      if (item.type == rt95::kMaster) {
        reader.ReadMaster(item);
        master = true;
      }
  }
  Kids k(document);
  bool found = false;
  while (!found && k.Next(&list)) {
    if (list.type != rt95::kList) continue;
    Kids items(list);
    while (items.Next(&item) && out->slides.size() < kMaxSlides) {
      if (item.type != rt95::kSlide) continue;
      found = true;
      out->slides.push_back(reader.ReadSlide(item));
    }
  }
  return found ? LoadError::kNone : LoadError::kDamaged;
}

}  // namespace ppt::detail
