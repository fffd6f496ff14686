#include "ppt/pp95.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "ppt/bytes.h"
#include "ppt/charsets.h"
#include "ppt/records.h"

#include "ppt/pp95_records.h"
#include "ppt/pp95_text.h"

namespace ppt::detail {
namespace {

using namespace pp95;

// An object's kind, first in its atom: an ellipse, or else a rectangle.
constexpr uint32_t kEllipseKind = 0xFFFFFFFF;
// An object's style: its line (a switch that turns it off, dashes, a width code, a colour), its
// fill (switch, kind, colour) and, in the longer form, its shadow (switch, colour, offset) and
// flips.
constexpr size_t kNoLineAt = 0, kDashAt = 1, kLineWidthAt = 3, kLineColorAt = 4, kNoFillAt = 12,
                 kFillKindAt = 13, kFillColorAt = 20, kStyleSize = 24;
constexpr size_t kNoShadowAt = 28, kShadowColorAt = 30, kShadowOffsetAt = 36, kFlipAt = 52,
                 kFullStyleSize = 56;
constexpr uint8_t kSwitchedOn = 0;
constexpr uint8_t kBackgroundFill = 2, kHalfSeenFill = 3;
constexpr uint8_t kFlipAcross = 0x01, kFlipUpsideDown = 0x02;
constexpr int32_t kMaxShadowOffset = 5760;  // master units, ten inches
// Line widths by their code, in points; the last four are double and triple lines.
constexpr int kLineWidthPoints[] = {1, 2, 3, 6, 8, 10, 3, 4, 4, 6};
constexpr LineStyle::Compound kLineCompound[] = {
    LineStyle::kSingle,    LineStyle::kSingle, LineStyle::kSingle, LineStyle::kSingle,
    LineStyle::kSingle,    LineStyle::kSingle, LineStyle::kDouble, LineStyle::kThinThick,
    LineStyle::kThickThin, LineStyle::kTriple};
constexpr LineStyle::Dash kLineDash[] = {LineStyle::kSolid, LineStyle::kDotSys, LineStyle::kDot,
                                         LineStyle::kDash, LineStyle::kDashDot};
constexpr int kEmuPerPoint = 12700;
constexpr uint8_t kHalfAlpha = 128;
constexpr int kFillSlot = 4, kBackgroundSlot = 0, kShadowSlot = 2;
// A line's ends: arrowheads at its start and end, when their bytes are not zero.
constexpr size_t kArrowsSize = 2;
// A straight line's atom: its two ends from the slide's centre.
constexpr int kLineType = 20;  // the drawing's shape type a straight line has
// An object's turn, in sixteenths of a degree, after its rectangle.
constexpr size_t kRotationAt = 28;
constexpr int kRotationUnits = 16;
constexpr int kEllipseType = 3;  // the drawing's shape type an ellipse has
// Most points a polyline keeps.
constexpr uint16_t kMaxPoints = 4096;
// The outline of a drawn polyline: one move, straight segments, the end.
constexpr uint16_t kMoveTo = 0x4000, kLineTo = 0x0000, kPathEnd = 0x8000;
constexpr int kTextSlot = 1, kTitleSlot = 3;
// Text kinds of a text's atom: the two title kinds take the title colour.
constexpr uint32_t kTitleText = 0, kCentreTitleText = 6;
// A text's frame: switches for the box fitted to the text and for wrapping, and where the lines
// sit top to bottom (the upper half of a byte).
constexpr size_t kTextFrameFlagsAt = 8, kTextAnchorAt = 12, kTextFrameSize = 16;
constexpr uint8_t kFitsText = 0x01, kWordWrap = 0x04, kAnchorMiddle = 1;
// A slide's atom: its number, then that of the master it follows.
constexpr size_t kSlideIdAt = 0, kSlideMasterAt = 4, kSlideAtomSize = 8;
constexpr size_t kMaxMasters = 64;
// Places in an object's atom (its kind, and its rectangle from the slide's centre) and in a
// text's atom (its kind).
constexpr size_t kRectSize = 16;  // left, top, right, bottom
constexpr size_t kObjectKindAt = 0, kObjectRectAt = 12, kTextKindAt = 0, kTextAtomSize = 4;
// Bounds on what a crafted file can make the reader build.
constexpr int32_t kMaxSlideSide = 1000000;  // master units, some 43 metres
constexpr size_t kMaxTotalShapes = 200000;  // over all slides, the master's copies counted
constexpr size_t kMaxSlides = 10000, kMaxShapes = 2000, kMaxPictures = 10000;

class Reader {
 public:
  Reader(int32_t width, int32_t height, const Rec& document, size_t pictures)
      : half_w_(width / 2),
        half_h_(height / 2),
        faces_(document),
        rulers_(ReadRulers(document)),
        pictures_(pictures) {}

