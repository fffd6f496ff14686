#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/loader.h"

namespace ppt::detail {

namespace {
constexpr size_t kMaxShapes = 20000;
constexpr size_t kMaxFields = 4096;
// Shape record flags.
constexpr uint32_t kGroupFlag = 0x1, kDeletedFlag = 0x8, kFlipH = 0x40, kFlipV = 0x80;
}  // namespace

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

namespace {
constexpr size_t kMaxPathElements = 4096;  // vertices, segments
constexpr size_t kMaxGuides = 512;

// An array property: element count, then elements of `cb` bytes (0xFFF0: four bytes, two
// 16-bit halves).
struct ArrayProp {
  ByteReader data{nullptr, 0};
  size_t count = 0;
  uint16_t cb = 0;
};

bool ReadArray(const Properties& props, uint16_t id, ArrayProp* out) {
  auto it = props.complex.find(id);
  if (it == props.complex.end() || it->second.second < 6) return false;
  ByteReader br(it->second.first, it->second.second);
  out->count = br.U16();
  br.U16();
  out->cb = br.U16();
  out->data = br;
  return br.ok();
}
}  // namespace

// A freeform's geometry as stored (vertices, path segments, guides and the box they are given
// in), plus its vertices as fractions of the anchor for callers that want only the corners.
void ReadPath(const Properties& props, Shape* out) {
  ArrayProp verts;
  if (!ReadArray(props, prop::kVertices, &verts)) return;
  Shape::Custom& c = out->custom;
  c.left = int32_t(props.Get(prop::kGeoLeft, 0));
  c.top = int32_t(props.Get(prop::kGeoTop, 0));
  c.right = int32_t(props.Get(prop::kGeoRight, 21600));
  c.bottom = int32_t(props.Get(prop::kGeoBottom, 21600));
  bool wide = verts.cb == 8;
  for (size_t i = 0; i < verts.count && i < kMaxPathElements; i++) {
    int32_t x = wide ? verts.data.I32() : verts.data.I16();
    int32_t y = wide ? verts.data.I32() : verts.data.I16();
    if (!verts.data.ok()) break;
    c.vertices.push_back(x);
    c.vertices.push_back(y);
  }
  ArrayProp segs;
  if (ReadArray(props, prop::kSegmentInfo, &segs) && segs.cb == 2) {
    for (size_t i = 0; i < segs.count && i < kMaxPathElements; i++) {
      uint16_t v = segs.data.U16();
      if (!segs.data.ok()) break;
      c.segments.push_back(v);
    }
  }
  ArrayProp guides;
  if (ReadArray(props, prop::kGuides, &guides) && guides.cb == 8) {
    for (size_t i = 0; i < guides.count && i < kMaxGuides; i++) {
      Shape::Custom::Guide g;
      g.flags = guides.data.U16();
      for (int k = 0; k < 3; k++) g.p[k] = guides.data.I16();
      if (!guides.data.ok()) break;
      c.guides.push_back(g);
    }
  }
  double left = c.left, top = c.top, right = c.right, bottom = c.bottom;
  if (right == left || bottom == top) return;
  for (size_t i = 0; i + 1 < c.vertices.size(); i += 2) {
    // Guide references have no fixed place; the corner list skips them.
    if ((uint32_t(c.vertices[i]) & 0xFFFF0000u) == 0x80000000u ||
        (uint32_t(c.vertices[i + 1]) & 0xFFFF0000u) == 0x80000000u)
      continue;
    out->path.push_back(
        {(c.vertices[i] - left) / (right - left), (c.vertices[i + 1] - top) / (bottom - top)});
  }
}

Shape::Geometry GeometryOf(int type) {
  if (type >= spt::kStraightConnector && type <= spt::kLastConnector) return Shape::kLine;
  static const std::pair<int, Shape::Geometry> kByType[] = {
      {spt::kNotPrimitive, Shape::kFreeform},
      {spt::kRoundRectangle, Shape::kRoundRect},
      {spt::kEllipse, Shape::kEllipse},
      {spt::kDiamond, Shape::kDiamond},
      {spt::kIsoscelesTriangle, Shape::kTriangle},
      {spt::kRightTriangle, Shape::kRightTriangle},
      {spt::kParallelogram, Shape::kParallelogram},
      {spt::kTrapezoid, Shape::kTrapezoid},
      {spt::kHexagon, Shape::kHexagon},
      {spt::kOctagon, Shape::kOctagon},
      {spt::kLine, Shape::kLine}};
  for (const auto& [t, geometry] : kByType)
    if (t == type) return geometry;
  return Shape::kRect;  // rectangles, picture frames, text boxes and every preset of its own
}

// Step one: the shape's own records, as stored.
void Loader::ReadShapeRecords(const Record& sp, const Context& ctx, ShapeRecords* rec) {
  Children c(sp);
  Record r;
  while (c.Next(&r)) {
    switch (r.type) {
      case rt::kFsp:
        if (r.len >= 8) {
          rec->have_fsp = true;
          rec->id = Le32(r.body);
          rec->type = r.inst;
          rec->spid = Le32(r.body);
          rec->flags = Le32(r.body + 4);
        }
        break;
      case rt::kFspgr:
        if (r.len >= 16) {
          ByteReader br = r.reader();
          rec->child_space.left = br.I32();
          rec->child_space.top = br.I32();
          rec->child_space.right = br.I32();
          rec->child_space.bottom = br.I32();
        }
        break;
      case rt::kFopt:
      case rt::kTertiaryFopt:
        rec->props.Read(r);
        break;
      case rt::kChildAnchor:
        if (r.len >= 16) {
          ByteReader br = r.reader();
          rec->anchor.left = br.I32();
          rec->anchor.top = br.I32();
          rec->anchor.right = br.I32();
          rec->anchor.bottom = br.I32();
          rec->have_anchor = rec->have_child = true;
        }
        break;
      case rt::kClientAnchor:
        if (rec->have_child) break;
        if (r.len >= 16) {
          ByteReader br = r.reader();
          rec->anchor.top = br.I32();
          rec->anchor.left = br.I32();
          rec->anchor.right = br.I32();
          rec->anchor.bottom = br.I32();
          rec->have_anchor = true;
        } else if (r.len >= 8) {
          ByteReader br = r.reader();
          rec->anchor.top = br.I16();
          rec->anchor.left = br.I16();
          rec->anchor.right = br.I16();
          rec->anchor.bottom = br.I16();
          rec->have_anchor = true;
        }
        break;
      case rt::kClientData: {
        rec->client_data = r;
        rec->has_client_data = true;
        Record ph;
        if (FindChild(r, rt::kPlaceholderAtom, &ph) && ph.len >= 5) rec->placeholder = ph.body[4];
        break;
      }
      case rt::kClientTextbox:
        ReadTextbox(r, ctx, &rec->texts);
        break;
      default:
        break;
    }
  }
  if (rec->has_client_data && !rec->texts.empty()) {
    std::vector<ParaExtension> ext;
    ReadParaExtensionTags(rec->client_data, &ext);
    for (RawText& text : rec->texts)
      if (Resolve(text).extensions.empty() && !ext.empty() && Own(&text)) text.extensions = ext;
  }
}

namespace {
// Records of a text box that add to or change the text before them.
bool ChangesText(uint16_t type) {
  switch (type) {
    case rt::kTextChars:
    case rt::kTextBytes:
    case rt::kStyleTextProp:
    case rt::kTextRuler:
    case rt::kInteractiveInfo:
    case rt::kTxInteractiveInfoAtom:
    case rt::kSlideNumberMC:
    case rt::kDateTimeMC:
    case rt::kGenericDateMC:
    case rt::kRtfDateTimeMC:
    case rt::kHeaderMC:
    case rt::kFooterMC:
      return true;
    default:
      return false;
  }
}
}  // namespace

// A referred-to outline text that a box goes on to change becomes the box's own copy, paid for.
bool Loader::Own(RawText* text) {
  if (!text->outline) return true;
  const RawText& from = *text->outline;
  if (!budget_.Spend(1 + from.chars.size() * cost::kTextChar)) return false;
  *text = from;
  text->outline = nullptr;
  return true;
}

void Loader::ReadTextbox(const Record& box, const Context& ctx, std::vector<RawText>* texts) {
  Children tc(box);
  Record x;
  while (tc.Next(&x)) {
    if (x.type == rt::kTextHeader) {
      RawText text;
      text.type = x.len >= 4 ? int(Le32(x.body)) : 4;
      texts->push_back(text);
    } else if (x.type == rt::kOutlineTextRef && x.len >= 4) {
      uint32_t index = Le32(x.body);
      if (ctx.outline && index < ctx.outline->size()) {
        if (!texts->empty() && Resolve(texts->back()).chars.empty()) texts->pop_back();
        RawText ref;
        ref.outline = &(*ctx.outline)[index];
        texts->push_back(ref);
      }
    } else if (texts->empty()) {
      continue;
    } else if (!ChangesText(x.type)) {
      continue;
    } else if (!Own(&texts->back())) {
      break;
    } else if (x.type == rt::kTextChars) {
      for (size_t i = 0; i + 1 < x.len; i += 2) texts->back().chars += char16_t(Le16(x.body + i));
    } else if (x.type == rt::kTextBytes) {
      for (size_t i = 0; i < x.len; i++) texts->back().chars += char16_t(x.body[i]);
    } else if (x.type == rt::kStyleTextProp) {
      texts->back().style = x;
      texts->back().has_style = true;
    } else if (x.type == rt::kTextRuler) {
      texts->back().has_ruler = ReadRuler(x.body, x.len, &texts->back().ruler);
    } else if (x.type == rt::kInteractiveInfo || x.type == rt::kTxInteractiveInfoAtom) {
      texts->back().links.push_back(x);
    } else if (x.len >= 4 && texts->back().fields.size() < kMaxFields) {
      Field f;
      f.pos = Le32(x.body);
      switch (x.type) {
        case rt::kSlideNumberMC:
          f.kind = Field::kSlideNumber;
          break;
        case rt::kDateTimeMC:
          f.kind = Field::kDateTime;
          f.format = x.len >= 5 ? x.body[4] : 0;
          break;
        case rt::kGenericDateMC:
        case rt::kRtfDateTimeMC:
          f.kind = Field::kGenericDate;
          break;
        case rt::kHeaderMC:
          f.kind = Field::kHeader;
          break;
        case rt::kFooterMC:
          f.kind = Field::kFooter;
          break;
        default:
          continue;
      }
      texts->back().fields.push_back(f);
    }
  }
}

bool FindPpt9Tag(const Record& tags, Record* data) {
  return FindBinaryTag(tags, u"___PPT9", data);
}

bool FindBinaryTag(const Record& tags, const std::u16string& wanted, Record* data) {
  Children c(tags);
  Record tag;
  while (c.Next(&tag)) {
    if (tag.type != rt::kProgBinaryTag) continue;
    Children parts(tag);
    Record name;
    if (!parts.Next(&name) || name.type != rt::kCString || !parts.Next(data) ||
        data->type != rt::kBinaryTagData)
      continue;
    std::u16string n;
    for (size_t i = 0; i + 1 < name.len; i += 2) n += char16_t(Le16(name.body + i));
    if (n == wanted) return true;
  }
  return false;
}

// The extended paragraph props (automatic numbering) a shape keeps among its programmable tags.
void ReadParaExtensionTags(const Record& client_data, std::vector<ParaExtension>* out) {
  Record tags, data, atom;
  if (FindChild(client_data, rt::kProgTags, &tags) && FindPpt9Tag(tags, &data) &&
      FindChild(data, rt::kStyleTextProp9, &atom))
    ReadParaExtensions(atom.body, atom.len, out);
}

// Step two: a master's placeholders are remembered; a slide's take from the master's what they
// leave unset: the anchor and every drawing property but the turn.
void Loader::InheritPlaceholder(const Context& ctx, ShapeRecords* rec) {
  if (!ctx.placeholders || rec->placeholder <= 0) return;
  if (ctx.master) {
    (*ctx.placeholders)[rec->placeholder] = {rec->have_anchor ? rec->anchor : Rect(),
                                             rec->props.values};
    return;
  }
  auto it = ctx.placeholders->find(MasterPlaceholderFor(rec->placeholder, *ctx.placeholders));
  if (it == ctx.placeholders->end()) return;
  if (!rec->have_anchor) {
    rec->anchor = it->second.first;
    rec->have_anchor = true;
  }
  rec->props.Inherit(it->second.second, prop::kRotation);
}

namespace {

// Bits of the WordArt boolean set.
constexpr int kGeoTextItalicBit = 4, kGeoTextBoldBit = 5;
// WordArt alignments as stored.
constexpr uint32_t kGeoTextStretch = 0, kGeoTextCenter = 1, kGeoTextLeft = 2, kGeoTextRight = 3,
                   kGeoTextLetterJustify = 4, kGeoTextWordJustify = 5;
// WordArt text and face names are capped: they are drawn in one line each, never laid out.
constexpr size_t kMaxWordArtUnits = 4096, kMaxFaceUnits = 64;

std::u16string ComplexText(const Properties& props, uint16_t id, size_t max_units) {
  std::u16string s;
  auto it = props.complex.find(id);
  if (it == props.complex.end()) return s;
  const uint8_t* p = it->second.first;
  for (size_t i = 0; i + 1 < it->second.second && s.size() < max_units; i += 2)
    s += char16_t(Le16(p + i));
  while (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

}  // namespace

void ReadWordArt(const Properties& props, Shape::WordArt* out) {
  std::u16string text = ComplexText(props, prop::kGeoTextUnicode, kMaxWordArtUnits);
  for (char16_t ch : text)
    if (ch != u'\r') out->text += ch;  // lines end at "\r\n" or "\n"
  while (!out->text.empty() && out->text.back() == u'\n') out->text.pop_back();
  std::u16string face = ComplexText(props, prop::kGeoTextFont, kMaxFaceUnits);
  out->face = face.empty() ? "Arial" : ToUtf8(face);
  out->bold = props.Flag(prop::kGeoTextBooleans, kGeoTextBoldBit) == 1;
  out->italic = props.Flag(prop::kGeoTextBooleans, kGeoTextItalicBit) == 1;
  // Stored: stretch, centre, left, right, then letters or words spread to fill each line.
  switch (props.Get(prop::kGeoTextAlign, kGeoTextCenter)) {
    case kGeoTextStretch:
    case kGeoTextLetterJustify:
    case kGeoTextWordJustify:
      out->align = Shape::WordArt::kStretch;
      break;
    case kGeoTextLeft:
      out->align = Shape::WordArt::kLeft;
      break;
    case kGeoTextRight:
      out->align = Shape::WordArt::kRight;
      break;
    default:
      out->align = Shape::WordArt::kCenter;
  }
}

// Step three: the stored properties mapped onto what the renderer paints.
void Loader::MapShape(const ShapeRecords& rec, const Transform& t, const Context& ctx, Shape* out) {
  const Properties& props = rec.props;
  out->type = rec.type;
  out->id = rec.id;
  out->placeholder = rec.placeholder;
  PlaceShape(rec.have_anchor ? rec.anchor : Rect{0, 0, 0, 0}, rec.flags & kFlipH,
             rec.flags & kFlipV, int32_t(props.Get(prop::kRotation, 0)) / 65536.0, t, out);
  out->geometry = GeometryOf(out->type);
  for (int i = 0; i < 10; i++) {
    uint16_t id = uint16_t(prop::kAdjustValue + i);
    if (props.Has(id)) {
      out->adjust[i] = int32_t(props.Get(id, 0));
      out->adjust_set |= 1u << i;
    }
  }
  // Any shape may carry a path of its own; it is drawn where its type has no preset of its own
  // (geom/outline.cpp).
  if (out->geometry == Shape::kFreeform || props.Has(prop::kVertices)) ReadPath(props, out);
  for (int i = 0; i < 4; i++) {
    // Crops are 16.16 fractions of the picture: top, bottom, left, right.
    int32_t v = int32_t(props.Get(uint16_t(prop::kCropFromTop + i), 0));
    out->crop[i] = std::max(-4.0, std::min(0.99, v / 65536.0));
  }
  if (out->type >= spt::kFirstTextPath && out->type <= spt::kLastTextPath)
    ReadWordArt(props, &out->word_art);
  // What the shape, its master and the defaults leave unset is filled and outlined.
  if (out->geometry != Shape::kLine) out->fill = ReadFill(props, ctx, true);
  MapLine(props, ctx, true, out);
  out->shadow = MapShadow(props, ctx);
  if (out->type == spt::kPictureFrame || props.Has(prop::kPib)) {
    uint32_t pib = props.Get(prop::kPib, 0);
    if (pib >= 1 && pib <= out_->blips.size()) out->picture = int(pib - 1);
    out->picture_adjust = MapPictureAdjust(props, ctx);
  }
  TextBody& body = out->text;
  body.insets.left = EmuToMaster(props.Get(prop::kTextLeft, 91440));
  body.insets.top = EmuToMaster(props.Get(prop::kTextTop, 45720));
  body.insets.right = EmuToMaster(props.Get(prop::kTextRight, 91440));
  body.insets.bottom = EmuToMaster(props.Get(prop::kTextBottom, 45720));
  MapTextFrame(props, &body);
  for (const RawText& text : rec.texts) BuildText(Resolve(text), ctx, &body);
  // Outline text (the body placeholders' kinds) shrinks to fit its box unless the box grows to
  // fit the text instead. The drawing format leaves the other fit bit undefined, and decks' own
  // layouts (text kept clear of the logos below it) show that their authors saw it shrunk.
  if (rec.placeholder > 0 && !body.fit_shape && !rec.texts.empty()) {
    int type = Resolve(rec.texts.front()).type;
    if (type == text_type::kBody || type == text_type::kHalfBody || type == text_type::kQuarterBody)
      body.shrink_to_fit = true;
  }
  ReadShowRecords(rec, ctx, out);
}

bool Loader::ReadShape(const Record& sp, const Transform& t, const Context& ctx, Shape* out,
                       Transform* group, bool* is_group) {
  ShapeRecords rec;
  ReadShapeRecords(sp, ctx, &rec);
  if (!rec.have_fsp || (rec.flags & kDeletedFlag)) return false;
  InheritMasterShape(&rec);
  InheritPlaceholder(ctx, &rec);
  InheritDefaults(&rec);
  *is_group = rec.flags & kGroupFlag;
  if (*is_group) {
    int rotation = int(int32_t(rec.props.Get(prop::kRotation, 0)) / 65536) % 360;
    // A group without an anchor of its own keeps its children where their coordinates say.
    *group = GroupTransform(rec.child_space, rec.have_anchor ? rec.anchor : rec.child_space,
                            rotation, rec.flags & kFlipH, rec.flags & kFlipV)
                 .Then(t);
  }
  if (rec.props.Flag(prop::kGroupBooleans, 1) == 1) return false;  // hidden
  MapShape(rec, t, ctx, out);
  return true;
}

void Loader::GroupShapes(const Record& group, const Transform& t, const Context& ctx, int depth,
                         std::vector<Shape>* shapes) {
  if (depth > kMaxNesting) return;
  Children c(group);
  Record r;
  bool first = true;
  Transform inner = t;
  const size_t start = shapes->size();
  Shape group_shape;
  while (c.Next(&r) && shape_count_ < kMaxShapes) {
    if (r.type == rt::kSpContainer) {
      if (!budget_.Spend(cost::kShape)) break;
      Shape s;
      Transform mapped = t;
      bool is_group = false;
      // The group's own record is placed by the parent's transform, its children by its own.
      bool ok = ReadShape(r, first ? t : inner, ctx, &s, &mapped, &is_group);
      if (first) {
        first = false;
        if (is_group) {
          // The group's own record: maps the children's coordinates onto its anchor, turned and
          // mirrored with the group.
          if (depth > 0 && ok) inner = mapped;
          if (depth > 0 && !ok) return;  // a hidden or deleted group hides its children
          if (depth > 0) group_shape = s;
          continue;
        }
      }
      if (!ok || is_group) continue;
      if (ctx.master && s.placeholder >= 0 && !FooterText(ctx, &s)) continue;
      shape_count_++;
      shapes->push_back(std::move(s));
    } else if (r.type == rt::kSpgrContainer) {
      if (!budget_.Spend(cost::kShape)) break;
      GroupShapes(r, inner, ctx, depth + 1, shapes);
      first = false;
    }
  }
  InheritGroupShow(group_shape, shapes, start);
  // Animations may name the group: its members move with it.
  if (depth > 0 && group_shape.id)
    for (size_t i = start; i < shapes->size(); i++) (*shapes)[i].groups.push_back(group_shape.id);
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
      if (background->kind == Fill::kBackground) background->kind = Fill::kSolid;
      *has_background = true;
    }
  }
}
}  // namespace ppt::detail