  // The master's own objects, which every slide shows beneath its own; its placeholders only
  // shape the slides' text.
  // The slide master gives slides their colours; a title master only objects of its own.
  void ReadMaster(const Rec& master) {
    Slide m;
    Scheme saved = scheme_;
    ReadScheme(master, &scheme_);
    Rec objects;
    if (Find(master, rt95::kObjects, &objects)) ReadObjects(objects, 0, &m);
    std::vector<Shape> own;
    for (Shape& s : m.shapes)
      if (s.placeholder < 0) own.push_back(std::move(s));
    if (masters_.size() >= kMaxMasters) return;
    if (master.type == rt95::kMaster && slide_master_ == kNone)
      slide_master_ = masters_.size();
    else
      scheme_ = saved;
    masters_.emplace_back(IdOf(master), std::move(own));
  }

  Slide ReadSlide(const Rec& slide) {
    Slide out;
    Scheme saved = scheme_;
    ReadScheme(slide, &scheme_);
    out.background.kind = Fill::kSolid;
    out.background.color = scheme_.slots[0];
    const std::vector<Shape>& master = MasterOf(slide);
    if (total_shapes_ + master.size() <= kMaxTotalShapes) out.shapes = master;
    Rec objects;
    if (Find(slide, rt95::kObjects, &objects) && total_shapes_ < kMaxTotalShapes)
      ReadObjects(objects, 0, &out);
    total_shapes_ += out.shapes.size();
    for (size_t i = 0; i < out.shapes.size(); i++) out.shapes[i].id = uint32_t(i + 1);
    scheme_ = saved;
    return out;
  }

 private:
  // A slide's or master's own number, and the number of the master it follows.
  static uint32_t IdOf(const Rec& slide, size_t at = kSlideIdAt) {
    Rec atom;
    return Find(slide, rt95::kSlideAtom, &atom) && atom.len >= kSlideAtomSize ? Le32(atom.body + at)
                                                                              : 0;
  }
  const std::vector<Shape>& MasterOf(const Rec& slide) const {
    const uint32_t id = IdOf(slide, kSlideMasterAt);
    for (const auto& m : masters_)
      if (id != 0 && m.first == id) return m.second;
    static const std::vector<Shape> kNoShapes;
    return slide_master_ == kNone ? kNoShapes : masters_[slide_master_].second;
  }

  void ReadObjects(const Rec& list, int depth, Slide* out) {
    Kids k(list);
    Rec r;
    while (k.Next(&r) && out->shapes.size() < kMaxShapes) {
      if (r.type == rt95::kObject || r.type == rt95::kPlaceholder) {
        ReadObject(r, out);
      } else if (r.type == rt95::kPolyline) {
        ReadPolyline(r, out);
      } else if (r.type == rt95::kLine) {
        ReadLine(r, out);
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

  // The line, fill, shadow and flips an object's style gives it.
  void ReadStyle(const Rec& object, Shape* s) const {
    Rec style;
    if (!Find(object, rt95::kObjectStyle, &style) || style.len < kStyleSize) return;
    const uint8_t* p = style.body;
    s->line = p[kNoLineAt] == kSwitchedOn;
    s->line_color = scheme_.Color(p + kLineColorAt, kTextSlot);
    if (p[kDashAt] < std::size(kLineDash)) s->line_style.dash = kLineDash[p[kDashAt]];
    if (p[kLineWidthAt] < std::size(kLineWidthPoints)) {
      s->line_width = kLineWidthPoints[p[kLineWidthAt]] * kEmuPerPoint;
      s->line_style.compound = kLineCompound[p[kLineWidthAt]];
    }
    if (p[kNoFillAt] == kSwitchedOn) {
      s->fill.kind = Fill::kSolid;
      s->fill.color = scheme_.Color(p + kFillColorAt, kFillSlot);
      if (p[kFillKindAt] == kBackgroundFill) s->fill.color = scheme_.slots[kBackgroundSlot];
      if (p[kFillKindAt] == kHalfSeenFill) s->fill.alpha = kHalfAlpha;
    }
    if (style.len < kFullStyleSize) return;
    if (p[kNoShadowAt] == kSwitchedOn) {
      s->shadow.visible = true;
      s->shadow.color = scheme_.Color(p + kShadowColorAt, kShadowSlot);
      s->shadow.dx =
          std::clamp(int32_t(Le32(p + kShadowOffsetAt)), -kMaxShadowOffset, kMaxShadowOffset);
      s->shadow.dy =
          std::clamp(int32_t(Le32(p + kShadowOffsetAt + 4)), -kMaxShadowOffset, kMaxShadowOffset);
    }
    s->flip_h = p[kFlipAt] & kFlipAcross;
    s->flip_v = p[kFlipAt] & kFlipUpsideDown;
  }

  // Arrowheads at a line's ends, where it has them.
  static void ReadArrows(const Rec& object, Shape* s) {
    Rec arrows;
    if (!Find(object, rt95::kLineArrows, &arrows) || arrows.len < kArrowsSize) return;
    if (arrows.body[0]) s->line_style.start.style = LineEnd::kTriangle;
    if (arrows.body[1]) s->line_style.end.style = LineEnd::kTriangle;
  }

  // A straight line between two points; its direction is in the points, not in flips.
  void ReadLine(const Rec& object, Slide* out) {
    Rec atom;
    if (!Find(object, rt95::kLineAtom, &atom) || atom.len < kRectSize) return;
    Shape s;
    s.id = uint32_t(out->shapes.size() + 1);
    s.geometry = Shape::kLine;
    s.type = kLineType;
    ReadStyle(object, &s);
    ReadArrows(object, &s);
    s.fill.kind = Fill::kNone;
    const Rect ends = RectAt(atom.body);
    s.anchor = Rect{std::min(ends.left, ends.right), std::min(ends.top, ends.bottom),
                    std::max(ends.left, ends.right), std::max(ends.top, ends.bottom)};
    s.flip_h = ends.left > ends.right;
    s.flip_v = ends.top > ends.bottom;
    if (s.line) out->shapes.push_back(std::move(s));
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
    if (atom.len >= kRotationAt + 2)
      s.rotation = int16_t(Le16(atom.body + kRotationAt)) / kRotationUnits;
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
    ReadArrows(object, &s);
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

  // How the text sits in its box: wrapped or not, the box fitted to it, the lines centred
  // top to bottom.
  static void ReadTextFrame(const Rec& text, TextBody* body) {
    Rec frame;
    if (!Find(text, rt95::kTextFrame, &frame) || frame.len < kTextFrameSize) return;
    const uint8_t flags = frame.body[kTextFrameFlagsAt];
    body->fit_shape = flags & kFitsText;
    body->wrap = flags & kWordWrap;
    if ((frame.body[kTextAnchorAt] >> 4) == kAnchorMiddle) body->anchor = TextBody::kMiddle;
  }

  bool ReadText(const Rec& text, Shape* s) {
    Rec body, atom, content;
    Kids k(text);
    bool found = false;
    while (!found && k.Next(&body))
      found = body.container() && Find(body, rt95::kTextContent, &content);
    if (!found) return false;
    TextContext context{faces_, scheme_, kTextSlot, Ruler()};
    Rec choice;
    if (Find(body, rt95::kRulerChoice, &choice) && choice.len >= 4 &&
        Le32(choice.body) < rulers_.size())
      context.ruler = rulers_[Le32(choice.body)];
    if (Find(body, rt95::kTextAtom, &atom) && atom.len >= kTextAtomSize) {
      uint32_t kind = Le32(atom.body + kTextKindAt);
      if (kind == kTitleText || kind == kCentreTitleText) context.slot = kTitleSlot;
    }
    ReadTextFrame(text, &s->text);
    s->text.face_lines = true;
    return ReadTextContent(content, context, &s->text);
  }

  int32_t half_w_, half_h_;
  Faces faces_;
  std::vector<Ruler> rulers_;
  size_t pictures_;
  size_t total_shapes_ = 0;
  Scheme scheme_;
  // The masters' own objects by their numbers; the slide master's place among them.
  std::vector<std::pair<uint32_t, std::vector<Shape>>> masters_;
  static constexpr size_t kNone = SIZE_MAX;
  size_t slide_master_ = kNone;
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
  Reader reader(out->width, out->height, document, out->blips.size());
  // The slide list is the list that holds slides; masters and notes pages have lists of their
  // own.
  // The list that holds the slide master holds the title master too, as a slide.
  Kids lists(document);
  Rec list, item, masters;
  bool have_masters = false;
  while (!have_masters && lists.Next(&list)) {
    if (list.type != rt95::kList) continue;
    Kids items(list);
    while (!have_masters && items.Next(&item)) have_masters = item.type == rt95::kMaster;
    if (have_masters) masters = list;
  }
  if (have_masters) {
    Kids items(masters);
    while (items.Next(&item))
      if (item.type == rt95::kMaster || item.type == rt95::kSlide) reader.ReadMaster(item);
  }
  Kids k(document);
  bool found = false;
  while (!found && k.Next(&list)) {
    if (list.type != rt95::kList || (have_masters && list.body == masters.body)) continue;
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